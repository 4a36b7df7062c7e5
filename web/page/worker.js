// The engine's worker: runs joinrel on the bytes the page sends and answers
// with what the command line would print and write, and the run's report.
// createJoinrel comes from the engine's script, loaded before this one.
'use strict';

const engineReady = createJoinrel();
engineReady.then(() => postMessage({ ready: true }));

// Reads the Outcome that joinrel_run returns; see src/wasm/entry.cc.
function readOutcome(engine, address) {
  const view = new DataView(engine.HEAPU8.buffer);
  const word = (index) => view.getUint32(address + 4 * index, true);
  const bytes = (pointer, size) => engine.HEAPU8.slice(pointer, pointer + size);
  const outputSize = view.getInt32(address + 16, true);
  const report = new TextDecoder('latin1').decode(bytes(word(5), word(6)));
  return {
    status: view.getInt32(address, true),
    console: bytes(word(1), word(2)),
    output: outputSize < 0 ? null : bytes(word(3), outputSize),
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
  const engine = await engineReady;
  let answer;
  try {
    answer = run(engine, input, rowLimit, relationLimit);
  } catch (error) {
    postMessage({ error: `The engine failed: ${error}`, broken: true });
    return;
  }
  const transfer = [];
  if (answer.result) transfer.push(answer.result.console.buffer);
  if (answer.result && answer.result.output) transfer.push(answer.result.output.buffer);
  postMessage(answer, transfer);
};
