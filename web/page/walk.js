// The walk-through of a run's join, its view: each step with its two
// operands and the relation it built, then the tidying that makes result,
// one at a time with Previous and Next (and the arrow keys); why each built
// row is there and why an operand row made none; and, for a result row,
// every row it came from, back to the input's lines. It also words a fatal
// message's particulars. It owns #walk and what #steps holds; it marks rows
// in the Relations tables it is handed (controls.js hands it Render's).
//
// Every fact comes from WalkFacts, which looks it up in the report's
// "explain"; every word from WalkWords. All its state is in `state`.
const Walk = (() => {
  const { say, text, number, rows, rowList, shortRowList, nameList } = WalkWords;
  const nameNode = WalkWords.name;
  const $ = (id) => document.getElementById(id);

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  const walk = element('div', '');
  walk.id = 'walk';
  walk.hidden = true;
  $('steps').before(walk);

  // Everything the walk-through keeps between two events.
  const state = {
    run: null, // {record, report, facts, relations} of the run shown, or null
    current: 0, // the panel shown: 0 .. steps, the last being the tidying
    selection: null, // {table, row, panel, fromRelations}: what the student picked, or null
    panels: [], // per panel, its tables by id (Pages tables) and its `why` box
    editorMarked: false, // whether the editor's marks are a trace's
    taken: null, // what clear() took away, for a redraw in another language
    limit: Infinity, // the panels that may be shown: an exercise reveals them one by one
    openAt: null, // the panel the next run shown opens at, when a link names one
  };

  function panelCount() {
    return state.run.facts.steps.length + (state.run.facts.tidy ? 1 : 0);
  }

  // The panels the student may go to.
  function reachable() {
    return Math.min(panelCount(), state.limit);
  }

  // ---- Tables -------------------------------------------------------------

  // A relation as a paged table whose rows can be picked: a row number
  // first, `extra` last, column `joinColumn` marked.
  function table(relation, caption, { joinColumn = -1, shared = [], extra = null, id, pick }) {
    const block = element('div', 'relation walk-relation');
    const heading = element('h4', '', caption);
    heading.append(element('span', 'count', rows(relation.rowCount)), CopyAs.control(relation));
    const paged = Pages.table(relation, {
      label: caption.textContent,
      rowNumbers: true,
      rowHead: text('rowHead'),
      joinColumn: joinColumn ?? -1,
      joinTag: text('joinColumn'),
      shared,
      sharedTag: text('sharedTag'),
      extra,
      id,
    });
    paged.onPick(pick);
    block.append(heading, paged.node);
    return { block, paged };
  }

  // A table with the sign that joins it to the one before: they wrap to a
  // new line together, so that no sign is left at a line's end.
  function term(sign, block) {
    return element('div', 'walk-term', element('span', 'walk-sign', sign), block);
  }

  // ---- The panels -----------------------------------------------------------

  // Operand `side` (0 left, 1 right) of step `k` (from 0), named in a
  // sentence ("the outcome of step 1", "az Emp reláció") or, `caption`, in
  // a title or a table's caption, as a bare name ("1. részeredmény").
  function operandName(entry, side, k, caption = false) {
    const input = side === 1 ? entry.step.right : k === 0 ? entry.step.left : null;
    if (input !== null) return caption ? nameNode(input) : WalkWords.relation(input);
    return WalkWords.chain(k, caption);
  }

  function stepPanel(entry, k) {
    const { step, facts } = entry;
    const product = step.attribute === null;
    const attribute = product ? null : nameNode(step.attribute);
    // In sentences, each operand as a phrase; in titles and captions, bare.
    const left = operandName(entry, 0, k);
    const right = operandName(entry, 1, k);
    const leftShort = operandName(entry, 0, k, true);
    const rightShort = operandName(entry, 1, k, true);
    // A join takes rows from each side; a product multiplies: 6 x 2 = 12 rows.
    const counts = product
      ? { leftRows: step.leftRows, rightRows: step.rightRows }
      : { leftRows: rows(step.leftRows), rightRows: rows(step.rightRows) };
    const built = rows(step.built.rowCount);
    const titled = { step: k + 1, left: leftShort, right: rightShort, built, ...counts };
    const title = element(
      'h3',
      'walk-title',
      product ? say('productTitle', titled) : say('joinTitle', { ...titled, attribute }),
    );
    const rule = element(
      'p',
      'walk-rule',
      product
        ? say('ruleProduct', {
            left,
            right,
            leftRows: step.leftRows,
            rightRows: step.rightRows,
            built,
          })
        : say('ruleJoin', { left, right, attribute }),
    );
    if (!product) rule.prepend(element('span', 'walk-kind', say('ruleKind', { attribute })), ' ');
    const nodes = [title, rule];
    if (facts && !product) nodes.push(...sharedSentences(entry, { left, attribute }));
    const tables = {};
    const operandExtra = (side) =>
      facts
        ? {
            head: text('makesHead'),
            cell: (r) =>
              entry.unmatched[side].has(r) ? text('noPartner') : shortRowList(entry.made(side, r)),
            className: (r) => (entry.unmatched[side].has(r) ? 'no-partner' : ''),
          }
        : null;
    const operand = (relation, side) => {
      if (!relation) return element('p', 'note', say('notShown', { name: side ? right : left }));
      const id = side === 0 ? 'left' : 'right';
      const name = side === 0 ? leftShort : rightShort;
      const made = table(
        relation,
        element('span', '', say(side === 0 ? 'leftCaption' : 'rightCaption', { name })),
        {
          joinColumn: facts?.attributeColumns[side] ?? -1,
          shared: facts ? (side === 0 ? entry.shared.leftColumns : entry.shared.rightColumns) : [],
          extra: operandExtra(side),
          id,
          pick: (r) => select({ table: id, row: r }),
        },
      );
      tables[id] = made.paged;
      return made.block;
    };
    const builtTable = table(step.built, element('span', '', say('builtCaption', { n: k + 1 })), {
      joinColumn: entry.builtJoinColumn ?? -1,
      shared: facts ? [...entry.shared.leftColumns, ...entry.shared.builtColumns] : [],
      extra: facts
        ? {
            head: text('fromHead'),
            cell: (i) => {
              const pair = facts.pairs[i];
              const from = pair ? `${number(pair[0] + 1)} + ${number(pair[1] + 1)}` : '';
              const differing = WalkFacts.differingCells(entry, i);
              if (differing.length === 0) return from;
              const cell = document.createDocumentFragment();
              cell.append(from);
              for (const { name, left: a, right: b } of differing) {
                const shownCell = (value) =>
                  value === null
                    ? '\u2026'
                    : Shown.shown(typeof value === 'string' ? value : value.start);
                cell.append(
                  element(
                    'span',
                    'differ',
                    say('differCell', {
                      name: nameNode(name),
                      left: shownCell(a),
                      right: shownCell(b),
                    }),
                  ),
                );
              }
              return cell;
            },
            className: (i) => (entry.shared.differing.has(i) ? 'differs' : ''),
          }
        : null,
      id: 'built',
      pick: (r) => select({ table: 'built', row: r }),
    });
    tables.built = builtTable.paged;
    builtTable.block.classList.add('built');
    const why = whyBox();
    const content = element(
      'div',
      'walk-tables',
      operand(entry.left, 0),
      term(product ? '\u00d7' : '\u22c8', operand(entry.right, 1)),
      term('=', builtTable.block),
    );
    return { nodes: [...nodes, why, content], tables, why };
  }

  // The sentences of a join step whose operands share more names than the
  // one compared: which, the built rows where they differ, how many rows a
  // join on every shared name would keep; a self-join's own sentence.
  function sharedSentences(entry, { left, attribute }) {
    const { shared } = entry;
    const sentences = [];
    if (entry.selfJoin) sentences.push(say('selfJoin', { left, attribute }));
    if (shared.names.length > 0) {
      sentences.push(
        say('ruleShared', {
          n: shared.names.length,
          // A node, not a fragment: the sentence may name them more than once.
          names: element('span', '', nameList(shared.names.map(nameNode))),
          attribute,
        }),
      );
      const differing = shared.differingRows.length;
      sentences.push(differing > 0 ? say('differing', { n: differing }) : say('noDiffering'));
      if (shared.kept !== null)
        sentences.push(say('keptAll', { n: entry.step.built.rowCount, kept: shared.kept }));
    }
    if (sentences.length === 0) return [];
    const paragraph = element('p', 'walk-rule walk-shared');
    sentences.forEach((sentence, i) => paragraph.append(...(i > 0 ? [' '] : []), sentence));
    return [paragraph];
  }

  function whyBox() {
    const why = element('p', 'walk-why');
    why.setAttribute('role', 'status');
    return why;
  }

  function tidyPanel() {
    const { report, facts } = state.run;
    const tidy = facts.tidy;
    const last = facts.steps.at(-1);
    const resultCount = report.result ? report.result.rowCount : tidy.sources.length;
    // Only when every step is shown is the last one shown the last one.
    const whole = report.stepsLeftOut === 0 && tidy.relation === null && last;
    // What is tidied: the last step's built relation, or the one relation
    // that the first line names.
    const built = rows(whole ? last.step.built.rowCount : tidy.builtCount);
    const title = element(
      'h3',
      'walk-title',
      tidy.relation === null
        ? say('tidyTitle', {
            built,
            step: report.steps.length + report.stepsLeftOut,
            result: rows(resultCount),
          })
        : say('tidyTitleAlone', {
            name: nameNode(report.relations[tidy.relation]?.name ?? ''),
            built,
            result: rows(resultCount),
          }),
    );
    const nodes = [title];
    if (tidy.moves.length === 0 || !report.result) {
      nodes.push(element('p', 'walk-rule', say('tidyColumnsStay')));
    } else {
      nodes.push(element('p', 'walk-rule', say('tidyColumns')));
      nodes.push(
        element(
          'ul',
          'walk-moves',
          ...tidy.moves.map(({ from, to }) =>
            element(
              'li',
              '',
              say('columnMove', {
                name: nameNode(report.result.attributes[to][0]),
                from: from + 1,
                to: to + 1,
              }),
            ),
          ),
        ),
      );
    }
    if (tidy.merged.length === 0) nodes.push(element('p', 'walk-rule', say('tidyNoMerge')));
    nodes.push(
      ...itemList(
        tidy.merged.map(
          ({ row, sources }) =>
            () =>
              element(
                'p',
                'walk-rule merged',
                say('tidyMerged', { list: rowList(sources), n: row + 1, count: sources.length }),
              ),
        ),
        'div',
      ),
    );
    nodes.push(element('p', 'walk-rule', say('tidyOrder')));
    if (tidy.byteOrder?.texts) nodes.push(...byteOrderNodes(tidy.byteOrder));
    const why = whyBox();
    nodes.push(why);
    const tables = {};
    const blocks = [];
    if (whole) {
      const built = table(
        last.step.built,
        element('span', '', say('builtCaption', { n: facts.steps.length })),
        {
          extra: {
            head: text('goesHead'),
            cell: (i) => (tidy.goesTo[i] >= 0 ? number(tidy.goesTo[i] + 1) : ''),
          },
          id: 'tidy-built',
          pick: (r) => select({ table: 'tidy-built', row: r }),
        },
      );
      tables['tidy-built'] = built.paged;
      blocks.push(built.block);
    }
    if (report.result) {
      const fromCell = (n) => {
        const sources = tidy.sources[n] ?? [];
        return sources.length > 1
          ? text('mergedCount', { list: shortRowList(sources), count: sources.length })
          : shortRowList(sources);
      };
      const result = table(report.result, element('span', 'mono', text('resultCaption')), {
        extra: {
          head: text(tidy.relation === null ? 'fromBuiltHead' : 'fromRowsHead'),
          cell: fromCell,
          className: (n) => ((tidy.sources[n] ?? []).length > 1 ? 'merged' : ''),
        },
        id: 'tidy-result',
        pick: (r) => select({ table: 'result', row: r }),
      });
      result.block.classList.add('result');
      tables['tidy-result'] = result.paged;
      blocks.push(blocks.length > 0 ? term('\u2192', result.block) : result.block);
    }
    nodes.push(element('div', 'walk-tables', ...blocks));
    return { nodes, tables, why };
  }

  // The pair of result rows whose order as texts differs from a reading
  // cell by cell: a sentence naming the byte that decides, and the two
  // texts with that byte marked.
  function byteOrderNodes({ rows: pair, texts, at, bytes }) {
    const byteShown = (byte) => {
      if (byte === '') return text('byteEnd');
      const code = byte.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0');
      return element('span', 'byte', say('byteShown', { byte: Shown.shown(byte), code }));
    };
    const sentence = element(
      'p',
      'walk-rule byte-order',
      say('tidyByteOrder', {
        a: pair[0] + 1,
        b: pair[1] + 1,
        at: at + 1,
        byteA: byteShown(bytes[0]),
        byteB: byteShown(bytes[1]),
      }),
    );
    const line = (row, rowText) =>
      element(
        'li',
        'mono',
        text('byteRow', { n: row + 1 }),
        Shown.shown(rowText.slice(0, at)),
        element(
          'mark',
          'decides',
          at < rowText.length ? Shown.shown(rowText.charAt(at)) : '\u2205',
        ),
        Shown.shown(rowText.slice(at + 1)),
      );
    return [sentence, element('ul', 'byte-rows', line(pair[0], texts[0]), line(pair[1], texts[1]))];
  }

  // Items made by `makers`, the first 20 of them, and a button "and N
  // more" in a last one that puts the others in its place.
  function itemList(makers, tag = 'ul', limit = 20) {
    if (makers.length === 0) return [];
    const box = element(tag, tag === 'ul' ? 'walk-trace' : 'walk-list');
    box.append(...makers.slice(0, limit).map((make) => make()));
    if (makers.length > limit) {
      const more = element('button', 'show-all', text('showAll', { n: makers.length - limit }));
      more.type = 'button';
      const holder = element(tag === 'ul' ? 'li' : 'p', '', more);
      more.addEventListener('click', () =>
        holder.replaceWith(...makers.slice(limit).map((make) => make())),
      );
      box.append(holder);
    }
    return [box];
  }

  function draw() {
    const { run } = state;
    const count = reachable();
    const nav = element('nav', 'walk-nav');
    nav.setAttribute('aria-label', text('navigation'));
    const button = (label, to, className) => {
      const node = element('button', className, label);
      node.type = 'button';
      node.addEventListener('click', () => go(to));
      return node;
    };
    const previous = button(text('previous'), state.current - 1, 'walk-previous');
    previous.disabled = state.current === 0;
    const next = button(text('next'), state.current + 1, 'walk-next');
    next.disabled = state.current >= count - 1;
    const tabs = Array.from({ length: count }, (_, i) => {
      const label = i < run.facts.steps.length ? text('stepTab', { n: i + 1 }) : text('tidyTab');
      const tab = button(label, i, 'walk-tab');
      if (i === state.current) tab.setAttribute('aria-current', 'step');
      return tab;
    });
    nav.append(
      previous,
      ...tabs,
      next,
      Present.button((delta) => go(state.current + delta)),
    );
    walk.replaceChildren(nav, element('p', 'note', say('keys')));
    walk.hidden = false;
    state.panels = run.facts.steps.map((entry, k) => stepPanel(entry, k));
    if (run.facts.tidy) state.panels.push(tidyPanel());
    const items = state.panels.map((panel, i) => {
      const item = element(
        'li',
        i === run.facts.steps.length ? 'walk-panel walk-tidy' : 'walk-panel',
        ...panel.nodes,
      );
      item.hidden = i !== state.current;
      return item;
    });
    $('steps').replaceChildren(...items);
    Present.fit();
    // A result row's trace runs through every panel; a row picked in one
    // panel belongs to that panel alone.
    const { selection } = state;
    if (selection?.table === 'result' || selection?.panel === state.current) select(selection);
    else select(null);
  }

  // Shows panel `to`, the walk's focus kept on its buttons.
  function go(to) {
    if (!state.run || to < 0 || to >= reachable() || to === state.current) return;
    const focused = document.activeElement?.classList.contains('walk-previous')
      ? 'walk-previous'
      : document.activeElement?.classList.contains('walk-next')
        ? 'walk-next'
        : null;
    state.current = to;
    draw();
    const keep = focused && walk.querySelector(`.${focused}`);
    (keep && !keep.disabled ? keep : walk.querySelector('.walk-tab[aria-current]')).focus();
  }

  // The arrow keys go from step to step, but in a field, which needs them.
  function stepKeys(event, escape) {
    if (event.target.closest?.('input')) return;
    if (event.key === 'ArrowLeft') go(state.current - 1);
    else if (event.key === 'ArrowRight') go(state.current + 1);
    else if (escape && event.key === 'Escape') select(null);
    else return;
    event.preventDefault();
  }
  walk.addEventListener('keydown', (event) => stepKeys(event, false));
  $('steps').addEventListener('keydown', (event) => stepKeys(event, true));

  // ---- Selecting a row ---------------------------------------------------------

  // Every table that marks rows: the panels', then the Relations tables.
  function everyTable() {
    const { relations } = state.run;
    return [
      ...state.panels.flatMap((panel) => Object.values(panel.tables)),
      ...relations.relations.filter(Boolean),
      ...(relations.result ? [relations.result] : []),
    ];
  }

  function clearMarks() {
    for (const paged of everyTable()) {
      paged.unmark('selected');
      paged.unmark('source');
    }
    for (const why of document.querySelectorAll('.walk-why')) why.replaceChildren();
    // The editor's marks are the trace's only when the trace made them: a
    // message's marked line stays.
    if (state.editorMarked) Input.clearMark();
    state.editorMarked = false;
  }

  function select(picked) {
    if (!state.run) return;
    clearMarks();
    state.selection = picked ? { ...picked, panel: state.current } : null;
    if (!state.selection) return;
    const { table: id, row } = state.selection;
    const panel = state.panels[state.current];
    if (id === 'result') {
      traceResultRow(row);
      return;
    }
    panel.tables[id]?.mark('selected', [row], { reveal: true });
    if (id === 'tidy-built') {
      const goesTo = state.run.facts.tidy.goesTo[row];
      if (goesTo >= 0) {
        panel.tables['tidy-result']?.mark('source', [goesTo], { reveal: true });
        panel.why.replaceChildren(say('whyGoes', { n: row + 1, to: goesTo + 1 }));
      }
      return;
    }
    const k = state.current;
    const entry = state.run.facts.steps[k];
    if (!entry?.facts) return;
    const attribute = entry.product ? null : nameNode(entry.facts.attribute);
    const names = [operandName(entry, 0, k), operandName(entry, 1, k)];
    if (id === 'built') {
      const pair = entry.facts.pairs[row];
      if (!pair) return;
      panel.tables.left?.mark('source', [pair[0]], { reveal: true });
      panel.tables.right?.mark('source', [pair[1]], { reveal: true });
      const values = {
        n: row + 1,
        l: pair[0] + 1,
        r: pair[1] + 1,
        left: names[0],
        right: names[1],
      };
      if (attribute === null) {
        panel.why.replaceChildren(say('whyBuiltProduct', values));
      } else {
        // The built row holds the join cell: the left row's.
        const value = cellShown(entry.step.built, row, entry.builtJoinColumn);
        panel.why.replaceChildren(say('whyBuilt', { ...values, attribute, value }));
      }
      return;
    }
    const side = id === 'left' ? 0 : 1;
    const made = entry.made(side, row);
    panel.tables.built?.mark('source', made, { reveal: true });
    const [name, other] = side === 0 ? names : [names[1], names[0]];
    if (made.length > 0) {
      panel.why.replaceChildren(
        say('whyMade', { n: made.length, r: row + 1, name, list: rowList(made) }),
      );
    } else if (attribute === null) {
      panel.why.replaceChildren(say('whyNoneProduct', { r: row + 1, name, other }));
    } else {
      const value = cellShown(
        side === 0 ? entry.left : entry.right,
        row,
        entry.facts.attributeColumns[side],
      );
      panel.why.replaceChildren(say('whyNone', { r: row + 1, name, other, attribute, value }));
    }
  }

  // Cell `column` of row `row` of `relation`, as shown.
  function cellShown(relation, row, column) {
    const cell = relation?.rows[row]?.[column] ?? '';
    return typeof cell === 'string' ? Shown.shown(cell) : Shown.shown(cell.start);
  }

  // Result row `row`: the result rows, the built rows of every step and the
  // input rows it came from, marked wherever they are shown (each table at
  // the page of the first); their lines marked in the editor, or given in
  // words when the editor does not hold the file.
  function traceResultRow(row) {
    const { run } = state;
    const { built, input } = WalkFacts.trace(run.report, row);
    const reveal = { reveal: true };
    const tidyPanelTables = state.panels[run.facts.steps.length]?.tables ?? {};
    run.relations.result?.mark('selected', [row], reveal);
    tidyPanelTables['tidy-result']?.mark('selected', [row], reveal);
    const inputRows = new Map(input.map(({ relation, rows: r }) => [relation, r]));
    run.facts.steps.forEach((entry, k) => {
      const { tables } = state.panels[k];
      tables.built?.mark('source', built[k] ?? [], reveal);
      const leftRows =
        entry.facts?.leftRelation === null
          ? built[k - 1]
          : inputRows.get(entry.facts?.leftRelation);
      tables.left?.mark('source', leftRows ?? [], reveal);
      tables.right?.mark('source', inputRows.get(entry.facts?.rightRelation) ?? [], reveal);
    });
    if (built.length > 0) tidyPanelTables['tidy-built']?.mark('source', built.at(-1), reveal);
    const lines = [];
    const makers = [];
    for (const { relation, rows: sourceRows } of input) {
      run.relations.relations[relation]?.mark('source', sourceRows, reveal);
      const name = run.report.relations[relation]?.name ?? '';
      for (const r of sourceRows) {
        const line = WalkFacts.lineOf(run.report, relation, r);
        if (line !== null) lines.push(line);
        makers.push(() =>
          element(
            'li',
            '',
            say('traceRow', {
              name: WalkWords.relation(name),
              r: r + 1,
              line: line === null ? '?' : String(line),
            }),
          ),
        );
      }
    }
    const sources = run.report.explain.tidy?.sources[row] ?? [];
    const boxes = [
      state.panels[state.current]?.why,
      state.selection.fromRelations ? document.querySelector('.result-why') : null,
    ];
    // Each box gets words of its own, their "and N more" buttons working.
    for (const box of boxes.filter(Boolean))
      box.replaceChildren(...traceWords(row, makers, sources, lines.length > 0));
    if (run.record.input.inEditor && lines.length > 0) {
      Input.markLines(lines.sort((a, b) => a - b));
      state.editorMarked = true;
    }
  }

  // The words of a result row's trace: the input rows it came from (with
  // `makers`, their items), or, with one relation in the join list, that
  // relation's rows; where their lines are.
  function traceWords(row, makers, sources, anyLine) {
    const tidy = state.run.facts.tidy;
    const alone = tidy && tidy.relation !== null;
    const name = alone ? (state.run.report.relations[tidy.relation]?.name ?? '') : '';
    const words = alone
      ? [
          element(
            'span',
            '',
            say('traceAlone', {
              n: sources.length,
              row: row + 1,
              name: WalkWords.relation(name),
              list: rowList(sources),
            }),
          ),
          ' ',
        ]
      : [element('span', '', say('trace', { n: row + 1 })), ...itemList(makers)];
    if (anyLine)
      words.push(
        element('span', '', say(state.run.record.input.inEditor ? 'traceMarked' : 'traceLines')),
      );
    return words;
  }

  // ---- Messages in their particulars -----------------------------------------

  // A fatal message's particulars in words, for the status; null when its
  // kind has none.
  function particularsOf(record) {
    const message = record.report.message;
    const fields = record.report.explain.particulars;
    if (!message || !fields) return null;
    const line = message.line;
    switch (message.kind) {
      case 'bad-header': {
        const key = {
          'no-parenthesis': 'causeNoParenthesis',
          'list-not-closed': 'causeListNotClosed',
          'line-after-last-block': 'causeAfterLastBlock',
        }[fields.cause];
        return key ? [say(key, { line: String(line) })] : null;
      }
      case 'result-too-large':
        return [
          say(fields.limit === 'rows' ? 'tooLargeRows' : 'tooLargeAttributes', {
            step: fields.step,
            name: WalkWords.relation(fields.name),
            found: fields.found,
            max: fields.max,
          }),
        ];
      case 'too-many-cells':
        return [say('tooManyCells', { line: String(line), cells: fields.cells, max: fields.max })];
      case 'too-many-rows':
        return [say('tooManyRows', { name: nameNode(fields.name) })];
      case 'unknown-relation': {
        const names = fields.similarNames ?? [];
        const offered =
          names.length > 0
            ? say('similar', { names: nameList(names.map(nameNode), 'or') })
            : say('similarNone');
        return [offered, ' ', say(record.input.inEditor ? 'firstLine' : 'firstLineNoEditor')];
      }
      default:
        return null;
    }
  }

  return {
    // Shows the walk-through of `record`'s join, from its first step, and
    // marks rows in `relations` ({relations: [a Pages table per relation
    // shown, by index], result: result's table or null, resultBlock: the
    // node after which a result row's trace is told}); shows nothing when
    // the run made no step and no result.
    show(record, relations) {
      const same = state.taken?.record === record;
      state.run = { record, report: record.report, facts: WalkFacts.of(record.report), relations };
      const opening = same ? state.taken.current : (state.openAt ?? 0);
      state.openAt = null;
      state.selection = same ? state.taken.selection : null;
      state.taken = null;
      if (panelCount() === 0) {
        Walk.clear();
        return;
      }
      state.current = Math.min(opening, panelCount() - 1);
      if (relations.result) {
        relations.result.onPick((r) => select({ table: 'result', row: r, fromRelations: true }));
        const why = element('p', 'walk-why result-why');
        why.setAttribute('role', 'status');
        relations.resultBlock.after(why);
      }
      draw();
    },
    // Takes the walk-through away.
    clear() {
      state.taken = state.run
        ? { record: state.run.record, current: state.current, selection: state.selection }
        : null;
      state.run = null;
      state.selection = null;
      state.panels = [];
      state.editorMarked = false;
      walk.hidden = true;
      walk.replaceChildren();
      $('steps').replaceChildren();
      Present.leave();
    },
    // The panels that may be shown from now on: the first `count` (Infinity
    // for all); the walk shows panel `at` (0 is step 1, the last the
    // tidying) when it is one of them, or, without a run, opens the next run
    // shown there.
    reveal(count, at = state.current) {
      state.limit = count;
      if (!state.run) {
        state.openAt = at;
        return;
      }
      state.current = Math.max(0, Math.min(at, reachable() - 1));
      draw();
    },
    // The report of the run shown, or null.
    report: () => state.run?.report ?? null,
    // The panels there are, and the one shown; 0 and 0 without a run.
    panels: () => ({ count: state.run ? panelCount() : 0, current: state.current }),
    // A paragraph with the particulars of `record`'s message, or null.
    particulars(record) {
      const words = particularsOf(record);
      if (!words) return null;
      return element('p', 'particulars', ...words);
    },
  };
})();
