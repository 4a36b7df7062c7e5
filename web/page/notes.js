// The Notes panel: what a run took in as it is but a learner should know
// (cells beyond or short of a relation's attributes, header text never
// read, names and compared cells with an edge blank, relations not joined
// or of one name, a byte order mark, invisible and bidi characters), each
// from the report's "explain.notes" and linked to its line in the editor.
// It owns #notes.
const Notes = (() => {
  const WORDS = Language.table({
    en: {
      heading: 'Notes',
      intro:
        'The run went through, but it took some of the input as it is, which a reader may not expect:',
      line: 'Line {line}',
      cells: { one: '1 cell', other: '{n} cells' },
      attributes: { one: '1 attribute', other: '{n} attributes' },
      extraCells: 'holds {cells}, but {name} has {attributes}: the extra cells are dropped.',
      missingCells: 'holds {cells}, but {name} has {attributes}: the missing cells are empty.',
      textAfterList:
        'the text after the \u201c)\u201d that closes the list, {text}, is never read.',
      typeCut:
        'the type of {attribute} holds a \u201c(\u201d, and the comma inside it ends the attribute: its type is read as {type}, what follows the comma as a new attribute, and the first \u201c)\u201d ends the list.',
      blankInName:
        'the name {written} begins or ends with a blank: the program reads it as {read}.',
      blankInKeyCell:
        'the {attribute} cell {cell}, which step {step} compares, begins or ends with a blank: it matches only a cell with the very same blanks.',
      notJoined:
        '{name} is read, but the first line does not name it, so it takes no part in the join.',
      sameName:
        'another relation is named {name}; the join reads relation {used} of the file for that name.',
      byteOrderMark:
        'the file starts with a byte order mark (the bytes EF BB BF), which the editor does not show: the program reads it as part of the first line.',
      invisible: 'holds {code}, a character that shows as nothing.',
      bidi: 'holds {code}, a character that can reverse how the line looks in the editor.',
      more: {
        one: '\u2026 and {n} more note of these kinds.',
        other: '\u2026 and {n} more notes of these kinds.',
      },
    },
    hu: {
      heading: 'Megjegyzések',
      intro:
        'A futás rendben lezajlott, de a bemenet néhány részét a program úgy vette, ahogy van, és ez meglepheti az olvasót:',
      line: 'A fájl {line}. sora',
      cells: '{n} cella',
      attributes: '{n} attribútuma',
      extraCells:
        '{cells} van benne, de a(z) {name} relációnak {attributes} van: a fölös cellákat a program nem tárolja.',
      missingCells:
        'csak {cells} van benne, de a(z) {name} relációnak {attributes} van: a hiányzó cellák üresek lesznek.',
      textAfterList:
        'a listát lezáró \u201e)\u201d utáni szöveget ({text}) a program nem olvassa be.',
      typeCut:
        'a(z) {attribute} attribútum típusában \u201e(\u201d áll, és a benne lévő vessző lezárja az attribútumot: a típusa {type} lesz, a vessző utáni rész új attribútum, és az első \u201e)\u201d lezárja a listát.',
      blankInName:
        'a(z) {written} név szóközzel kezdődik vagy végződik: a program {read} névként olvassa.',
      blankInKeyCell:
        'a(z) {attribute} cella ({cell}), amelyet a(z) {step}. lépés összehasonlít, szóközzel kezdődik vagy végződik: csak pontosan ugyanilyen szóközöket tartalmazó cellával alkot párt.',
      notJoined:
        'a(z) {name} relációt a program beolvassa, de a fájl 1. sora nem nevezi meg, ezért nem vesz részt az összekapcsolásban.',
      sameName:
        'egy másik reláció neve is {name}; ehhez a névhez az összekapcsolás a fájl {used}. relációját olvassa.',
      byteOrderMark:
        'a fájl bájtsorrend-jelzővel (az EF BB BF bájtokkal) kezdődik, amelyet a szerkesztő nem mutat: a program az első sor részeként olvassa.',
      invisible: 'van benne egy {code} karakter, amely semmiként sem látszik.',
      bidi: 'van benne egy {code} karakter, amely megfordíthatja, ahogyan a sor a szerkesztőben megjelenik.',
      more: '\u2026 és még {n} ilyen megjegyzés.',
    },
  });
  const say = (key, values) => {
    const fragment = document.createDocumentFragment();
    for (const piece of Language.parts(WORDS, key, values))
      fragment.append(typeof piece === 'string' ? piece : piece.cloneNode(true));
    return fragment;
  };
  const text = (key, values) => Language.text(WORDS, key, values);
  const name = (bytes) => Shown.shown(bytes, { isName: true });
  const quoted = (bytes) => {
    const node = document.createElement('code');
    node.append(Shown.shown(bytes));
    return node;
  };
  const $ = (id) => document.getElementById(id);

  const section = $('notes-section');
  const list = $('notes');
  let shown = null; // the record whose notes are shown

  // The words of `note`, after its line.
  function words(note) {
    switch (note.kind) {
      case 'extraCells':
      case 'missingCells':
        return say(note.kind, {
          cells: text('cells', { n: note.cells }),
          attributes: text('attributes', { n: note.attributes }),
          name: name(note.name),
        });
      case 'textAfterList':
        return say('textAfterList', { text: quoted(note.text) });
      case 'typeCut':
        return say('typeCut', { attribute: name(note.attribute), type: quoted(note.type) });
      case 'blankInName':
        return say('blankInName', { written: quoted(note.written), read: quoted(note.read) });
      case 'blankInKeyCell':
        return say('blankInKeyCell', {
          attribute: name(note.attribute),
          cell: quoted(note.cell),
          step: note.step,
        });
      case 'notJoined':
        return say('notJoined', { name: name(note.name) });
      case 'sameName':
        return say('sameName', { name: name(note.name), used: note.used + 1 });
      case 'byteOrderMark':
        return say('byteOrderMark');
      default: {
        const code = `U+${note.codePoint.toString(16).toUpperCase().padStart(4, '0')}`;
        return say(note.bidi ? 'bidi' : 'invisible', { code });
      }
    }
  }

  // One note as an item: its line (a button that marks the line in the
  // editor, when the editor holds the file) and its words.
  function item(note, inEditor) {
    const li = document.createElement('li');
    li.className = 'note-item';
    const line = text('line', { line: note.line });
    if (inEditor) {
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'note-line';
      button.dataset.line = String(note.line);
      button.textContent = line;
      button.addEventListener('click', () => Input.markLine(note.line));
      li.append(button);
    } else {
      li.append(line);
    }
    const said = document.createElement('span');
    said.className = 'note-words';
    said.append(words(note));
    li.append(': ', said);
    return li;
  }

  function draw() {
    list.replaceChildren();
    const notes = shown?.report?.explain?.notes ?? [];
    section.hidden = notes.length === 0;
    if (notes.length === 0) return;
    const inEditor = shown.input.inEditor;
    list.append(...notes.map((note) => item(note, inEditor)));
    const more = Object.values(shown.report.explain.moreNotes ?? {}).reduce((a, b) => a + b, 0);
    if (more > 0) {
      const li = document.createElement('li');
      li.append(text('more', { n: more }));
      list.append(li);
    }
  }

  function drawHeading() {
    $('notes-heading').textContent = text('heading');
    $('notes-intro').textContent = text('intro');
  }
  drawHeading();

  Language.onChange(() => {
    drawHeading();
    draw();
  });

  return {
    // Shows the notes of `record` ({report, input}), none when it has none.
    show(record) {
      shown = record;
      draw();
    },
    // Shows no notes.
    clear() {
      shown = null;
      draw();
    },
  };
})();
