// The input: the file the next run takes, chosen by opening a file, picking
// an example or typing, and the editor that shows it, with its line numbers
// and its marked line. It owns #input-file, #examples, #input-note and the
// editor box; the page hears of every new choice through onChange.
//
// An opened file or example runs as its exact bytes until the editor is
// changed; from then on the editor's text runs, as UTF-8. The last choice
// always wins: a file read that ends after a newer choice is dropped.
// JOINREL_EXAMPLES is written into the page when it is built.
const Input = (() => {
  const EDITOR_LIMIT = 4 << 20;  // bytes of an opened file put into the editor

  const $ = (id) => document.getElementById(id);
  const editor = $('editor');
  const gutter = $('editor-gutter');
  const marks = $('editor-marks');
  const note = $('input-note');
  const examples = $('examples');
  const utf8 = new TextDecoder('utf-8');

  // bytes null: the editor's text; inEditor: whether the editor shows it.
  let chosen = { name: 'input.txt', bytes: null, inEditor: true };
  let choice = 0;  // counts the choices, so that a read can tell it is late
  let reading = Promise.resolve();
  let changeListener = () => {};

  // A new choice: what was marked and shown belongs to the old one.
  function newChoice() {
    choice += 1;
    clearMark();
    changeListener();
    return choice;
  }

  function describeBytes(bytes) {
    const notes = [];
    if (bytes.includes(13)) notes.push('its CR LF line ends are kept, the editor shows LF');
    try {
      new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch {
      notes.push('bytes that are not UTF-8 show as \u{FFFD} in the editor');
    }
    return notes;
  }

  function setInput(name, bytes) {
    const inEditor = bytes.length <= EDITOR_LIMIT;
    chosen = { name, bytes, inEditor };
    editor.value = inEditor ? utf8.decode(bytes) : '';
    editor.scrollTop = 0;
    numberLines();
    const size = `${bytes.length.toLocaleString('en')} bytes`;
    const notes = describeBytes(bytes);
    note.textContent = inEditor
      ? `${name}: ${size}, run exactly as opened${notes.length ? ` (${notes.join('; ')})` : ''}. ` +
        'Changing it in the editor runs the editor\u2019s text instead.'
      : `${name}: ${size}, too large to show in the editor; it runs exactly as opened.`;
  }

  $('input-file').addEventListener('change', (event) => {
    const file = event.target.files[0];
    if (!file) return;
    examples.value = '';
    const mine = newChoice();
    note.textContent = `Reading ${file.name}\u2026`;
    reading = file.arrayBuffer().then(
      (buffer) => {
        if (mine === choice) setInput(file.name, new Uint8Array(buffer));
      },
      (error) => {
        if (mine === choice) note.textContent = `${file.name} could not be read: ${error.message}`;
      },
    );
  });

  for (const example of JOINREL_EXAMPLES) {
    const option = document.createElement('option');
    option.value = example.name;
    option.textContent = example.name;
    examples.append(option);
  }
  examples.addEventListener('change', () => {
    const example = JOINREL_EXAMPLES.find((e) => e.name === examples.value);
    if (!example) return;
    $('input-file').value = '';
    newChoice();
    setInput(example.name, Uint8Array.from(atob(example.base64), (c) => c.charCodeAt(0)));
  });

  editor.addEventListener('input', () => {
    numberLines();
    if (chosen.bytes) {
      chosen = { name: chosen.name, bytes: null, inEditor: true };
      note.textContent = 'The editor\u2019s text runs, as UTF-8 with LF line ends.';
    }
    newChoice();
  });

  // ---- The marked line --------------------------------------------------

  function clearMark() {
    marks.replaceChildren();
  }

  function placeMark() {
    const mark = marks.firstElementChild;
    if (!mark) return;
    const style = getComputedStyle(editor);
    const lineHeight = parseFloat(style.lineHeight);
    const line = Number(mark.dataset.line);
    mark.style.top = `${parseFloat(style.paddingTop) + (line - 1) * lineHeight - editor.scrollTop}px`;
  }

  function markLine(line) {
    const mark = document.createElement('div');
    mark.className = 'marked-line';
    mark.dataset.line = String(line);
    marks.replaceChildren(mark);
    const lineHeight = parseFloat(getComputedStyle(editor).lineHeight);
    editor.scrollTop = Math.max(0, (line - 1) * lineHeight - editor.clientHeight / 3);
    placeMark();
    // Select the line too, so that the caret is there when the user edits.
    const lines = editor.value.split('\n');
    if (line <= lines.length) {
      let start = 0;
      for (let i = 0; i < line - 1; i++) start += lines[i].length + 1;
      editor.setSelectionRange(start, start + lines[line - 1].length);
    }
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
    // `listener()` hears of each new choice: a file, an example, an edit.
    onChange(listener) {
      changeListener = listener;
    },
    // Marks line `line` (1-based) of the editor and scrolls it into view.
    markLine,
    clearMark,
  };
})();
