// The walk-through of a run's join: each step with its two operands and the
// relation it built, then the tidying that makes result, one at a time with
// Previous and Next (and the arrow keys); why each built row is there and
// why an operand row made none; and, for a result row, every row it came
// from, back to the input's lines. It also words a fatal message's
// particulars. It owns #walk and what #steps shows, and marks rows in the
// Relations tables that Render drew.
//
// Every fact comes from the report's "explain" (src/wasm/report.h): the page
// finds nothing out by reading names or cells, it only looks them up.
const Walk = (() => {
  const WORDS = Language.table({
    en: {
      navigation: 'Walk through the join',
      previous: '\u2190 Previous',
      next: 'Next \u2192',
      stepTab: 'Step {n}',
      tidyTab: 'Tidy',
      keys: 'Select a row to see where it came from or what it made. The arrow keys \u2190 \u2192 go from step to step, \u2191 \u2193 from row to row of the table in focus.',
      rows1: '{n} row',
      rowsN: '{n} rows',
      chain: 'the outcome of step {n}',
      joinTitle: 'Step {step}: {left} \u22c8 {right}, on {attribute}: {leftRows} \u00d7 {rightRows} in, {built} out',
      productTitle: 'Step {step}: {left} \u00d7 {right}, a product: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin: 'A row of {left} and a row of {right} make a built row when their {attribute} cells are equal. {attribute} is the first of {left}\u2019s attributes that {right} also has; {right}\u2019s own {attribute} column is left out of the built relation.',
      ruleShared1: 'Both also have {names}, which is not compared, so it appears twice.',
      ruleSharedN: 'Both also have {names}: these are not compared, so each appears twice.',
      ruleProduct: '{left} and {right} share no attribute, so this step is a product: every row of {left} goes with every row of {right}, {leftRows} \u00d7 {rightRows} = {built} rows.',
      leftCaption: 'left: {name}',
      rightCaption: 'right: {name}',
      builtCaption: 'built by step {n}',
      rowHead: 'row',
      makesHead: 'makes built rows',
      fromHead: 'from rows (left + right)',
      noPartner: 'no partner',
      joinColumn: 'the join column',
      notShown: '{name} is not shown here: the run is too large.',
      whyBuilt: 'Built row {n} is row {l} of {left} with row {r} of {right}: both have {attribute} = {value}.',
      whyBuiltProduct: 'Built row {n} is row {l} of {left} with row {r} of {right}: a product pairs every row with every row.',
      whyMade1: 'Row {r} of {name} made built row {list}.',
      whyMadeN: 'Row {r} of {name} made built rows {list}.',
      whyNone: 'Row {r} of {name} made no built row: no row of {other} has {attribute} = {value}.',
      whyNoneProduct: 'Row {r} of {name} made no built row: {other} has no rows.',
      tidyTitle: 'Tidy: {built} built by step {step} \u2192 {result} of result',
      tidyTitleAlone: 'Tidy: {built} \u2192 {result} of result',
      tidyColumns: 'The columns go in order of their names:',
      columnMove: '{name}: column {from} \u2192 {to}',
      tidyColumnsStay: 'The columns are in order of their names already: none moves.',
      tidyMerged: 'Built rows {list} are equal: they become result row {n}, {count} rows in one.',
      tidyNoMerge: 'No two built rows are equal, so none is merged.',
      tidyOrder: 'Last, the rows are sorted by their cells, the first column first; the \u201cfrom\u201d column of result says which built rows each result row stands for.',
      goesHead: 'result row',
      fromBuiltHead: 'from built rows',
      mergedCount: '{list} ({count} merged)',
      resultCaption: 'result',
      whyGoes: 'Built row {n} becomes result row {to}.',
      trace: 'Result row {n} comes from these input rows:',
      traceAlone: 'Result row {n} stands for rows {list} of the one relation that the first line names.',
      traceRow: '{name} row {r} (line {line})',
      traceMarked: 'Their lines are marked in the editor.',
      traceLines: 'The file is not in the editor: these are its line numbers.',
      causeNoParenthesis: 'Here: line {line} has no \u201c(\u201d after its first byte.',
      causeListNotClosed: 'Here: line {line} ends before the \u201c)\u201d that closes its list.',
      causeAfterLastBlock: 'Here: line {line} comes after the last relation and has no \u201c(\u201d: rows after the last block, or an empty line among the last relation\u2019s rows.',
      tooLargeRows: 'Here: step {step}, joining {name} in, would build {found} rows; at most {max} fit.',
      tooLargeAttributes: 'Here: step {step}, joining {name} in, would build {found} attributes; at most {max} fit.',
      tooManyCells: 'Here: line {line} has {cells} cells; at most {max} fit.',
      tooManyRows: 'Here: the relation is {name}.',
      similar: 'The file has a relation named {names}: did you mean that?',
      similarNone: 'No relation of the file has a name close to it.',
      firstLine: 'Line 1, the first line, names the relations to join: it is marked in the editor.',
      firstLineNoEditor: 'Line 1, the first line, names the relations to join.',
      or: ' or ',
    },
    hu: {
      navigation: 'Az illesztés lépésről lépésre',
      previous: '\u2190 Előző',
      next: 'Következő \u2192',
      stepTab: '{n}. lépés',
      tidyTab: 'Rendezés',
      keys: 'Válassz ki egy sort: megmutatjuk, honnan jött, vagy mit hozott létre. A \u2190 \u2192 nyilakkal lépésről lépésre haladhatsz, a \u2191 \u2193 nyilakkal a kijelölt táblázat soraiban.',
      rows1: '{n} sor',
      rowsN: '{n} sor',
      chain: 'a(z) {n}. lépés eredménye',
      joinTitle: '{step}. lépés: {left} \u22c8 {right}, a(z) {attribute} szerint: {leftRows} \u00d7 {rightRows} be, {built} ki',
      productTitle: '{step}. lépés: {left} \u00d7 {right}, szorzat: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin: '{left} egy sora és {right} egy sora akkor ad egy új sort, ha a(z) {attribute} mezőjük egyenlő. A(z) {attribute} {left} attribútumai közül az első, amely {right} relációban is megvan; {right} saját {attribute} oszlopa kimarad az új relációból.',
      ruleShared1: 'Mindkettőben megvan ez is: {names}; ezt nem hasonlítjuk össze, ezért kétszer szerepel.',
      ruleSharedN: 'Mindkettőben megvannak ezek is: {names}; ezeket nem hasonlítjuk össze, ezért mindegyik kétszer szerepel.',
      ruleProduct: '{left} és {right} relációnak nincs közös attribútuma, ezért ez a lépés szorzat: {left} minden sora párt alkot {right} minden sorával, {leftRows} \u00d7 {rightRows} = {built} sor.',
      leftCaption: 'bal: {name}',
      rightCaption: 'jobb: {name}',
      builtCaption: 'a(z) {n}. lépés eredménye',
      rowHead: 'sor',
      makesHead: 'ezeket a sorokat adja',
      fromHead: 'ezekből a sorokból (bal + jobb)',
      noPartner: 'nincs párja',
      joinColumn: 'az illesztés oszlopa',
      notShown: '{name} itt nem látható: a futás túl nagy.',
      whyBuilt: 'Az új reláció {n}. sora {left} {l}. sorából és {right} {r}. sorából áll: mindkettőben {attribute} = {value}.',
      whyBuiltProduct: 'Az új reláció {n}. sora {left} {l}. sorából és {right} {r}. sorából áll: a szorzat minden sort minden sorral párosít.',
      whyMade1: '{name} {r}. sora ezt a sort adta: {list}.',
      whyMadeN: '{name} {r}. sora ezeket a sorokat adta: {list}.',
      whyNone: '{name} {r}. sora egy sort sem adott: {other} egyik sorában sem {attribute} = {value}.',
      whyNoneProduct: '{name} {r}. sora egy sort sem adott: {other} relációnak nincs sora.',
      tidyTitle: 'Rendezés: a(z) {step}. lépés eredménye ({built}) \u2192 az eredmény ({result})',
      tidyTitleAlone: 'Rendezés: {built} \u2192 az eredmény ({result})',
      tidyColumns: 'Az oszlopok nevük szerinti sorrendbe kerülnek:',
      columnMove: '{name}: {from}. oszlop \u2192 {to}. oszlop',
      tidyColumnsStay: 'Az oszlopok már a nevük szerinti sorrendben vannak: egyik sem mozdul.',
      tidyMerged: 'Ezek a sorok egyenlők: {list}; egyetlen sor lesz belőlük, az eredmény {n}. sora ({count} sorból egy).',
      tidyNoMerge: 'Nincs két egyenlő sor, így egyik sem olvad össze.',
      tidyOrder: 'Végül a sorok a mezőik szerint rendeződnek, először az első oszlop szerint; az eredmény \u201eforrás\u201d oszlopa mutatja, melyik sorokból lett az egyes eredménysor.',
      goesHead: 'eredménysor',
      fromBuiltHead: 'forrás',
      mergedCount: '{list} ({count} összevonva)',
      resultCaption: 'eredmény (result)',
      whyGoes: 'Ebből a sorból ({n}.) az eredmény {to}. sora lesz.',
      trace: 'Az eredmény {n}. sora ezekből a bemeneti sorokból jön:',
      traceAlone: 'Az eredmény {n}. sora az első sorban megnevezett egyetlen reláció ezen sorai helyett áll: {list}.',
      traceRow: '{name} {r}. sora ({line}. sor a fájlban)',
      traceMarked: 'A soraik meg vannak jelölve a szerkesztőben.',
      traceLines: 'A fájl nincs a szerkesztőben: ezek a sorszámai.',
      causeNoParenthesis: 'Itt: a(z) {line}. sorban nincs \u201e(\u201d az első bájt után.',
      causeListNotClosed: 'Itt: a(z) {line}. sor véget ér, mielőtt a listát lezáró \u201e)\u201d jönne.',
      causeAfterLastBlock: 'Itt: a(z) {line}. sor az utolsó reláció után jön, és nincs benne \u201e(\u201d: sorok az utolsó blokk után, vagy üres sor az utolsó reláció sorai között.',
      tooLargeRows: 'Itt: a(z) {step}. lépés, amely {name} relációt illeszti, {found} sort adna; legfeljebb {max} fér el.',
      tooLargeAttributes: 'Itt: a(z) {step}. lépés, amely {name} relációt illeszti, {found} attribútumot adna; legfeljebb {max} fér el.',
      tooManyCells: 'Itt: a(z) {line}. sorban {cells} mező van; legfeljebb {max} fér el.',
      tooManyRows: 'Itt: a reláció neve {name}.',
      similar: 'A fájlban van ilyen nevű reláció: {names}. Erre gondoltál?',
      similarNone: 'A fájlban nincs ehhez hasonló nevű reláció.',
      firstLine: 'Az 1. sor, az első sor nevezi meg az illesztendő relációkat: a szerkesztőben meg van jelölve.',
      firstLineNoEditor: 'Az 1. sor, az első sor nevezi meg az illesztendő relációkat.',
      or: ' vagy ',
    },
  });

  const $ = (id) => document.getElementById(id);
  const utf8 = new TextDecoder('utf-8');

  // ---- Words --------------------------------------------------------------

  // The text of `key` with `values` filled in, as nodes: a value that is a
  // Node (a name as Render shows it) goes in as it is, a number in the
  // page's language's digits.
  function say(key, values = {}) {
    const nodes = [];
    const marked = {};
    for (const [name, value] of Object.entries(values)) {
      if (value instanceof Node) {
        marked[name] = `\u0001${nodes.length}\u0001`;
        nodes.push(value);
      } else {
        marked[name] = typeof value === 'number' ? number(value) : value;
      }
    }
    const fragment = document.createDocumentFragment();
    Language.text(WORDS, key, marked).split(/\u0001(\d+)\u0001/).forEach((piece, i) => {
      if (i % 2) fragment.append(nodes[Number(piece)].cloneNode(true));
      else if (piece) fragment.append(piece);
    });
    // A sentence may start with words put in, "the outcome of step 1": its
    // first letter is a capital all the same. A name is never changed.
    const first = fragment.firstChild;
    if (first?.nodeType === Node.TEXT_NODE) first.data = first.data.charAt(0).toUpperCase() + first.data.slice(1);
    return fragment;
  }

  function number(value) {
    return value.toLocaleString(Language.current());
  }

  function rows(count) {
    return Language.text(WORDS, count === 1 ? 'rows1' : 'rowsN', { n: number(count) });
  }

  // Row numbers from 1, as a list: "1, 3, 4".
  function list(indices) {
    return indices.map((i) => number(i + 1)).join(', ');
  }

  // Names as a list, "a, b or c" (the last joined by `or`).
  function nameList(names, joiner = ', ') {
    const fragment = document.createDocumentFragment();
    names.forEach((name, i) => {
      if (i > 0) fragment.append(i === names.length - 1 && joiner === 'or' ? Language.text(WORDS, 'or') : ', ');
      fragment.append(name);
    });
    return fragment;
  }

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  const nameNode = (byteString) => Render.shown(byteString, { isName: true });

  // ---- The facts of a run ---------------------------------------------------

  // What one run's report says, looked up for the walk: `steps[k]` with the
  // step, its facts, its operands and what it built.
  function factsOf(record) {
    const report = record.report;
    const explain = report.explain;
    // A step reads the first relation of its name, as the engine does.
    const relationIndex = (name) => report.relations.findIndex((r) => r.name === name);
    const steps = report.steps.map((step, k) => {
      const facts = explain.steps[k] ?? null;
      const leftIndex = k === 0 ? relationIndex(step.left) : -1;
      const rightIndex = relationIndex(step.right);
      return {
        step,
        facts,
        leftIndex,
        rightIndex,
        left: k === 0 ? report.relations[leftIndex] ?? null : report.steps[k - 1].built,
        right: report.relations[rightIndex] ?? null,
        leftName: k === 0 ? nameNode(step.left) : document.createTextNode(Language.text(WORDS, 'chain', { n: number(k) })),
        rightName: nameNode(step.right),
      };
    });
    return { record, report, explain, steps, relationIndex };
  }

  // Built row `i` of step `facts`: [left row, right row], or undefined when
  // the report does not tell it.
  function pairOf(facts, i) {
    return facts.pairs[i] ?? facts.morePairs[i];
  }

  // The column of a step's join attribute in what it built: the first of
  // that name, as the left operand's columns come before the right's in any
  // order the step lays out, and the left's join column is its first of
  // that name.
  function builtJoinColumn(entry) {
    if (!entry.facts || entry.facts.attribute === null) return -1;
    return entry.step.built.attributes.findIndex(([name]) => name === entry.facts.attribute);
  }

  // The rows every step and every input relation gave to result row `row`:
  // {built: [Set per step], input: Map(relation index -> Set)}.
  function sourcesOfResultRow(run, row) {
    const built = run.explain.steps.map(() => new Set());
    const input = new Map();
    const addInput = (index, r) => {
      if (index < 0) return;
      if (!input.has(index)) input.set(index, new Set());
      input.get(index).add(r);
    };
    // The facts of every step, told or not, lead back; without the facts of
    // the last step nothing does.
    const { report, explain } = run;
    const stepsDone = report.steps.length + report.stepsLeftOut;
    if (explain.steps.length === 0 || explain.steps.length < stepsDone) return { built, input };
    const last = explain.steps.length - 1;
    built[last] = new Set(explain.tidy?.sources[row] ?? []);
    for (let k = last; k >= 0; k -= 1) {
      const facts = explain.steps[k];
      for (const i of built[k]) {
        const pair = pairOf(facts, i);
        if (!pair) continue;
        if (k > 0) built[k - 1].add(pair[0]);
        else addInput(run.relationIndex(facts.left), pair[0]);
        addInput(run.relationIndex(facts.right), pair[1]);
      }
    }
    return { built, input };
  }

  // The input line of row `r` of relation `index`, or null.
  function lineOf(run, index, r) {
    const lines = run.explain.relations[index];
    if (!lines) return null;
    return lines.lines[r] ?? lines.moreLines[r] ?? null;
  }

  // ---- Tables -------------------------------------------------------------

  // A relation as a table whose rows can be selected: a row number first,
  // `extra` ({head, cell(r), className(r)}) last, column `joinColumn` marked.
  // `pick(r)` hears a selected row.
  function table(relation, caption, { joinColumn = -1, extra = null, pick, id }) {
    const block = element('div', 'relation walk-relation');
    const heading = element('h4', '', caption);
    heading.append(element('span', 'count', rows(relation.rowCount)));
    block.append(heading);
    const body = element('tbody');
    const head = element('tr', '', element('th', 'row-number', Language.text(WORDS, 'rowHead')));
    relation.attributes.forEach(([name, type], k) => {
      const cell = element('th', k === joinColumn ? 'join-column' : '', nameNode(name));
      if (type) cell.append(element('span', 'type', Render.shown(type)));
      if (k === joinColumn) cell.append(element('span', 'join-tag', Language.text(WORDS, 'joinColumn')));
      head.append(cell);
    });
    if (extra) head.append(element('th', 'walk-extra', extra.head));
    relation.rows.forEach((row, r) => {
      const line = element('tr', extra?.className?.(r) ?? '', element('th', 'row-number', number(r + 1)));
      line.dataset.row = String(r);
      row.forEach((cell, k) => {
        const classes = [cell === '' ? 'empty-cell' : '', k === joinColumn ? 'join-column' : ''].join(' ').trim();
        line.append(element('td', classes, ...Render.cellContent(cell)));
      });
      if (extra) line.append(element('td', 'walk-extra', extra.cell(r)));
      body.append(line);
    });
    const wrap = element('div', 'table-wrap', element('table', '', element('thead', '', head), body));
    wrap.tabIndex = 0;
    wrap.setAttribute('role', 'region');
    wrap.setAttribute('aria-label', caption.textContent);
    wrap.dataset.table = id;
    selectable(wrap, pick);
    block.append(wrap);
    return block;
  }

  // Rows of the table in `wrap` are picked by a click, and by the arrow keys
  // while the table has the focus.
  function selectable(wrap, pick) {
    wrap.addEventListener('click', (event) => {
      const row = event.target.closest('tbody tr');
      if (row && wrap.contains(row)) pick(Number(row.dataset.row));
    });
    wrap.addEventListener('keydown', (event) => {
      if (event.key !== 'ArrowDown' && event.key !== 'ArrowUp') return;
      const count = wrap.querySelectorAll('tbody tr').length;
      if (count === 0) return;
      event.preventDefault();
      const selected = wrap.querySelector('tbody tr.selected');
      const now = selected ? Number(selected.dataset.row) : -1;
      const next = event.key === 'ArrowDown' ? Math.min(count - 1, now + 1) : Math.max(0, now - 1);
      pick(next);
    });
  }

  // ---- The panels -----------------------------------------------------------

  let run = null;        // factsOf the record shown, or null
  let current = 0;       // the panel shown: 0 .. steps, the last being Tidy
  let selection = null;  // {table, row, panel}: what the student picked, or null
  let editorMarked = false;  // whether the editor's marks are a trace's
  const walk = element('div', '');
  walk.id = 'walk';
  walk.hidden = true;
  $('steps').before(walk);

  function panelCount() {
    return run.steps.length + (run.explain.tidy ? 1 : 0);
  }

  // A table with the sign that joins it to the one before: they wrap to a
  // new line together, so that no sign is left at a line's end.
  function term(sign, block) {
    return element('div', 'walk-term', element('span', 'walk-sign', sign), block);
  }

  function stepPanel(entry, k) {
    const { step, facts } = entry;
    const product = step.attribute === null;
    const attribute = product ? null : nameNode(step.attribute);
    // A join counts rows in and out; a product multiplies: 6 x 2 = 12 rows.
    const counts = { leftRows: number(step.leftRows), rightRows: product ? number(step.rightRows) : rows(step.rightRows), built: rows(step.built.rowCount) };
    const title = element('h3', 'walk-title', product
      ? say('productTitle', { step: number(k + 1), left: entry.leftName, right: entry.rightName, ...counts })
      : say('joinTitle', { step: number(k + 1), left: entry.leftName, right: entry.rightName, attribute, ...counts }));
    const rule = element('p', 'walk-rule', product
      ? say('ruleProduct', { left: entry.leftName, right: entry.rightName, leftRows: step.leftRows, rightRows: step.rightRows, built: step.built.rowCount })
      : say('ruleJoin', { left: entry.leftName, right: entry.rightName, attribute }));
    if (facts && facts.shared.length > 0) {
      rule.append(' ', say(facts.shared.length === 1 ? 'ruleShared1' : 'ruleSharedN', { names: nameList(facts.shared.map(nameNode)) }));
    }
    const columns = facts?.attributeColumns ?? [-1, -1];
    const madeBy = (side) => (r) => facts.pairs.map((pair, i) => (pair[side] === r ? i : -1)).filter((i) => i >= 0);
    const unmatched = (side) => new Set(facts ? facts[side === 0 ? 'unmatchedLeft' : 'unmatchedRight'] : []);
    const operandExtra = (side) => (facts ? {
      head: Language.text(WORDS, 'makesHead'),
      cell: (r) => (unmatched(side).has(r) ? Language.text(WORDS, 'noPartner') : list(madeBy(side)(r))),
      className: (r) => (unmatched(side).has(r) ? 'no-partner' : ''),
    } : null);
    const operand = (relation, side, name) => {
      const caption = element('span', '', say(side === 0 ? 'leftCaption' : 'rightCaption', { name }));
      if (!relation) return element('p', 'note', say('notShown', { name }));
      return table(relation, caption, {
        joinColumn: columns[side], extra: operandExtra(side), id: side === 0 ? 'left' : 'right', pick: (r) => select({ table: side === 0 ? 'left' : 'right', row: r }),
      });
    };
    const built = table(step.built, element('span', '', say('builtCaption', { n: number(k + 1) })), {
      joinColumn: builtJoinColumn(entry),
      extra: facts ? { head: Language.text(WORDS, 'fromHead'), cell: (i) => { const pair = pairOf(facts, i); return pair ? `${number(pair[0] + 1)} + ${number(pair[1] + 1)}` : ''; } } : null,
      id: 'built',
      pick: (r) => select({ table: 'built', row: r }),
    });
    built.classList.add('built');
    const tables = element('div', 'walk-tables', operand(entry.left, 0, entry.leftName),
      term(product ? '\u00d7' : '\u22c8', operand(entry.right, 1, entry.rightName)), term('=', built));
    return [title, rule, tables];
  }

  function tidyPanel() {
    const { report, explain } = run;
    const tidy = explain.tidy;
    const last = run.steps.at(-1);
    const builtCount = tidy.sources.flat().length;
    const resultCount = report.result ? report.result.rowCount : tidy.sources.length;
    // Only when every step is shown is the last one shown the last one.
    const whole = report.stepsLeftOut === 0;
    const title = element('h3', 'walk-title', last && whole
      ? say('tidyTitle', { built: rows(last.step.built.rowCount), step: number(run.steps.length), result: rows(resultCount) })
      : say('tidyTitleAlone', { built: rows(builtCount), result: rows(resultCount) }));
    const nodes = [title];
    const moves = tidy.columns.map((from, to) => ({ from, to })).filter(({ from, to }) => from !== to);
    if (moves.length === 0 || !report.result) {
      nodes.push(element('p', 'walk-rule', say('tidyColumnsStay')));
    } else {
      nodes.push(element('p', 'walk-rule', say('tidyColumns')));
      nodes.push(element('ul', 'walk-moves', ...moves.map(({ from, to }) => element('li', '',
        say('columnMove', { name: nameNode(report.result.attributes[to][0]), from: from + 1, to: to + 1 })))));
    }
    const merged = tidy.sources.map((sources, n) => ({ sources, n })).filter(({ sources }) => sources.length > 1);
    if (merged.length === 0) nodes.push(element('p', 'walk-rule', say('tidyNoMerge')));
    for (const { sources, n } of merged) {
      nodes.push(element('p', 'walk-rule merged', say('tidyMerged', { list: list(sources), n: n + 1, count: sources.length })));
    }
    nodes.push(element('p', 'walk-rule', say('tidyOrder')));
    const goesTo = new Map();
    tidy.sources.forEach((sources, n) => sources.forEach((source) => goesTo.set(source, n)));
    const tables = [];
    if (last && whole) {
      tables.push(table(last.step.built, element('span', '', say('builtCaption', { n: number(run.steps.length) })), {
        extra: { head: Language.text(WORDS, 'goesHead'), cell: (i) => (goesTo.has(i) ? number(goesTo.get(i) + 1) : '') },
        id: 'tidy-built',
        pick: (r) => select({ table: 'tidy-built', row: r }),
      }));
    }
    if (report.result) {
      const fromCell = (n) => {
        const sources = tidy.sources[n] ?? [];
        return sources.length > 1 ? Language.text(WORDS, 'mergedCount', { list: list(sources), count: number(sources.length) }) : list(sources);
      };
      const result = table(report.result, element('span', 'mono', Language.text(WORDS, 'resultCaption')), {
        extra: { head: Language.text(WORDS, 'fromBuiltHead'), cell: fromCell, className: (n) => ((tidy.sources[n] ?? []).length > 1 ? 'merged' : '') },
        id: 'tidy-result',
        pick: (r) => select({ table: 'result', row: r }),
      });
      result.classList.add('result');
      tables.push(tables.length > 0 ? term('\u2192', result) : result);
    }
    nodes.push(element('div', 'walk-tables', ...tables));
    return nodes;
  }

  function draw() {
    const count = panelCount();
    const nav = element('nav', 'walk-nav');
    nav.setAttribute('aria-label', Language.text(WORDS, 'navigation'));
    const button = (label, to, className) => {
      const node = element('button', className, label);
      node.type = 'button';
      node.addEventListener('click', () => go(to));
      return node;
    };
    const previous = button(Language.text(WORDS, 'previous'), current - 1, 'walk-previous');
    previous.disabled = current === 0;
    const next = button(Language.text(WORDS, 'next'), current + 1, 'walk-next');
    next.disabled = current >= count - 1;
    const tabs = Array.from({ length: count }, (_, i) => {
      const label = i < run.steps.length ? Language.text(WORDS, 'stepTab', { n: number(i + 1) }) : Language.text(WORDS, 'tidyTab');
      const tab = button(label, i, 'walk-tab');
      if (i === current) tab.setAttribute('aria-current', 'step');
      return tab;
    });
    nav.append(previous, ...tabs, next);
    walk.replaceChildren(nav, element('p', 'note', say('keys')));
    walk.hidden = false;
    const items = run.steps.map((entry, k) => element('li', 'walk-panel', ...stepPanel(entry, k)));
    if (run.explain.tidy) items.push(element('li', 'walk-panel walk-tidy', ...tidyPanel()));
    items.forEach((item, i) => {
      item.hidden = i !== current;
      const why = element('p', 'walk-why');
      why.setAttribute('role', 'status');
      item.querySelector('.walk-tables').before(why);
    });
    $('steps').replaceChildren(...items);
    markResultTable();
    // A result row's trace runs through every panel; a row picked in one
    // panel belongs to that panel alone.
    if (selection?.table === 'result' || selection?.panel === current) select(selection);
    else select(null);
  }

  // Shows panel `to`, the walk's focus kept on its buttons.
  function go(to) {
    if (!run || to < 0 || to >= panelCount() || to === current) return;
    const focused = document.activeElement?.classList.contains('walk-previous') ? 'walk-previous'
      : document.activeElement?.classList.contains('walk-next') ? 'walk-next' : null;
    current = to;
    draw();
    const keep = focused && walk.querySelector(`.${focused}`);
    (keep && !keep.disabled ? keep : walk.querySelector('.walk-tab[aria-current]')).focus();
  }

  walk.addEventListener('keydown', (event) => {
    if (event.key === 'ArrowLeft') go(current - 1);
    else if (event.key === 'ArrowRight') go(current + 1);
    else return;
    event.preventDefault();
  });
  $('steps').addEventListener('keydown', (event) => {
    if (event.key === 'ArrowLeft') go(current - 1);
    else if (event.key === 'ArrowRight') go(current + 1);
    else if (event.key === 'Escape') select(null);
    else return;
    event.preventDefault();
  });

  // ---- Selecting a row ---------------------------------------------------------

  // The shown panel's table `id`, its rows by index.
  function rowsOf(id, panel = $('steps').children[current]) {
    const wrap = panel?.querySelector(`[data-table="${id}"]`);
    return wrap ? [...wrap.querySelectorAll('tbody tr')] : [];
  }

  // The result table of Relations, which Render drew.
  function resultBlock() {
    return document.querySelector('#relations > .relation.result');
  }

  function markResultTable() {
    const block = resultBlock();
    const wrap = block?.querySelector('.table-wrap');
    if (!wrap || wrap.dataset.table) return;
    wrap.dataset.table = 'result';
    [...wrap.querySelectorAll('tbody tr')].forEach((row, r) => { row.dataset.row = String(r); });
    selectable(wrap, (r) => select({ table: 'result', row: r, fromRelations: true }));
    block.after(element('p', 'walk-why result-why'));
    block.nextElementSibling.setAttribute('role', 'status');
  }

  function clearMarks() {
    for (const node of document.querySelectorAll('#steps tr.selected, #steps tr.source, #relations tr.selected, #relations tr.source')) {
      node.classList.remove('selected', 'source');
    }
    for (const why of document.querySelectorAll('.walk-why')) why.replaceChildren();
    // The editor's marks are the trace's only when the trace made them: a
    // message's marked line stays.
    if (editorMarked) Input.clearMark();
    editorMarked = false;
  }

  const mark = (rowList, indices, className = 'source') => {
    for (const i of indices) rowList[i]?.classList.add(className);
  };

  function select(picked) {
    if (!run) return;
    clearMarks();
    selection = picked ? { ...picked, panel: current } : null;
    if (!selection) return;
    const { table: id, row } = selection;
    const why = $('steps').children[current]?.querySelector('.walk-why');
    if (id === 'result') {
      traceResultRow(row, why);
      return;
    }
    mark(rowsOf(id), [row], 'selected');
    if (id === 'tidy-built') {
      const goesTo = run.explain.tidy.sources.findIndex((sources) => sources.includes(row));
      if (goesTo >= 0) {
        mark(rowsOf('tidy-result'), [goesTo]);
        why.replaceChildren(say('whyGoes', { n: row + 1, to: goesTo + 1 }));
      }
      return;
    }
    const entry = run.steps[current];
    const facts = entry?.facts;
    if (!facts) return;
    const attribute = facts.attribute === null ? null : nameNode(facts.attribute);
    if (id === 'built') {
      const pair = pairOf(facts, row);
      if (!pair) return;
      mark(rowsOf('left'), [pair[0]]);
      mark(rowsOf('right'), [pair[1]]);
      const values = { n: row + 1, l: pair[0] + 1, r: pair[1] + 1, left: entry.leftName, right: entry.rightName };
      if (attribute === null) {
        why.replaceChildren(say('whyBuiltProduct', values));
      } else {
        const value = Render.shown(entry.left?.rows[pair[0]]?.[facts.attributeColumns[0]] ?? '');
        why.replaceChildren(say('whyBuilt', { ...values, attribute, value }));
      }
      return;
    }
    const side = id === 'left' ? 0 : 1;
    const made = facts.pairs.map((pair, i) => (pair[side] === row ? i : -1)).filter((i) => i >= 0);
    mark(rowsOf('built'), made);
    const name = side === 0 ? entry.leftName : entry.rightName;
    const other = side === 0 ? entry.rightName : entry.leftName;
    if (made.length > 0) {
      why.replaceChildren(say(made.length === 1 ? 'whyMade1' : 'whyMadeN', { r: row + 1, name, list: list(made) }));
    } else if (attribute === null) {
      why.replaceChildren(say('whyNoneProduct', { r: row + 1, name, other }));
    } else {
      const operand = side === 0 ? entry.left : entry.right;
      const value = Render.shown(operand?.rows[row]?.[facts.attributeColumns[side]] ?? '');
      why.replaceChildren(say('whyNone', { r: row + 1, name, other, attribute, value }));
    }
  }

  // Result row `row`: the result rows, the built rows of every step and the
  // input rows it came from, marked wherever they are shown; their lines
  // marked in the editor, or given in words when the editor does not hold
  // the file.
  function traceResultRow(row, why) {
    const { built, input } = sourcesOfResultRow(run, row);
    const panels = [...$('steps').children];
    const resultRows = [rowsOf('result', resultBlock()), rowsOf('tidy-result', panels[run.steps.length])];
    for (const rowList of resultRows) mark(rowList, [row], 'selected');
    run.steps.forEach((entry, k) => {
      const panel = panels[k];
      mark(rowsOf('built', panel), built[k] ?? []);
      mark(rowsOf('left', panel), k > 0 ? built[k - 1] ?? [] : input.get(entry.leftIndex) ?? []);
      mark(rowsOf('right', panel), input.get(entry.rightIndex) ?? []);
    });
    if (built.length > 0) mark(rowsOf('tidy-built', panels[run.steps.length]), built.at(-1));
    const blocks = document.querySelectorAll('#relations > .relation:not(.result)');
    const lines = [];
    const items = [];
    for (const [index, sourceRows] of [...input.entries()].sort((a, b) => a[0] - b[0])) {
      const tableRows = [...(blocks[index]?.querySelectorAll('tbody tr') ?? [])];
      mark(tableRows, sourceRows);
      for (const r of [...sourceRows].sort((a, b) => a - b)) {
        const line = lineOf(run, index, r);
        if (line !== null) lines.push(line);
        items.push(element('li', '', say('traceRow', { name: nameNode(run.report.relations[index].name), r: r + 1, line: line ?? '?' })));
      }
    }
    const inEditor = run.record.input.inEditor;
    const words = run.report.steps.length + run.report.stepsLeftOut === 0
      ? [say('traceAlone', { n: row + 1, list: list(run.explain.tidy?.sources[row] ?? []) })]
      : [element('span', '', say('trace', { n: row + 1 })), element('ul', 'walk-trace', ...items)];
    if (lines.length > 0) words.push(element('span', '', say(inEditor ? 'traceMarked' : 'traceLines')));
    for (const box of [why, selection.fromRelations ? document.querySelector('.result-why') : null]) {
      box?.replaceChildren(...words.map((node) => node.cloneNode(true)));
    }
    if (inEditor && lines.length > 0) {
      Input.markLines(lines);
      editorMarked = true;
    }
  }

  // ---- Messages in their particulars -----------------------------------------

  // A fatal message's particulars in words, for the status; null when its
  // kind has none.
  function particularsOf(record) {
    const message = record.report.message;
    const fields = record.report.explain.particulars;
    if (!message || !fields) return null;
    const line = message.line;
    switch (message.kind) {
      case 'bad-header': {
        const key = { 'no-parenthesis': 'causeNoParenthesis', 'list-not-closed': 'causeListNotClosed', 'line-after-last-block': 'causeAfterLastBlock' }[fields.cause];
        return key ? [say(key, { line })] : null;
      }
      case 'result-too-large':
        return [say(fields.limit === 'rows' ? 'tooLargeRows' : 'tooLargeAttributes', { step: fields.step, name: nameNode(fields.name), found: fields.found, max: fields.max })];
      case 'too-many-cells':
        return [say('tooManyCells', { line, cells: fields.cells, max: fields.max })];
      case 'too-many-rows':
        return [say('tooManyRows', { name: nameNode(fields.name) })];
      case 'unknown-relation': {
        const names = fields.similarNames ?? [];
        const offered = names.length > 0 ? say('similar', { names: nameList(names.map(nameNode), 'or') }) : say('similarNone');
        return [offered, ' ', say(record.input.inEditor ? 'firstLine' : 'firstLineNoEditor')];
      }
      default:
        return null;
    }
  }

  // What clear() took away: a new language draws the same record again
  // through clear() and show(), and the student keeps the step and the row
  // picked.
  let taken = null;

  return {
    // Shows the walk-through of `record`'s join, from its first step; shows
    // nothing when the run made no step and no result.
    show(record) {
      const same = taken?.record === record;
      run = factsOf(record);
      current = same ? taken.current : 0;
      selection = same ? taken.selection : null;
      taken = null;
      if (panelCount() === 0) {
        Walk.clear();
        return;
      }
      draw();
    },
    // Takes the walk-through away.
    clear() {
      taken = run ? { record: run.record, current, selection } : null;
      run = null;
      selection = null;
      editorMarked = false;
      walk.hidden = true;
      walk.replaceChildren();
    },
    // A paragraph with the particulars of `record`'s message, or null.
    particulars(record) {
      const words = particularsOf(record);
      if (!words) return null;
      return element('p', 'particulars', ...words);
    },
  };
})();
