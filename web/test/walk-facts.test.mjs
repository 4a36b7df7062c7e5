// The walk-through's facts (web/page/walk-facts.js), on reports made here
// by a deliberately simple join of random relations: which built rows an
// operand row made, and where a result row came from, past the first page
// of rows.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const WalkFacts = createRequire(import.meta.url)('../page/walk-facts.js');

// A small random generator, so that a failure can be run again.
function random(seed) {
  let state = seed >>> 0;
  return (n) => {
    state = (state * 1664525 + 1013904223) >>> 0;
    return state % n;
  };
}

// The report of joining `relations` ([{name, attributes, rows}]) left to
// right, each step on the first attribute of the left that the right has
// (a product when none), as the join defines it: every pair in order, the
// built rows left cells then right cells without the join column; result
// the distinct rows of the last step sorted as texts, columns by name.
function reportOf(relations) {
  const steps = [];
  const explainSteps = [];
  let left = relations[0];
  for (let k = 1; k < relations.length; k += 1) {
    const right = relations[k];
    const l = left.attributes.findIndex(([name]) =>
      right.attributes.some(([other]) => other === name),
    );
    const r = l < 0 ? null : right.attributes.findIndex(([name]) => name === left.attributes[l][0]);
    const pairs = [];
    left.rows.forEach((a, i) =>
      right.rows.forEach((b, j) => {
        if (l < 0 || a[l] === b[r]) pairs.push([i, j]);
      }),
    );
    const keep = (_, c) => c !== r;
    const built = {
      attributes: [...left.attributes, ...right.attributes.filter(keep)],
      rowCount: pairs.length,
      rows: pairs.map(([i, j]) => [...left.rows[i], ...right.rows[j].filter(keep)]),
    };
    steps.push({
      left: k === 1 ? left.name : '',
      right: right.name,
      attribute: l < 0 ? null : left.attributes[l][0],
      leftRows: left.rows.length,
      rightRows: right.rows.length,
      built,
    });
    // The other names both carry, where the built relation holds each, and
    // the built rows whose two cells of one of them differ.
    const shared =
      l < 0
        ? []
        : left.attributes
            .map(([n]) => n)
            .filter((n, c) => c !== l && right.attributes.some(([other]) => other === n));
    const sharedColumns = shared.map((n) => {
      const inLeft = left.attributes.findIndex(([a]) => a === n);
      const inRight = right.attributes.findIndex(([a]) => a === n);
      return [inLeft, left.attributes.length + inRight - (inRight > r ? 1 : 0)];
    });
    const differing = [];
    pairs.forEach(([i, j], row) =>
      shared.forEach((n) => {
        const inLeft = left.attributes.findIndex(([a]) => a === n);
        const inRight = right.attributes.findIndex(([a]) => a === n);
        if (left.rows[i][inLeft] !== right.rows[j][inRight]) differing.push([row, n]);
      }),
    );
    explainSteps.push({
      leftRelation: k === 1 ? 0 : null,
      rightRelation: k,
      attributeColumns: l < 0 ? [null, null] : [l, r],
      shared,
      sharedColumns,
      differing,
      keptByAllShared: pairs.length - new Set(differing.map(([row]) => row)).size,
      selfJoin: false,
      pairs,
      unmatchedLeft: left.rows.map((_, i) => i).filter((i) => !pairs.some((p) => p[0] === i)),
      unmatchedRight: right.rows.map((_, j) => j).filter((j) => !pairs.some((p) => p[1] === j)),
    });
    left = built;
  }
  const order = left.attributes
    .map((_, c) => c)
    .sort((a, b) => (left.attributes[a][0] < left.attributes[b][0] ? -1 : 1));
  const texts = left.rows.map((row) => order.map((c) => row[c]).join(','));
  const distinct = [...new Set(texts)].sort((a, b) => (Buffer.from(a) < Buffer.from(b) ? -1 : 1));
  return {
    relations,
    steps,
    stepsLeftOut: 0,
    result: {
      attributes: order.map((c) => left.attributes[c]),
      rowCount: distinct.length,
      rows: distinct.map((t) => t.split(',')),
    },
    explain: {
      relations: relations.map((r, i) => ({
        name: r.name,
        lines: r.rows.map((_, row) => 100 * i + row + 3),
      })),
      steps: explainSteps,
      tidy: {
        relation: null,
        columns: order,
        sources: distinct.map((t) => texts.flatMap((u, i) => (u === t ? [i] : []))),
      },
    },
  };
}

// A relation of `count` rows whose cells are drawn from a few values, so
// that rows repeat and keys match several times.
function relationOf(name, attributes, count, draw) {
  return {
    name,
    attributes: attributes.map((a) => [a, '']),
    rows: Array.from({ length: count }, () => attributes.map(() => String(draw(4)))),
  };
}

test('an operand row made exactly the built rows whose pair holds it, on every page of rows', () => {
  for (let seed = 1; seed <= 20; seed += 1) {
    const draw = random(seed);
    const report = reportOf([
      relationOf('A', ['k', 'a'], 20 + draw(20), draw),
      relationOf('B', ['k', 'b'], 20 + draw(20), draw),
    ]);
    const [step] = WalkFacts.of(report).steps;
    const [a, b] = report.relations;
    const built = report.steps[0].built.rows;
    for (const [side, relation, other] of [
      [0, a, b],
      [1, b, a],
    ]) {
      relation.rows.forEach((row, r) => {
        const partners = other.rows.filter((o) => o[0] === row[0]).length;
        const made = step.made(side, r);
        const where = `seed ${seed}: row ${r + 1} of ${relation.name}`;
        assert.equal(made.length, partners, where);
        assert.equal(step.unmatched[side].has(r), partners === 0, `${where}, unmatched`);
        const cells = side === 0 ? row : row.slice(1);
        for (const i of made)
          assert.deepEqual(
            side === 0 ? built[i].slice(0, 2) : built[i].slice(2),
            cells,
            `${where}: built row ${i + 1}`,
          );
      });
    }
  }
});

// A result row's input rows, found by their cells: the rows of each input
// relation that some chain of rows, one of each relation, joins into it.
function inputRowsByCells(report, resultRow) {
  const [a, b, c] = report.relations;
  const wanted = report.result.rows[resultRow].join(',');
  const found = [new Set(), new Set(), new Set()];
  const last = report.steps.at(-1).built;
  const order = report.explain.tidy.columns;
  const pairs = report.explain.steps;
  last.rows.forEach((row, i) => {
    if (order.map((col) => row[col]).join(',') !== wanted) return;
    const [left, right2] = pairs[1].pairs[i];
    const [left1, right1] = pairs[0].pairs[left];
    // The rows' own cells must be in the built row, each where it went.
    assert.deepEqual(row, [
      ...a.rows[left1],
      ...b.rows[right1].filter((_, col) => col !== pairs[0].attributeColumns[1]),
      ...c.rows[right2].filter((_, col) => col !== pairs[1].attributeColumns[1]),
    ]);
    found[0].add(left1);
    found[1].add(right1);
    found[2].add(right2);
  });
  return found.map((set) => [...set].sort((x, y) => x - y));
}

test('a result row leads back through every step to the input rows that make it, left rows from the left', () => {
  for (let seed = 1; seed <= 20; seed += 1) {
    const draw = random(seed);
    const report = reportOf([
      relationOf('A', ['k', 'a'], 10 + draw(25), draw),
      relationOf('B', ['k', 'm'], 5 + draw(10), draw),
      seed % 4 === 0
        ? relationOf('C', ['z'], 3, draw)
        : relationOf('C', ['m', 'c'], 5 + draw(10), draw),
    ]);
    report.result.rows.forEach((_, row) => {
      const traced = WalkFacts.trace(report, row);
      const byRelation = [0, 1, 2].map(
        (i) => traced.input.find((entry) => entry.relation === i)?.rows ?? [],
      );
      assert.deepEqual(
        byRelation,
        inputRowsByCells(report, row),
        `seed ${seed}: result row ${row + 1}`,
      );
      assert.deepEqual(traced.built.at(-1), report.explain.tidy.sources[row]);
    });
  }
});

test('the tidying: merged rows past row 25, each built row going into one result row; one relation named alone', () => {
  const a = {
    name: 'A',
    attributes: [['k', '']],
    rows: Array.from({ length: 40 }, (_, i) => [String(i < 30 ? i : 31)]),
  };
  const b = {
    name: 'B',
    attributes: [['k', '']],
    rows: Array.from({ length: 40 }, (_, i) => [String(i)]),
  };
  const report = reportOf([a, b]);
  const { tidy } = WalkFacts.of(report);
  assert.deepEqual(
    tidy.merged.map(({ sources }) => sources),
    [[30, 31, 32, 33, 34, 35, 36, 37, 38, 39]],
  );
  assert.equal(tidy.builtCount, 40);
  assert.ok([...tidy.goesTo].every((to) => to >= 0));
  // With one name in the first line, result's rows stand for that relation's rows.
  const alone = {
    ...report,
    steps: [],
    explain: {
      ...report.explain,
      steps: [],
      tidy: { relation: 1, columns: [0], sources: [[0, 2], [1]] },
    },
  };
  assert.deepEqual(WalkFacts.trace(alone, 0), {
    built: [],
    input: [{ relation: 1, rows: [0, 2] }],
  });
  assert.equal(WalkFacts.lineOf(alone, 1, 39), 142);
});

test('a shared name not compared: its columns in each table, and the two cells of every built row where they differ', () => {
  // The shared name t before and after the right operand's join column.
  for (const rightAttributes of [
    ['t', 'x', 'k'],
    ['k', 'x', 't'],
  ]) {
    for (let seed = 1; seed <= 10; seed += 1) {
      const draw = random(seed);
      const left = relationOf('A', ['a', 'k', 't'], 10 + draw(10), draw);
      const right = relationOf('B', rightAttributes, 10 + draw(10), draw);
      const report = reportOf([left, right]);
      const [entry] = WalkFacts.of(report).steps;
      const t = right.attributes.findIndex(([n]) => n === 't');
      assert.deepEqual(entry.shared.rightColumns, [t]);
      assert.deepEqual(entry.shared.leftColumns, [2]);
      let kept = 0;
      report.explain.steps[0].pairs.forEach(([i, j], row) => {
        const [a, b] = [left.rows[i][2], right.rows[j][t]];
        const expected = a === b ? [] : [{ name: 't', left: a, right: b }];
        assert.deepEqual(WalkFacts.differingCells(entry, row), expected);
        if (a === b) kept += 1;
      });
      assert.equal(entry.shared.kept, kept);
    }
  }
});

test('result rows ordered by bytes, not cell by cell: the first byte of the row texts that differs', () => {
  const report = {
    relations: [],
    steps: [],
    stepsLeftOut: 0,
    result: {
      attributes: [
        ['c', ''],
        ['n', ''],
      ],
      rowCount: 2,
      rows: [
        ['New York', '1'],
        ['New', '1'],
      ],
    },
    explain: {
      relations: [],
      steps: [],
      tidy: { relation: 0, columns: [0, 1], sources: [[1], [0]], byteOrder: [0, 1] },
    },
  };
  assert.deepEqual(WalkFacts.of(report).tidy.byteOrder, {
    rows: [0, 1],
    texts: ['New York,1', 'New,1'],
    at: 3,
    bytes: [' ', ','],
  });
});
