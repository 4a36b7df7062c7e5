// The engine's worker: runs joinrel on the bytes the page sends and answers
// with what the command line would print and write, and the run's report.
// createJoinrel comes from the engine's script, loaded before this one.
//
// Its answers: {ready: true} once the engine has loaded, or {loadFailed:
// reason} when it cannot load; then for each run {result}, or {error} (with
// `broken` when the engine cannot run again).
'use strict';

const engineReady = createJoinrel();
engineReady.then(
  () => postMessage({ ready: true }),
  (error) => postMessage({ loadFailed: String(error?.message ?? error) }),
);

// The Outcome that joinrel_run returns, field by field: src/wasm/entry.cc
// checks these byte offsets when it is compiled.
const OUTCOME = { status: 0, console: 4, consoleSize: 8, output: 12, outputSize: 16, report: 20, reportSize: 24 };

function readOutcome(engine, address) {
  const view = new DataView(engine.HEAPU8.buffer);
  const word = (field) => view.getUint32(address + OUTCOME[field], true);
  const bytes = (pointer, size) => engine.HEAPU8.slice(pointer, pointer + size);
  const outputSize = view.getInt32(address + OUTCOME.outputSize, true);
  // 'latin1' is windows-1252 in browsers, which differs from ISO-8859-1 at
  // 0x80-0x9f: right here only because the report is ASCII, every other
  // byte escaped as \u00XX.
  const report = new TextDecoder('latin1').decode(bytes(word('report'), word('reportSize')));
  return {
    status: view.getInt32(address + OUTCOME.status, true),
    console: bytes(word('console'), word('consoleSize')),
    output: outputSize < 0 ? null : bytes(word('output'), outputSize),
    report: JSON.parse(report),
  };
}

// A run that fails inside the engine leaves it in no state to run again:
// the page then replaces this worker.
function run(engine, input, rowLimit, relationLimit) {
  const address = engine._malloc(Math.max(input.length, 1));
  if (address === 0) return { error: 'There is not enough memory for the input file.' };
  engine.HEAPU8.set(input, address);
  const outcome = engine._joinrel_run(address, input.length, rowLimit, relationLimit);
  engine._free(address);
  if (outcome === 0) return { error: 'There is not enough memory for the input file.' };
  return { result: readOutcome(engine, outcome) };
}

onmessage = async (event) => {
  const { input, rowLimit, relationLimit } = event.data;
  let answer;
  try {
    answer = run(await engineReady, input, rowLimit, relationLimit);
  } catch (error) {
    // Without an engine the page has heard loadFailed already.
    postMessage({ error: `The engine failed: ${error}`, broken: true });
    return;
  }
  const transfer = [answer.result?.console.buffer, answer.result?.output?.buffer].filter(Boolean);
  postMessage(answer, transfer);
};
