// The walk-through's words, in English and Hungarian, and how its sentences
// are put together: a name goes in as the page shows it, a number in the
// page's language's digits, a list of rows longer than fits with "and N
// more" and a way to see them all.
const WalkWords = (() => {
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
      joinTitle:
        'Step {step}: {left} \u22c8 {right}, on {attribute}: {leftRows} \u00d7 {rightRows} in, {built} out',
      productTitle:
        'Step {step}: {left} \u00d7 {right}, a product: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin:
        'A row of {left} and a row of {right} make a built row when their {attribute} cells are equal. {attribute} is the first of {left}\u2019s attributes that {right} also has; {right}\u2019s own {attribute} column is left out of the built relation.',
      ruleShared1: 'Both also have {names}, which is not compared, so it appears twice.',
      ruleSharedN: 'Both also have {names}: these are not compared, so each appears twice.',
      ruleProduct:
        '{left} and {right} share no attribute, so this step is a product: every row of {left} goes with every row of {right}, {leftRows} \u00d7 {rightRows} = {built} rows.',
      leftCaption: 'left: {name}',
      rightCaption: 'right: {name}',
      builtCaption: 'built by step {n}',
      rowHead: 'row',
      makesHead: 'makes built rows',
      fromHead: 'from rows (left + right)',
      noPartner: 'no partner',
      joinColumn: 'the join column',
      notShown: '{name} is not shown here: the run is too large.',
      whyBuilt:
        'Built row {n} is row {l} of {left} with row {r} of {right}: both have {attribute} = {value}.',
      whyBuiltProduct:
        'Built row {n} is row {l} of {left} with row {r} of {right}: a product pairs every row with every row.',
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
      tidyOrder:
        'Last, the rows are sorted by their cells, the first column first; the \u201cfrom\u201d column of result says which built rows each result row stands for.',
      goesHead: 'result row',
      fromBuiltHead: 'from built rows',
      mergedCount: '{list} ({count} merged)',
      resultCaption: 'result',
      whyGoes: 'Built row {n} becomes result row {to}.',
      trace: 'Result row {n} comes from these input rows:',
      traceAlone:
        'Result row {n} stands for rows {list} of the one relation that the first line names.',
      traceRow: '{name} row {r} (line {line})',
      traceMarked: 'Their lines are marked in the editor.',
      traceLines: 'The file is not in the editor: these are its line numbers.',
      causeNoParenthesis: 'Here: line {line} has no \u201c(\u201d after its first byte.',
      causeListNotClosed: 'Here: line {line} ends before the \u201c)\u201d that closes its list.',
      causeAfterLastBlock:
        'Here: line {line} comes after the last relation and has no \u201c(\u201d: rows after the last block, or an empty line among the last relation\u2019s rows.',
      tooLargeRows:
        'Here: step {step}, joining {name} in, would build {found} rows; at most {max} fit.',
      tooLargeAttributes:
        'Here: step {step}, joining {name} in, would build {found} attributes; at most {max} fit.',
      tooManyCells: 'Here: line {line} has {cells} cells; at most {max} fit.',
      tooManyRows: 'Here: the relation is {name}.',
      similar: 'The file has a relation named {names}: did you mean that?',
      similarNone: 'No relation of the file has a name close to it.',
      firstLine: 'Line 1, the first line, names the relations to join: it is marked in the editor.',
      firstLineNoEditor: 'Line 1, the first line, names the relations to join.',
      or: ' or ',
      andMore: '\u2026 and {n} more',
      showAll: 'and {n} more: show them all',
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
      joinTitle:
        '{step}. lépés: {left} \u22c8 {right}, a(z) {attribute} szerint: {leftRows} \u00d7 {rightRows} be, {built} ki',
      productTitle:
        '{step}. lépés: {left} \u00d7 {right}, szorzat: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin:
        '{left} egy sora és {right} egy sora akkor ad egy új sort, ha a(z) {attribute} mezőjük egyenlő. A(z) {attribute} {left} attribútumai közül az első, amely {right} relációban is megvan; {right} saját {attribute} oszlopa kimarad az új relációból.',
      ruleShared1:
        'Mindkettőben megvan ez is: {names}; ezt nem hasonlítjuk össze, ezért kétszer szerepel.',
      ruleSharedN:
        'Mindkettőben megvannak ezek is: {names}; ezeket nem hasonlítjuk össze, ezért mindegyik kétszer szerepel.',
      ruleProduct:
        '{left} és {right} relációnak nincs közös attribútuma, ezért ez a lépés szorzat: {left} minden sora párt alkot {right} minden sorával, {leftRows} \u00d7 {rightRows} = {built} sor.',
      leftCaption: 'bal: {name}',
      rightCaption: 'jobb: {name}',
      builtCaption: 'a(z) {n}. lépés eredménye',
      rowHead: 'sor',
      makesHead: 'ezeket a sorokat adja',
      fromHead: 'ezekből a sorokból (bal + jobb)',
      noPartner: 'nincs párja',
      joinColumn: 'az illesztés oszlopa',
      notShown: '{name} itt nem látható: a futás túl nagy.',
      whyBuilt:
        'Az új reláció {n}. sora {left} {l}. sorából és {right} {r}. sorából áll: mindkettőben {attribute} = {value}.',
      whyBuiltProduct:
        'Az új reláció {n}. sora {left} {l}. sorából és {right} {r}. sorából áll: a szorzat minden sort minden sorral párosít.',
      whyMade1: '{name} {r}. sora ezt a sort adta: {list}.',
      whyMadeN: '{name} {r}. sora ezeket a sorokat adta: {list}.',
      whyNone:
        '{name} {r}. sora egy sort sem adott: {other} egyik sorában sem {attribute} = {value}.',
      whyNoneProduct: '{name} {r}. sora egy sort sem adott: {other} relációnak nincs sora.',
      tidyTitle: 'Rendezés: a(z) {step}. lépés eredménye ({built}) \u2192 az eredmény ({result})',
      tidyTitleAlone: 'Rendezés: {built} \u2192 az eredmény ({result})',
      tidyColumns: 'Az oszlopok nevük szerinti sorrendbe kerülnek:',
      columnMove: '{name}: {from}. oszlop \u2192 {to}. oszlop',
      tidyColumnsStay: 'Az oszlopok már a nevük szerinti sorrendben vannak: egyik sem mozdul.',
      tidyMerged:
        'Ezek a sorok egyenlők: {list}; egyetlen sor lesz belőlük, az eredmény {n}. sora ({count} sorból egy).',
      tidyNoMerge: 'Nincs két egyenlő sor, így egyik sem olvad össze.',
      tidyOrder:
        'Végül a sorok a mezőik szerint rendeződnek, először az első oszlop szerint; az eredmény \u201eforrás\u201d oszlopa mutatja, melyik sorokból lett az egyes eredménysor.',
      goesHead: 'eredménysor',
      fromBuiltHead: 'forrás',
      mergedCount: '{list} ({count} összevonva)',
      resultCaption: 'eredmény (result)',
      whyGoes: 'Ebből a sorból ({n}.) az eredmény {to}. sora lesz.',
      trace: 'Az eredmény {n}. sora ezekből a bemeneti sorokból jön:',
      traceAlone:
        'Az eredmény {n}. sora az első sorban megnevezett egyetlen reláció ezen sorai helyett áll: {list}.',
      traceRow: '{name} {r}. sora ({line}. sor a fájlban)',
      traceMarked: 'A soraik meg vannak jelölve a szerkesztőben.',
      traceLines: 'A fájl nincs a szerkesztőben: ezek a sorszámai.',
      causeNoParenthesis: 'Itt: a(z) {line}. sorban nincs \u201e(\u201d az első bájt után.',
      causeListNotClosed:
        'Itt: a(z) {line}. sor véget ér, mielőtt a listát lezáró \u201e)\u201d jönne.',
      causeAfterLastBlock:
        'Itt: a(z) {line}. sor az utolsó reláció után jön, és nincs benne \u201e(\u201d: sorok az utolsó blokk után, vagy üres sor az utolsó reláció sorai között.',
      tooLargeRows:
        'Itt: a(z) {step}. lépés, amely {name} relációt illeszti, {found} sort adna; legfeljebb {max} fér el.',
      tooLargeAttributes:
        'Itt: a(z) {step}. lépés, amely {name} relációt illeszti, {found} attribútumot adna; legfeljebb {max} fér el.',
      tooManyCells: 'Itt: a(z) {line}. sorban {cells} mező van; legfeljebb {max} fér el.',
      tooManyRows: 'Itt: a reláció neve {name}.',
      similar: 'A fájlban van ilyen nevű reláció: {names}. Erre gondoltál?',
      similarNone: 'A fájlban nincs ehhez hasonló nevű reláció.',
      firstLine:
        'Az 1. sor, az első sor nevezi meg az illesztendő relációkat: a szerkesztőben meg van jelölve.',
      firstLineNoEditor: 'Az 1. sor, az első sor nevezi meg az illesztendő relációkat.',
      or: ' vagy ',
      andMore: '\u2026 és még {n}',
      showAll: 'és még {n}: mind mutasd',
    },
  });

  // Where a node goes in a text: U+0001, its index, U+0001.
  // eslint-disable-next-line no-control-regex
  const NODE_AT = /\u0001(\d+)\u0001/;

  // The text of `key` with `values` filled in, as nodes: a value that is a
  // Node (a name as shown) goes in as it is, a number in the page's
  // language's digits.
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
    Language.text(WORDS, key, marked)
      .split(NODE_AT)
      .forEach((piece, i) => {
        // A fragment (a list made for this sentence) goes in itself, with the
        // listeners of its buttons; a node, a name shown in many places, as a copy.
        if (i % 2) {
          const node = nodes[Number(piece)];
          fragment.append(node instanceof DocumentFragment ? node : node.cloneNode(true));
        } else if (piece) fragment.append(piece);
      });
    // A sentence may start with words put in, "the outcome of step 1": its
    // first letter is a capital all the same. A name is never changed.
    const first = fragment.firstChild;
    if (first?.nodeType === Node.TEXT_NODE)
      first.data = first.data.charAt(0).toUpperCase() + first.data.slice(1);
    return fragment;
  }

  function number(value) {
    return value.toLocaleString(Language.current());
  }

  // Row numbers from 0, as the words "1, 3, 4".
  const numbers = (indices) => indices.map((i) => number(i + 1)).join(', ');

  // A list of rows (numbers from 0) as a fragment: "1, 3, 4"; past `limit`
  // rows, the first of them and a button "and N more" that shows the rest.
  function rowList(indices, limit = 20) {
    const fragment = document.createDocumentFragment();
    if (indices.length <= limit) {
      fragment.append(numbers(indices));
      return fragment;
    }
    const rest = indices.length - limit;
    const more = document.createElement('button');
    more.type = 'button';
    more.className = 'show-all';
    more.textContent = Language.text(WORDS, 'showAll', { n: number(rest) });
    more.addEventListener('click', () => {
      const all = document.createElement('span');
      all.textContent = `, ${numbers(indices.slice(limit))}`;
      more.replaceWith(all);
    });
    fragment.append(`${numbers(indices.slice(0, limit))} `, more);
    return fragment;
  }

  // A list of rows for a table's cell: the first few, and "... and N more".
  function shortRowList(indices) {
    const { shown, more } = WalkFacts.shortList(indices);
    const words = numbers(shown);
    return more > 0 ? `${words} ${Language.text(WORDS, 'andMore', { n: number(more) })}` : words;
  }

  // Names (nodes) as a list, "a, b or c" (the last joined by `or`).
  function nameList(names, joiner = ', ') {
    const fragment = document.createDocumentFragment();
    names.forEach((name, i) => {
      if (i > 0)
        fragment.append(
          i === names.length - 1 && joiner === 'or' ? Language.text(WORDS, 'or') : ', ',
        );
      fragment.append(name);
    });
    return fragment;
  }

  return {
    say,
    // The plain text of `key`, `values` filled in.
    text: (key, values) => Language.text(WORDS, key, values),
    number,
    // "1 row", "4 rows".
    rows: (count) => Language.text(WORDS, count === 1 ? 'rows1' : 'rowsN', { n: number(count) }),
    numbers,
    rowList,
    shortRowList,
    nameList,
    // A name from the report (bytes), as shown.
    name: (byteString) => Shown.shown(byteString, { isName: true }),
  };
})();
