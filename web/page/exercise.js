// Exercises: a link shared "as an exercise" opens with the input and its
// relations shown and result, the walk-through and the output file hidden,
// and an answer area where the student writes result as the output file
// would show it. Check sends the answer to the engine, which reads it with
// its own reader and compares it with the run's result row by row; the page
// words the facts of its check report and parses nothing. Then the student
// may reveal the walk-through a step at a time, or all of it. It owns
// #exercise, #answer, #check, #check-report, #reveal-step and #reveal-all,
// and the page's exercise classes on <body>.
const Exercise = (() => {
  const TEXTS = Language.table({
    en: {
      heading: 'Your answer',
      intro:
        'Before you look at the steps, predict result. Write it as the output file would show it: ' +
        'its header line, then one row per line, the cells separated by commas. Then press Check.',
      form: 'result(attribute, attribute, \u2026)\ncell,cell,\u2026\ncell,cell,\u2026',
      answerLabel: 'Your result, as the output file would show it',
      check: 'Check',
      checking: 'Checking\u2026',
      revealStep: 'Show step {n}',
      revealTidy: 'Show the tidying',
      revealAll: 'Show everything',
      unreadable:
        'Your answer could not be read: line {line}: {message}. Write a header line first, then the rows.',
      unreadableNoLine: 'Your answer could not be read: {message}.',
      runStopped:
        'The input itself stops with a message, so there is no result to compare with. Fix the input first.',
      notChecked: 'The answer could not be checked: this browser tab ran out of memory.',
      exact: 'Right: your answer is exactly result, every row in its place.',
      otherNames:
        'Your header names the attributes {answer}, but result has the attributes {result}, so the rows were not compared.',
      columnOrder:
        'Your columns are not in result\u2019s order. result\u2019s columns are sorted by attribute name, byte by byte: {second} comes before {first}, because they first differ at byte {at}, where {secondByte} comes before {firstByte}. Your rows were compared column by column by name.',
      columnPrefix:
        'Your columns are not in result\u2019s order. result\u2019s columns are sorted by attribute name, byte by byte: {second} comes before {first}, because it is the start of it. Your rows were compared column by column by name.',
      right: { one: 'Right: 1 row (line {lines}).', other: 'Right: {n} rows (lines {lines}).' },
      noneRight: 'No row of your answer is a row of result.',
      lineOfAnswer: '{line}',
      missingHeading: {
        one: '1 row of result is missing:',
        other: '{n} rows of result are missing:',
      },
      missing: '{cells}: from {sources}.',
      source: '{name} row {row} (line {line})',
      extraHeading: {
        one: '1 row of your answer is not in result:',
        other: '{n} rows of your answer are not in result:',
      },
      extra: '{cells} (line {line}): {reason}',
      repeats:
        'it repeats line {line}. result holds every row once: the tidying merges equal rows into one.',
      noPartnerAt:
        'step {step} finds no partner for it: no row of {name} has {attribute} = {value}.',
      noRowFirst: 'no row of {name} has {attribute} = {value}.',
      noRowAt: 'in step {step}, no row of {name} has {attribute} = {value}.',
      noRowWithFirst:
        'rows of {name} have {with}, but none of them also has {attribute} = {value}.',
      noRowWithAt:
        'in step {step}, rows of {name} have {with}, but none of them also has {attribute} = {value}.',
      unexplained: 'the relations to join are none, so result has no rows.',
      notExamined: 'not looked into: the answer has too many rows that are not in result.',
      equals: '{attribute} = {value}',
      and: ' and ',
      listComma: ', ',
      rowOrder:
        'Every row is right, but lines {first} and {second} are out of order. result\u2019s rows are sorted as whole texts, the cells with commas between them, byte by byte: they first differ at byte {at}, where {secondByte} comes before {firstByte}.',
      rowOrderPrefix:
        'Every row is right, but lines {first} and {second} are out of order. result\u2019s rows are sorted as whole texts, byte by byte: the row on line {second} is the start of the row on line {first}, so it comes first.',
      byte: '\u201c{char}\u201d (byte {code})',
      byteOnly: 'byte {code}',
      stepQuestion:
        'Before you see step {step}: it joins {leftPhrase} and {right} on {attribute}. Which rows of {right} find no partner? Tick them, then check them.',
      leftRelation: '{name}',
      leftChain: 'the outcome of step {n}',
      pickRow: 'row {row}: {cells} (line {line})',
      checkStep: 'Check these rows',
      stepRight: 'Right: exactly these rows find no partner.',
      stepRightNone: 'Right: every row of {right} finds a partner.',
      hasPartner: '{right} row {row} (line {line}) has a partner: {partner}.',
      partnerRow: '{left} row {row} (line {line})',
      partnerChainRow: 'row {row} of the outcome of step {n}',
      noPartner:
        '{right} row {row} (line {line}) finds no partner: no row of {left} has {attribute} = {value}.',
      noPartnerChain:
        '{right} row {row} (line {line}) finds no partner: no row of the outcome of step {n} has {attribute} = {value}.',
      predictQuestion:
        'Or predict the relation step {step} builds from {leftPhrase} and {right} on {attribute}. Write its header line (a name, then the attributes of {leftPhrase} in their order, then those of {right} without {attribute}), then every row the step makes, repeats too, in the order it makes them. Then check it.',
      predictProduct:
        'Or predict the relation step {step} builds from {leftPhrase} and {right}: a Cartesian product, every row of one paired with every row of the other. Write its header line (a name, then the attributes of {leftPhrase} in their order, then all of those of {right}), then every row the step makes, in the order it makes them. Then check it.',
      predictForm: 'step(attribute, attribute, \u2026)\ncell,cell,\u2026\ncell,cell,\u2026',
      predictLabel: 'The relation step {step} builds, as you predict it',
      checkPredict: 'Check this relation',
      predictExact:
        'Right: this is exactly the relation step {step} builds, every row in its place.',
      predictOtherNames:
        'Your header names the attributes {answer}, but the relation step {step} builds has the attributes {built}, so the rows were not compared.',
      predictColumns:
        'Your columns are not in the step\u2019s order: first the attributes of its left operand in their order, then those of its right operand without the join attribute. Column {n} should be {expected}, not {given}. Your rows were compared column by column by name.',
      predictNoneRight: 'No row of your answer is a row the step builds.',
      predictMissingHeading: {
        one: '1 row the step builds is missing:',
        other: '{n} rows the step builds are missing:',
      },
      predictExtraHeading: {
        one: '1 row of your answer is not one the step builds:',
        other: '{n} rows of your answer are not ones the step builds:',
      },
      predictRepeats:
        'your answer holds this row more often than the step makes it: it repeats line {line}.',
      predictNoPartner: 'it finds no partner: no row of {name} has {attribute} = {value}.',
      predictNoRowChain: 'no row of the outcome of step {n} has {attribute} = {value}.',
      predictNoRowWithChain:
        'rows of the outcome of step {n} have {with}, but none of them also has {attribute} = {value}.',
      predictOrder:
        'Every row is right, but line {line} of your answer is not in the step\u2019s order. There the step puts {cells}, made from {expected}; your line {line} is made from {given}. The step takes the rows of its left operand in order, and for each of them its partners in the right operand in order.',
    },
    hu: {
      heading: 'A te válaszod',
      intro:
        'Mielőtt megnéznéd a lépéseket, találd ki, mi lesz a result reláció. Írd le úgy, ahogy a kimeneti fájl mutatná: ' +
        'először a fejlécét, aztán soronként egy sorát, a cellákat vesszővel elválasztva. Aztán nyomd meg az Ellenőrzés gombot.',
      form: 'result(attribútum, attribútum, \u2026)\ncella,cella,\u2026\ncella,cella,\u2026',
      answerLabel: 'A te result relációd, ahogy a kimeneti fájl mutatná',
      check: 'Ellenőrzés',
      checking: 'Ellenőrzés folyik\u2026',
      revealStep: 'A(z) {n}. lépés megmutatása',
      revealTidy: 'A rendezés és összevonás megmutatása',
      revealAll: 'Minden megmutatása',
      unreadable:
        'A válaszodat nem lehetett beolvasni; a válasz {line}. sora: {message}. Először a fejlécet írd le, utána a sorokat.',
      unreadableNoLine: 'A válaszodat nem lehetett beolvasni: {message}.',
      runStopped:
        'Már a bemenet futása is üzenettel áll le, így nincs result reláció, amellyel össze lehetne vetni. Előbb a bemenetet javítsd ki.',
      notChecked:
        'A választ nem lehetett ellenőrizni: ennek a böngészőlapnak elfogyott a memóriája.',
      exact: 'Helyes: a válaszod pontosan a result reláció, minden sora a helyén van.',
      otherNames:
        'A fejléced attribútumai: {answer}; a result reláció attribútumai viszont: {result}, ezért a program a sorokat nem vetette össze.',
      columnOrder:
        'Az oszlopaid nem a result reláció sorrendjében állnak. A result oszlopai attribútumnév szerint állnak sorrendben, bájtonként összehasonlítva: a(z) {second} előbb jön, mint a(z) {first}, mert először a(z) {at}. bájtjukban különböznek, és ott {secondByte} előbb jön, mint {firstByte}. A sorokat a program oszloponként, név szerint vetette össze.',
      columnPrefix:
        'Az oszlopaid nem a result reláció sorrendjében állnak. A result oszlopai attribútumnév szerint állnak sorrendben, bájtonként összehasonlítva: a(z) {second} előbb jön, mint a(z) {first}, mert annak az eleje. A sorokat a program oszloponként, név szerint vetette össze.',
      right: '{n} helyes sor (a válasz {lines} sora).',
      noneRight: 'A válaszodnak egyik sora sem sora a result relációnak.',
      lineOfAnswer: '{line}.',
      missingHeading: 'A result relációnak {n} sora hiányzik:',
      missing: '{cells}, amely ezekből jön létre: {sources}.',
      source: 'a(z) {name} reláció {row}. sora (a fájl {line}. sora)',
      extraHeading: 'A válaszodnak {n} sora nincs benne a result relációban:',
      extra: '{cells} (a válasz {line}. sora): {reason}',
      repeats:
        'megismétli a válasz {line}. sorát. A result minden sort egyszer tartalmaz: a rendezés és összevonás az egyenlő sorokat egy sorrá vonja össze.',
      noPartnerAt:
        'a(z) {step}. lépésben nincs párja: a(z) {name} relációnak nincs olyan sora, amelyben {attribute} = {value}.',
      noRowFirst: 'a(z) {name} relációnak nincs olyan sora, amelyben {attribute} = {value}.',
      noRowAt:
        'a(z) {step}. lépésben: a(z) {name} relációnak nincs olyan sora, amelyben {attribute} = {value}.',
      noRowWithFirst:
        'a(z) {name} relációnak vannak sorai, amelyekben {with}, de egyikben sem {attribute} = {value}.',
      noRowWithAt:
        'a(z) {step}. lépésben: a(z) {name} relációnak vannak sorai, amelyekben {with}, de egyikben sem {attribute} = {value}.',
      unexplained: 'az összekapcsolandó relációk listája üres, így a result relációnak nincs sora.',
      notExamined:
        'ezt a program nem vizsgálta: a válaszban túl sok olyan sor van, amely nincs a result relációban.',
      equals: '{attribute} = {value}',
      and: ' és ',
      listComma: ', ',
      rowOrder:
        'Minden sor helyes, de a válasz {first}. és {second}. sora rossz sorrendben áll. A result sorai teljes szövegükben állnak sorrendben (a cellák között vesszővel), bájtonként összehasonlítva: először a(z) {at}. bájtjukban különböznek, és ott {secondByte} előbb jön, mint {firstByte}.',
      rowOrderPrefix:
        'Minden sor helyes, de a válasz {first}. és {second}. sora rossz sorrendben áll. A result sorai teljes szövegükben állnak sorrendben, bájtonként összehasonlítva: a válasz {second}. sora a {first}. sor eleje, ezért előbb jön.',
      byte: '\u201e{char}\u201d (bájtértéke: {code})',
      byteOnly: 'a(z) {code} értékű bájt',
      stepQuestion:
        'Mielőtt megnéznéd a(z) {step}. lépést: ez a lépés a(z) {attribute} attribútum szerint kapcsolja össze ezt a kettőt: {leftPhrase} és a(z) {right} reláció. A(z) {right} reláció mely sorainak nincs párja? Jelöld be őket, aztán ellenőrizd.',
      leftRelation: 'a(z) {name} reláció',
      leftChain: 'a(z) {n}. részeredmény',
      pickRow: '{row}. sor: {cells} (a fájl {line}. sora)',
      checkStep: 'A bejelölt sorok ellenőrzése',
      stepRight: 'Helyes: pontosan ezeknek a soroknak nincs párja.',
      stepRightNone: 'Helyes: a(z) {right} reláció minden sorának van párja.',
      hasPartner: 'A(z) {right} reláció {row}. sorának (a fájl {line}. sora) van párja: {partner}.',
      partnerRow: 'a(z) {left} reláció {row}. sora (a fájl {line}. sora)',
      partnerChainRow: 'a(z) {n}. részeredmény {row}. sora',
      noPartner:
        'A(z) {right} reláció {row}. sorának (a fájl {line}. sora) nincs párja: a(z) {left} relációnak nincs olyan sora, amelyben {attribute} = {value}.',
      noPartnerChain:
        'A(z) {right} reláció {row}. sorának (a fájl {line}. sora) nincs párja: a(z) {n}. részeredménynek nincs olyan sora, amelyben {attribute} = {value}.',
      predictQuestion:
        'Vagy találd ki, milyen részeredményt épít a(z) {step}. lépés a(z) {attribute} attribútum szerint ebből a kettőből: {leftPhrase} és a(z) {right} reláció. Írd le a fejlécét (egy nevet, utána {leftPhrase} attribútumait a sorrendjükben, majd a(z) {right} reláció attribútumait a(z) {attribute} attribútum nélkül), aztán a lépés minden sorát, az ismétlődőket is, abban a sorrendben, ahogy a lépés létrehozza őket. Aztán ellenőrizd.',
      predictProduct:
        'Vagy találd ki, milyen részeredményt épít a(z) {step}. lépés ebből a kettőből: {leftPhrase} és a(z) {right} reláció. Ez a lépés Descartes-szorzat: az egyik minden sorát a másik minden sorával párosítja. Írd le a fejlécét (egy nevet, utána {leftPhrase} attribútumait a sorrendjükben, majd a(z) {right} reláció összes attribútumát), aztán a lépés minden sorát abban a sorrendben, ahogy a lépés létrehozza őket. Aztán ellenőrizd.',
      predictForm:
        'részeredmény(attribútum, attribútum, \u2026)\ncella,cella,\u2026\ncella,cella,\u2026',
      predictLabel: 'A(z) {step}. részeredmény, ahogy te gondolod',
      checkPredict: 'A részeredmény ellenőrzése',
      predictExact:
        'Helyes: pontosan ezt a részeredményt építi a(z) {step}. lépés, minden sora a helyén van.',
      predictOtherNames:
        'A fejléced attribútumai: {answer}; a(z) {step}. részeredmény attribútumai viszont: {built}, ezért a program a sorokat nem vetette össze.',
      predictColumns:
        'Az oszlopaid nem a lépés sorrendjében állnak: elöl a bal operandus attribútumai állnak a saját sorrendjükben, utánuk a jobb operandus attribútumai az összekapcsolási attribútum nélkül. A(z) {n}. oszlopban a(z) {expected} attribútumnak kellene állnia, nem a(z) {given} attribútumnak. A sorokat a program oszloponként, név szerint vetette össze.',
      predictNoneRight: 'A válaszodnak egyik sora sem sora a lépés részeredményének.',
      predictMissingHeading: 'A lépés részeredményének {n} sora hiányzik:',
      predictExtraHeading: 'A válaszodnak {n} sora nincs benne a lépés részeredményében:',
      predictRepeats:
        'a válaszodban többször szerepel, mint ahányszor a lépés létrehozza: a válasz {line}. sorát ismétli meg.',
      predictNoPartner:
        'nincs párja: a(z) {name} relációnak nincs olyan sora, amelyben {attribute} = {value}.',
      predictNoRowChain:
        'a(z) {n}. részeredménynek nincs olyan sora, amelyben {attribute} = {value}.',
      predictNoRowWithChain:
        'a(z) {n}. részeredménynek vannak sorai, amelyekben {with}, de egyikben sem {attribute} = {value}.',
      predictOrder:
        'Minden sor helyes, de a válasz {line}. sora nem a lépés sorrendjében áll. Oda a lépés ezt a sort teszi: {cells}, amely ezekből jön létre: {expected}; a válasz {line}. sora viszont ezekből: {given}. A lépés a bal operandus sorait sorrendben veszi, és mindegyikhez sorrendben a jobb operandusban talált párjait.',
    },
  });
  const $ = (id) => document.getElementById(id);
  // A text's pieces; a node named twice in it goes in twice, as a copy.
  const say = (key, values) => {
    const placed = new Set();
    return Language.parts(TEXTS, key, values).map((piece) => {
      if (typeof piece === 'string') return piece;
      if (placed.has(piece)) return piece.cloneNode(true);
      placed.add(piece);
      return piece;
    });
  };
  const body = document.body;

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  function button(id) {
    const node = element('button', '');
    node.type = 'button';
    node.id = id;
    return node;
  }

  // ---- The section --------------------------------------------------------

  const heading = element('h2', '');
  heading.id = 'exercise-heading';
  const intro = element('p', 'note');
  const answer = element('textarea', 'answer');
  answer.id = 'answer';
  answer.spellcheck = false;
  answer.setAttribute('autocomplete', 'off');
  answer.setAttribute('autocapitalize', 'off');
  answer.wrap = 'off';
  const checkButton = button('check');
  const report = element('div', 'check-report');
  report.id = 'check-report';
  report.setAttribute('role', 'status');
  const revealStep = button('reveal-step');
  const revealAll = button('reveal-all');
  const question = element('div', 'step-question');
  question.id = 'step-question';
  question.hidden = true;
  const questionText = element('p', '');
  const picks = element('ul', 'step-picks');
  const checkStep = button('check-step');
  const stepReport = element('div', 'check-report');
  stepReport.id = 'step-report';
  stepReport.setAttribute('role', 'status');
  question.append(questionText, picks, element('div', 'controls', checkStep), stepReport);
  const predict = element('div', 'step-question');
  predict.id = 'step-predict';
  predict.hidden = true;
  const predictText = element('p', '');
  const predictAnswer = element('textarea', 'answer');
  predictAnswer.id = 'predict-answer';
  predictAnswer.spellcheck = false;
  predictAnswer.setAttribute('autocomplete', 'off');
  predictAnswer.setAttribute('autocapitalize', 'off');
  predictAnswer.wrap = 'off';
  const checkPredict = button('check-predict');
  const predictReport = element('div', 'check-report');
  predictReport.id = 'predict-report';
  predictReport.setAttribute('role', 'status');
  predict.append(
    predictText,
    predictAnswer,
    element('div', 'controls', checkPredict),
    predictReport,
  );
  const section = element(
    'section',
    'exercise',
    heading,
    intro,
    answer,
    element('div', 'controls', checkButton),
    report,
    question,
    predict,
    element('div', 'controls reveal', revealStep, revealAll),
  );
  section.id = 'exercise';
  section.setAttribute('aria-labelledby', heading.id);
  section.hidden = true;
  $('steps').closest('section').before(section);

  // Everything the exercise keeps.
  const state = {
    active: false,
    revealed: 0, // the walk's panels shown: 0 .. all, Infinity once all are
    openAt: 0, // the panel to open at once everything is shown
    checked: null, // the last check report, to word again in another language
    checks: 0, // counts Check presses, so that an older check's report is dropped
    stepChecked: null, // the ticked rows of the step question last checked, or null
    predicted: null, // {number, report}: the step's built relation last checked, or null
  };

  // ---- Words --------------------------------------------------------------

  const cellText = (cell) => (typeof cell === 'string' ? cell : cell.start);
  // A row's cells as the page shows them, ", " between them, in code type.
  function cellsNode(cells) {
    const node = element('span', 'mono');
    cells.forEach((cell, i) => {
      if (i > 0) node.append(', ');
      node.append(...Shown.cellContent(cell));
    });
    return node;
  }
  const nameNode = (name) => element('span', 'mono', Shown.shown(name, { isName: true }));
  const valueNode = (value) => element('span', 'mono', Shown.shown(cellText(value)));

  // Pieces joined by `separator`, each a list of nodes and strings.
  function joined(pieces, separator) {
    return pieces.flatMap((piece, i) => (i > 0 ? [separator, ...piece] : piece));
  }

  function nameList(names) {
    return element(
      'span',
      '',
      ...joined(
        names.map((name) => [nameNode(name)]),
        ', ',
      ),
    );
  }

  // A byte as the student reads it: the character for printable ASCII.
  function byteNode(code) {
    const char = String.fromCharCode(code);
    return element(
      'span',
      '',
      ...(code > 0x20 && code < 0x7f ? say('byte', { char, code }) : say('byteOnly', { code })),
    );
  }

  function drawWords() {
    heading.textContent = Language.text(TEXTS, 'heading');
    intro.textContent = Language.text(TEXTS, 'intro');
    answer.placeholder = Language.text(TEXTS, 'form');
    answer.setAttribute('aria-label', Language.text(TEXTS, 'answerLabel'));
    checkButton.textContent = Language.text(TEXTS, 'check');
    checkStep.textContent = Language.text(TEXTS, 'checkStep');
    checkPredict.textContent = Language.text(TEXTS, 'checkPredict');
    predictAnswer.placeholder = Language.text(TEXTS, 'predictForm');
    drawReveal();
    if (state.checked) drawReport(state.checked);
  }

  // ---- A step's own question: which rows of its right operand find no partner

  // The facts of the step the student sees next, when it is a join step
  // whose right operand's rows the report gives whole and few enough to
  // tick: {number, step, relation, lines}; else null.
  const MAX_PICKS = 50;
  function nextStep() {
    const shownReport = Walk.report();
    if (!state.active || !shownReport?.explain) return null;
    const number = state.revealed + 1;
    const step = shownReport.explain.steps[number - 1];
    if (!step || step.attribute === null) return null;
    const relation = shownReport.relations[step.rightRelation];
    const lines = shownReport.explain.relations[step.rightRelation]?.lines;
    if (!relation || !lines || relation.rows.length !== relation.rowCount) return null;
    if (relation.rowCount === 0 || relation.rowCount > MAX_PICKS) return null;
    return { number, step, relation, lines };
  }

  function drawQuestion() {
    const asked = nextStep();
    question.hidden = !asked;
    if (!asked) {
      state.stepChecked = null;
      return;
    }
    const { number, step, relation, lines } = asked;
    const leftPhrase = leftPhraseOf(step, number);
    questionText.replaceChildren(
      ...say('stepQuestion', {
        step: number,
        leftPhrase: element('span', '', ...leftPhrase),
        right: nameNode(step.right),
        attribute: nameNode(step.attribute),
      }),
    );
    const ticked = new Set(
      [...picks.querySelectorAll('input:checked')].map((box) => Number(box.value)),
    );
    picks.replaceChildren(
      ...relation.rows.map((cells, r) => {
        const box = element('input', '');
        box.type = 'checkbox';
        box.value = String(r);
        box.checked = picks.dataset.step === String(number) && ticked.has(r);
        const label = element(
          'label',
          '',
          box,
          ' ',
          ...say('pickRow', { row: r + 1, cells: cellsNode(cells), line: lines[r] }),
        );
        return element('li', '', label);
      }),
    );
    if (picks.dataset.step !== String(number)) state.stepChecked = null;
    picks.dataset.step = String(number);
    if (state.stepChecked) drawStepReport(asked, state.stepChecked);
    else stepReport.replaceChildren();
  }

  // The left operand's row `row` as words: an input relation's row with its
  // line, or a row of the outcome of the step before.
  function leftRowWords(shownReport, step, number, row) {
    if (step.leftRelation === null) return say('partnerChainRow', { row: row + 1, n: number - 1 });
    const line = shownReport.explain.relations[step.leftRelation]?.lines[row];
    return say('partnerRow', { left: nameNode(step.left), row: row + 1, line });
  }

  function drawStepReport(asked, ticked) {
    const { number, step, relation, lines } = asked;
    const shownReport = Walk.report();
    const unmatched = new Set(step.unmatchedRight);
    const nodes = [];
    const right = nameNode(step.right);
    for (let r = 0; r < relation.rowCount; ++r) {
      if (ticked.has(r) === unmatched.has(r)) continue;
      const values = { right: nameNode(step.right), row: r + 1, line: lines[r] };
      if (ticked.has(r)) {
        const pair = step.pairs.find(([, partner]) => partner === r);
        const partner = element('span', '', ...leftRowWords(shownReport, step, number, pair[0]));
        nodes.push(element('p', 'check-wrong', ...say('hasPartner', { ...values, partner })));
      } else {
        const value = valueNode(relation.rows[r][step.attributeColumns[1]]);
        const missed = { ...values, attribute: nameNode(step.attribute), value };
        nodes.push(
          element(
            'p',
            'check-wrong',
            ...(step.leftRelation === null
              ? say('noPartnerChain', { ...missed, n: number - 1 })
              : say('noPartner', { ...missed, left: nameNode(step.left) })),
          ),
        );
      }
    }
    if (nodes.length === 0) {
      nodes.push(
        element(
          'p',
          'check-right',
          ...(unmatched.size > 0 ? say('stepRight') : say('stepRightNone', { right })),
        ),
      );
    }
    stepReport.replaceChildren(...nodes);
  }

  checkStep.addEventListener('click', () => {
    const asked = nextStep();
    if (!asked) return;
    state.stepChecked = new Set(
      [...picks.querySelectorAll('input:checked')].map((box) => Number(box.value)),
    );
    drawStepReport(asked, state.stepChecked);
  });

  // ---- A step's own question: its built relation, predicted -------------

  // The step the student sees next, when its built relation is one to
  // predict: not the last step's (that is result, the main question), and
  // few enough rows to type. {number, step}; else null.
  const MAX_PREDICTED_ROWS = 30;
  function predictedStep() {
    const shownReport = Walk.report();
    if (!state.active || !shownReport?.explain) return null;
    const number = state.revealed + 1;
    const step = shownReport.explain.steps[number - 1];
    const steps = shownReport.steps.length + shownReport.stepsLeftOut;
    if (!step || number >= steps || step.pairs.length > MAX_PREDICTED_ROWS) return null;
    return { number, step };
  }

  // The left operand of step `number` in words: its relation, or the outcome
  // of the step before.
  function leftPhraseOf(step, number) {
    return step.leftRelation === null
      ? say('leftChain', { n: number - 1 })
      : say('leftRelation', { name: nameNode(step.left) });
  }

  function drawPredict() {
    const asked = predictedStep();
    predict.hidden = !asked;
    if (!asked) {
      state.predicted = null;
      return;
    }
    const { number, step } = asked;
    if (predict.dataset.step !== String(number)) {
      state.predicted = null;
      predictAnswer.value = '';
    }
    predict.dataset.step = String(number);
    const values = {
      step: number,
      leftPhrase: element('span', '', ...leftPhraseOf(step, number)),
      right: nameNode(step.right),
    };
    predictText.replaceChildren(
      ...(step.attribute === null
        ? say('predictProduct', values)
        : say('predictQuestion', { ...values, attribute: nameNode(step.attribute) })),
    );
    predictAnswer.setAttribute(
      'aria-label',
      Language.text(TEXTS, 'predictLabel', { step: number }),
    );
    if (state.predicted) drawPredictReport(state.predicted);
    else predictReport.replaceChildren();
  }

  // An operand row of a step's check as words: an input relation's row with
  // its line, or a row of the outcome of the step before.
  function operandRowWords(source, number) {
    if (source.relation === null)
      return say('partnerChainRow', { row: source.row + 1, n: number - 1 });
    return say('source', { name: nameNode(source.name), row: source.row + 1, line: source.line });
  }

  function predictReasonOf(extra, number) {
    const chain = extra.relation === null;
    const values = {
      name: nameNode(extra.name ?? ''),
      attribute: nameNode(extra.attribute ?? ''),
      value: valueNode(extra.value ?? ''),
      n: number - 1,
    };
    switch (extra.reason) {
      case 'repeats':
        return say('predictRepeats', { line: extra.repeatsLine });
      case 'noPartner':
        return say('predictNoPartner', values);
      case 'noRow': {
        if (extra.with.length === 0) return say(chain ? 'predictNoRowChain' : 'noRowFirst', values);
        const withNodes = element(
          'span',
          '',
          ...joined(
            extra.with.map(([attribute, value]) =>
              say('equals', { attribute: nameNode(attribute), value: valueNode(value) }),
            ),
            Language.text(TEXTS, 'and'),
          ),
        );
        return say(chain ? 'predictNoRowWithChain' : 'noRowWithFirst', {
          ...values,
          with: withNodes,
        });
      }
      case 'notExamined':
        return say('notExamined');
      default:
        return say('unexplained');
    }
  }

  function sourcesNode(sources, number) {
    return element(
      'span',
      '',
      ...joined(
        sources.map((source) => operandRowWords(source, number)),
        Language.text(TEXTS, 'and'),
      ),
    );
  }

  function drawPredictReport({ number, checked }) {
    const nodes = [];
    const paragraph = (className, ...content) => nodes.push(element('p', className, ...content));
    if (checked.answer.message) {
      const message = checked.answer.message.text;
      paragraph(
        'check-wrong',
        ...(checked.answer.message.line === null
          ? say('unreadableNoLine', { message })
          : say('unreadable', { line: checked.answer.message.line, message })),
      );
    } else if (checked.run?.message) {
      paragraph('check-wrong', ...say('runStopped'));
    } else if (!checked.checked) {
      paragraph('check-wrong', ...say('notChecked'));
    } else {
      drawPredictFacts(number, checked, paragraph, nodes);
    }
    predictReport.replaceChildren(...nodes);
  }

  function drawPredictFacts(number, checked, paragraph, nodes) {
    const { columns, right, missing, extra, stepOrder } = checked;
    const lines = checked.answer.lines;
    if (!columns.sameNames) {
      paragraph(
        'check-wrong',
        ...say('predictOtherNames', {
          answer: nameList(columns.answer),
          built: nameList(columns.result),
          step: number,
        }),
      );
      return;
    }
    if (columns.inOrder && missing.length === 0 && extra.length === 0 && !stepOrder) {
      paragraph('check-right', ...say('predictExact', { step: number }));
      return;
    }
    if (!columns.inOrder) {
      const at = columns.misplaced;
      paragraph(
        'check-wrong',
        ...say('predictColumns', {
          n: at + 1,
          expected: nameNode(columns.result[at]),
          given: nameNode(columns.answer[at]),
        }),
      );
    }
    if (right.length > 0) {
      const lineWords = right.map(([row]) =>
        Language.text(TEXTS, 'lineOfAnswer', { line: lines[row] }),
      );
      const last = lineWords.pop();
      const listed = lineWords.length
        ? `${lineWords.join(', ')}${Language.text(TEXTS, 'and')}${last}`
        : last;
      paragraph('check-right', ...say('right', { n: right.length, lines: listed }));
    } else {
      paragraph('check-wrong', ...say('predictNoneRight'));
    }
    if (missing.length > 0) {
      paragraph('check-wrong', ...say('predictMissingHeading', { n: missing.length }));
      const list = element('ul', 'check-missing');
      for (const row of missing) {
        const sources = sourcesNode(row.sources, number);
        list.append(element('li', '', ...say('missing', { cells: cellsNode(row.cells), sources })));
      }
      nodes.push(list);
    }
    if (extra.length > 0) {
      paragraph('check-wrong', ...say('predictExtraHeading', { n: extra.length }));
      const list = element('ul', 'check-extra');
      for (const row of extra) {
        const withLine =
          row.reason === 'repeats' ? { ...row, repeatsLine: lines[row.repeats] } : row;
        const reason = element('span', '', ...predictReasonOf(withLine, number));
        list.append(
          element(
            'li',
            '',
            ...say('extra', { cells: cellsNode(row.cells), line: row.line, reason }),
          ),
        );
      }
      nodes.push(list);
    }
    if (stepOrder) {
      const shownStep = Walk.report()?.explain?.steps[number - 1];
      const pairOf = ({ pair }) =>
        sourcesNode(
          [
            shownStep.leftRelation === null
              ? { relation: null, row: pair[0] }
              : leftSource(shownStep, pair[0]),
            rightSource(shownStep, pair[1]),
          ],
          number,
        );
      paragraph(
        'check-wrong',
        ...say('predictOrder', {
          line: stepOrder.line,
          cells: cellsNode(stepOrder.expected.cells),
          expected: pairOf(stepOrder.expected),
          given: pairOf(stepOrder.given),
        }),
      );
    }
  }

  // A row of an operand that is an input relation, as a check's source.
  function leftSource(shownStep, row) {
    const lines = Walk.report().explain.relations[shownStep.leftRelation]?.lines;
    return { relation: shownStep.leftRelation, name: shownStep.left, row, line: lines?.[row] };
  }
  function rightSource(shownStep, row) {
    const lines = Walk.report().explain.relations[shownStep.rightRelation]?.lines;
    return { relation: shownStep.rightRelation, name: shownStep.right, row, line: lines?.[row] };
  }

  let predictChecks = 0; // counts presses, so that an older check's report is dropped
  checkPredict.addEventListener('click', async () => {
    const asked = predictedStep();
    if (!asked) return;
    predictChecks += 1;
    const mine = predictChecks;
    predictReport.replaceChildren(element('p', 'note', Language.text(TEXTS, 'checking')));
    try {
      const input = await Input.current();
      const outcome = await Engine.check(
        input.bytes,
        new TextEncoder().encode(predictAnswer.value),
        undefined,
        asked.number,
      );
      if (mine !== predictChecks) return;
      state.predicted = { number: asked.number, checked: outcome.report };
      drawPredictReport(state.predicted);
    } catch (error) {
      if (mine !== predictChecks) return;
      predictReport.replaceChildren(element('p', 'check-wrong', Engine.describe(error)));
    }
  });

  // ---- Revealing the walk-through ----------------------------------------

  function drawReveal() {
    const { count } = Walk.panels();
    const next = state.revealed + 1;
    const more = state.active && state.revealed < count;
    revealStep.hidden = !more;
    revealAll.hidden = !more;
    drawQuestion();
    drawPredict();
    if (!more) return;
    revealStep.textContent =
      next === count && count > 1
        ? Language.text(TEXTS, 'revealTidy')
        : Language.text(TEXTS, 'revealStep', { n: next });
    revealAll.textContent = Language.text(TEXTS, 'revealAll');
  }

  // Shows the walk's first `count` panels, at panel `at`, and, with all of
  // them, result and the output file too.
  function reveal(count, at) {
    const all = count >= Walk.panels().count;
    state.revealed = all ? Infinity : count;
    body.classList.toggle('exercise-steps', count > 0);
    body.classList.toggle('exercise', !all);
    Walk.reveal(state.revealed, at);
    drawReveal();
  }

  revealStep.addEventListener('click', () => reveal(state.revealed + 1, state.revealed));
  revealAll.addEventListener('click', () =>
    reveal(Walk.panels().count, state.openAt || Walk.panels().current),
  );

  // ---- The check report ------------------------------------------------------

  function reasonOf(extra) {
    const values = {
      name: nameNode(extra.name ?? ''),
      attribute: nameNode(extra.attribute ?? ''),
      value: valueNode(extra.value ?? ''),
      step: extra.place,
    };
    switch (extra.reason) {
      case 'repeats':
        return say('repeats', { line: extra.repeatsLine });
      case 'noPartner':
        return say('noPartnerAt', values);
      case 'noRow': {
        const at = extra.place > 0;
        if (extra.with.length === 0) return say(at ? 'noRowAt' : 'noRowFirst', values);
        const withNodes = element(
          'span',
          '',
          ...joined(
            extra.with.map(([attribute, value]) =>
              say('equals', { attribute: nameNode(attribute), value: valueNode(value) }),
            ),
            Language.text(TEXTS, 'and'),
          ),
        );
        return say(at ? 'noRowWithAt' : 'noRowWithFirst', { ...values, with: withNodes });
      }
      case 'notExamined':
        return say('notExamined');
      default:
        return say('unexplained');
    }
  }

  function orderWords(prefixKey, key, decided, values) {
    const [firstByte, secondByte] = decided.bytes;
    if (firstByte === null || secondByte === null) return say(prefixKey, values);
    return say(key, {
      ...values,
      at: decided.at + 1,
      firstByte: byteNode(firstByte),
      secondByte: byteNode(secondByte),
    });
  }

  function drawReport(checked) {
    const nodes = [];
    const paragraph = (className, ...content) => nodes.push(element('p', className, ...content));
    const { answer: read, run } = checked;
    if (read.message) {
      const message = read.message.text;
      paragraph(
        'check-wrong',
        ...(read.message.line === null
          ? say('unreadableNoLine', { message })
          : say('unreadable', { line: read.message.line, message })),
      );
    } else if (run?.message) {
      paragraph('check-wrong', ...say('runStopped'));
    } else if (!checked.checked) {
      paragraph('check-wrong', ...say('notChecked'));
    } else {
      drawFacts(checked, paragraph, nodes);
    }
    report.replaceChildren(...nodes);
  }

  function drawFacts(checked, paragraph, nodes) {
    const { columns, right, missing, extra, rowOrder } = checked;
    const lines = checked.answer.lines;
    if (!columns.sameNames) {
      paragraph(
        'check-wrong',
        ...say('otherNames', {
          answer: nameList(columns.answer),
          result: nameList(columns.result),
        }),
      );
      return;
    }
    const exact = columns.inOrder && missing.length === 0 && extra.length === 0 && !rowOrder;
    if (exact) {
      paragraph('check-right', ...say('exact'));
      return;
    }
    if (!columns.inOrder) {
      const [i, j] = columns.outOfOrder;
      paragraph(
        'check-wrong',
        ...orderWords('columnPrefix', 'columnOrder', columns.decidingByte, {
          first: nameNode(columns.answer[i]),
          second: nameNode(columns.answer[j]),
        }),
      );
    }
    if (right.length > 0) {
      const lineWords = right.map(([row]) =>
        Language.text(TEXTS, 'lineOfAnswer', { line: lines[row] }),
      );
      const last = lineWords.pop();
      const listed = lineWords.length
        ? `${lineWords.join(', ')}${Language.text(TEXTS, 'and')}${last}`
        : last;
      paragraph('check-right', ...say('right', { n: right.length, lines: listed }));
    } else {
      paragraph('check-wrong', ...say('noneRight'));
    }
    if (missing.length > 0) {
      paragraph('check-wrong', ...say('missingHeading', { n: missing.length }));
      const list = element('ul', 'check-missing');
      for (const row of missing) {
        const sources = element(
          'span',
          '',
          ...joined(
            row.sources.map((source) =>
              say('source', {
                name: nameNode(source.name),
                row: source.row + 1,
                line: source.line,
              }),
            ),
            Language.text(TEXTS, 'and'),
          ),
        );
        list.append(element('li', '', ...say('missing', { cells: cellsNode(row.cells), sources })));
      }
      nodes.push(list);
    }
    if (extra.length > 0) {
      paragraph('check-wrong', ...say('extraHeading', { n: extra.length }));
      const list = element('ul', 'check-extra');
      for (const row of extra) {
        const withLine =
          row.reason === 'repeats' ? { ...row, repeatsLine: lines[row.repeats] } : row;
        const reason = element('span', '', ...reasonOf(withLine));
        list.append(
          element(
            'li',
            '',
            ...say('extra', { cells: cellsNode(row.cells), line: row.line, reason }),
          ),
        );
      }
      nodes.push(list);
    }
    if (rowOrder) {
      paragraph(
        'check-wrong',
        ...orderWords('rowOrderPrefix', 'rowOrder', rowOrder.decidingByte, {
          first: rowOrder.lines[0],
          second: rowOrder.lines[1],
        }),
      );
    }
  }

  checkButton.addEventListener('click', async () => {
    state.checks += 1;
    const mine = state.checks;
    report.replaceChildren(element('p', 'note', Language.text(TEXTS, 'checking')));
    try {
      const input = await Input.current();
      const outcome = await Engine.check(input.bytes, new TextEncoder().encode(answer.value));
      if (mine !== state.checks) return;
      state.checked = outcome.report;
      drawReport(state.checked);
    } catch (error) {
      if (mine !== state.checks) return;
      report.replaceChildren(element('p', 'check-wrong', Engine.describe(error)));
    }
  });

  // ---- Starting and ending -------------------------------------------------

  function end() {
    if (!state.active) return;
    state.active = false;
    state.checked = null;
    body.classList.remove('exercise', 'exercise-steps');
    section.hidden = true;
    report.replaceChildren();
    Walk.reveal(Infinity);
  }

  // A new input, chosen or typed, is no longer the exercise's.
  let starting = false;
  Input.onChange(() => {
    if (!starting) end();
  });

  Language.onChange(drawWords);
  // The walk's panels are known once a run is shown.
  new MutationObserver(drawReveal).observe($('steps'), { childList: true });
  drawWords();

  return {
    // Loads `bytes` as the input named `name` and makes it an exercise:
    // result, the walk-through and the output file hidden until revealed;
    // `step` (from 1), when given, is the panel the walk opens at once all
    // is shown.
    start(name, bytes, step = 0) {
      starting = true;
      try {
        Input.load(name, bytes);
      } finally {
        starting = false;
      }
      state.active = true;
      state.revealed = 0;
      state.openAt = step > 0 ? step - 1 : 0;
      state.checked = null;
      state.predicted = null;
      answer.value = '';
      predictAnswer.value = '';
      delete predict.dataset.step;
      report.replaceChildren();
      section.hidden = false;
      body.classList.add('exercise');
      body.classList.remove('exercise-steps');
      Walk.reveal(0, 0);
      drawReveal();
    },
    // Whether the page shows an exercise.
    active: () => state.active,
  };
})();
