// The engine pool: the Web Workers that run joinrel, and whether the engine
// could be loaded at all. Nothing else on the page talks to a worker.
//
// A run takes an idle worker or starts one, so that a call always gets an
// answer, even while another run goes on; one idle worker is kept ready for
// the next run, and a worker that ran goes back to being the idle one. An engine that cannot load fails every run, pending or
// later, with the same reason.
const Engine = (() => {
  const TEXTS = Language.table({
    en: {
      notLoaded: 'The engine could not be loaded: {reason}',
      noScript: 'its script did not start',
      noReason: 'the browser gave no reason',
      failed: 'The engine failed: {reason}',
      cancelled: 'The run was cancelled.',
      outputTooLarge:
        'The output file has {size} bytes, more than this page can hold ({limit} bytes).',
      noMemory:
        'This browser tab has not enough memory for this run: the files are too large to hold.',
    },
    hu: {
      notLoaded: 'A motort nem sikerült betölteni: {reason}',
      noScript: 'a motor szkriptje nem indult el',
      noReason: 'a böngésző nem adott meg okot',
      failed: 'A motor hiba miatt leállt: {reason}',
      cancelled: 'A futtatás leállt.',
      outputTooLarge:
        'A kimeneti fájl {size} bájtos, ami több annál, amennyit ez az oldal kezelni tud ({limit} bájt).',
      noMemory:
        'Ennek a böngészőlapnak nincs elég memóriája ehhez a futtatáshoz: a fájlok túl nagyok.',
    },
  });
  // What a run's report tells and what the page takes and keeps; the browser
  // test lowers the byte limits to try what happens beyond them.
  const limits = {
    relations: 500, // input relations the report tells of
    reportBytes: 16 << 20, // the report's text
    outputBytes: Infinity, // the output file: as much as the tab holds
    // A worker whose heap grew past this in a run gives the memory back by
    // ending; a fresh one takes its place.
    keptHeapBytes: 256 << 20,
  };

  // The reason a run did not end: Cancel, or a newer input for the page's run.
  class Cancelled extends Error {}

  // An error worded in the page's language, which keeps its key and values
  // so that describe() can word it again after a switch.
  // A value may be a function, which words it in the language of the moment.
  function pageError(key, values = {}, Kind = Error) {
    const error = new Kind(worded(key, values));
    error.words = { key, values };
    return error;
  }

  function worded(key, values) {
    const now = Object.fromEntries(
      Object.entries(values).map(([name, value]) => [
        name,
        typeof value === 'function' ? value() : value,
      ]),
    );
    return Language.text(TEXTS, key, now);
  }

  // What `error` says, in the page's language as it is now.
  function describe(error) {
    return error.words ? worded(error.words.key, error.words.values) : error.message;
  }

  const idle = []; // workers waiting for a run
  const busy = new Map(); // worker -> {resolve, reject} of its run
  let failure = null; // the Error once the engine could not load
  let busyListener = () => {};
  let resolveReady;
  let rejectReady;
  const ready = new Promise((resolve, reject) => {
    resolveReady = resolve;
    rejectReady = reject;
  });
  // Whoever waits on `ready` hears of a failure; nobody waiting is no error.
  ready.catch(() => {});

  // The single-file page carries the worker's code in a script element and
  // starts it from a Blob URL, which works opened from file://.
  const workerSource = document.getElementById('worker-source');
  let workerUrl = null;

  function startWorker() {
    if (!workerSource) return new Worker('worker.js');
    if (!workerUrl) {
      const blob = new Blob([workerSource.textContent], { type: 'text/javascript' });
      workerUrl = URL.createObjectURL(blob);
    }
    return new Worker(workerUrl);
  }

  // Ends `worker`'s run, if it has one, with `settle` (resolve or reject).
  function endRun(worker, settle) {
    const waiting = busy.get(worker);
    busy.delete(worker);
    busyListener(busy.size);
    if (waiting) settle(waiting);
  }

  function forget(worker) {
    worker.terminate();
    const index = idle.indexOf(worker);
    if (index >= 0) idle.splice(index, 1);
  }

  // The one place that tops the pool up.
  function keepOneIdle() {
    if (!failure && idle.length === 0) idle.push(makeWorker());
  }

  // `reason`: what the browser said, or null when its script did not start.
  function fail(reason) {
    if (failure) return;
    const said = reason ? () => reason : () => Language.text(TEXTS, 'noScript');
    failure = pageError('notLoaded', { reason: said });
    Object.defineProperty(failure, 'reason', { get: said });
    for (const worker of [...idle, ...busy.keys()]) forget(worker);
    for (const worker of [...busy.keys()]) endRun(worker, (waiting) => waiting.reject(failure));
    rejectReady(failure);
  }

  function makeWorker() {
    const worker = startWorker();
    let loaded = false;
    worker.onmessage = (event) => {
      const answer = event.data;
      if (answer.ready) {
        loaded = true;
        resolveReady();
      } else if (answer.loadFailed !== undefined) {
        fail(answer.loadFailed);
      } else if (busy.has(worker)) {
        // A worker whose engine failed inside a run cannot run again.
        if (answer.broken || answer.heapBytes > limits.keptHeapBytes || idle.length > 0)
          forget(worker);
        else idle.push(worker);
        if (answer.packed) unpackTables(answer.result.report);
        endRun(worker, (waiting) =>
          answer.error
            ? waiting.reject(pageError(answer.error.key, answer.error.values))
            : waiting.resolve(answer.result),
        );
        keepOneIdle();
      }
      // Anything else comes from a worker whose run was cancelled: dropped.
    };
    worker.onerror = (event) => {
      event.preventDefault();
      if (!loaded) {
        fail(event.message || null);
        return;
      }
      forget(worker);
      endRun(worker, (waiting) =>
        waiting.reject(
          pageError('failed', {
            reason: event.message || (() => Language.text(TEXTS, 'noReason')),
          }),
        ),
      );
      keepOneIdle();
    };
    return worker;
  }

  // The rows of a table as worker.js packed them, read as an array of rows
  // of cells: a row is unpacked when it is read, so that a table of 10,000
  // rows costs only the rows shown. A Proxy, so that every reader of rows
  // reads them as the array they are.
  function unpacked({ text, ends, cut, count }, width) {
    const cutCells = new Map(cut);
    const row = (r) =>
      Array.from({ length: width }, (_, k) => {
        const i = r * width + k;
        return cutCells.get(i) ?? text.slice(i === 0 ? 0 : ends[i - 1], ends[i]);
      });
    return readAsArray(count, row);
  }

  // An array of `count` items whose item i is made by item(i) when read.
  function readAsArray(count, item) {
    const isIndex = (key) => typeof key === 'string' && /^\d+$/.test(key) && Number(key) < count;
    return new Proxy([], {
      get: (target, key) =>
        key === 'length' ? count : isIndex(key) ? item(Number(key)) : Reflect.get(target, key),
      has: (target, key) => isIndex(key) || Reflect.has(target, key),
    });
  }

  function unpackTables(report) {
    const tables = [...report.relations, ...report.steps.map((step) => step.built), report.result];
    for (const table of tables.filter(Boolean))
      table.rows = unpacked(table.rows.packed, table.attributes.length);
    // The explain facts' lists of numbers, packed by worker.js: each step's
    // pairs, flat, read as [left, right]; the other lists made arrays again,
    // which costs little from a buffer.
    const array = (list) => (ArrayBuffer.isView(list) ? Array.from(list) : list);
    for (const relation of report.explain?.relations ?? []) relation.lines = array(relation.lines);
    for (const step of report.explain?.steps ?? []) {
      const flat = step.pairs.packedPairs;
      if (flat) step.pairs = readAsArray(flat.length / 2, (i) => [flat[2 * i], flat[2 * i + 1]]);
      step.unmatchedLeft = array(step.unmatchedLeft);
      step.unmatchedRight = array(step.unmatchedRight);
    }
  }

  // Accepts a Uint8Array of any realm, subclasses included.
  function isBytes(value) {
    return ArrayBuffer.isView(value) && value[Symbol.toStringTag] === 'Uint8Array';
  }

  // Runs joinrel on `bytes` (a Uint8Array, left as it is) and resolves to
  // {status, console, output, report} (see worker.js). Rejects with a
  // TypeError, before any worker is taken, when `bytes` is no Uint8Array;
  // with the load failure once the engine could not load; with Cancelled
  // when `signal` aborts or cancelAll() runs; with an Error when the engine
  // fails inside the run. With `answer` (a Uint8Array: a student's result),
  // the report is the engine's check of that answer against the run; with
  // `step` > 0 too, against that join step's built relation.
  function run(bytes, signal, answer = null, step = 0) {
    if (!isBytes(bytes)) {
      return Promise.reject(new TypeError('joinrel.run takes the input file as a Uint8Array'));
    }
    if (failure) return Promise.reject(failure);
    if (signal?.aborted) return Promise.reject(pageError('cancelled', {}, Cancelled));
    const worker = idle.pop() || makeWorker();
    const copy = new Uint8Array(bytes);
    const result = new Promise((resolve, reject) => {
      busy.set(worker, { resolve, reject });
      busyListener(busy.size);
    });
    // Once the run is over, the worker may run another: the signal lets go of it.
    const onAbort = () => cancel(worker);
    signal?.addEventListener('abort', onAbort, { once: true });
    const answerCopy = answer ? new Uint8Array(answer) : null;
    const message = {
      input: copy,
      answer: answerCopy,
      step,
      relationLimit: limits.relations,
      reportLimit: limits.reportBytes,
      outputLimit: limits.outputBytes,
    };
    worker.postMessage(message, [copy.buffer, ...(answerCopy ? [answerCopy.buffer] : [])]);
    return result.finally(() => signal?.removeEventListener('abort', onAbort));
  }

  function cancel(worker) {
    if (!busy.has(worker)) return;
    forget(worker);
    endRun(worker, (waiting) => waiting.reject(pageError('cancelled', {}, Cancelled)));
    keepOneIdle();
  }

  // Ends every run going on.
  function cancelAll() {
    for (const worker of [...busy.keys()]) cancel(worker);
  }

  keepOneIdle();

  return {
    Cancelled,
    limits,
    // Resolves once an engine has loaded; rejects with the load failure.
    ready,
    run,
    // Checks `answer` against the run of `bytes`, or against the built
    // relation of join step `step` (from 1): run() with an answer. Rejects
    // with a TypeError when `answer` is no Uint8Array or `step` no whole
    // number from 0.
    check: (bytes, answer, signal, step = 0) => {
      if (!isBytes(answer))
        return Promise.reject(new TypeError('joinrel.check takes the answer as a Uint8Array'));
      if (!Number.isInteger(step) || step < 0 || step > 0x7fffffff)
        return Promise.reject(new TypeError('joinrel.check takes the step as a whole number'));
      return run(bytes, signal, answer, step);
    },
    cancelAll,
    describe,
    // `listener(count)` hears the number of runs going on whenever it changes.
    onBusyChange(listener) {
      busyListener = listener;
    },
  };
})();
