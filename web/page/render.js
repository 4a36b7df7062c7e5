// Rendering: draws a run record into the page's Run, Relations, Join steps
// and Output file sections, or clears them. It owns what those sections
// show, Download's state among it; it keeps no state of its own.
//
// A run record is {input: {name, bytes, inEditor}, status, console, output,
// report}: the input the run took, and what the engine gave back (see
// worker.js; the report's schema is src/wasm/report.h's). JOINREL_MESSAGES
// and JOINREL_MESSAGES_HU are written into the page when it is built.
const Render = (() => {
  const OUTPUT_SHOWN = 1 << 20;  // bytes of the output file shown as text

  // A counted phrase is one entry, its forms by the count {n}'s plural category.
  const TEXTS = Language.table({
    en: {
      character: 'the character {code}',
      emptyName: 'an empty name',
      edgeBlank: 'a blank at the start or end',
      cut: ' \u2026 cut here: {bytes} in all',
      bytes: { one: '1 byte', other: '{n} bytes' },
      rows: { one: '1 row', other: '{n} rows' },
      tableOf: 'Table of {label}',
      noAttributesRows: 'No attributes: its rows have no cells, so none is written.',
      noAttributes: 'No attributes and no rows.',
      moreRows: { one: '\u2026 and 1 more row, not shown here.', other: '\u2026 and {n} more rows, not shown here.' },
      leftOut: 'This run is too large to show whole here, so some tables or join steps are left out. ' +
        'The output file is complete: Download saves all of it.',
      emptyNamed: 'the relation with an empty name',
      moreRelations: {
        one: '\u2026 and 1 more relation, not shown here; the output file holds it.',
        other: '\u2026 and {n} more relations, not shown here; the output file holds them.',
      },
      resultLeftOut: 'result is too large to show here; the output file holds it.',
      noRelation: 'The run wrote no relation.',
      moreSteps: {
        one: '\u2026 and 1 more join step, which no longer fits here.',
        other: '\u2026 and {n} more join steps, which no longer fit here.',
      },
      noOutput: 'The run created no output file.',
      outputCut: 'Shown: the first 1 MiB of {size} bytes. Download saves all of it.',
      outputSize: { one: '1 byte.', other: '{n} bytes.' },
      done: 'Done (exit status {status})',
      meaning: 'Meaning: ',
      fix: 'What to do: ',
      exitStatus: 'Exit status {status}.',
      lineMarked: ' Line {line} of the file is marked in the editor.',
      lineBelow: ' The file is too large for the editor; here is its line {line} with the lines around it:',
      excerpt: 'Line {line} of the input file and the lines around it',
      consolePrints: 'The command line prints:',
      emptyCell: '(empty)',
      stepsHint: 'After a run, each join step appears here.',
      noStep: 'No join step ran.',
      aRelation: 'the relation',
    },
    hu: {
      character: 'karakter: {code}',
      emptyName: 'üres név',
      edgeBlank: 'szóköz az elején vagy a végén',
      cut: ' \u2026 itt levágva, összesen {bytes}',
      bytes: '{n} bájt',
      rows: '{n} sor',
      tableOf: 'Táblázat: {label}',
      noAttributesRows: 'Nincs attribútuma: a sorainak egyetlen cellája sincs, ezért egyik sor sem íródik ki.',
      noAttributes: 'Nincs sem attribútuma, sem sora.',
      moreRows: '\u2026 és még {n} sor, amely itt nem látszik.',
      leftOut: 'Ez a futás túl nagy ahhoz, hogy itt egészében megjelenjen, ezért néhány táblázat vagy ' +
        'összekapcsolási lépés kimarad. A kimeneti fájl teljes: a Letöltés az egészet elmenti.',
      emptyNamed: 'az üres nevű reláció',
      moreRelations: '\u2026 és még {n} reláció, amely itt nem látszik; a kimeneti fájlban benne van.',
      resultLeftOut: 'A result reláció túl nagy ahhoz, hogy itt megjelenjen; a kimeneti fájlban benne van.',
      noRelation: 'A futás egyetlen relációt sem írt ki.',
      moreSteps: '\u2026 és még {n} összekapcsolási lépés, amely már nem fér el itt.',
      noOutput: 'A futás nem hozott létre kimeneti fájlt.',
      outputCut: 'Látható: {size} bájtból az első 1 MiB. A Letöltés az egészet elmenti.',
      outputSize: '{n} bájt.',
      done: 'Kész (kilépési kód: {status})',
      meaning: 'Jelentése: ',
      fix: 'Teendő: ',
      exitStatus: 'Kilépési kód: {status}.',
      lineMarked: ' A fájl {line}. sora meg van jelölve a szerkesztőben.',
      lineBelow: ' A fájl túl nagy a szerkesztőhöz; alább a fájl {line}. sora látható a környező sorokkal együtt:',
      excerpt: 'A bemeneti fájl {line}. sora és a körülötte lévő sorok',
      consolePrints: 'A parancssori program ezt írja ki:',
      emptyCell: '(üres)',
      stepsHint: 'Futtatás után itt jelennek meg az összekapcsolás lépései.',
      noStep: 'Egyetlen összekapcsolási lépés sem futott.',
      aRelation: 'a reláció',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);


  // The words that page.css shows around the content, drawn into custom
  // properties that its `content` rules read.
  function drawCssWords() {
    const words = { consolePrints: '--console-prints', emptyCell: '--empty-cell', stepsHint: '--steps-hint', noStep: '--no-step' };
    for (const [key, property] of Object.entries(words)) {
      document.documentElement.style.setProperty(property, JSON.stringify(say(key)));
    }
  }
  drawCssWords();
  Language.onChange(drawCssWords);

  // A message's meaning and what to fix, as Markdown, in `language`:
  // {meaning, fix}, fix '' when there is nothing to fix; undefined for a
  // text that is no message's. `messageText` is the message without its
  // line number or name part ("Hibas fejlec" for `Hibas fejlec: N. sor!`).
  function explanation(messageText, language = Language.current()) {
    return (language === 'hu' ? JOINREL_MESSAGES_HU : JOINREL_MESSAGES)[messageText];
  }

  const $ = (id) => document.getElementById(id);
  const utf8 = new TextDecoder('utf-8');
  // What Relations says before any run, said again whenever no run is shown.
  const relationsHint = [...$('relations').childNodes];

  // The report's strings hold one character per byte; shown as UTF-8.
  function text(byteString) {
    // eslint-disable-next-line no-control-regex
    if (!/[^\x00-\x7f]/.test(byteString)) return byteString;
    return utf8.decode(Uint8Array.from(byteString, (c) => c.charCodeAt(0)));
  }

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  // Characters that show as nothing, or as a blank, or that turn the text
  // around them: each gets a visible mark with its name.
  const INVISIBLE = /[\u0000-\u001f\u007f\u00a0\u200b-\u200f\u202a-\u202e\u2066-\u2069\ufeff]/u;
  const MARK_NAMES = {
    '\t': 'TAB', '\n': 'LF', '\r': 'CR', '\u0000': 'NUL', '\u007f': 'DEL', '\u00a0': 'NBSP',
    '\u200b': 'ZWSP', '\u200e': 'LRM', '\u200f': 'RLM', '\u202e': 'RLO', '\ufeff': 'BOM',
  };

  function mark(name, title) {
    const node = element('span', 'char-mark', name);
    if (title) node.title = title;
    return node;
  }

  function markFor(char) {
    const code = `U+${char.codePointAt(0).toString(16).toUpperCase().padStart(4, '0')}`;
    return mark(MARK_NAMES[char] || code, say('character', { code }));
  }

  // A name or cell from the report, as shown: isolated from the text around
  // it for direction, every invisible character and every blank at its
  // start or end marked, an empty name called so.
  function shown(byteString, options = {}) {
    return shownText(text(byteString), options);
  }

  // shown() for text already decoded.
  function shownText(value, { isName = false } = {}) {
    if (value === '') return isName ? mark(say('emptyName')) : element('bdi', '');
    const node = element('bdi', '');
    if (!INVISIBLE.test(value) && !/^ | $/.test(value)) {
      node.append(value);
      return node;
    }
    const lead = /^ */.exec(value)[0].length;
    const trail = lead === value.length ? 0 : / *$/.exec(value)[0].length;
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

  // A cell: a string, or {start, length} for one cut short.
  function cellContent(cell) {
    if (typeof cell === 'string') return [shown(cell)];
    return [shown(cell.start), element('span', 'cut', say('cut', { bytes: plural(cell.length, 'bytes') }))];
  }

  // "a " or "az " before `shown` (A for a sentence's start), in Hungarian.
  function withArticle(capital, shownText) {
    const said = Language.article(shownText);
    return `${capital === 'A' ? said[0].toUpperCase() + said.slice(1) : said} `;
  }

  // Markdown text from the README: `code` becomes <code>, the rest is text.
  function markdown(source) {
    const fragment = document.createDocumentFragment();
    source.split('`').forEach((piece, i) => {
      if (piece) fragment.append(i % 2 ? element('code', '', piece) : piece);
    });
    return fragment;
  }

  // The counted phrase `key` (rows, bytes, ...) in its form for `count`.
  function plural(count, key) {
    return say(key, { n: count });
  }

  function relationTable(relation, label) {
    const table = element('table');
    const head = element('tr');
    for (const [name, type] of relation.attributes) {
      const cell = element('th', '', shown(name, { isName: true }));
      if (type) cell.append(element('span', 'type', shown(type)));
      head.append(cell);
    }
    table.append(element('thead', '', head));
    const body = element('tbody');
    for (const row of relation.rows) {
      const line = element('tr');
      for (const cell of row) line.append(element('td', cell === '' ? 'empty-cell' : '', ...cellContent(cell)));
      body.append(line);
    }
    table.append(body);
    // A table wider than the page scrolls; the keyboard reaches it to scroll.
    const wrap = element('div', 'table-wrap', table);
    wrap.tabIndex = 0;
    wrap.setAttribute('role', 'region');
    wrap.setAttribute('aria-label', say('tableOf', { label }));
    const more = relation.rowCount - relation.rows.length;
    const box = document.createDocumentFragment();
    box.append(wrap);
    if (relation.attributes.length === 0) {
      box.append(element('p', 'more', say(relation.rowCount > 0 ? 'noAttributesRows' : 'noAttributes')));
    } else if (more > 0) {
      box.append(element('p', 'more', plural(more, 'moreRows')));
    }
    return box;
  }

  // `label` names the relation in words, for a screen reader.
  function relationBlock(relation, title, className, label) {
    const block = element('div', `relation ${className || ''}`);
    const heading = element('h3', '', element('span', 'mono', title));
    heading.append(element('span', 'count', plural(relation.rowCount, 'rows')));
    block.append(heading, relationTable(relation, label));
    return block;
  }

  // What the report had to leave out, in words; null when nothing.
  function leftOutNote(report) {
    if (!report.incomplete) return null;
    return element('p', 'note left-out', say('leftOut'));
  }

  function showRelations(report) {
    const nodes = report.relations.map((r) => relationBlock(r, shown(r.name, { isName: true }), '',
      r.name === '' ? say('emptyNamed') : text(r.name)));
    if (report.moreRelations > 0) {
      nodes.push(element('p', 'note', plural(report.moreRelations, 'moreRelations')));
    }
    if (report.result) nodes.push(relationBlock(report.result, 'result', 'result', 'result'));
    if (report.resultLeftOut) {
      nodes.push(element('p', 'note', say('resultLeftOut')));
    }
    if (nodes.length === 0) nodes.push(element('p', 'note', say('noRelation')));
    const note = leftOutNote(report);
    if (note) nodes.unshift(note);
    $('relations').replaceChildren(...nodes);
  }

  // The walk-through draws the steps; the note says what it could not show.
  function showSteps(record) {
    const report = record.report;
    Walk.show(record);
    $('steps').classList.add('shown');
    $('steps').classList.toggle('left-out', report.stepsLeftOut > 0);
    $('steps-note').textContent = report.stepsLeftOut > 0
      ? plural(report.stepsLeftOut, 'moreSteps')
      : '';
  }

  function showOutput(output) {
    $('download').disabled = !output;
    if (!output) {
      $('output').textContent = '';
      $('output-note').textContent = say('noOutput');
      return;
    }
    $('output').textContent = utf8.decode(output.subarray(0, OUTPUT_SHOWN));
    $('output-note').textContent = output.length > OUTPUT_SHOWN
      ? say('outputCut', { size: output.length })
      : plural(output.length, 'outputSize');
  }

  function setStatus(className, ...nodes) {
    $('status').className = `status ${className}`;
    $('status').replaceChildren(...nodes);
  }

  function showStatus(record, consoleText) {
    const message = record.report.message;
    if (!message) {
      setStatus('done', say('done', { status: record.status }));
      return;
    }
    const nodes = [element('p', 'message', consoleText.replace(/\n$/, ''))];
    const explained = explanation(text(message.text));
    const particulars = record.report.explain.particulars;
    if (explained) {
      // The tables' N stands for the line number and NAME for the relation
      // name, which this run knows; a Hungarian "a(z)" before either is the
      // article of what stands there.
      const filled = (source) => {
        const numbered = message.line === null ? source : source.replace(/\b(?:([Aa])\(z\) )?N\b/g,
          (_, capital) => `${capital ? withArticle(capital, String(message.line)) : ''}${message.line}`);
        const fragment = document.createDocumentFragment();
        // Split with the article's capture: text, article or undefined, text, ...
        numbered.split(/\b(?:([Aa])\(z\) )?NAME\b/).forEach((piece, i) => {
          if (i % 2 === 0) {
            fragment.append(markdown(piece));
          } else if (particulars?.name !== undefined) {
            const name = shown(particulars.name, { isName: true });
            if (piece) fragment.append(withArticle(piece, name.textContent));
            fragment.append(name);
          } else {
            fragment.append(say('aRelation'));
          }
        });
        return fragment;
      };
      const meaning = element('p', '', element('span', 'label', say('meaning')));
      meaning.append(filled(explained.meaning));
      nodes.push(meaning);
      const details = Walk.particulars(record);
      if (details) nodes.push(details);
      if (explained.fix) {
        const fix = element('p', '', element('span', 'label', say('fix')));
        fix.append(filled(explained.fix));
        nodes.push(fix);
      }
    }
    let where = say('exitStatus', { status: record.status });
    if (message.line !== null) where += say(record.input.inEditor ? 'lineMarked' : 'lineBelow', { line: String(message.line) });
    nodes.push(element('p', 'note', where));
    if (message.line !== null && !record.input.inEditor) nodes.push(excerpt(record.input.bytes, message.line));
    setStatus('failed', ...nodes);
    if (message.line !== null && record.input.inEditor) Input.markLine(message.line);
    // An unknown relation is named on the first line, the join list; the
    // message itself names no line, as the command line's does not.
    if (message.kind === 'unknown-relation' && record.input.inEditor) Input.markLines([1]);
  }

  const EXCERPT_AROUND = 3;          // lines shown before and after a named line
  const EXCERPT_LINE_BYTES = 1000;   // bytes shown of each of them

  // Lines `line` - 3 to `line` + 3 of `bytes`, numbered, `line` marked: how a
  // file too large for the editor shows the line that a message names.
  function excerpt(bytes, line) {
    const first = Math.max(1, line - EXCERPT_AROUND);
    let start = 0;
    for (let n = 1; n < first && start >= 0; n += 1) start = bytes.indexOf(10, start) + 1 || -1;
    const box = element('pre', 'excerpt');
    for (let n = first; n <= line + EXCERPT_AROUND && start >= 0 && start <= bytes.length; n += 1) {
      const end = bytes.indexOf(10, start);
      const lineEnd = end < 0 ? bytes.length : end;
      const lineBytes = bytes.subarray(start, Math.min(lineEnd, start + EXCERPT_LINE_BYTES));
      const row = element('span', n === line ? 'excerpt-line named' : 'excerpt-line',
        element('span', 'excerpt-number', String(n)), shownText(utf8.decode(lineBytes)));
      if (lineEnd - start > EXCERPT_LINE_BYTES) {
        row.append(element('span', 'cut', say('cut', { bytes: plural(lineEnd - start, 'bytes') })));
      }
      box.append(row);
      if (end < 0) break;
      start = end + 1;
    }
    box.tabIndex = 0;
    box.setAttribute('role', 'region');
    box.setAttribute('aria-label', say('excerpt', { line: String(line) }));
    return box;
  }

  // Empties every section below the status, and the marked line.
  function clearResults() {
    Input.clearMark();
    $('console').textContent = '';
    const hint = relationsHint.map((node) => node.cloneNode(true));
    for (const node of hint) if (node.nodeType === Node.ELEMENT_NODE) Language.drawWords(node);
    $('relations').replaceChildren(...hint);
    Walk.clear();
    $('steps').replaceChildren();
    $('steps').classList.remove('shown', 'left-out');
    $('steps-note').textContent = '';
    $('output').textContent = '';
    $('output-note').textContent = '';
    $('download').disabled = true;
  }

  return {
    // Shows everything of `record`, and nothing of any run before it.
    record(record) {
      clearResults();
      const consoleText = utf8.decode(record.console);
      $('console').textContent = consoleText;
      showStatus(record, consoleText);
      showRelations(record.report);
      showSteps(record);
      showOutput(record.output);
    },
    // A name or cell from the report as the page shows it (see shown()).
    shown,
    // A cell's content, cut short with its length when the report cut it.
    cellContent,
    // Shows no run, with `statusText` as the status ('idle', 'running' or
    // 'failed' its kind).
    nothing(kind, statusText) {
      clearResults();
      setStatus(kind, statusText);
    },
    explanation,
  };
})();
