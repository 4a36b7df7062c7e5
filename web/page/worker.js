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
  postMessage(answer, transfer);
};
