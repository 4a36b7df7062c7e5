// Names, cells and messages as the page shows them: the report's bytes as
// UTF-8, each isolated from the text around it for direction, and every
// character that would show as nothing, as a blank, or that would turn the
// text around it given a visible mark with its name, so that what a student
// sees is what the file holds, in the order it holds it.
const Shown = (() => {
  const TEXTS = Language.table({
    en: {
      character: 'the character {code}',
      emptyName: 'an empty name',
      edgeBlank: 'a blank at the start or end',
      cut: ' \u2026 cut here: {bytes} in all',
      bytes: { one: '1 byte', other: '{n} bytes' },
    },
    hu: {
      character: 'karakter: {code}',
      emptyName: 'üres név',
      edgeBlank: 'szóköz az elején vagy a végén',
      cut: ' \u2026 itt levágva, összesen {bytes}',
      bytes: '{n} bájt',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);
  const utf8 = new TextDecoder('utf-8');

  // Characters that show as nothing (the control characters, every
  // default-ignorable code point, the Hangul fillers among them), as a
  // blank that is no blank (NBSP), that end a line in some programs but
  // not in the file (U+2028, U+2029), or that reorder the text around them
  // (every bidi control). Unicode's own properties name them.
  const INVISIBLE = /[\p{Cc}\p{Default_Ignorable_Code_Point}\p{Bidi_Control}\u00a0\u2028\u2029]/u;
  const NAMES = {
    '\t': 'TAB',
    '\n': 'LF',
    '\r': 'CR',
    '\u0000': 'NUL',
    '\u007f': 'DEL',
    '\u00a0': 'NBSP',
    '\u00ad': 'SHY',
    '\u061c': 'ALM',
    '\u200b': 'ZWSP',
    '\u200c': 'ZWNJ',
    '\u200d': 'ZWJ',
    '\u200e': 'LRM',
    '\u200f': 'RLM',
    '\u202a': 'LRE',
    '\u202b': 'RLE',
    '\u202c': 'PDF',
    '\u202d': 'LRO',
    '\u202e': 'RLO',
    '\u2060': 'WJ',
    '\u2066': 'LRI',
    '\u2067': 'RLI',
    '\u2068': 'FSI',
    '\u2069': 'PDI',
    '\ufeff': 'BOM',
  };

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  // "U+202E" for the character.
  function codeOf(char) {
    return `U+${char.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`;
  }

  function mark(name, title) {
    const node = element('span', 'char-mark', name);
    if (title) node.title = title;
    return node;
  }

  function markFor(char) {
    const code = codeOf(char);
    return mark(NAMES[char] || code, say('character', { code }));
  }

  // The report's strings hold one character per byte; shown as UTF-8.
  function text(byteString) {
    // eslint-disable-next-line no-control-regex
    if (!/[^\x00-\x7f]/.test(byteString)) return byteString;
    return utf8.decode(Uint8Array.from(byteString, (c) => c.charCodeAt(0)));
  }

  // Text already decoded, as shown: in a <bdi>, every invisible character
  // marked, and, for a name or cell, every blank at its start or end; an
  // empty name called so.
  function shownText(value, { isName = false, edges = true } = {}) {
    if (value === '') return isName ? mark(say('emptyName')) : element('bdi', '');
    const node = element('bdi', '');
    if (!INVISIBLE.test(value) && !(edges && /^ | $/.test(value))) {
      node.append(value);
      return node;
    }
    const lead = edges ? /^ */.exec(value)[0].length : 0;
    const trail = !edges || lead === value.length ? 0 : / *$/.exec(value)[0].length;
    const chars = [...value];
    chars.forEach((char, i) => {
      const edge = i < lead || i >= chars.length - trail;
      if (char === ' ' && edge) node.append(mark('\u2423', say('edgeBlank')));
      else if (INVISIBLE.test(char)) node.append(markFor(char));
      else if (node.lastChild?.nodeType === Node.TEXT_NODE) node.lastChild.appendData(char);
      else node.append(char);
    });
    return node;
  }

  // `count` bytes, in words.
  function bytes(count) {
    return say('bytes', { n: count });
  }

  return {
    // A name or cell from the report (a string of bytes), as shown.
    shown: (byteString, options = {}) => shownText(text(byteString), options),
    shownText,
    text,
    // A cell's content: a string, or {start, length} for one cut short,
    // shown with its length.
    cellContent(cell) {
      if (typeof cell === 'string') return [shownText(text(cell))];
      return [
        shownText(text(cell.start)),
        element('span', 'cut', say('cut', { bytes: bytes(cell.length) })),
      ];
    },
    // The words " ... cut here: N bytes in all".
    cutNote: (count) => say('cut', { bytes: bytes(count) }),
    // A message's text, each line as shown (marks, no blank marked): a
    // character it holds is never applied to the lines around it.
    message(value) {
      const fragment = document.createDocumentFragment();
      value.split('\n').forEach((line, i) => {
        if (i > 0) fragment.append(document.createElement('br'));
        fragment.append(shownText(line, { edges: false }));
      });
      return fragment;
    },
    // The first character of `value` that reorders the text around it, as
    // "U+202E", or null.
    bidiControl(value) {
      const found = /\p{Bidi_Control}/u.exec(value);
      return found ? codeOf(found[0]) : null;
    },
  };
})();
