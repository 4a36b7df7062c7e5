// A relation's table shown a page of rows at a time, so that a table of any
// size is drawn in the time of one page and every row of it can be reached
// (the pager above the table, so that its buttons stay put while paging):
// Previous and Next, a "go to row" field, and, in the table, the arrow keys
// (row by row, across pages) and Page Up and Page Down. Marks on rows
// (picked, source, ...) are kept by row number, so that they stay with
// their rows whatever page is shown. It owns the tables it makes, nothing
// else of the page.
const Pages = (() => {
  const PAGE_ROWS = 25;

  const TEXTS = Language.table({
    en: {
      shownRows: 'rows {first}\u2013{last} of {count}',
      previousRows: '\u2190 Previous rows',
      nextRows: 'Next rows \u2192',
      goTo: 'Go to row',
      pages: 'Pages of {label}',
    },
    hu: {
      shownRows: '{first}\u2013{last}. sor, összesen {count}',
      previousRows: '\u2190 Előző sorok',
      nextRows: 'Következő sorok \u2192',
      goTo: 'Ugrás erre a sorra:',
      pages: '{label}: lapozás',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);
  const number = (value) => value.toLocaleString(Language.current());

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  // Makes the table of `relation` ({attributes, rowCount, rows}), shown from
  // its first page:
  //   label        the table's name in words, for a screen reader;
  //   rowNumbers   whether a column numbers the rows from 1;
  //   joinColumn   the column marked as the join's (-1: none), `joinTag`
  //                its words;
  //   shared       columns marked as shared but not compared, `sharedTag`
  //                their words;
  //   extra        a last column {head, cell(r), className(r)};
  //   id           the table's data-table.
  // Returns {node, go, mark, unmark, onPick, selected, redraw}.
  function table(
    relation,
    {
      label,
      rowNumbers = false,
      rowHead = '',
      joinColumn = -1,
      joinTag = '',
      shared = [],
      sharedTag = '',
      extra = null,
      id = null,
    },
  ) {
    const sent = relation.rows.length;
    const columnClass = (k) =>
      k === joinColumn ? 'join-column' : shared.includes(k) ? 'shared-column' : '';
    const view = { page: 0, marks: new Map(), pick: null };
    const pageCount = Math.max(1, Math.ceil(sent / PAGE_ROWS));

    const head = element('tr');
    if (rowNumbers) head.append(element('th', 'row-number', rowHead));
    relation.attributes.forEach(([name, type], k) => {
      const cell = element('th', columnClass(k), Shown.shown(name, { isName: true }));
      if (type) cell.append(element('span', 'type', Shown.shown(type)));
      if (k === joinColumn) cell.append(element('span', 'join-tag', joinTag));
      if (shared.includes(k)) cell.append(element('span', 'join-tag shared-tag', sharedTag));
      head.append(cell);
    });
    if (extra) head.append(element('th', 'walk-extra', extra.head));
    const body = element('tbody');
    const wrap = element(
      'div',
      'table-wrap',
      element('table', '', element('thead', '', head), body),
    );
    // A table wider than the page scrolls; the keyboard reaches it to scroll
    // and to move from row to row.
    wrap.tabIndex = 0;
    wrap.setAttribute('role', 'region');
    wrap.setAttribute('aria-label', label);
    if (id) wrap.dataset.table = id;

    const pager = sent > PAGE_ROWS ? makePager() : null;
    const node = document.createDocumentFragment();
    if (pager) node.append(pager.node);
    node.append(wrap);

    function classesOf(r) {
      const classes = [];
      for (const [className, rows] of view.marks) if (rows.has(r)) classes.push(className);
      const own = extra?.className?.(r);
      if (own) classes.push(own);
      return classes.join(' ');
    }

    function rowNode(r) {
      const line = element('tr', classesOf(r));
      line.dataset.row = String(r);
      if (rowNumbers) line.append(element('th', 'row-number', number(r + 1)));
      relation.rows[r].forEach((cell, k) => {
        const classes = [cell === '' ? 'empty-cell' : '', columnClass(k)].join(' ').trim();
        line.append(element('td', classes, ...Shown.cellContent(cell)));
      });
      if (extra) line.append(element('td', 'walk-extra', extra.cell(r)));
      return line;
    }

    function draw() {
      const first = view.page * PAGE_ROWS;
      const last = Math.min(sent, first + PAGE_ROWS);
      const rows = [];
      for (let r = first; r < last; r += 1) rows.push(rowNode(r));
      body.replaceChildren(...rows);
      pager?.draw(first, last);
    }

    function makePager() {
      const button = (key, step) => {
        const node = element('button', `pager-${step < 0 ? 'previous' : 'next'}`, say(key));
        node.type = 'button';
        node.addEventListener('click', () => showPage(view.page + step));
        return node;
      };
      const previous = button('previousRows', -1);
      const next = button('nextRows', 1);
      const where = element('span', 'pager-rows');
      const field = element('input', 'pager-go');
      field.type = 'number';
      field.min = '1';
      field.max = String(sent);
      field.inputMode = 'numeric';
      const goLabel = element('label', 'pager-label', say('goTo'), ' ', field);
      field.addEventListener('keydown', (event) => {
        if (event.key !== 'Enter') return;
        event.preventDefault();
        const r = Math.trunc(Number(field.value)) - 1;
        if (!(r >= 0 && r < sent)) return;
        go(r);
        if (view.pick) view.pick(r);
      });
      const box = element('div', 'pager', previous, where, next, goLabel);
      box.setAttribute('role', 'group');
      box.setAttribute('aria-label', say('pages', { label }));
      return {
        node: box,
        draw(first, last) {
          where.textContent = say('shownRows', {
            first: number(first + 1),
            last: number(last),
            count: number(sent),
          });
          previous.disabled = view.page === 0;
          next.disabled = view.page >= pageCount - 1;
        },
      };
    }

    function showPage(page) {
      const to = Math.max(0, Math.min(pageCount - 1, page));
      if (to === view.page) return;
      view.page = to;
      draw();
    }

    // Shows the page that holds row `r`.
    function go(r) {
      showPage(Math.floor(r / PAGE_ROWS));
    }

    function selected() {
      const rows = view.marks.get('selected');
      return rows && rows.size > 0 ? Math.min(...rows) : -1;
    }

    wrap.addEventListener('click', (event) => {
      const row = event.target.closest('tbody tr');
      if (row && wrap.contains(row) && view.pick) view.pick(Number(row.dataset.row));
    });
    wrap.addEventListener('keydown', (event) => {
      const page = { PageDown: 1, PageUp: -1 }[event.key];
      if (page !== undefined && pager) {
        event.preventDefault();
        showPage(view.page + page);
        return;
      }
      if ((event.key !== 'ArrowDown' && event.key !== 'ArrowUp') || sent === 0 || !view.pick)
        return;
      event.preventDefault();
      const now = selected();
      const to =
        now < 0
          ? view.page * PAGE_ROWS
          : event.key === 'ArrowDown'
            ? Math.min(sent - 1, now + 1)
            : Math.max(0, now - 1);
      go(to);
      view.pick(to);
    });

    draw();

    return {
      node,
      // Shows the page that holds row `r`.
      go,
      // Marks `rows` (row numbers) with `className`; with `reveal`, shows
      // the page of the first of them unless one is on the page shown.
      mark(className, rows, { reveal = false } = {}) {
        const set = view.marks.get(className) ?? new Set();
        for (const r of rows) set.add(r);
        view.marks.set(className, set);
        const first = view.page * PAGE_ROWS;
        const onPage = [...rows].some((r) => r >= first && r < first + PAGE_ROWS);
        if (reveal && !onPage && set.size > 0) go(Math.min(...rows));
        draw();
      },
      // Takes the marks of `className` (every mark when none is given) away.
      unmark(className) {
        if (className) view.marks.delete(className);
        else view.marks.clear();
        draw();
      },
      // `pick(r)` hears of row `r` picked: clicked, reached by the arrow
      // keys or named in the "go to row" field.
      onPick(pick) {
        view.pick = pick;
        wrap.classList.add('pickable');
      },
      // The row marked 'selected' first, or -1.
      selected,
    };
  }

  return { table, PAGE_ROWS };
})();
