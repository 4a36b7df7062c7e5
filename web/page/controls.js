// The controls and the script contract: Run, Cancel and Download, the run
// shown on the page, and window.joinrel. It owns the page's run record and
// decides when a run's outcome may be shown: only while its input is still
// the chosen one. It shows a run through Render, Walk and Expression, which
// know nothing of each other: Render draws the record, Walk the join's
// steps, marking rows in the tables Render drew, Expression the join as an
// expression and in SQL.
(() => {
  const TEXTS = Language.table({
    en: {
      starting: 'Starting the engine\u2026',
      ready: 'Ready.',
      running: 'Running\u2026',
      cancelled: 'Cancelled.',
      changed: 'The input changed, so its run was cancelled. Press Run to run the new one.',
      noEngine:
        'The engine could not be loaded, so this page cannot run anything. Reloading the page may help. ' +
        'The browser\u2019s error: {reason}',
    },
    hu: {
      starting: 'A motor indul\u2026',
      ready: 'Készen áll.',
      running: 'Fut\u2026',
      cancelled: 'Leállítva.',
      changed:
        'A bemenet megváltozott, ezért a régi bemenet futtatása leállt. Az új bemenet futtatásához ' +
        'nyomd meg a Futtatás gombot.',
      noEngine:
        'A motort nem sikerült betölteni, ezért ez az oldal semmit sem tud futtatni. Talán segít, ha ' +
        'újratöltöd az oldalt. A böngésző hibaüzenete: {reason}',
    },
  });
  const $ = (id) => document.getElementById(id);
  const runButton = $('run');

  let shown = null; // the run record on the page, or null
  let pageRun = null; // the AbortController of the Run button's run going on
  // While no run is shown, the status's kind and what words it in the page's
  // language, so that a switch of language can word it again.
  let said = null;

  // Shows no run, the status worded by `words()`.
  function showNothing(kind, words) {
    shown = null;
    said = { kind, words };
    drawNothing();
  }

  function drawNothing() {
    Walk.clear();
    Expression.clear();
    Notes.clear();
    Render.nothing(said.kind, said.words());
  }

  // Shows `record`, and nothing of any run before it.
  function draw(record) {
    Walk.clear();
    Render.record(record, Walk.particulars);
    Walk.show(record, Render.tables());
    Expression.show(record);
    Notes.show(record);
  }

  const saying = (key) => () => Language.text(TEXTS, key);
  showNothing('idle', saying('starting'));

  Language.onChange(() => {
    if (shown) draw(shown);
    else drawNothing();
  });

  // A new input: the run going on is for the old one, and so is what is shown.
  Input.onChange(() => {
    if (pageRun) {
      pageRun.abort();
      showNothing('idle', saying('changed'));
    } else if (shown) {
      showNothing('idle', saying('ready'));
    }
  });

  // Run stays enabled while its run goes on, only marked so: a disabled
  // button would lose the keyboard's focus.
  function setRunning(running) {
    if (running) runButton.setAttribute('aria-disabled', 'true');
    else runButton.removeAttribute('aria-disabled');
  }

  runButton.addEventListener('click', async () => {
    if (pageRun || runButton.disabled) return;
    const run = new AbortController();
    pageRun = run;
    setRunning(true);
    showNothing('running', saying('running'));
    try {
      const input = await Input.current();
      const result = await Engine.run(input.bytes, run.signal);
      shown = { input, ...result };
      draw(shown);
    } catch (error) {
      // A cancelled run's outcome was shown already by whoever cancelled it.
      if (!(error instanceof Engine.Cancelled)) showNothing('failed', () => Engine.describe(error));
    } finally {
      if (pageRun === run) {
        pageRun = null;
        setRunning(false);
      }
    }
  });

  $('editor').addEventListener('keydown', (event) => {
    if (event.key === 'Enter' && (event.ctrlKey || event.metaKey)) {
      event.preventDefault();
      runButton.click();
    }
  });

  $('cancel').addEventListener('click', () => {
    pageRun?.abort();
    Engine.cancelAll();
    showNothing('idle', saying('cancelled'));
  });
  Engine.onBusyChange((count) => {
    $('cancel').disabled = count === 0;
  });

  $('download').addEventListener('click', () => {
    if (!shown?.output) return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([shown.output], { type: 'text/plain' }));
    link.download = `${shown.input.name.replace(/\.[^.]*$/, '') || 'input'}.out.txt`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 0);
  });

  Engine.ready.then(
    () => {
      runButton.disabled = false;
      if (!shown && said.kind === 'idle') showNothing('idle', saying('ready'));
    },
    (failure) => {
      runButton.disabled = true;
      showNothing('failed', () => Language.text(TEXTS, 'noEngine', { reason: failure.reason }));
    },
  );

  // For scripts and tests; the README states this contract.
  window.joinrel = Object.freeze({
    ready: Engine.ready,
    async run(bytes) {
      const result = await Engine.run(bytes);
      const message = result.report.message;
      return {
        status: result.status,
        console: result.console,
        output: result.output,
        messageKind: message ? message.kind : null,
        line: message ? message.line : null,
        explain: result.report.explain,
      };
    },
    // The engine's check of `answer` (a student's result) against the run
    // of `bytes`, both Uint8Arrays, or with `step` (from 1) against that join
    // step's built relation; doc/scripting.md states the report.
    async check(bytes, answer, step = 0) {
      return (await Engine.check(bytes, answer, undefined, step)).report;
    },
  });
})();
