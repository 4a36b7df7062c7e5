// The page's language. Every word the page shows of its own comes from a
// table of this shape, one per part of the page:
//   {en: {key: 'text with {name}'}, hu: {key: 'szöveg {name}-vel'}}
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

  // `table`, once every language of it is found to have the same keys, each
  // with the same {names}: a word missing in one language would otherwise
  // show only when a run needs it, and throw then.
  function table(words) {
    const shape = (language) =>
      Object.entries(words[language])
        .map(([key, text]) => `${key}(${(text.match(/\{\w+\}/g) || []).sort().join()})`)
        .sort()
        .join(' ');
    for (const language of LANGUAGES) {
      if (shape(language) !== shape(LANGUAGES[0]))
        throw new Error(`the ${language} words differ: ${shape(language)}`);
    }
    return words;
  }

  let current = LANGUAGES.includes(stored()) ? stored() : fromBrowser();
  const listeners = [];

  // A number is written with the digit grouping of the page's language; a
  // number that must not be grouped, a line number, is passed as a string.
  function format(value) {
    return typeof value === 'number' ? value.toLocaleString(current) : String(value);
  }

  function text(table, key, values = {}) {
    const found = table[current][key];
    if (found === undefined) throw new Error(`no ${current} text for ${key}`);
    return found.replace(/\{(\w+)\}/g, (_, name) => format(values[name]));
  }

  // The words of index.html, by the key its elements name them with:
  // data-text for the element's text, data-label for its aria-label,
  // data-title for its title.
  const WORDS = table({
    en: {
      about:
        'Joins the relations held in a relation file, right here in the browser: the same program as ' +
        'the command line, nothing leaves this page.',
      inputHeading: 'Input file',
      openFile: 'Open a file',
      orExample: 'or an example',
      choose: 'choose\u2026',
      run: 'Run',
      runTitle: 'Run (Ctrl+Enter in the editor)',
      cancel: 'Cancel',
      editorLabel: 'The input file; type or paste here',
      runHeading: 'Run',
      relationsHeading: 'Relations',
      relationsHint: 'Every relation of the input, and {result}, appear here after a run.',
      stepsHeading: 'Join steps',
      outputHeading: 'Output file',
      download: 'Download',
      outputLabel: 'The output file',
    },
    hu: {
      about:
        'Összekapcsolja egy relációs fájl relációit, itt a böngészőben: ugyanaz a program, mint a ' +
        'parancssorban futó, és semmi sem hagyja el ezt az oldalt.',
      inputHeading: 'Bemeneti fájl',
      openFile: 'Fájl megnyitása',
      orExample: 'vagy egy példa',
      choose: 'válassz\u2026',
      run: 'Futtatás',
      runTitle: 'Futtatás (Ctrl+Enter a szerkesztőben)',
      cancel: 'Leállítás',
      editorLabel: 'A bemeneti fájl; írd vagy másold ide',
      runHeading: 'Futás',
      relationsHeading: 'Relációk',
      relationsHint: 'A bemenet minden relációja és a {result} egy futtatás után itt jelenik meg.',
      stepsHeading: 'Összekapcsolási lépések',
      outputHeading: 'Kimeneti fájl',
      download: 'Letöltés',
      outputLabel: 'A kimeneti fájl',
    },
  });

  // A word may hold {result}: the relation's name, set as code.
  function drawText(node, words) {
    const [before, after] = words.split('{result}');
    if (after === undefined) {
      node.textContent = words;
      return;
    }
    const code = document.createElement('code');
    code.textContent = 'result';
    node.replaceChildren(before, code, after);
  }

  // Draws the words of every element in `root` (itself included) that names its words with a key.
  function drawWords(root) {
    const within = (key) => [
      ...(root.matches(`[${key}]`) ? [root] : []),
      ...root.querySelectorAll(`[${key}]`),
    ];
    for (const node of within('data-text')) drawText(node, text(WORDS, node.dataset.text));
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
    // Checks a part's table of words (see table() above) and returns it.
    table,
    // The text of `key` in `table` in the page's language, each {name} in it
    // replaced by values[name]. Throws where the table lacks the key, so that
    // a word missing in one language shows at once.
    text,
    // Draws the words of index.html's keyed elements in `root`: for a copy
    // of one, made in another language.
    drawWords,
  };
})();
