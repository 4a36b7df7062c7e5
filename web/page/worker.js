// The engine's worker: runs joinrel on the bytes the page sends and answers
// with what the command line would print and write, and the run's report.
// createJoinrel comes from the engine's script, loaded before this one.
//
// Its answers: {ready: true} once the engine has loaded, or {loadFailed:
// reason} when it cannot load; then for each run {result, heapBytes} (a run
// sent with an `answer` checks it: its report is the check report), or
// {error: {key, values}} (with `broken` when the engine cannot run again),
// which the page words in its language (engine.js's TEXTS).
//
// The input and output files live in the engine's in-memory file system,
// outside its heap: the input is the bytes the page sent, taken over without
// a copy, and the output is handed to the page without one.
//
// A table's rows come to the page packed, {packed: {text, ends, cut,
// count}}: its cells one after another in `text`, cell i ending at ends[i]
// (a Uint32Array, handed over without a copy), `cut` the cells cut short as
// [i, cell] pairs, and `count` rows. Handing the page a string and a buffer
// costs it next to nothing, where hundreds of thousands of cells, each a
// string of its own, would hold it up about as long as the engine ran;
// engine.js unpacks a row when it is read.
'use strict';

const engineReady = createJoinrel();
engineReady.then(
  () => postMessage({ ready: true }),
  (error) => postMessage({ loadFailed: String(error?.message ?? error) }),
);

const INPUT = '/input';
const OUTPUT = '/output';
const ANSWER = '/answer';

// The Outcome that joinrel_run returns, field by field: src/wasm/entry.cc
// checks these byte offsets when it is compiled.
const OUTCOME = { status: 0, console: 4, consoleSize: 8, report: 12, reportSize: 16 };

// The heap reaches 4 GiB, so an address is read as unsigned (>>> 0).
function readOutcome(engine, address) {
  const view = new DataView(engine.HEAPU8.buffer);
  const word = (field) => view.getUint32(address + OUTCOME[field], true);
  const bytes = (pointer, size) => engine.HEAPU8.slice(pointer, pointer + size);
  // 'latin1' is windows-1252 in browsers, which differs from ISO-8859-1 at
  // 0x80-0x9f: right here only because the report is ASCII, every other
  // byte escaped as \u00XX.
  const report = new TextDecoder('latin1').decode(bytes(word('report'), word('reportSize')));
  return {
    status: view.getInt32(address + OUTCOME.status, true),
    console: bytes(word('console'), word('consoleSize')),
    report: JSON.parse(report),
  };
}

function pack(rows) {
  const pieces = [];
  const cut = [];
  const ends = new Uint32Array(rows.reduce((count, row) => count + row.length, 0));
  let end = 0;
  let i = 0;
  for (const row of rows) {
    for (const cell of row) {
      if (typeof cell === 'string') {
        pieces.push(cell);
        end += cell.length;
      } else {
        cut.push([i, cell]);
      }
      ends[i] = end;
      i += 1;
    }
  }
  return { text: pieces.join(''), ends, cut, count: rows.length };
}

// Every table of `report`, its rows packed; the buffers to hand over.
function packTables(report) {
  const tables = [...report.relations, ...report.steps.map((step) => step.built), report.result];
  const buffers = [];
  for (const table of tables.filter(Boolean)) {
    table.rows = { packed: pack(table.rows) };
    buffers.push(table.rows.packed.ends.buffer);
  }
  return buffers;
}

// The explain facts' long lists of row and line numbers as Float64Arrays
// (exact for every whole number), handed over without a copy: each step's
// pairs, flat ({packedPairs: [left, right, left, right, ...]}) and its
// unmatched rows, and each relation's lines. Cloned as arrays, a chain's
// hundreds of thousands of numbers held the page up; engine.js makes them
// the arrays they were (the pairs read as [left, right] when read). A list
// holding anything but whole numbers stays as it is.
function packFacts(explain) {
  const buffers = [];
  const packed = (list) => {
    if (!list.every(Number.isInteger)) return list;
    const numbers = Float64Array.from(list);
    buffers.push(numbers.buffer);
    return numbers;
  };
  for (const relation of explain?.relations ?? []) relation.lines = packed(relation.lines);
  for (const step of explain?.steps ?? []) {
    const flat = step.pairs.every((pair) => pair.length === 2) ? packed(step.pairs.flat()) : null;
    if (flat instanceof Float64Array) step.pairs = { packedPairs: flat };
    step.unmatchedLeft = packed(step.unmatchedLeft);
    step.unmatchedRight = packed(step.unmatchedRight);
  }
  return buffers;
}

function removeFile(engine, path) {
  if (engine.FS.analyzePath(path).exists) engine.FS.unlink(path);
}

// The output file's bytes, taken from the file system as they are, or null
// when the run created none.
function takeOutput(engine) {
  if (!engine.FS.analyzePath(OUTPUT).exists) return null;
  const { node } = engine.FS.lookupPath(OUTPUT);
  const bytes = node.contents ? node.contents.subarray(0, node.usedBytes) : new Uint8Array(0);
  engine.FS.unlink(OUTPUT);
  return bytes;
}

// A run that fails inside the engine leaves it in no state to run again:
// the page then replaces this worker. `outputLimit` is the largest output
// the page takes (the browser test lowers it).
function run(engine, { input, answer, step, relationLimit, reportLimit, outputLimit }) {
  removeFile(engine, OUTPUT);
  engine.FS.writeFile(INPUT, input, { canOwn: true });
  if (answer) engine.FS.writeFile(ANSWER, answer, { canOwn: true });
  let address;
  try {
    address = answer
      ? engine._joinrel_check(step) >>> 0
      : engine._joinrel_run(relationLimit, reportLimit) >>> 0;
  } finally {
    removeFile(engine, INPUT);
    removeFile(engine, ANSWER);
  }
  const result = readOutcome(engine, address);
  const output = takeOutput(engine);
  if (output && output.length > outputLimit) {
    return {
      error: { key: 'outputTooLarge', values: { size: output.length, limit: outputLimit } },
    };
  }
  return { result: { ...result, output }, heapBytes: engine.HEAPU8.buffer.byteLength };
}

// What a failure inside the engine means.
function failure(error) {
  if (error instanceof RangeError) return { key: 'noMemory', values: {} };
  return { key: 'failed', values: { reason: String(error) } };
}

onmessage = async (event) => {
  let answer;
  try {
    answer = run(await engineReady, event.data);
  } catch (error) {
    // Without an engine the page has heard loadFailed already.
    postMessage({ error: failure(error), broken: true });
    return;
  }
  const transfer = [answer.result?.console.buffer, answer.result?.output?.buffer].filter(Boolean);
  // A check's report holds no tables; a run's are packed.
  if (answer.result && !event.data.answer) {
    transfer.push(...packTables(answer.result.report));
    transfer.push(...packFacts(answer.result.report.explain));
    answer.packed = true;
  }
  postMessage(answer, transfer);
};
