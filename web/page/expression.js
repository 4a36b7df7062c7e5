// The run's join as a lecture writes it, above the walk-through: the
// relational-algebra expression and, beside it, the SQL query that gives
// the same rows, with a line on where SQL's order would differ from the
// program's. Every fact comes from Query, which reads the report. It owns
// #expression.
const Expression = (() => {
  const TEXTS = Language.table({
    en: {
      expressionHead: 'The join as an expression',
      sqlHead: 'The same rows in SQL',
      orderDiffers:
        'SQL\u2019s ORDER BY compares cell by cell, so it would give result rows {a} and {b} the other way round; and a database\u2019s collation may not compare bytes at all.',
      orderSame:
        'ORDER BY gives the rows of result in this same order where the database compares texts byte by byte (a binary collation).',
    },
    hu: {
      expressionHead: 'Az összekapcsolás kifejezésként',
      sqlHead: 'Ugyanezek a sorok SQL-ben',
      orderDiffers:
        'Az SQL ORDER BY záradéka cellánként hasonlít össze, ezért a result {a}. és {b}. sorát fordított sorrendben adná; ráadásul egy adatbázis rendezési szabálya (collation) nem feltétlenül bájtonként hasonlít.',
      orderSame:
        'Az ORDER BY ugyanebben a sorrendben adja a result sorait, ha az adatbázis a szövegeket bájtonként hasonlítja össze (bináris rendezési szabály).',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);
  const box = document.getElementById('expression');

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  return {
    // Shows the expression and the SQL of `record`'s join; nothing where
    // the report's facts do not reach every step.
    show(record) {
      const { report } = record;
      const expression = Query.expression(report, Shown.text);
      const sql = Query.sql(report, Shown.text);
      const parts = [];
      if (expression !== null) {
        parts.push(
          element(
            'div',
            'expression-part',
            element('h3', '', say('expressionHead')),
            element('p', 'expression-text', expression),
          ),
        );
      }
      if (sql !== null) {
        const order = report.explain.tidy.byteOrder;
        // A long line scrolls; the keyboard reaches the query to scroll it.
        const query = element('pre', 'sql', sql);
        query.tabIndex = 0;
        query.setAttribute('role', 'region');
        query.setAttribute('aria-label', say('sqlHead'));
        parts.push(
          element(
            'div',
            'expression-part',
            element('h3', '', say('sqlHead')),
            query,
            element(
              'p',
              'note',
              order ? say('orderDiffers', { a: order[0] + 1, b: order[1] + 1 }) : say('orderSame'),
            ),
          ),
        );
      }
      box.replaceChildren(...parts);
      box.hidden = parts.length === 0;
    },
    // Shows nothing.
    clear() {
      box.replaceChildren();
      box.hidden = true;
    },
  };
})();
