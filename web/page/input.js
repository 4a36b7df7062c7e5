// The input: the file the next run takes, chosen by opening a file, picking
// an example or typing, and the editor that shows it, with its line numbers
// and its marked line. It owns #input-file, #examples, #input-note and the
// editor box; the page hears of every new choice through onChange. A shared
// link's input comes in through load, as an opened file does.
//
// An opened file or example runs as its exact bytes until the editor is
// changed; from then on the editor's text runs, as UTF-8. The last choice
// always wins: a file read that ends after a newer choice is dropped.
// JOINREL_EXAMPLES is written into the page when it is built.
const Input = (() => {
  const TEXTS = Language.table({
    en: {
      bom:
        'it starts with a UTF-8 byte order mark: 3 bytes that the editor does not show, ' +
        'which count as part of the first line\u2019s name',
      cr: 'the editor shows a CR before a line end as nothing and any other CR as \u240d',
      nel: 'the editor shows NEL, U+2028 and U+2029 as \u2424: only LF ends a line',
      notUtf8: 'bytes that are not UTF-8 show as \ufffd in the editor',
      size: { one: '1 byte', other: '{n} bytes' },
      opened:
        '{name}: {size}, run exactly as opened{notes}. Changing it in the editor runs the editor\u2019s text instead.',
      tooLarge:
        '{name}: {size}, too large to show in the editor ({lines} lines or {mib} MiB at most); it runs ' +
        'exactly as opened{notes}, and a line that a message names is shown below Run.',
      tooLargeHint:
        '{name} is too large to show here. To type again, pick an example or open another file.',
      reading: 'Reading {name}\u2026',
      readFailed: '{name} could not be read: {reason}',
      edited: 'The editor\u2019s text runs, as UTF-8 with LF line ends.',
      example: 'Example {name}: {about}.',
    },
    hu: {
      bom:
        'UTF-8 bájtsorrend-jelzővel \u2013 BOM-jellel \u2013 kezdődik: ez 3 bájt, amelyet a szerkesztő nem mutat, ' +
        'de a program az első sor nevének részeként olvassa',
      cr: 'a szerkesztő a sorvég előtti CR karaktert nem mutatja, minden más CR karaktert \u240d jellel mutat',
      nel: 'a szerkesztő a NEL, az U+2028 és az U+2029 karaktert \u2424 jellel mutatja: sort csak az LF zár le',
      notUtf8: 'a nem UTF-8 bájtok a szerkesztőben \ufffd jelként látszanak',
      size: '{n} bájt',
      opened:
        '{name}: {size}, pontosan úgy fut, ahogy megnyitottad{notes}. Ha a szerkesztőben módosítod, ' +
        'a szerkesztő szövege fut helyette.',
      tooLarge:
        '{name}: {size}, túl nagy a szerkesztőhöz (legfeljebb {lines} sor vagy {mib} MiB fér bele); ' +
        'pontosan úgy fut, ahogy megnyitottad{notes}, és a fájlnak az üzenetben megnevezett sora a Futás részben látszik.',
      tooLargeHint:
        '{name} túl nagy ahhoz, hogy itt megjelenjen. Ha ismét gépelni szeretnél, válassz egy példát, ' +
        'vagy nyiss meg egy másik fájlt.',
      reading: '{name} beolvasása\u2026',
      readFailed: '{name} nem olvasható be: {reason}',
      edited: 'A szerkesztő szövege fut, UTF-8 kódolással és LF sorvégekkel.',
      example: 'A(z) {name} példa: {about}.',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);

  // The largest file put into the editor. A textarea's every keystroke
  // costs time in proportion to its lines, so lines count as well as bytes:
  // 20,000 lines hold a relation at the format's 10,000-row limit twice over.
  const EDITOR_BYTES = 2 << 20;
  const EDITOR_LINES = 20000;

  const $ = (id) => document.getElementById(id);
  const editor = $('editor');
  const gutter = $('editor-gutter');
  const marks = $('editor-marks');
  const note = $('input-note');
  const examples = $('examples');
  const utf8 = new TextDecoder('utf-8');

  // bytes null: the editor's text; inEditor: whether the editor shows it.
  let chosen = { name: 'input.txt', bytes: null, inEditor: true };
  let choice = 0; // counts the choices, so that a read can tell it is late
  let reading = Promise.resolve();
  const changeListeners = [];
  // The note and the editor's hint (shown only over a file too large for
  // it) as words of the page's language, so that a switch can word them again.
  let noteWords = () => '';
  let hintWords = () => '';

  function setNote(words) {
    noteWords = words;
    note.textContent = words();
  }

  function setHint(words) {
    hintWords = words;
    editor.placeholder = words();
  }

  // The short guide to the input format, in the page's language.
  function drawFormat() {
    $('format-guide').innerHTML = JOINREL_FORMAT[Language.current()];
  }
  drawFormat();

  Language.onChange(() => {
    note.textContent = noteWords();
    editor.placeholder = hintWords();
    drawFormat();
    drawExamples();
  });

  // A new choice: what was marked and shown belongs to the old one.
  function newChoice() {
    choice += 1;
    shownExample = null;
    drawExamples();
    clearMark();
    for (const listener of changeListeners) listener();
    return choice;
  }

  // The textarea would end a line at a lone CR, NEL, U+2028 and U+2029 too,
  // where the engine ends one at LF only: those show as a sign instead, and
  // a CR before LF is left out, so that each editor line is a file line.
  const LINE_BREAK_SIGNS = {
    '\r': '\u240d',
    '\u0085': '\u2424',
    '\u2028': '\u2424',
    '\u2029': '\u2424',
  };

  function editorText(decoded) {
    return decoded
      .replace(/\r(?=\n)/g, '')
      .replace(/[\r\u0085\u2028\u2029]/g, (c) => LINE_BREAK_SIGNS[c]);
  }

  function lineCount(bytes) {
    let lines = 1;
    for (let i = bytes.indexOf(10); i >= 0; i = bytes.indexOf(10, i + 1)) lines += 1;
    return lines;
  }

  function startsWithBom(bytes) {
    return bytes[0] === 0xef && bytes[1] === 0xbb && bytes[2] === 0xbf;
  }

  // What the editor shows differently from the file's bytes, as keys of TEXTS.
  function describeBytes(bytes, decoded) {
    const notes = [];
    if (startsWithBom(bytes)) notes.push('bom');
    if (bytes.includes(13)) notes.push('cr');
    if (/[\u0085\u2028\u2029]/.test(decoded)) notes.push('nel');
    if (decoded.includes('\ufffd')) {
      try {
        new TextDecoder('utf-8', { fatal: true }).decode(bytes);
      } catch {
        notes.push('notUtf8');
      }
    }
    return notes;
  }

  // `example`: the bundled example these bytes are, or undefined.
  function setInput(name, bytes, example) {
    shownExample = example ?? null;
    drawExamples();
    const inEditor = bytes.length <= EDITOR_BYTES && lineCount(bytes) <= EDITOR_LINES;
    chosen = { name, bytes, inEditor };
    const decoded = inEditor ? utf8.decode(bytes) : '';
    editor.value = editorText(decoded);
    // A file the editor does not hold is not replaced by typing over nothing.
    editor.readOnly = !inEditor;
    setHint(inEditor ? () => '' : () => say('tooLargeHint', { name }));
    editor.scrollTop = 0;
    numberLines();
    const notes = inEditor ? describeBytes(bytes, decoded) : startsWithBom(bytes) ? ['bom'] : [];
    setNote(() =>
      say(inEditor ? 'opened' : 'tooLarge', {
        name,
        size: say('size', { n: bytes.length }),
        notes: notes.length ? ` (${notes.map((key) => say(key)).join('; ')})` : '',
        lines: EDITOR_LINES,
        mib: EDITOR_BYTES >> 20,
      }),
    );
  }

  $('input-file').addEventListener('change', (event) => {
    const file = event.target.files[0];
    if (!file) return;
    examples.value = '';
    const mine = newChoice();
    setNote(() => say('reading', { name: file.name }));
    reading = file.arrayBuffer().then(
      (buffer) => {
        if (mine === choice) setInput(file.name, new Uint8Array(buffer));
      },
      (error) => {
        if (mine === choice)
          setNote(() => say('readFailed', { name: file.name, reason: error.message }));
      },
    );
  });

  for (const example of JOINREL_EXAMPLES) {
    const option = document.createElement('option');
    option.value = example.name;
    option.textContent = example.name;
    examples.append(option);
  }

  // What the example on show is for, in the page's language: each example
  // says in a line what it shows, above what the note says of its bytes.
  const exampleNote = $('example-note');
  let shownExample = null;
  function drawExamples() {
    exampleNote.textContent = shownExample
      ? say('example', { name: shownExample.name, about: shownExample.about[Language.current()] })
      : '';
  }

  function exampleBytes(example) {
    return Uint8Array.from(atob(example.base64), (c) => c.charCodeAt(0));
  }

  examples.addEventListener('change', () => {
    const example = JOINREL_EXAMPLES.find((e) => e.name === examples.value);
    if (!example) return;
    $('input-file').value = '';
    newChoice();
    setInput(example.name, exampleBytes(example), example);
  });

  editor.addEventListener('input', () => {
    numberLines();
    if (chosen.bytes) {
      chosen = { name: chosen.name, bytes: null, inEditor: true };
      setNote(() => say('edited'));
    }
    newChoice();
  });

  // ---- The marked line --------------------------------------------------

  function clearMark() {
    marks.replaceChildren();
  }

  // Where the number of line `line` starts in the gutter's text.
  function gutterOffset(line) {
    let offset = line - 1; // the line ends before it
    for (let digits = 1, first = 1; first < line; digits += 1, first *= 10) {
      offset += digits * (Math.min(line, first * 10) - first);
    }
    return offset;
  }

  // The box of line `line`'s number in the gutter, {top, height}, top from
  // the top of the gutter's content: laid out by the browser, not worked
  // out from a pitch.
  function numberBox(line) {
    const range = document.createRange();
    const start = gutterOffset(line);
    range.setStart(gutter.firstChild, start);
    range.setEnd(gutter.firstChild, start + String(line).length);
    const box = range.getBoundingClientRect();
    return {
      top: box.top - gutter.getBoundingClientRect().top + gutter.scrollTop,
      height: box.height,
    };
  }

  // Line `line`'s box in the editor, {top, height} from the top of its
  // content, measured on the gutter, whose lines are the editor's lines:
  // the line's height is the distance to the next line, its text in the
  // middle of it.
  function lineBox(line) {
    const text = numberBox(line);
    let height = parseFloat(getComputedStyle(editor).lineHeight);
    if (line < gutterLines) height = numberBox(line + 1).top - text.top;
    else if (line > 1) height = text.top - numberBox(line - 1).top;
    return { top: text.top - (height - text.height) / 2, height };
  }

  function placeMark() {
    for (const mark of marks.children) {
      const box = lineBox(Math.min(Number(mark.dataset.line), gutterLines));
      mark.style.top = `${box.top - editor.scrollTop}px`;
      mark.style.height = `${box.height}px`;
    }
  }

  // Marks `lines`, selects the first of them and scrolls it into view.
  function markLines(lines) {
    const line = lines[0];
    const shownLine = Math.min(line, gutterLines);
    // Select the line, so that the caret is there when the user edits.
    const text = editor.value;
    let start = 0;
    for (let i = 1; i < shownLine; i += 1) start = text.indexOf('\n', start) + 1;
    const end = text.indexOf('\n', start);
    editor.setSelectionRange(start, end < 0 ? text.length : end);
    marks.replaceChildren(
      ...lines.map((marked) => {
        const mark = document.createElement('div');
        mark.className = 'marked-line';
        mark.dataset.line = String(marked);
        return mark;
      }),
    );
    editor.scrollTop = Math.max(0, lineBox(shownLine).top - editor.clientHeight / 3);
    gutter.scrollTop = editor.scrollTop;
    placeMark();
  }

  // The gutter numbers the editor's lines, which are the file's lines.
  let gutterLines = 0;

  function numberLines() {
    let lines = 1;
    for (let i = editor.value.indexOf('\n'); i >= 0; i = editor.value.indexOf('\n', i + 1)) lines++;
    if (lines !== gutterLines) {
      gutterLines = lines;
      gutter.textContent = Array.from({ length: lines }, (_, i) => i + 1).join('\n');
      $('editor-box').style.setProperty('--gutter', `${String(lines).length + 2.5}ch`);
    }
    gutter.scrollTop = editor.scrollTop;
  }

  // The page opens with the first example in the editor, ready to run; a
  // link's input or an opened file replaces it.
  const first = JOINREL_EXAMPLES.find((e) => e.name === 'company.txt') ?? JOINREL_EXAMPLES[0];
  if (first) {
    examples.value = first.name;
    setInput(first.name, exampleBytes(first), first);
  }

  editor.addEventListener('scroll', () => {
    gutter.scrollTop = editor.scrollTop;
    placeMark();
  });
  new ResizeObserver(placeMark).observe(editor);

  return {
    // The input as it stands once the file being read, if any, is in:
    // {name, bytes, inEditor}. Nobody changes the bytes: a record keeps them.
    async current() {
      await reading;
      const bytes = chosen.bytes || new TextEncoder().encode(editor.value);
      return { name: chosen.name, bytes, inEditor: chosen.inEditor };
    },
    // `listener()` hears of each new choice: a file, an example, an edit, a
    // load; every listener added hears of each, in the order added.
    onChange(listener) {
      changeListeners.push(listener);
    },
    // Makes `bytes` the input, named `name`, as a newly opened file: the
    // file input and the examples picker let go of their choice.
    load(name, bytes) {
      $('input-file').value = '';
      examples.value = '';
      newChoice();
      setInput(name, bytes);
    },
    // Marks line `line` (1-based) of the editor and scrolls it into view.
    markLine: (line) => markLines([line]),
    // Marks each of `lines` (1-based, ascending), the first scrolled into view.
    markLines,
    clearMark,
  };
})();
