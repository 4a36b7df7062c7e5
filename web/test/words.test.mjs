// The page's words, without a browser: every table that the page's parts make
// with Language.table, in both languages, and the texts the page takes from
// the repository's documents, against the glossary's words not to use
// (doc/glossary.hu.md); the Hungarian article; the counted phrases.
//
//   node --test web/test/words.test.mjs
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { fileURLToPath } from 'node:url';
import { examples, formatGuides, messages } from '../sources.mjs';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const pageDir = path.join(repo, 'web/page');

// Every part of the page's script, run in a context of its own with a
// document that answers anything: a part makes its table first, so that
// whatever it does with the page afterwards may fail without harm. Gives
// Language, and the part that made each of Language.tables().
function loadPage() {
  const anything = new Proxy(function anything() {}, {
    get: (target, key) =>
      key === Symbol.iterator
        ? function* none() {}
        : key === Symbol.toPrimitive
          ? () => ''
          : key === 'then'
            ? undefined
            : anything,
    apply: () => anything,
    construct: () => anything,
    set: () => true,
  });
  const root = { lang: '', matches: () => false, querySelectorAll: () => [], style: anything };
  const context = vm.createContext({
    document: new Proxy(
      {},
      { get: (target, key) => (key === 'documentElement' ? root : anything) },
    ),
    navigator: { languages: ['en'] },
    window: anything,
    location: anything,
    ResizeObserver: anything,
    TextDecoder,
    TextEncoder,
    Intl,
    JOINREL_EXAMPLES: [],
    JOINREL_MESSAGES: {},
    JOINREL_MESSAGES_HU: {},
    JOINREL_FORMAT: { en: '', hu: '' },
  });
  const parts = fs
    .readdirSync(pageDir)
    .filter((name) => name.endsWith('.js') && name !== 'worker.js');
  // language.js first: every other part makes its table through it.
  const madeBy = [];
  for (const part of ['language.js', ...parts.filter((name) => name !== 'language.js')]) {
    try {
      vm.runInContext(fs.readFileSync(path.join(pageDir, part), 'utf8'), context, {
        filename: part,
      });
    } catch (error) {
      if (part === 'language.js') throw error;
    }
    const made = vm.runInContext('Language.tables().length', context);
    while (madeBy.length < made) madeBy.push(part);
  }
  return { Language: vm.runInContext('Language', context), madeBy };
}

const { Language, madeBy } = loadPage();

// Runs `check` with the page in `language`. The parts' listeners, which
// would draw a page that is not there, may fail: the language is set first.
function inLanguage(language, check) {
  const set = (to) => {
    try {
      Language.set(to);
    } catch {
      // a listener's drawing
    }
  };
  set(language);
  try {
    check();
  } finally {
    set('en');
  }
}

// Every text of every table: {where, language, text}, each form of a
// counted phrase on its own.
function tableTexts() {
  const texts = [];
  Language.tables().forEach((table, t) => {
    for (const [language, words] of Object.entries(table)) {
      for (const [key, entry] of Object.entries(words)) {
        for (const [form, text] of Object.entries(
          typeof entry === 'string' ? { text: entry } : entry,
        )) {
          texts.push({ where: `${madeBy[t]} ${key}.${form}`, language, text });
        }
      }
    }
  });
  return texts;
}

// The texts the page takes from the documents when it is built.
function documentTexts() {
  const texts = [];
  const explained = messages(repo);
  for (const language of ['en', 'hu']) {
    for (const [message, { meaning, fix }] of Object.entries(explained[language])) {
      texts.push({ where: `${message} (meaning, fix)`, language, text: `${meaning} ${fix}` });
    }
  }
  const guides = formatGuides(repo);
  for (const language of ['en', 'hu'])
    texts.push({ where: 'the format guide', language, text: guides[language] });
  for (const example of examples(repo)) {
    for (const language of ['en', 'hu'])
      texts.push({ where: `${example.name}'s line`, language, text: example.about[language] });
  }
  return texts;
}

// The glossary's words not to use: [{word, allowed: [text, ...]}], from the
// table under its "Kerülendő szavak" heading.
function wordsNotToUse() {
  const glossary = fs.readFileSync(path.join(repo, 'doc/glossary.hu.md'), 'utf8');
  const section = glossary.split(/^## Kerülendő szavak$/m)[1]?.split(/^## /m)[0] ?? '';
  return section
    .split('\n')
    .filter((line) => line.startsWith('| `'))
    .map((line) => {
      const cells = line.split('|').slice(1, -1);
      const quoted = (cell) => [...cell.matchAll(/`([^`]+)`/g)].map((match) => match[1]);
      return { word: quoted(cells[0])[0], allowed: quoted(cells[2]) };
    });
}

// The words of `notToUse` that `text` uses, outside the texts each allows.
function misused(text, notToUse) {
  const lower = text.toLowerCase();
  const found = [];
  for (const { word, allowed } of notToUse) {
    for (
      let at = lower.indexOf(word.toLowerCase());
      at >= 0;
      at = lower.indexOf(word.toLowerCase(), at + 1)
    ) {
      const excused = allowed.some((ok) => {
        const okLower = ok.toLowerCase();
        for (
          let from = lower.indexOf(okLower);
          from >= 0;
          from = lower.indexOf(okLower, from + 1)
        ) {
          if (from <= at && at + word.length <= from + ok.length) return true;
        }
        return false;
      });
      if (!excused) found.push(word);
    }
  }
  return found;
}

test('the glossary lists the words not to use, and a text using one is found', () => {
  const notToUse = wordsNotToUse();
  for (const word of ['a(z)', 'illeszt', 'mező', 'eredmény'])
    assert.ok(
      notToUse.some((entry) => entry.word === word),
      word,
    );
  assert.deepEqual(misused('Az illesztés eredménye: 3 mező', notToUse), [
    'illeszt',
    'mező',
    'eredmény',
  ]);
  assert.deepEqual(misused('Beillesztheted. A részeredmény a fenti mezőből jön.', notToUse), []);
});

// The faults of `texts`: a word the glossary rules out, or a value left unfilled.
function wordFaults(texts) {
  const notToUse = wordsNotToUse();
  const faults = [];
  for (const { where, language, text } of texts) {
    const words = misused(text, notToUse);
    if (words.length > 0) faults.push(`${language} ${where}: ${words.join(', ')} in "${text}"`);
    if (/\bundefined\b|\bnull\b/.test(text)) faults.push(`${language} ${where}: "${text}"`);
  }
  return faults;
}

// rows1 beside rows or rowsN: two keys for one counted phrase.
function pairedKeys() {
  const faults = [];
  Language.tables().forEach((table, t) => {
    for (const [language, words] of Object.entries(table)) {
      for (const key of Object.keys(words)) {
        const stem = /^(.+)1$/.exec(key)?.[1];
        if (stem && (stem in words || `${stem}N` in words))
          faults.push(`${language} ${madeBy[t]} ${key}: two keys for one counted phrase`);
      }
    }
  });
  return faults;
}

test('no text of the page uses a word the glossary rules out, nor leaves a value unfilled', () => {
  assert.ok(Language.tables().length >= 7, `only ${Language.tables().length} tables found`);
  assert.deepEqual(wordFaults([...tableTexts(), ...documentTexts()]), []);
});

test('a counted phrase is one entry, and every form of it fills in', () => {
  assert.deepEqual(pairedKeys(), []);
  // The shape check refuses a form its language does not have.
  assert.throws(
    () =>
      Language.table({ en: { rows: { one: '1 row', many: '{n} rows' } }, hu: { rows: '{n} sor' } }),
    /categories/,
  );
  const table = Language.table({
    en: { rows: { one: '1 row', other: '{n} rows' } },
    hu: { rows: '{n} sor' },
  });
  assert.deepEqual(
    [0, 1, 2, 10000].map((n) => Language.text(table, 'rows', { n })),
    ['0 rows', '1 row', '2 rows', '10,000 rows'],
  );
});

test('a Hungarian "a(z)" becomes the article of the word it stands before', () => {
  // Names: the first sound, as the name is read; spelt-out capitals by
  // their letters' names; numbers as read aloud; marks by their labels.
  const cases = {
    az: [
      'Emp',
      'Exam',
      'Assignment',
      'id',
      'emp_id',
      'Ügyfél',
      'SQL',
      'XML',
      'FK',
      'MSSQL',
      'R',
      'r',
      'Y',
      'Ybl',
      '',
      '_id',
      '\u00a0x',
      '1',
      '5',
      '50',
      '500',
      '1000',
      '1500',
      '5000',
      '50000',
      '1 048 576',
      '1\u00a0000\u00a0000',
      '1NF',
      'αβ',
      'üres név',
      'U+2060',
    ],
    a: [
      'Dept',
      'result',
      'dept',
      'HTML',
      'CSV',
      'HR',
      'JSON',
      'NASA',
      'b',
      'Q',
      'Year',
      '#tmp',
      '-5',
      '\tx',
      'TAB',
      '\u2423',
      '0',
      '07',
      '2',
      '10',
      '15',
      '100',
      '2000',
      '10 000',
      '10001',
      '100000',
      '10000000',
      '2NF',
    ],
  };
  for (const [expected, words] of Object.entries(cases)) {
    for (const word of words) assert.equal(Language.article(word), expected, JSON.stringify(word));
  }
  const table = Language.table({
    en: { step: 'Step {n} of {name}' },
    hu: { step: 'A(z) {n}. lépés a(z) {name} relációban' },
  });
  assert.equal(Language.text(table, 'step', { n: 5, name: 'Dept' }), 'Step 5 of Dept');
  inLanguage('hu', () => {
    assert.equal(
      Language.text(table, 'step', { n: 5, name: 'Dept' }),
      'Az 5. lépés a Dept relációban',
    );
    assert.equal(
      Language.text(table, 'step', { n: 10000, name: 'Emp' }),
      'A 10\u00a0000. lépés az Emp relációban',
    );
  });
  assert.throws(() => Language.table({ en: { x: 'x {n}' }, hu: { x: 'a(z) x {n}' } }), /a\(z\)/);
  assert.throws(() => Language.text(table, 'step', { n: 1 }), /no value for \{name\}/);
});
