// A run's join written as a lecture writes it, from the report's facts: the
// relational-algebra expression, left-deep, "(Registration ⋈[course]
// Course) × Exam", and the SQL query a student would write for the same
// rows. Names are the report's (bytes), turned into text by the `text`
// function each entry takes. Pure: no page, no words; node's test runner
// loads it as it is (web/test/).
const Query = (() => {
  // The relations of the first line's list, by place, as the steps name
  // them; null when the facts do not reach every step, or there is none.
  function places(report, text) {
    const { steps, tidy } = report.explain;
    if (!tidy || steps.length !== report.steps.length + report.stepsLeftOut) return null;
    if (steps.length === 0) {
      const name = report.explain.relations[tidy.relation]?.name;
      return name === undefined ? null : [text(name)];
    }
    return [text(steps[0].left), ...steps.map((step) => text(step.right))];
  }

  // The expression, each step wrapping the one before in parentheses:
  // "A ⋈[x] B" for a join on x, "A × B" for a product; null as places().
  function expression(report, text) {
    const names = places(report, text);
    if (!names) return null;
    return report.explain.steps.reduce((sofar, step, k) => {
      const sign = step.attribute === null ? '\u00d7' : `\u22c8[${text(step.attribute)}]`;
      return `${k > 0 ? `(${sofar})` : sofar} ${sign} ${names[k + 1]}`;
    }, names[0]);
  }

  // Words SQL reserves that a relation or attribute may well be named.
  const RESERVED = new Set(
    (
      'ALL AND AS ASC BETWEEN BY CASE CHECK COLUMN CREATE CROSS DEFAULT DELETE DESC DISTINCT ' +
      'ELSE END EXCEPT FROM FULL GROUP HAVING IN INNER INSERT INTERSECT INTO IS JOIN KEY LEFT ' +
      'LIKE LIMIT NATURAL NOT NULL ON OR ORDER OUTER PRIMARY REFERENCES RIGHT SELECT SET TABLE ' +
      'THEN TO UNION UNIQUE UPDATE USER USING VALUES WHEN WHERE WITH'
    ).split(' '),
  );

  // A name as an SQL identifier: as it is where SQL reads it so, else in
  // double quotes, a quote in it doubled.
  function identifier(name) {
    return /^[A-Za-z_][A-Za-z0-9_]*$/.test(name) && !RESERVED.has(name.toUpperCase())
      ? name
      : `"${name.replace(/"/g, '""')}"`;
  }

  // The query giving result's rows: result's columns, DISTINCT, as the
  // tidying merges equal rows; each step a JOIN ... ON or a CROSS JOIN, the
  // left of ON the relation whose column the step compares; every column
  // in ORDER BY. A relation named twice gets an alias each time ("Emp AS
  // Emp1"); a column named in more than one relation is qualified by its
  // relation. Lines joined by "\n"; null as places(), or without result.
  function sql(report, text) {
    const names = places(report, text);
    const { result } = report;
    if (!names || !result) return null;
    const { steps, tidy } = report.explain;
    const seen = new Map();
    const references = names.map((name) => {
      const count = names.filter((other) => other === name).length;
      if (count === 1) return { from: identifier(name), as: identifier(name) };
      seen.set(name, (seen.get(name) ?? 0) + 1);
      const alias = identifier(`${name}${seen.get(name)}`);
      return { from: `${identifier(name)} AS ${alias}`, as: alias };
    });
    const columnNames = result.attributes.map(([name]) => text(name));
    // A right operand's join column is left out of result, its name kept by the left's.
    const carriers = (name) =>
      columnNames.filter((other) => other === name).length +
      steps.filter((step) => step.attribute !== null && text(step.attribute) === name).length;
    const placeOf = (column) => (steps.length === 0 ? 0 : steps.at(-1).columnPlaces[column]);
    const columns = columnNames.map((name, j) =>
      carriers(name) > 1
        ? `${references[placeOf(tidy.columns[j])].as}.${identifier(name)}`
        : identifier(name),
    );
    const lines = [`SELECT DISTINCT ${columns.join(', ')}`, `FROM ${references[0].from}`];
    steps.forEach((step, k) => {
      const right = references[k + 1];
      if (step.attribute === null) {
        lines.push(`  CROSS JOIN ${right.from}`);
        return;
      }
      const left = references[k === 0 ? 0 : steps[k - 1].columnPlaces[step.attributeColumns[0]]];
      const attribute = identifier(text(step.attribute));
      lines.push(`  JOIN ${right.from} ON ${left.as}.${attribute} = ${right.as}.${attribute}`);
    });
    lines.push(`ORDER BY ${columns.join(', ')};`);
    return lines.join('\n');
  }

  return { expression, sql };
})();

// node's test runner reads the module too; the page has no `module`.
if (typeof module !== 'undefined') module.exports = Query;
