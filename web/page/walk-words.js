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
      rows: { one: '1 row', other: '{n} rows' },
      relationPhrase: '{name}',
      chain: 'the outcome of step {n}',
      chainShort: 'the outcome of step {n}',
      joinTitle:
        'Step {step}: {left} \u22c8[{attribute}] {right}, an equi-join on {attribute} alone: {leftRows} and {rightRows} \u2192 {built}',
      productTitle:
        'Step {step}: {left} \u00d7 {right}, a Cartesian product: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin:
        'A row of {left} and a row of {right} make a built row when their {attribute} cells hold exactly the same. {attribute} is the first attribute of {left} that {right} also has; {right}\u2019s own {attribute} column is left out of the built relation.',
      ruleKind:
        'This step is a join on one attribute: an equi-join on {attribute}, the right copy of {attribute} dropped.',
      ruleShared: {
        one: 'Both also have {names}, but only {attribute} is compared (a natural join would compare {names} too), so {names} appears twice: its columns are marked.',
        other:
          'Both also have {names}, but only {attribute} is compared (a natural join would compare these too), so each of them appears twice: their columns are marked.',
      },
      differing: {
        one: '{n} built row holds two different values under a shared name: it is marked, with the two values.',
        other:
          '{n} built rows hold two different values under a shared name: they are marked, with the two values.',
      },
      noDiffering: 'In every built row, the two columns of each shared name hold the same value.',
      keptAll: {
        one: 'A join on every shared name would keep {kept} of this {n} row.',
        other: 'A join on every shared name would keep {kept} of these {n} rows.',
      },
      differCell: '{name}: {left} \u2260 {right}',
      selfJoin:
        '{left} is joined with itself. A join on every attribute would give back its own rows; this step compares only {attribute}, so each row pairs with every row of the same {attribute}, itself included.',
      sharedTag: 'shared, not compared',
      ruleProduct:
        '{left} and {right} share no attribute name, so this step is a Cartesian product: every row of {left} goes with every row of {right}, {leftRows} \u00d7 {rightRows} = {built}.',
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
        'Built row {n} is row {l} of {left} with row {r} of {right}: a Cartesian product pairs every row with every row.',
      whyMade: {
        one: 'Row {r} of {name} made built row {list}.',
        other: 'Row {r} of {name} made built rows {list}.',
      },
      whyNone: 'Row {r} of {name} made no built row: no row of {other} has {attribute} = {value}.',
      whyNoneProduct: 'Row {r} of {name} made no built row: {other} has no rows.',
      tidyTitle: 'Tidy: {built} built by step {step} \u2192 {result} of result',
      tidyTitleAlone: 'Tidy: {built} of {name} \u2192 {result} of result',
      tidyColumns: 'The columns go in order of their names, compared byte by byte:',
      columnMove: '{name}: column {from} \u2192 {to}',
      tidyColumnsStay: 'The columns are in order of their names already: none moves.',
      tidyMerged:
        'Rows {list} are equal, duplicates: they become one, result row {n} ({count} rows in one).',
      tidyNoMerge: 'No two built rows are equal, so there is nothing to merge.',
      tidyOrder:
        'Last, the rows are put in order, each compared as one whole text (its cells joined by commas), byte by byte: so 10 comes before 9, and \u201cNew York,1\u201d before \u201cNew,1\u201d, since a blank comes before a comma. The \u201cfrom\u201d column of result says which rows each result row stands for.',
      tidyByteOrder:
        'On this input it matters: result row {a} comes before result row {b}, since their texts first differ at byte {at}, {byteA} in one and {byteB} in the other, and {byteA} is the smaller byte. Compared cell by cell, the two rows would come the other way round.',
      byteEnd: 'the end of the text',
      byteShown: '\u201c{byte}\u201d (0x{code})',
      byteRow: 'result row {n}: ',
      goesHead: 'result row',
      fromBuiltHead: 'from built rows',
      fromRowsHead: 'from rows',
      mergedCount: '{list} ({count} merged)',
      resultCaption: 'result',
      whyGoes: 'Built row {n} becomes result row {to}.',
      trace: 'Result row {n} comes from these input rows:',
      traceAlone: {
        one: 'Result row {row} is row {list} of {name}, the one relation that the first line names.',
        other:
          'Result row {row} stands for rows {list} of {name}, the one relation that the first line names: these rows are equal, so they became one.',
      },
      traceRow: '{name} row {r} (line {line})',
      traceMarked: 'Their lines are marked in the editor.',
      traceLines: 'The file is not in the editor: the numbers in brackets are its lines.',
      causeNoParenthesis: 'Here: line {line} has no \u201c(\u201d after its first byte.',
      causeListNotClosed: 'Here: line {line} ends before the \u201c)\u201d that closes its list.',
      causeAfterLastBlock:
        'Here: line {line} comes after the last relation and has no \u201c(\u201d: rows after the last block, or an empty line among the last relation\u2019s rows.',
      tooLargeRows:
        'Here: step {step}, joining {name} in, would build {found} rows; at most {max} are allowed.',
      tooLargeAttributes:
        'Here: step {step}, joining {name} in, would build {found} attributes; at most {max} are allowed.',
      tooManyCells: 'Here: line {line} has {cells} cells; at most {max} are allowed.',
      tooManyRows: 'Here: the relation is {name}.',
      similar: 'The file has a relation with a similar name: did you mean {names}?',
      similarNone: 'No relation of the file has a name close to it.',
      firstLine: 'Line 1, the first line, names the relations to join: it is marked in the editor.',
      firstLineNoEditor: 'Line 1, the first line, names the relations to join.',
      or: ' or ',
      andMore: '\u2026 and {n} more',
      showAll: 'and {n} more: show them all',
    },
    hu: {
      navigation: 'Az összekapcsolás lépésről lépésre',
      previous: '\u2190 Előző',
      next: 'Következő \u2192',
      stepTab: '{n}. lépés',
      tidyTab: 'Rendezés és összevonás',
      keys: 'Válassz ki egy sort: az oldal megmutatja, honnan származik, vagy mely sorokat hozta létre. A \u2190 \u2192 nyilakkal lépésről lépésre haladhatsz, a \u2191 \u2193 nyilakkal pedig a fókuszban lévő táblázat sorai között.',
      rows: '{n} sor',
      relationPhrase: 'a(z) {name} reláció',
      chain: 'a(z) {n}. részeredmény',
      chainShort: '{n}. részeredmény',
      joinTitle:
        '{step}. lépés: {left} \u22c8[{attribute}] {right}, összekapcsolás a(z) {attribute} attribútum szerint: {leftRows} és {rightRows} \u2192 {built}',
      productTitle:
        '{step}. lépés: {left} \u00d7 {right}, Descartes-szorzat: {leftRows} \u00d7 {rightRows} = {built}',
      ruleJoin:
        '{left} egy sora és {right} egy sora akkor kapcsolódnak össze egy sorrá, ha a két sor {attribute} cellájában pontosan ugyanaz áll. Az összekapcsolási attribútum a(z) {attribute}: {left} oszlopsorrendben első olyan attribútuma, amely {right} attribútumai között is szerepel; {right} saját {attribute} oszlopa nem kerül be a lépés részeredményébe.',
      ruleKind:
        'Ez a lépés egyetlen attribútum szerinti összekapcsolás: egyenlőségen alapuló összekapcsolás a(z) {attribute} attribútum szerint, amelyből a jobb oldali {attribute} oszlop kimarad.',
      ruleShared: {
        one: 'Mindkét operandusnak van {names} attribútuma is, de a program csak a(z) {attribute} attribútumot hasonlítja össze (a természetes összekapcsolás a(z) {names} attribútumot is összehasonlítaná), ezért a(z) {names} kétszer szerepel: az oszlopai meg vannak jelölve.',
        other:
          'Mindkét operandusnak vannak további közös attribútumai is: {names}; a program csak a(z) {attribute} attribútumot hasonlítja össze (a természetes összekapcsolás ezeket is összehasonlítaná), ezért mindegyik kétszer szerepel: az oszlopaik meg vannak jelölve.',
      },
      differing: {
        one: 'A lépés részeredményének {n} sorában egy közös attribútum két cellája különbözik: ez a sor meg van jelölve, a két értékkel együtt.',
        other:
          'A lépés részeredményének {n} sorában egy közös attribútum két cellája különbözik: ezek a sorok meg vannak jelölve, a két értékkel együtt.',
      },
      noDiffering:
        'A lépés részeredményének minden sorában a közös attribútumok két cellájában ugyanaz az érték áll.',
      keptAll: {
        one: 'Ha a program minden közös attribútumot összehasonlítana, ebből a(z) {n} sorból {kept} maradna meg.',
        other:
          'Ha a program minden közös attribútumot összehasonlítana, ebből a(z) {n} sorból {kept} maradna meg.',
      },
      differCell: '{name}: {left} \u2260 {right}',
      selfJoin:
        '{left} önmagával kapcsolódik össze. Ha a program minden attribútumot összehasonlítana, a reláció saját sorai maradnának meg; ez a lépés azonban csak a(z) {attribute} attribútumot hasonlítja össze, így minden sor párt alkot minden olyan sorral, amelynek ugyanaz a(z) {attribute} értéke, önmagát is beleértve.',
      sharedTag: 'közös, nem összehasonlított',
      ruleProduct:
        '{left} és {right} között nincs közös attribútumnév, ezért ez a lépés Descartes-szorzat: {left} minden sora párt alkot {right} minden sorával, így {leftRows} \u00d7 {rightRows} = {built} keletkezik.',
      leftCaption: 'bal: {name}',
      rightCaption: 'jobb: {name}',
      builtCaption: '{n}. részeredmény',
      rowHead: 'sor',
      makesHead: 'sorai a részeredményben',
      fromHead: 'forrás (bal + jobb sor)',
      noPartner: 'nincs párja',
      joinColumn: 'összekapcsolási oszlop',
      notShown: '{name} itt nem látható: a futás túl nagy.',
      whyBuilt:
        'A lépés részeredményének {n}. sora {left} {l}. sorából és {right} {r}. sorából jött létre: mindkét sorban {attribute} = {value}.',
      whyBuiltProduct:
        'A lépés részeredményének {n}. sora {left} {l}. sorából és {right} {r}. sorából jött létre: a Descartes-szorzat minden sort minden sorral párosít.',
      whyMade: {
        one: '{name} {r}. sorából a lépés részeredményének ez a sora lett: {list}.',
        other: '{name} {r}. sorából a lépés részeredményének ezek a sorai lettek: {list}.',
      },
      whyNone:
        '{name} {r}. sorának nincs párja: {other} egyik sorában sem {attribute} = {value}, ezért ez a sor kimarad a lépés részeredményéből.',
      whyNoneProduct: '{name} {r}. sorának nincs párja, mert {other} üres: egyetlen sora sincs.',
      tidyTitle: 'Rendezés és összevonás: {step}. részeredmény ({built}) \u2192 result ({result})',
      tidyTitleAlone: 'Rendezés és összevonás: {name} ({built}) \u2192 result ({result})',
      tidyColumns:
        'Az oszlopok a nevük szerinti sorrendbe kerülnek (a program a neveket bájtonként hasonlítja össze):',
      columnMove: '{name}: {from}. oszlop \u2192 {to}. oszlop',
      tidyColumnsStay: 'Az oszlopok már a nevük szerinti sorrendben vannak: egyik sem mozdul.',
      tidyMerged:
        'Ezek a sorok egyenlők, azaz ismétlődő sorok: {list}. Egyetlen sor lesz belőlük: a result {n}. sora ({count} sorból egy).',
      tidyNoMerge: 'Nincs két egyenlő sor, így nincs mit összevonni.',
      tidyOrder:
        'Végül a sorok sorrendbe kerülnek: a program minden sort egyetlen szövegként (a cellái vesszővel összefűzve) hasonlít össze, bájtonként; ezért például a 10 a 9 elé kerül, a \u201eNew York,1\u201d pedig a \u201eNew,1\u201d elé, mert a szóköz a vessző előtt áll. A result \u201eforrás\u201d oszlopa mutatja, hogy a result egyes sorai mely sorokból lettek.',
      tidyByteOrder:
        'Ezen a bemeneten ez számít is: a result {a}. sora a(z) {b}. sora elé kerül, mert a két sor szövege először a(z) {at}. bájtnál tér el, az egyikben {byteA}, a másikban {byteB} áll ott, és {byteA} a kisebb bájt. Ha a program cellánként hasonlítaná össze a sorokat, fordított lenne a sorrendjük.',
      byteEnd: 'a szöveg vége',
      byteShown: '\u201e{byte}\u201d (0x{code})',
      byteRow: 'a result {n}. sora: ',
      goesHead: 'result sora',
      fromBuiltHead: 'forrás',
      fromRowsHead: 'forrás',
      mergedCount: '{list} ({count} sor összevonva)',
      resultCaption: 'result',
      whyGoes: 'A részeredmény {n}. sorából a result {to}. sora lesz.',
      trace: 'A result {n}. sora a bemenet következő soraiból jött létre:',
      traceAlone: {
        one: 'A result {row}. sora {name} {list}. sorából lett; a fájl 1. sora csak ezt az egy relációt nevezi meg.',
        other:
          'A result {row}. sora {name} következő, egymással egyenlő soraiból lett: {list}; a fájl 1. sora csak ezt az egy relációt nevezi meg.',
      },
      traceRow: '{name} {r}. sora (a fájl {line}. sora)',
      traceMarked: 'A szerkesztőben meg vannak jelölve a fájl megfelelő sorai.',
      traceLines: 'A fájl nincs a szerkesztőben; a zárójelben a fájl sorainak száma áll.',
      causeNoParenthesis: 'Itt: a fájl {line}. sorában nincs \u201e(\u201d az első bájt után.',
      causeListNotClosed: 'Itt: a fájl {line}. sora véget ér a listát lezáró \u201e)\u201d előtt.',
      causeAfterLastBlock:
        'Itt: a fájl {line}. sora az utolsó reláció után áll, és nincs benne \u201e(\u201d. Vagy sorok maradtak az utolsó blokk után, vagy üres sor került az utolsó reláció sorai közé.',
      tooLargeRows:
        'Itt: a(z) {step}. lépés, {name} hozzákapcsolása, {found} sort adna, de legfeljebb {max} lehet.',
      tooLargeAttributes:
        'Itt: a(z) {step}. lépés, {name} hozzákapcsolása, {found} attribútumot adna, de legfeljebb {max} lehet.',
      tooManyCells: 'Itt: a fájl {line}. sorában {cells} cella van, de legfeljebb {max} lehet.',
      tooManyRows: 'Itt: a reláció neve {name}.',
      similar: 'A fájlban van hasonló nevű reláció. Erre gondoltál: {names}?',
      similarNone: 'A fájlban nincs ehhez hasonló nevű reláció.',
      firstLine:
        'A fájl 1. sora sorolja fel az összekapcsolandó relációkat; ez a sor meg van jelölve a szerkesztőben.',
      firstLineNoEditor: 'A fájl 1. sora sorolja fel az összekapcsolandó relációkat.',
      or: ' vagy ',
      andMore: '\u2026 és még {n}',
      showAll: 'és még {n}: mutasd mindet',
    },
  });

  // The text of `key` with `values` filled in, as nodes, through
  // Language.parts: a value that is a Node (a name as shown, a phrase)
  // goes in as a copy, a fragment (a list made for this one sentence) as
  // it is, with the listeners of its buttons; a number in the page's
  // language's digits; a Hungarian "a(z)" as the article of what follows.
  function fill(key, values = {}) {
    const fragment = document.createDocumentFragment();
    for (const piece of Language.parts(WORDS, key, values)) {
      if (typeof piece === 'string') fragment.append(piece);
      else fragment.append(piece instanceof DocumentFragment ? piece : piece.cloneNode(true));
    }
    return fragment;
  }

  // fill() as a sentence: a sentence may start with a phrase put in ("the
  // outcome of step 1", "az Emp reláció"), its first letter a capital all
  // the same. A name is never changed.
  function say(key, values = {}) {
    const fragment = fill(key, values);
    let first = fragment.firstChild;
    while (first?.nodeType === Node.ELEMENT_NODE && first.classList.contains('phrase'))
      first = first.firstChild;
    if (first?.nodeType === Node.TEXT_NODE)
      first.data = first.data.charAt(0).toUpperCase() + first.data.slice(1);
    return fragment;
  }

  // A noun phrase of `key` as a node to put into sentences.
  function phrase(key, values) {
    const node = document.createElement('span');
    node.className = 'phrase';
    node.append(fill(key, values));
    return node;
  }

  // One formatter per language: making one per number costs more than the
  // number (a built table's cells name two rows each).
  const formats = new Map();
  function number(value) {
    const language = Language.current();
    if (!formats.has(language)) formats.set(language, new Intl.NumberFormat(language));
    return formats.get(language).format(value);
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
    more.textContent = Language.text(WORDS, 'showAll', { n: rest });
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
    return more > 0 ? `${words} ${Language.text(WORDS, 'andMore', { n: more })}` : words;
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

  // A name from the report (bytes), as shown.
  const name = (byteString) => Shown.shown(byteString, { isName: true });

  return {
    say,
    // The plain text of `key`, `values` filled in.
    text: (key, values) => Language.text(WORDS, key, values),
    number,
    // The counted phrase "1 row", "4 rows".
    rows: (count) => Language.text(WORDS, 'rows', { n: count }),
    numbers,
    rowList,
    shortRowList,
    nameList,
    name,
    // An input relation named in a sentence: "Emp", "az Emp reláció".
    relation: (byteString) => phrase('relationPhrase', { name: name(byteString) }),
    // What step `n` (from 1) built, named in a sentence ("the outcome of
    // step 1", "az 1. részeredmény") or, `short`, in a title or caption
    // ("1. részeredmény").
    chain: (n, short = false) => phrase(short ? 'chainShort' : 'chain', { n }),
  };
})();
