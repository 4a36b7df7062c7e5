// The join as an expression and in SQL (web/page/query.js), on reports
// written here: which relation the left of ON names in a chain, a relation
// named twice, names SQL cannot read bare, and facts that do not reach
// every step.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const Query = createRequire(import.meta.url)('../page/query.js');
const text = (name) => name;

// A report of a join of `steps` ({left, right, attribute, attributeColumns,
// columnPlaces}), result's columns `columns` ([name, built column]).
function reportOf(steps, columns, { stepsLeftOut = 0, byteOrder = null } = {}) {
  return {
    steps: steps.map(() => ({})),
    stepsLeftOut,
    result: { attributes: columns.map(([name]) => [name, '']) },
    explain: {
      relations: [{ name: 'Only' }],
      steps: steps.map((step, k) => ({ ...step, left: k === 0 ? step.left : null })),
      tidy: { relation: steps.length ? null : 0, columns: columns.map(([, c]) => c), byteOrder },
    },
  };
}

test('the expression nests each step in the next, and the SQL joins on the relation that holds the column compared', () => {
  const cases = [
    {
      name: 'a join, then a join on a column of the second relation, then a product',
      report: reportOf(
        [
          { left: 'A', right: 'B', attribute: 'x', attributeColumns: [0, 0], columnPlaces: [0, 1] },
          { right: 'C', attribute: 'y', attributeColumns: [1, 1], columnPlaces: [0, 1, 2] },
          {
            right: 'D',
            attribute: null,
            attributeColumns: [null, null],
            columnPlaces: [0, 1, 2, 3],
          },
        ],
        [
          ['d', 3],
          ['x', 0],
          ['y', 1],
          ['z', 2],
        ],
      ),
      expression: '((A \u22c8[x] B) \u22c8[y] C) \u00d7 D',
      sql: [
        'SELECT DISTINCT d, A.x, B.y, z',
        'FROM A',
        '  JOIN B ON A.x = B.x',
        '  JOIN C ON B.y = C.y',
        '  CROSS JOIN D',
        'ORDER BY d, A.x, B.y, z;',
      ],
    },
    {
      name: 'a relation joined with itself, and names SQL cannot read bare',
      report: reportOf(
        [
          {
            left: 'Emp',
            right: 'Emp',
            attribute: 'order',
            attributeColumns: [0, 0],
            columnPlaces: [0, 0, 1],
          },
        ],
        [
          ['name "n"', 1],
          ['name "n"', 2],
          ['order', 0],
        ],
      ),
      expression: 'Emp \u22c8[order] Emp',
      sql: [
        'SELECT DISTINCT Emp1."name ""n""", Emp2."name ""n""", Emp1."order"',
        'FROM Emp AS Emp1',
        '  JOIN Emp AS Emp2 ON Emp1."order" = Emp2."order"',
        'ORDER BY Emp1."name ""n""", Emp2."name ""n""", Emp1."order";',
      ],
    },
    {
      name: 'one relation',
      report: reportOf([], [['a', 0]]),
      expression: 'Only',
      sql: ['SELECT DISTINCT a', 'FROM Only', 'ORDER BY a;'],
    },
    {
      name: 'steps whose facts were left out',
      report: reportOf(
        [
          {
            left: 'A',
            right: 'B',
            attribute: null,
            attributeColumns: [null, null],
            columnPlaces: [0, 1],
          },
        ],
        [['a', 0]],
        { stepsLeftOut: 1 },
      ),
      expression: null,
      sql: null,
    },
  ];
  for (const c of cases) {
    assert.equal(Query.expression(c.report, text), c.expression, c.name);
    assert.equal(Query.sql(c.report, text), c.sql && c.sql.join('\n'), c.name);
  }
});
