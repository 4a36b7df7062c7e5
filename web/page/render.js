// Rendering: draws a run record into the page's Run, Relations, Join steps
// and Output file sections, or clears them. It owns what those sections
// show, Download's state among it; it keeps no state of its own.
//
// A run record is {input: {name, bytes, inEditor}, status, console, output,
// report}: the input the run took, and what the engine gave back (see
// worker.js; the report's schema is src/wasm/report.h's). JOINREL_MESSAGES
// is written into the page when it is built.
const Render = (() => {
  const OUTPUT_SHOWN = 1 << 20;  // bytes of the output file shown as text

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

  function element(tag, className, content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    if (content !== undefined) node.append(content);
    return node;
  }

  // Markdown text from the README: `code` becomes <code>, the rest is text.
  function markdown(source) {
    const fragment = document.createDocumentFragment();
    source.split('`').forEach((piece, i) => {
      if (piece) fragment.append(i % 2 ? element('code', '', piece) : piece);
    });
    return fragment;
  }

  function plural(count, word) {
    return `${count.toLocaleString('en')} ${word}${count === 1 ? '' : 's'}`;
  }

  function relationTable(relation) {
    const table = element('table');
    const head = element('tr');
    for (const [name, type] of relation.attributes) {
      const cell = element('th', '', text(name));
      if (type) cell.append(element('span', 'type', text(type)));
      head.append(cell);
    }
    table.append(element('thead', '', head));
    const body = element('tbody');
    for (const row of relation.rows) {
      const line = element('tr');
      for (const cell of row) line.append(element('td', cell ? '' : 'empty-cell', text(cell)));
      body.append(line);
    }
    table.append(body);
    const wrap = element('div', 'table-wrap', table);
    const more = relation.rowCount - relation.rows.length;
    const box = document.createDocumentFragment();
    box.append(wrap);
    if (relation.attributes.length === 0) {
      box.append(element('p', 'more', relation.rowCount > 0
        ? 'No attributes: its rows have no cells, so none is written.'
        : 'No attributes and no rows.'));
    } else if (more > 0) {
      box.append(element('p', 'more', `\u2026 and ${plural(more, 'more row')} not shown here.`));
    }
    return box;
  }

  function relationBlock(relation, title, className) {
    const block = element('div', `relation ${className || ''}`);
    const heading = element('h3', '', element('span', 'mono', title));
    heading.append(element('span', 'count', plural(relation.rowCount, 'row')));
    block.append(heading, relationTable(relation));
    return block;
  }

  function showRelations(report) {
    const nodes = report.relations.map((r) => relationBlock(r, text(r.name)));
    if (report.moreRelations > 0) {
      nodes.push(element('p', 'note', `\u2026 and ${plural(report.moreRelations, 'more relation')} not shown here; the output file holds them.`));
    }
    if (report.result) nodes.push(relationBlock(report.result, 'result', 'result'));
    if (nodes.length === 0) nodes.push(element('p', 'note', 'The run wrote no relation.'));
    if (report.incomplete) {
      nodes.unshift(element('p', 'note', 'Not everything this run did is shown here; the output file is complete.'));
    }
    $('relations').replaceChildren(...nodes);
  }

  function showSteps(report) {
    const items = report.steps.map((step, i) => {
      const left = step.left ? text(step.left) : `the outcome of step ${i}`;
      const how = step.attribute === null
        ? 'a product: they share no attribute'
        : `on ${text(step.attribute)}`;
      const summary = element('summary', '',
        `${left} \u22c8 ${text(step.right)}, ${how}: ` +
        `${step.leftRows.toLocaleString('en')} \u00d7 ${plural(step.rightRows, 'row')} in, ` +
        `${plural(step.built.rowCount, 'row')} out`);
      const details = element('details', '', summary);
      details.append(relationBlock(step.built, `step ${i + 1}`, 'built'));
      return element('li', '', details);
    });
    $('steps').replaceChildren(...items);
    $('steps').classList.add('shown');
  }

  function showOutput(output) {
    $('download').disabled = !output;
    if (!output) {
      $('output').textContent = '';
      $('output-note').textContent = 'The run created no output file.';
      return;
    }
    $('output').textContent = utf8.decode(output.subarray(0, OUTPUT_SHOWN));
    $('output-note').textContent = output.length > OUTPUT_SHOWN
      ? `Shown: the first 1 MiB of ${output.length.toLocaleString('en')} bytes. Download saves all of it.`
      : `${output.length.toLocaleString('en')} bytes.`;
  }

  function setStatus(className, ...nodes) {
    $('status').className = `status ${className}`;
    $('status').replaceChildren(...nodes);
  }

  function showStatus(record, consoleText) {
    const message = record.report.message;
    if (!message) {
      setStatus('done', `done (exit status ${record.status})`);
      return;
    }
    const nodes = [element('p', 'message', consoleText.replace(/\n$/, ''))];
    const explanation = JOINREL_MESSAGES[text(message.text)];
    if (explanation) {
      // The README's N stands for the line number, which this run knows.
      const atLine = (source) =>
        message.line === null ? source : source.replace(/\bline N\b/g, `line ${message.line}`);
      const meaning = element('p', '', element('span', 'label', 'Meaning: '));
      meaning.append(markdown(atLine(explanation.meaning)));
      nodes.push(meaning);
      if (explanation.fix) {
        const fix = element('p', '', element('span', 'label', 'What to fix: '));
        fix.append(markdown(explanation.fix));
        nodes.push(fix);
      }
    }
    let where = `Exit status ${record.status}.`;
    if (message.line !== null) {
      where += record.input.inEditor
        ? ` Line ${message.line} is marked in the editor.`
        : ` The file is too large for the editor, so line ${message.line} is not shown.`;
    }
    nodes.push(element('p', 'note', where));
    setStatus('failed', ...nodes);
    if (message.line !== null && record.input.inEditor) Input.markLine(message.line);
  }

  // Empties every section below the status, and the marked line.
  function clearResults() {
    Input.clearMark();
    $('console').textContent = '';
    $('relations').replaceChildren(...relationsHint.map((node) => node.cloneNode(true)));
    $('steps').replaceChildren();
    $('steps').classList.remove('shown');
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
      showSteps(record.report);
      showOutput(record.output);
    },
    // Shows no run, with `statusText` as the status ('idle', 'running' or
    // 'failed' its kind).
    nothing(kind, statusText) {
      clearResults();
      setStatus(kind, statusText);
    },
  };
})();
