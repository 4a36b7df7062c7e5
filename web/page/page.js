// The page: takes an input file (opened, picked from the examples or typed),
// runs joinrel on it in a worker, and shows what the run did. Everything it
// shows comes from the engine: the status, the console bytes, the output
// file's bytes and the run's report (src/wasm/report.h). JOINREL_EXAMPLES
// and JOINREL_MESSAGES are written into the page when it is built.
'use strict';

(() => {
  const ROW_LIMIT = 25;             // rows shown of each relation
  const RELATION_LIMIT = 500;       // input relations shown
  const OUTPUT_SHOWN = 1 << 20;     // bytes of the output file shown as text
  const EDITOR_LIMIT = 4 << 20;     // bytes of an opened file put into the editor

  const $ = (id) => document.getElementById(id);
  const utf8 = new TextDecoder('utf-8');

  // ---- The engine's workers -------------------------------------------
  // A run takes an idle worker or starts one, so that a call always gets an
  // answer, even while another run goes on. Cancel ends every run.

  const workerSource = $('worker-source');
  let workerUrl = null;

  function startWorker() {
    if (!workerSource) return new Worker('worker.js');
    if (!workerUrl) {
      const blob = new Blob([workerSource.textContent], { type: 'text/javascript' });
      workerUrl = URL.createObjectURL(blob);
    }
    return new Worker(workerUrl);
  }

  const idleWorkers = [];
  const busyWorkers = new Map();  // worker -> {resolve, reject}
  let resolveReady;
  const ready = new Promise((resolve) => { resolveReady = resolve; });

  function makeWorker() {
    const worker = startWorker();
    worker.onmessage = (event) => {
      if (event.data.ready) { resolveReady(); return; }
      const waiting = busyWorkers.get(worker);
      busyWorkers.delete(worker);
      if (event.data.broken) worker.terminate();
      else if (idleWorkers.length === 0) idleWorkers.push(worker);
      else worker.terminate();
      if (idleWorkers.length === 0) idleWorkers.push(makeWorker());
      runsChanged();
      if (!waiting) return;
      if (event.data.error) waiting.reject(new Error(event.data.error));
      else waiting.resolve(event.data.result);
    };
    worker.onerror = (event) => {
      event.preventDefault();
      const waiting = busyWorkers.get(worker);
      busyWorkers.delete(worker);
      const idle = idleWorkers.indexOf(worker);
      if (idle >= 0) idleWorkers.splice(idle, 1);
      worker.terminate();
      if (idleWorkers.length === 0) idleWorkers.push(makeWorker());
      runsChanged();
      if (waiting) waiting.reject(new Error(`The engine failed: ${event.message}`));
    };
    return worker;
  }

  // Runs joinrel on `input` (a Uint8Array, left as it is); resolves to
  // {status, console, output, report}.
  function runEngine(input) {
    const worker = idleWorkers.pop() || makeWorker();
    const copy = input.slice();
    return new Promise((resolve, reject) => {
      busyWorkers.set(worker, { resolve, reject });
      runsChanged();
      worker.postMessage(
        { input: copy, rowLimit: ROW_LIMIT, relationLimit: RELATION_LIMIT },
        [copy.buffer],
      );
    });
  }

  function cancelRuns() {
    for (const [worker, waiting] of busyWorkers) {
      worker.terminate();
      waiting.reject(new Error('cancelled'));
    }
    busyWorkers.clear();
    if (idleWorkers.length === 0) idleWorkers.push(makeWorker());
    runsChanged();
  }

  idleWorkers.push(makeWorker());

  // ---- The input ----------------------------------------------------------
  // An opened file or example runs as its exact bytes until the editor is
  // changed; from then on the editor's text runs, as UTF-8.

  const editor = $('editor');
  const marks = $('editor-marks');
  let input = { name: 'input.txt', bytes: null };  // bytes null: the editor's text
  let editorHoldsInput = true;

  function describeBytes(bytes) {
    const notes = [];
    if (bytes.includes(13)) notes.push('its CR LF line ends are kept, the editor shows LF');
    try {
      new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch {
      notes.push('bytes that are not UTF-8 show as \u{FFFD} in the editor');
    }
    return notes;
  }

  function setInput(name, bytes) {
    input = { name, bytes };
    clearMark();
    const notes = describeBytes(bytes);
    editorHoldsInput = bytes.length <= EDITOR_LIMIT;
    editor.value = editorHoldsInput ? utf8.decode(bytes) : '';
    editor.scrollTop = 0;
    numberLines();
    const size = `${bytes.length.toLocaleString('en')} bytes`;
    $('input-note').textContent = editorHoldsInput
      ? `${name}: ${size}, run exactly as opened${notes.length ? ` (${notes.join('; ')})` : ''}. ` +
        'Changing it in the editor runs the editor\u2019s text instead.'
      : `${name}: ${size}, too large to show in the editor; it runs exactly as opened.`;
  }

  // A file being read; Run waits for it, so that it runs the file just opened.
  let reading = Promise.resolve();

  $('input-file').addEventListener('change', (event) => {
    const file = event.target.files[0];
    if (!file) return;
    $('examples').value = '';
    reading = file.arrayBuffer().then(
      (buffer) => setInput(file.name, new Uint8Array(buffer)),
      (error) => { $('input-note').textContent = `${file.name} could not be read: ${error.message}`; },
    );
  });

  const examples = $('examples');
  for (const example of JOINREL_EXAMPLES) {
    const option = document.createElement('option');
    option.value = example.name;
    option.textContent = example.name;
    examples.append(option);
  }
  examples.addEventListener('change', () => {
    const example = JOINREL_EXAMPLES.find((e) => e.name === examples.value);
    if (!example) return;
    $('input-file').value = '';
    setInput(example.name, Uint8Array.from(atob(example.base64), (c) => c.charCodeAt(0)));
  });

  editor.addEventListener('input', () => {
    numberLines();
    if (input.bytes) {
      input = { name: input.name, bytes: null };
      editorHoldsInput = true;
      $('input-note').textContent = 'The editor\u2019s text runs, as UTF-8 with LF line ends.';
    }
    clearMark();
  });

  editor.addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey) && !$('run').disabled) {
      event.preventDefault();
      $('run').click();
    }
  });

  function inputBytes() {
    return input.bytes || new TextEncoder().encode(editor.value);
  }

  // ---- The marked line ----------------------------------------------------

  function clearMark() {
    marks.replaceChildren();
  }

  function placeMark() {
    const mark = marks.firstElementChild;
    if (!mark) return;
    const style = getComputedStyle(editor);
    const lineHeight = parseFloat(style.lineHeight);
    const line = Number(mark.dataset.line);
    mark.style.top = `${parseFloat(style.paddingTop) + (line - 1) * lineHeight - editor.scrollTop}px`;
  }

  // Marks line `line` (1-based) in the editor and scrolls it into view.
  function markLine(line) {
    const mark = document.createElement('div');
    mark.className = 'marked-line';
    mark.dataset.line = String(line);
    marks.replaceChildren(mark);
    const lineHeight = parseFloat(getComputedStyle(editor).lineHeight);
    editor.scrollTop = Math.max(0, (line - 1) * lineHeight - editor.clientHeight / 3);
    placeMark();
    // Select the line too, so that the caret is there when the user edits.
    const lines = editor.value.split('\n');
    if (line <= lines.length) {
      let start = 0;
      for (let i = 0; i < line - 1; i++) start += lines[i].length + 1;
      editor.setSelectionRange(start, start + lines[line - 1].length);
    }
  }

  // The gutter numbers the editor's lines, which are the file's lines.
  const gutter = $('editor-gutter');
  let gutterLines = 0;

  function numberLines() {
    let lines = 1;
    for (let i = editor.value.indexOf('\n'); i >= 0; i = editor.value.indexOf('\n', i + 1)) lines++;
    if (lines !== gutterLines) {
      gutterLines = lines;
      gutter.textContent = Array.from({ length: lines }, (_, i) => i + 1).join('\n');
      $('editor-box').style.setProperty('--gutter', `${String(lines).length + 2.5}ch`);
    }
    gutter.scrollTop = editor.scrollTop;
  }

  editor.addEventListener('scroll', () => {
    gutter.scrollTop = editor.scrollTop;
    placeMark();
  });
  new ResizeObserver(placeMark).observe(editor);

  // ---- Showing a run ------------------------------------------------------

  // The report's strings hold one character per byte; shown as UTF-8.
  function text(byteString) {
    // eslint-disable-next-line no-control-regex
    if (!/[^\x00-\x7f]/.test(byteString)) return byteString;
    return utf8.decode(Uint8Array.from(byteString, (c) => c.charCodeAt(0)));
  }

  function element(tag, className, content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (content !== undefined) node.append(content);
    return node;
  }

  // Markdown text from the README: `code` becomes <code>, the rest is text.
  function markdown(source) {
    const fragment = document.createDocumentFragment();
    source.split('`').forEach((piece, i) => {
      if (piece) fragment.append(i % 2 ? element('code', '', piece) : piece);
    });
    return fragment;
  }

  function plural(count, word) {
    return `${count.toLocaleString('en')} ${word}${count === 1 ? '' : 's'}`;
  }

  function relationTable(relation) {
    const table = element('table');
    const head = element('tr');
    for (const [name, type] of relation.attributes) {
      const cell = element('th', '', text(name));
      if (type) cell.append(element('span', 'type', text(type)));
      head.append(cell);
    }
    table.append(element('thead', '', head));
    const body = element('tbody');
    for (const row of relation.rows) {
      const line = element('tr');
      for (const cell of row) line.append(element('td', cell ? '' : 'empty-cell', text(cell)));
      body.append(line);
    }
    table.append(body);
    const wrap = element('div', 'table-wrap', table);
    const more = relation.rowCount - relation.rows.length;
    const box = document.createDocumentFragment();
    box.append(wrap);
    if (relation.attributes.length === 0) {
      box.append(element('p', 'more', relation.rowCount > 0
        ? 'No attributes: its rows have no cells, so none is written.'
        : 'No attributes and no rows.'));
    } else if (more > 0) {
      box.append(element('p', 'more', `\u2026 and ${plural(more, 'more row')} not shown here.`));
    }
    return box;
  }

  function relationBlock(relation, title, className) {
    const block = element('div', `relation ${className || ''}`);
    const heading = element('h3', '', element('span', 'mono', title));
    heading.append(element('span', 'count', plural(relation.rowCount, 'row')));
    block.append(heading, relationTable(relation));
    return block;
  }

  function showRelations(report) {
    const box = $('relations');
    const nodes = report.relations.map((r) => relationBlock(r, text(r.name)));
    if (report.moreRelations > 0) {
      nodes.push(element('p', 'note', `\u2026 and ${plural(report.moreRelations, 'more relation')} not shown here; the output file holds them.`));
    }
    if (report.result) nodes.push(relationBlock(report.result, 'result', 'result'));
    if (nodes.length === 0) nodes.push(element('p', 'note', 'The run wrote no relation.'));
    box.replaceChildren(...nodes);
  }

  function showSteps(report) {
    const items = report.steps.map((step, i) => {
      const left = step.left ? text(step.left) : `the outcome of step ${i}`;
      const how = step.attribute === null
        ? 'a product: they share no attribute'
        : `on ${text(step.attribute)}`;
      const summary = element('summary', '',
        `${left} \u22c8 ${text(step.right)}, ${how}: ` +
        `${step.leftRows.toLocaleString('en')} \u00d7 ${plural(step.rightRows, 'row')} in, ` +
        `${plural(step.built.rowCount, 'row')} out`);
      const details = element('details', '', summary);
      details.append(relationBlock(step.built, `step ${i + 1}`, 'built'));
      return element('li', '', details);
    });
    $('steps').replaceChildren(...items);
  }

  let outputBytes = null;

  function showOutput(output) {
    outputBytes = output;
    $('download').disabled = !output;
    if (!output) {
      $('output').textContent = '';
      $('output-note').textContent = 'The run created no output file.';
      return;
    }
    $('output').textContent = utf8.decode(output.subarray(0, OUTPUT_SHOWN));
    $('output-note').textContent = output.length > OUTPUT_SHOWN
      ? `Shown: the first 1 MiB of ${output.length.toLocaleString('en')} bytes. Download saves all of it.`
      : `${output.length.toLocaleString('en')} bytes.`;
  }

  function showStatus(result, consoleText, report) {
    const status = $('status');
    const message = report.message;
    if (!message) {
      status.className = 'status done';
      status.textContent = `done (exit status ${result.status})`;
      return;
    }
    status.className = 'status failed';
    const nodes = [element('p', 'message', consoleText.replace(/\n$/, ''))];
    const explanation = JOINREL_MESSAGES[text(message.text)];
    if (explanation) {
      // The README's N stands for the line number, which this run knows.
      const atLine = (source) =>
        message.line === null ? source : source.replace(/\bline N\b/g, `line ${message.line}`);
      const meaning = element('p', '', element('span', 'label', 'Meaning: '));
      meaning.append(markdown(atLine(explanation.meaning)));
      nodes.push(meaning);
      if (explanation.fix) {
        const fix = element('p', '', element('span', 'label', 'What to fix: '));
        fix.append(markdown(explanation.fix));
        nodes.push(fix);
      }
    }
    let where = `Exit status ${result.status}.`;
    if (message.line !== null) {
      where += editorHoldsInput
        ? ` Line ${message.line} is marked in the editor.`
        : ` The file is too large for the editor, so line ${message.line} is not shown.`;
    }
    nodes.push(element('p', 'note', where));
    status.replaceChildren(...nodes);
    if (message.line !== null && editorHoldsInput) markLine(message.line);
  }

  function show(result) {
    const consoleText = utf8.decode(result.console);
    $('console').textContent = consoleText;
    showStatus(result, consoleText, result.report);
    showRelations(result.report);
    showSteps(result.report);
    showOutput(result.output);
  }

  $('download').addEventListener('click', () => {
    if (!outputBytes) return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([outputBytes], { type: 'text/plain' }));
    link.download = `${input.name.replace(/\.[^.]*$/, '') || 'input'}.out.txt`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
  });

  // ---- Run and Cancel -----------------------------------------------------

  let pageRun = false;  // a run started by the Run button goes on

  function runsChanged() {
    $('cancel').disabled = busyWorkers.size === 0;
  }

  $('run').addEventListener('click', async () => {
    clearMark();
    pageRun = true;
    $('run').disabled = true;
    $('status').className = 'status running';
    $('status').textContent = 'Running\u2026';
    $('console').textContent = '';
    try {
      await reading;
      show(await runEngine(inputBytes()));
    } catch (error) {
      $('status').className = 'status failed';
      $('status').textContent = error.message === 'cancelled' ? 'Cancelled.' : error.message;
    } finally {
      pageRun = false;
      $('run').disabled = false;
    }
  });

  $('cancel').addEventListener('click', () => {
    cancelRuns();
    if (!pageRun) {
      $('status').className = 'status idle';
      $('status').textContent = 'Cancelled.';
    }
  });

  ready.then(() => {
    $('run').disabled = false;
    if ($('status').classList.contains('idle')) $('status').textContent = 'Ready.';
  });

  // For scripts and tests: joinrel.run(bytes) runs as the Run button does and
  // resolves to what the command line would do.
  window.joinrel = {
    ready,
    async run(bytes) {
      const result = await runEngine(bytes);
      const message = result.report.message;
      return {
        status: result.status,
        console: result.console,
        output: result.output,
        messageKind: message ? message.kind : null,
        line: message ? message.line : null,
      };
    },
  };
})();
