// The facts of a run's join that the walk-through tells, derived from the
// report's "explain" (src/wasm/report.h) and nothing else: the page reads
// no name and no cell to find a fact out, it only looks facts up. Pure: no
// page, no words; node's test runner loads it as it is (web/test/).
//
// Row numbers count from 0 here, as in the report.
const WalkFacts = (() => {
  // Rows of an operand with more built rows than this list only this many
  // in a table's cell; a sentence gives them all.
  const CELL_LIST = 5;

  // For each operand row (0 .. count - 1), the built rows it made, from
  // `pairs` ([leftRow, rightRow] per built row) on `side` (0 left, 1 right).
  function madeBy(pairs, side, count) {
    const made = Array.from({ length: count }, () => []);
    pairs.forEach((pair, built) => made[pair[side]]?.push(built));
    return made;
  }

  // The facts of step `k`: its operands (an input relation's index in
  // report.relations, or null for the chain built so far), the relations
  // shown for them (null where not shown), its pairs and unmatched rows, the
  // join column in each operand and in the built relation (null for a
  // product).
  function stepOf(report, k) {
    const step = report.steps[k] ?? null;
    const facts = report.explain.steps[k] ?? null;
    if (facts === null) return { step, facts };
    const relation = (index) => (index === null ? null : (report.relations[index] ?? null));
    const left =
      facts.leftRelation === null
        ? (report.steps[k - 1]?.built ?? null)
        : relation(facts.leftRelation);
    const product = facts.attributeColumns[0] === null;
    const counts = [step?.leftRows ?? 0, step?.rightRows ?? 0];
    const cache = [null, null];
    return {
      step,
      facts,
      left,
      right: relation(facts.rightRelation),
      product,
      // A built row's cells are the left row's, then the right row's but
      // its join column: the join cell is the left's join column.
      builtJoinColumn: product ? null : facts.attributeColumns[0],
      unmatched: [new Set(facts.unmatchedLeft), new Set(facts.unmatchedRight)],
      made(side, r) {
        cache[side] ??= madeBy(facts.pairs, side, counts[side]);
        return cache[side][r] ?? [];
      },
    };
  }

  // The rows every step and every input relation gave to result row `row`:
  // {built: [sorted rows of step k's built relation], input: [{relation,
  // rows}] by relation index}. Empty when the facts do not reach back.
  function trace(report, row) {
    const { explain } = report;
    const tidy = explain.tidy;
    const built = explain.steps.map(() => new Set());
    const input = new Map();
    const addInput = (index, r) => {
      if (index === null) return;
      if (!input.has(index)) input.set(index, new Set());
      input.get(index).add(r);
    };
    const sources = tidy?.sources[row] ?? [];
    // Without the facts of every step done, the last step's rows lead nowhere.
    const stepsDone = report.steps.length + report.stepsLeftOut;
    if (tidy && tidy.relation !== null) {
      for (const r of sources) addInput(tidy.relation, r);
    } else if (tidy && explain.steps.length > 0 && explain.steps.length >= stepsDone) {
      const last = explain.steps.length - 1;
      for (const r of sources) built[last].add(r);
      for (let k = last; k >= 0; k -= 1) {
        const facts = explain.steps[k];
        for (const i of built[k]) {
          const [l, r] = facts.pairs[i];
          if (facts.leftRelation === null) built[k - 1]?.add(l);
          else addInput(facts.leftRelation, l);
          addInput(facts.rightRelation, r);
        }
      }
    }
    const ascending = (set) => [...set].sort((a, b) => a - b);
    return {
      built: built.map(ascending),
      input: [...input.entries()]
        .sort((a, b) => a[0] - b[0])
        .map(([relation, rows]) => ({ relation, rows: ascending(rows) })),
    };
  }

  // The facts of the tidying: for each built row the result row it went
  // into, the result rows that several built rows merged into ({row,
  // sources}), the number of built rows; null when there is no tidying.
  function tidyOf(report) {
    const tidy = report.explain.tidy;
    if (!tidy) return null;
    const builtCount = tidy.sources.reduce((sum, sources) => sum + sources.length, 0);
    const goesTo = new Int32Array(builtCount).fill(-1);
    tidy.sources.forEach((sources, n) =>
      sources.forEach((source) => {
        goesTo[source] = n;
      }),
    );
    const merged = [];
    tidy.sources.forEach((sources, row) => {
      if (sources.length > 1) merged.push({ row, sources });
    });
    const moves = tidy.columns
      .map((from, to) => ({ from, to }))
      .filter(({ from, to }) => from !== to);
    return { relation: tidy.relation, sources: tidy.sources, goesTo, merged, builtCount, moves };
  }

  // The input line of row `r` of relation `index`, or null when not told.
  function lineOf(report, index, r) {
    return report.explain.relations[index]?.lines[r] ?? null;
  }

  // The items of `list` to show where room is short: the first `limit`, and
  // how many more there are.
  function shortList(list, limit = CELL_LIST) {
    return { shown: list.slice(0, limit), more: Math.max(0, list.length - limit) };
  }

  return {
    // The facts of `report`: {steps: [stepOf each step told], tidy}.
    of(report) {
      return { report, steps: report.steps.map((_, k) => stepOf(report, k)), tidy: tidyOf(report) };
    },
    trace,
    lineOf,
    shortList,
    CELL_LIST,
  };
})();

// node's test runner reads the module too; the page has no `module`.
if (typeof module !== 'undefined') module.exports = WalkFacts;
