// The page's language. Every word the page shows of its own comes from a
// table of this shape, one per part of the page:
//   {en: {key: 'text with {name}', rows: {one: '1 row', other: '{n} rows'}},
//    hu: {key: 'szöveg: {name}', rows: '{n} sor'}}
// and is looked up with Language.text, so that switching the language is one
// call and no part keeps a word of its own outside its table. The engine's
// messages are not in any table: they stay as the command line prints them.
//
// The language is the one chosen on the page before, kept in localStorage;
// else the first of the browser's languages that the page speaks. It owns
// the #language control, <html lang> and every element of index.html that
// names its words with a key (see WORDS below).
const Language = (() => {
  const LANGUAGES = ['en', 'hu'];
  const STORED = 'joinrel.language';

  // A page opened from disk may be refused localStorage: it then starts
  // from the browser's languages each time, without a word of complaint.
  function stored() {
    try {
      return localStorage.getItem(STORED);
    } catch {
      return null;
    }
  }

  function store(language) {
    try {
      localStorage.setItem(STORED, language);
    } catch {
      // Not kept: the next visit starts from the browser's languages.
    }
  }

  // "hu-HU" and "hu" are Hungarian; the first one the page speaks counts, so
  // that an English first choice is not overruled by a Hungarian second.
  function fromBrowser() {
    for (const tag of navigator.languages || [navigator.language || '']) {
      const primary = tag.toLowerCase().split('-')[0];
      if (LANGUAGES.includes(primary)) return primary;
    }
    return 'en';
  }

  // Every table made with table(), in the order made: a test reads them all.
  const tables = [];

  // The forms of an entry: a text, or the forms of a counted phrase.
  const forms = (entry) => (typeof entry === 'string' ? [entry] : Object.values(entry));
  const placeholders = (entry) =>
    [...new Set(forms(entry).flatMap((form) => form.match(/\{\w+\}/g) || []))].sort().join();

  // `words`, once every language of it is found to have the same keys, each
  // with the same {names}: a word missing in one language would otherwise
  // show only when a run needs it, and throw then. An entry is a text, or a
  // counted phrase, {one: ..., other: ...}: its forms named by the
  // language's Intl.PluralRules categories, the count being {n}. A
  // Hungarian "a(z)" stands only right before a {name}: text() puts there
  // the article of what fills it.
  function table(words) {
    const shape = (language) =>
      Object.entries(words[language])
        .map(([key, entry]) => `${key}(${placeholders(entry)})`)
        .sort()
        .join(' ');
    for (const language of LANGUAGES) {
      if (shape(language) !== shape(LANGUAGES[0]))
        throw new Error(`the ${language} words differ: ${shape(language)}`);
      const categories = new Intl.PluralRules(language).resolvedOptions().pluralCategories;
      for (const [key, entry] of Object.entries(words[language])) {
        if (
          typeof entry !== 'string' &&
          (!entry.other || Object.keys(entry).some((c) => !categories.includes(c)))
        ) {
          throw new Error(
            `${language} ${key}: a counted phrase needs "other" and ${language}'s categories only`,
          );
        }
        if (forms(entry).some((form) => /[Aa]\(z\)(?! \{\w+\})/.test(form))) {
          throw new Error(`${language} ${key}: "a(z)" that no {name} follows`);
        }
      }
    }
    tables.push(words);
    return words;
  }

  // ---- The Hungarian article -------------------------------------------
  //
  // "a" or "az" before `shown`: a name as the page shows it ('' for an empty
  // one, a mark's label for an invisible character), or a number (its
  // digits, grouped or not); decided by how it is read aloud: "az" before
  // a vowel sound, "a" before any other.
  const VOWEL = /[aeiouαεηιουωаиоуыэ]/;
  const VOWEL_NAMED = 'flmnrsxy'; // spelt out: ef, el, em, en, er, es, iksz, ipszilon
  const plain = (text) => text.normalize('NFD').replace(/\p{M}/gu, '').toLowerCase();
  // A character shown as a labelled mark is read by its label's first
  // letter: TAB, CR, BOM, ZWSP and DEL take "a"; NBSP, NUL, LF, LRM, RLM,
  // RLO and U+XXXX take "az".
  const MARK_LETTER = { '\t': 'T', '\r': 'C', '\ufeff': 'B', '\u200b': 'Z', '\u007f': 'D' };
  const INVISIBLE = /[\p{Cc}\p{Cf}\p{Default_Ignorable_Code_Point}\p{Bidi_Control}\u00a0]/u;

  // A number is read from its largest part down: 1, 1000 and 1 000 000
  // (egy, ezer, egymillió) and whatever starts with 5 (öt) start with a
  // vowel; a leading zero is read digit by digit ("nulla").
  function numberArticle(digits) {
    if (digits.length > 1 && digits[0] === '0') return 'a';
    if (digits[0] === '5') return 'az';
    if (digits[0] === '1' && digits.length % 3 === 1) return 'az';
    return 'a';
  }

  function letterArticle(letter) {
    const p = plain(letter);
    return VOWEL.test(p) || VOWEL_NAMED.includes(p) ? 'az' : 'a';
  }

  // A word is read as one, unless it is a single letter or capitals with no
  // vowel (SQL, HR), which are spelt out.
  function wordArticle(word) {
    const p = plain(word);
    const spelt =
      [...p].length === 1 || (word === word.toUpperCase() && !VOWEL.test(p) && !p.includes('y'));
    if (spelt) return letterArticle([...p][0]);
    if (p[0] === 'y') return VOWEL.test(p[1] ?? '') ? 'a' : 'az'; // Year, Ybl
    return VOWEL.test(p[0]) ? 'az' : 'a';
  }

  function article(shown) {
    const text = String(shown).replace(/(?<=\d)[ \u00a0\u202f](?=\d)/g, '');
    if (text === '') return 'az'; // shown as "üres név"
    const first = [...text][0];
    if (/\d/.test(first)) return numberArticle(text.match(/^\d+/)[0]);
    if (/\p{L}/u.test(first)) return wordArticle(text.match(/^\p{L}+/u)[0]);
    if (first === ' ' || first === '\u2423') return 'a'; // "szóköz"
    if (INVISIBLE.test(first)) return letterArticle(MARK_LETTER[first] ?? 'U');
    // aláhúzás, és-jel, egyenlőségjel, aposztróf, idézőjel; every other sign's name takes "a"
    return '_&=\'"\u2019\u201e'.includes(first) ? 'az' : 'a';
  }

  let current = LANGUAGES.includes(stored()) ? stored() : fromBrowser();
  const listeners = [];

  // A number is written with the digit grouping of the page's language; a
  // number that must not be grouped, a line number, is passed as a string.
  // One formatter per language: making one per number costs more than the number.
  const formats = new Map();
  function format(value) {
    if (typeof value !== 'number') return String(value);
    if (!formats.has(current)) formats.set(current, new Intl.NumberFormat(current));
    return formats.get(current).format(value);
  }

  // The text of `key` as pieces: strings, and each value that is an object
  // (a DOM node: a name as the page shows it) as it is. A counted phrase
  // takes its form for values.n. Throws where the table lacks the key or a
  // {name} has no value, so that nothing unfilled reaches the page.
  function parts(table, key, values = {}) {
    let found = table[current][key];
    if (found === undefined) throw new Error(`no ${current} text for ${key}`);
    if (typeof found !== 'string') {
      if (typeof values.n !== 'number') throw new Error(`${key} counts {n}, which is no number`);
      found = found[new Intl.PluralRules(current).select(values.n)] ?? found.other;
    }
    const pieces = [];
    let last = 0;
    for (const match of found.matchAll(/(?:\b([Aa])\(z\) )?\{(\w+)\}/g)) {
      const [whole, capital, name] = match;
      if (values[name] === undefined || values[name] === null)
        throw new Error(`${key}: no value for {${name}}`);
      const value = typeof values[name] === 'object' ? values[name] : format(values[name]);
      pieces.push(found.slice(last, match.index));
      if (capital) {
        const said = article(typeof value === 'string' ? value : value.textContent);
        pieces.push(`${capital === 'A' ? said[0].toUpperCase() + said.slice(1) : said} `);
      }
      pieces.push(value);
      last = match.index + whole.length;
    }
    pieces.push(found.slice(last));
    return pieces.filter((piece) => piece !== '');
  }

  function text(table, key, values = {}) {
    const pieces = parts(table, key, values);
    if (pieces.some((piece) => typeof piece !== 'string'))
      throw new Error(`${key}: a node where text is due`);
    return pieces.join('');
  }

  // The words of index.html, by the key its elements name them with:
  // data-text for the element's text, data-label for its aria-label,
  // data-title for its title.
  const WORDS = table({
    en: {
      about:
        'Joins the relations of a relation file, right here in the browser: the same program as on the ' +
        'command line, and nothing leaves this page.',
      inputHeading: 'Input file',
      openFile: 'Open a file',
      orExample: 'or an example',
      choose: 'choose\u2026',
      run: 'Run',
      runTitle: 'Run (Ctrl+Enter in the editor)',
      cancel: 'Cancel',
      editorLabel: 'The input file: type or paste it here',
      formatHeading: 'How to write an input',
      runHeading: 'Run',
      relationsHeading: 'Relations',
      relationsHint: 'After a run, every relation of the input and {result} appear here.',
      stepsHeading: 'Join steps',
      outputHeading: 'Output file',
      download: 'Download',
      outputLabel: 'The output file',
    },
    hu: {
      about:
        'Egy relációs fájl relációit kapcsolja össze, itt a böngészőben. Ugyanaz a program, mint a ' +
        'parancssori változat, és az oldal semmit sem küld el sehová.',
      inputHeading: 'Bemeneti fájl',
      openFile: 'Fájl megnyitása',
      orExample: 'vagy egy példa',
      choose: 'válassz\u2026',
      run: 'Futtatás',
      runTitle: 'Futtatás (Ctrl+Enter a szerkesztőben)',
      cancel: 'Leállítás',
      editorLabel: 'A bemeneti fájl: írd be vagy illeszd be ide',
      formatHeading: 'Hogyan írj bemeneti fájlt?',
      runHeading: 'Futás',
      relationsHeading: 'Relációk',
      relationsHint:
        'Futtatás után itt jelenik meg a bemenet minden relációja és a(z) {result} reláció.',
      stepsHeading: 'Összekapcsolási lépések',
      outputHeading: 'Kimeneti fájl',
      download: 'Letöltés',
      outputLabel: 'A kimeneti fájl',
    },
  });

  // The relation `result`'s name, set as code wherever a word names it.
  function resultName() {
    const code = document.createElement('code');
    code.textContent = 'result';
    return code;
  }

  // Draws the words of every element in `root` (itself included) that names its words with a key.
  function drawWords(root) {
    const within = (key) => [
      ...(root.matches(`[${key}]`) ? [root] : []),
      ...root.querySelectorAll(`[${key}]`),
    ];
    for (const node of within('data-text'))
      node.replaceChildren(...parts(WORDS, node.dataset.text, { result: resultName() }));
    for (const node of within('data-label'))
      node.setAttribute('aria-label', text(WORDS, node.dataset.label));
    for (const node of within('data-title')) node.title = text(WORDS, node.dataset.title);
  }

  function drawPage() {
    document.documentElement.lang = current;
    drawWords(document.documentElement);
    document.getElementById('language').value = current;
  }

  function set(language) {
    if (!LANGUAGES.includes(language)) throw new Error(`no language ${language}`);
    current = language;
    store(language);
    drawPage();
    for (const listener of listeners) listener(language);
  }

  drawPage();
  document
    .getElementById('language')
    .addEventListener('change', (event) => set(event.target.value));

  return {
    // 'en' or 'hu'.
    current: () => current,
    // Calls `listener(language)` after every switch, so that a part can draw
    // its words again.
    onChange(listener) {
      listeners.push(listener);
    },
    // Switches to `language` ('en' or 'hu'), keeps the choice for the next
    // visit and tells every listener.
    set,
    // Checks a part's table of words (see table() above), keeps it among
    // the page's tables and returns it.
    table,
    // Every table made with table(), for a test to read.
    tables: () => [...tables],
    // The text of `key` in `table` in the page's language, each {name} in it
    // replaced by values[name] (a counted phrase in its form for values.n;
    // a Hungarian "a(z)" as the article of the value after it). Throws
    // where the table lacks the key or a value, so that a word missing in
    // one language shows at once.
    text,
    // text() as pieces, where a value may be a DOM node (a name as the page
    // shows it), which goes in as it is and whose text decides an article.
    parts,
    // "a" or "az", the Hungarian article before `shown`: a name as the page
    // shows it, or a number.
    article,
    // Draws the words of index.html's keyed elements in `root`: for a copy
    // of one, made in another language.
    drawWords,
  };
})();
