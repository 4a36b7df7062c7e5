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
  // `pairs` ([leftRow, rightRow] per built row) on `side` (0 left, 1 right):
  // a function of the row, giving them ascending. Kept as one list sorted
  // by operand row and where each row's part starts, not an array per row:
  // a step of 10,000 rows would make 10,000 arrays at once.
  function madeBy(pairs, side, count) {
    const starts = new Uint32Array(count + 1);
    const sides = Int32Array.from({ length: pairs.length }, (_, built) => pairs[built][side]);
    const isRow = (r) => r >= 0 && r < count;
    for (const r of sides) if (isRow(r)) starts[r + 1] += 1;
    for (let r = 0; r < count; r += 1) starts[r + 1] += starts[r];
    const made = new Uint32Array(starts[count]);
    const next = starts.slice(0, count);
    sides.forEach((r, built) => {
      if (!isRow(r)) return;
      made[next[r]] = built;
      next[r] += 1;
    });
    return (r) => (isRow(r) ? Array.from(made.subarray(starts[r], starts[r + 1])) : []);
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
    const right = relation(facts.rightRelation);
    return {
      step,
      facts,
      left,
      right,
      product,
      // A built row's cells are the left row's, then the right row's but
      // its join column: the join cell is the left's join column.
      builtJoinColumn: product ? null : facts.attributeColumns[0],
      unmatched: [new Set(facts.unmatchedLeft), new Set(facts.unmatchedRight)],
      // The other names both operands carry: their columns in the left
      // operand and in the built relation, the built rows whose two cells
      // of one of them differ (each with those names), and how many built
      // rows a join on every shared name would keep.
      shared: sharedOf(facts, step, right),
      selfJoin: facts.selfJoin === true,
      made(side, r) {
        cache[side] ??= madeBy(facts.pairs, side, counts[side]);
        return cache[side](r);
      },
    };
  }

  // The shared names of a step's `facts`: {names, leftColumns, rightColumns,
  // builtColumns (one per name, in the order of facts.shared; rightColumns
  // empty when the right operand is not told), differing: Map builtRow ->
  // [name index, ...] ascending, differingRows (ascending), kept}. A built
  // row holds the left row's cells, then the right row's but its join cell.
  function sharedOf(facts, step, right) {
    const names = facts.shared ?? [];
    const columns = facts.sharedColumns ?? [];
    const differing = new Map();
    for (const [row, name] of facts.differing ?? []) {
      const index = names.indexOf(name);
      if (index < 0) continue;
      if (!differing.has(row)) differing.set(row, []);
      differing.get(row).push(index);
    }
    for (const list of differing.values()) list.sort((a, b) => a - b);
    const builtColumns = columns.map((pair) => pair[1]);
    const rightJoin = facts.attributeColumns[1];
    let rightColumns = [];
    if (right && step?.built && rightJoin !== null) {
      const leftWidth = step.built.attributes.length - (right.attributes.length - 1);
      rightColumns = builtColumns.map((b) => b - leftWidth + (b - leftWidth >= rightJoin ? 1 : 0));
    }
    return {
      names,
      leftColumns: columns.map((pair) => pair[0]),
      rightColumns,
      builtColumns,
      differing,
      differingRows: [...differing.keys()].sort((a, b) => a - b),
      kept: facts.keptByAllShared ?? null,
    };
  }

  // For built row `row` of step entry `entry` (from stepOf) whose shared
  // names differ, each such name with its two cells as the built relation
  // holds them: [{name, left, right}], the cells null where the row is not
  // told.
  function differingCells(entry, row) {
    const { shared } = entry;
    const cells = entry.step?.built?.rows[row] ?? null;
    return (shared.differing.get(row) ?? []).map((index) => ({
      name: shared.names[index],
      left: cells ? (cells[shared.leftColumns[index]] ?? null) : null,
      right: cells ? (cells[shared.builtColumns[index]] ?? null) : null,
    }));
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
    return {
      relation: tidy.relation,
      sources: tidy.sources,
      goesTo,
      merged,
      builtCount,
      moves,
      byteOrder: byteOrderOf(report),
    };
  }

  // The pair of result rows whose order as whole texts differs from a
  // reading cell by cell, as the engine names it: {rows: [a, b], texts (each
  // row's cells joined by commas), at (the first byte where the texts
  // differ, from 0), bytes ([a's, b's] there; "" past a text's end)}; texts
  // and the rest null where a row is not told whole. Null when there is none.
  function byteOrderOf(report) {
    const pair = report.explain.tidy?.byteOrder ?? null;
    if (!pair) return null;
    const textOf = (row) => {
      const cells = report.result?.rows[row];
      if (!cells || cells.some((cell) => typeof cell !== 'string')) return null;
      return cells.join(',');
    };
    const texts = pair.map(textOf);
    if (texts.includes(null)) return { rows: pair, texts: null, at: null, bytes: null };
    let at = 0;
    while (at < texts[0].length && at < texts[1].length && texts[0][at] === texts[1][at]) at += 1;
    return { rows: pair, texts, at, bytes: texts.map((text) => text.charAt(at)) };
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
    differingCells,
    lineOf,
    shortList,
    CELL_LIST,
  };
})();

// node's test runner reads the module too; the page has no `module`.
if (typeof module !== 'undefined') module.exports = WalkFacts;
