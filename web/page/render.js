// Rendering: draws a run record into the page's Run, Relations and Output
// file sections, and the Join steps section's notes, or clears them. It
// owns what those sections show, Download's state among it; the only state
// it keeps is the Relations tables it drew, which it hands out for the
// walk-through to mark (see controls.js).
//
// A run record is {input: {name, bytes, inEditor}, status, console, output,
// report}: the input the run took, and what the engine gave back (see
// worker.js; the report's schema is src/wasm/report.h's). JOINREL_MESSAGES
// and JOINREL_MESSAGES_HU are written into the page when it is built.
const Render = (() => {
  const OUTPUT_SHOWN = 1 << 20; // bytes of the output file shown as text
  const OUTPUT_PIECE = 200; // lines of it laid out together

  // A counted phrase is one entry, its forms by the count {n}'s plural category.
  const TEXTS = Language.table({
    en: {
      rows: { one: '1 row', other: '{n} rows' },
      tableOf: 'Table of {label}',
      noAttributesRows: 'No attributes: its rows have no cells, so none is written.',
      noAttributes: 'No attributes and no rows.',
      moreRows: {
        one: '\u2026 and 1 more row, not shown here.',
        other: '\u2026 and {n} more rows, not shown here.',
      },
      leftOut:
        'This run is too large to show whole here, so some tables or join steps are left out. ' +
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
      lineBelow:
        ' The file is too large for the editor; here is its line {line} with the lines around it:',
      excerpt: 'Line {line} of the input file and the lines around it',
      consolePrints: 'The command line prints:',
      emptyCell: '(empty)',
      stepsHint: 'After a run, each join step appears here.',
      noStep: 'No join step ran.',
      aRelation: 'the relation',
    },
    hu: {
      rows: '{n} sor',
      tableOf: 'Táblázat: {label}',
      noAttributesRows:
        'Nincs attribútuma: a sorainak egyetlen cellája sincs, ezért egyik sor sem íródik ki.',
      noAttributes: 'Nincs sem attribútuma, sem sora.',
      moreRows: '\u2026 és még {n} sor, amely itt nem látszik.',
      leftOut:
        'Ez a futás túl nagy ahhoz, hogy itt egészében megjelenjen, ezért néhány táblázat vagy ' +
        'összekapcsolási lépés kimarad. A kimeneti fájl teljes: a Letöltés az egészet elmenti.',
      emptyNamed: 'az üres nevű reláció',
      moreRelations:
        '\u2026 és még {n} reláció, amely itt nem látszik; a kimeneti fájlban benne van.',
      resultLeftOut:
        'A result reláció túl nagy ahhoz, hogy itt megjelenjen; a kimeneti fájlban benne van.',
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
      lineBelow:
        ' A fájl túl nagy a szerkesztőhöz; alább a fájl {line}. sora látható a környező sorokkal együtt:',
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
    const words = {
      consolePrints: '--console-prints',
      emptyCell: '--empty-cell',
      stepsHint: '--steps-hint',
      noStep: '--no-step',
    };
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

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  const { shown, shownText, text } = Shown;

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

  // The Relations tables drawn for the run shown: {relations: [a Pages
  // table per relation shown], result, resultBlock}.
  let drawn = { relations: [], result: null, resultBlock: null };

  // The table of `relation`, a page of rows at a time, and a note of what it
  // cannot show: {node, paged}.
  function relationTable(relation, label) {
    const paged = Pages.table(relation, { label: say('tableOf', { label }) });
    const more = relation.rowCount - relation.rows.length;
    const box = document.createDocumentFragment();
    box.append(paged.node);
    if (relation.attributes.length === 0) {
      box.append(
        element('p', 'more', say(relation.rowCount > 0 ? 'noAttributesRows' : 'noAttributes')),
      );
    } else if (more > 0) {
      box.append(element('p', 'more', plural(more, 'moreRows')));
    }
    return { node: box, paged };
  }

  // `label` names the relation in words, for a screen reader.
  function relationBlock(relation, title, className, label) {
    const block = element('div', `relation ${className || ''}`);
    const heading = element('h3', '', element('span', 'mono', title));
    heading.append(
      element('span', 'count', plural(relation.rowCount, 'rows')),
      CopyAs.control(relation),
    );
    const table = relationTable(relation, label);
    block.append(heading, table.node);
    return { block, paged: table.paged };
  }

  // What the report had to leave out, in words; null when nothing.
  function leftOutNote(report) {
    if (!report.incomplete) return null;
    return element('p', 'note left-out', say('leftOut'));
  }

  function showRelations(report) {
    const blocks = report.relations.map((r) =>
      relationBlock(
        r,
        shown(r.name, { isName: true }),
        '',
        r.name === '' ? say('emptyNamed') : text(r.name),
      ),
    );
    const nodes = blocks.map(({ block }) => block);
    drawn = { relations: blocks.map(({ paged }) => paged), result: null, resultBlock: null };
    if (report.moreRelations > 0) {
      nodes.push(element('p', 'note', plural(report.moreRelations, 'moreRelations')));
    }
    if (report.result) {
      const { block, paged } = relationBlock(report.result, 'result', 'result', 'result');
      nodes.push(block);
      drawn = { ...drawn, result: paged, resultBlock: block };
    }
    if (report.resultLeftOut) {
      nodes.push(element('p', 'note', say('resultLeftOut')));
    }
    if (nodes.length === 0) nodes.push(element('p', 'note', say('noRelation')));
    const note = leftOutNote(report);
    if (note) nodes.unshift(note);
    $('relations').replaceChildren(...nodes);
  }

  // The walk-through draws the steps; the note says what it could not show.
  function showSteps(report) {
    $('steps').classList.add('shown');
    $('steps').classList.toggle('left-out', report.stepsLeftOut > 0);
    $('steps-note').textContent =
      report.stepsLeftOut > 0 ? plural(report.stepsLeftOut, 'moreSteps') : '';
  }

  // The output's text in pieces of OUTPUT_PIECE lines, each laid out and
  // painted only near the view (page.css), as tall as its lines until then.
  function outputPieces(text) {
    const pieces = [];
    for (let start = 0; start < text.length;) {
      let end = start;
      let lines = 0;
      while (end < text.length && lines < OUTPUT_PIECE) {
        end = text.indexOf('\n', end) + 1 || text.length;
        lines += 1;
      }
      const piece = element('span', 'output-piece', text.slice(start, end));
      piece.style.setProperty('--lines', String(lines));
      pieces.push(piece);
      start = end;
    }
    return pieces;
  }

  function showOutput(output) {
    $('download').disabled = !output;
    if (!output) {
      $('output').textContent = '';
      $('output-note').textContent = say('noOutput');
      return;
    }
    $('output').replaceChildren(...outputPieces(utf8.decode(output.subarray(0, OUTPUT_SHOWN))));
    $('output-note').textContent =
      output.length > OUTPUT_SHOWN
        ? say('outputCut', { size: output.length })
        : plural(output.length, 'outputSize');
  }

  function setStatus(className, ...nodes) {
    $('status').className = `status ${className}`;
    $('status').replaceChildren(...nodes);
  }

  function showStatus(record, consoleText, particularsOf) {
    const message = record.report.message;
    if (!message) {
      setStatus('done', say('done', { status: record.status }));
      return;
    }
    // The message as shown: a character of a name in it that would turn
    // the text around shows as a mark, never turns it.
    const nodes = [element('p', 'message', Shown.message(consoleText.replace(/\n$/, '')))];
    const explained = explanation(text(message.text));
    const particulars = record.report.explain.particulars;
    if (explained) {
      // The tables' N stands for the line number and NAME for the relation
      // name, which this run knows; a Hungarian "a(z)" before either is the
      // article of what stands there.
      const filled = (source) => {
        const numbered =
          message.line === null
            ? source
            : source.replace(
                /\b(?:([Aa])\(z\) )?N\b/g,
                (_, capital) =>
                  `${capital ? withArticle(capital, String(message.line)) : ''}${message.line}`,
              );
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
      const details = particularsOf(record);
      if (details) nodes.push(details);
      if (explained.fix) {
        const fix = element('p', '', element('span', 'label', say('fix')));
        fix.append(filled(explained.fix));
        nodes.push(fix);
      }
    }
    let where = say('exitStatus', { status: record.status });
    if (message.line !== null)
      where += say(record.input.inEditor ? 'lineMarked' : 'lineBelow', {
        line: String(message.line),
      });
    nodes.push(element('p', 'note', where));
    if (message.line !== null && !record.input.inEditor)
      nodes.push(excerpt(record.input.bytes, message.line));
    setStatus('failed', ...nodes);
    if (message.line !== null && record.input.inEditor) Input.markLine(message.line);
    // An unknown relation is named on the first line, the join list; the
    // message itself names no line, as the command line's does not.
    if (message.kind === 'unknown-relation' && record.input.inEditor) Input.markLines([1]);
  }

  const EXCERPT_AROUND = 3; // lines shown before and after a named line
  const EXCERPT_LINE_BYTES = 1000; // bytes shown of each of them

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
      const row = element(
        'span',
        n === line ? 'excerpt-line named' : 'excerpt-line',
        element('span', 'excerpt-number', String(n)),
        shownText(utf8.decode(lineBytes)),
      );
      if (lineEnd - start > EXCERPT_LINE_BYTES) {
        row.append(element('span', 'cut', Shown.cutNote(lineEnd - start)));
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
    drawn = { relations: [], result: null, resultBlock: null };
    $('steps').classList.remove('shown', 'left-out');
    $('steps-note').textContent = '';
    $('output').textContent = '';
    $('output-note').textContent = '';
    $('download').disabled = true;
    Pages.forgetGone();
  }

  return {
    // Shows everything of `record` but its join steps, and nothing of any
    // run before it; `particularsOf(record)` words its message's
    // particulars (a node, or null).
    record(record, particularsOf) {
      clearResults();
      const consoleText = utf8.decode(record.console);
      $('console').textContent = consoleText;
      showStatus(record, consoleText, particularsOf);
      showRelations(record.report);
      showSteps(record.report);
      showOutput(record.output);
    },
    // The Relations tables of the run shown: {relations: [a Pages table
    // per relation shown, by index], result (or null), resultBlock}.
    tables: () => drawn,
    // Shows no run, with `statusText` as the status ('idle', 'running' or
    // 'failed' its kind).
    nothing(kind, statusText) {
      clearResults();
      setStatus(kind, statusText);
    },
    explanation,
  };
})();
