// A relation's table shown a page of rows at a time, so that a table of any
// size is drawn in the time of one page and every row of it can be reached
// (the pager above the table, so that its buttons stay put while paging):
// Previous and Next, a "go to row" field, and, in the table, the arrow keys
// (row by row, across pages) and Page Up and Page Down. Marks on rows
// (picked, source, ...) are kept by row number, so that they stay with
// their rows whatever page is shown. It owns the tables it makes, nothing
// else of the page.
//
// A large run makes more tables than a screen holds, so a table's rows are
// drawn when they are needed: at once while the cells drawn since the last
// frame stay within DRAW_BUDGET (a small run is drawn whole, as it comes);
// beyond it, a table waits, its height kept for its rows, until it nears the
// view, is shown or paged, or the page is printed. A waiting table that is
// hidden (another step's) costs no layout, so it is drawn in idle time.
const Pages = (() => {
  const PAGE_ROWS = 25;
  const DRAW_BUDGET = 4000; // cells drawn at once before tables wait

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
  // One formatter per language: making one per number costs more than the row.
  const formats = new Map();
  function number(value) {
    const language = Language.current();
    if (!formats.has(language)) formats.set(language, new Intl.NumberFormat(language));
    return formats.get(language).format(value);
  }

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  // ---- Drawing when needed -------------------------------------------------

  let budget = DRAW_BUDGET; // cells that may still be drawn before the next frame
  let counting = false; // whether tables were made since the last frame
  let framePending = false;
  let idlePending = false;
  const waiting = new Map(); // a waiting table's wrap -> what draws its rows
  // A table is drawn a screen before it comes into view.
  const near = new IntersectionObserver(
    (entries) => {
      for (const entry of entries) if (entry.isIntersecting) waiting.get(entry.target)?.();
    },
    { rootMargin: '100% 0px' },
  );
  // Idle time where the browser tells it; elsewhere a short slice at a time.
  const later =
    window.requestIdleCallback ?? ((work) => setTimeout(() => work({ timeRemaining: () => 8 }), 1));

  // A table made: the cells drawn from the first table made since the last
  // frame are counted.
  function made() {
    if (!counting) {
      counting = true;
      budget = DRAW_BUDGET;
    }
    atNextFrame();
  }

  function atNextFrame() {
    if (framePending) return;
    framePending = true;
    requestAnimationFrame(atFrame);
  }

  // Scrolled: a waiting table that comes into view before it was drawn (a
  // jump to a far place) is drawn before that frame is painted.
  function scrolled() {
    if (waiting.size > 0) atNextFrame();
  }
  window.addEventListener('scroll', scrolled, { capture: true, passive: true });

  // Before the frame is painted, the waiting tables in view are drawn; the
  // others are watched, and the hidden ones left for idle time. A table out
  // of view is not laid out (page.css), so finding where each is costs little.
  function atFrame() {
    framePending = false;
    counting = false;
    const boxes = [...waiting.keys()].map((wrap) => [wrap, wrap.getBoundingClientRect()]);
    for (const [wrap, { height, top, bottom }] of boxes) {
      if (!wrap.isConnected) forget(wrap);
      else if (height > 0 && bottom >= 0 && top <= window.innerHeight) waiting.get(wrap)();
      else near.observe(wrap);
    }
    if (waiting.size > 0 && !idlePending) {
      idlePending = true;
      later(drawHidden);
    }
  }

  function drawHidden(deadline) {
    idlePending = false;
    let hidden = false;
    for (const wrap of [...waiting.keys()]) {
      if (!wrap.isConnected) forget(wrap);
      else if (wrap.getClientRects().length > 0) continue;
      else if (deadline.timeRemaining() > 4) waiting.get(wrap)();
      else hidden = true;
    }
    if (hidden) {
      idlePending = true;
      later(drawHidden);
    }
  }

  function forget(wrap) {
    waiting.delete(wrap);
    near.unobserve(wrap);
  }

  // Printed, the page shows every table drawn.
  function drawAll() {
    for (const draw of [...waiting.values()]) draw();
  }
  window.addEventListener('beforeprint', drawAll);
  window.matchMedia('print').addEventListener('change', (event) => {
    if (event.matches) drawAll();
  });

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

    // Whether the rows are drawn; until then the table waits (see above).
    let drawn = false;

    function draw() {
      if (!drawn) return;
      const first = view.page * PAGE_ROWS;
      const last = Math.min(sent, first + PAGE_ROWS);
      pager?.draw(first, last);
      const rows = [];
      for (let r = first; r < last; r += 1) rows.push(rowNode(r));
      body.replaceChildren(...rows);
    }

    // Draws the rows now: the table is needed.
    function drawRows() {
      if (drawn) return;
      drawn = true;
      forget(wrap);
      wrap.classList.remove('waiting');
      draw();
      budget -= body.rows.length * columns;
    }

    // The marks of the rows shown, drawn again without drawing the rows.
    function restyle() {
      for (const line of body.rows) line.className = classesOf(Number(line.dataset.row));
    }

    // The pager's buttons and field are made with the rows: a run of many
    // relations would lay out a pager for each before any is seen. Till
    // then its box keeps their place (page.css).
    function makePager() {
      const box = element('div', 'pager');
      let parts = null;
      return {
        node: box,
        draw(first, last) {
          parts ??= fillPager(box);
          parts.where.textContent = say('shownRows', {
            first: number(first + 1),
            last: number(last),
            count: number(sent),
          });
          parts.previous.disabled = view.page === 0;
          parts.next.disabled = view.page >= pageCount - 1;
        },
      };
    }

    function fillPager(box) {
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
      box.append(previous, where, next, goLabel);
      box.setAttribute('role', 'group');
      box.setAttribute('aria-label', say('pages', { label }));
      return { previous, next, where };
    }

    function showPage(page) {
      const to = Math.max(0, Math.min(pageCount - 1, page));
      if (to === view.page) return;
      view.page = to;
      if (drawn) draw();
      else drawRows();
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

    const columns = relation.attributes.length + (rowNumbers ? 1 : 0) + (extra ? 1 : 0);
    const pageRows = Math.min(sent, PAGE_ROWS);
    // The height its rows will take, kept while they are not drawn or not laid out.
    wrap.style.setProperty('--rows', String(pageRows));
    wrap.style.setProperty(
      '--head-lines',
      relation.attributes.some(([, type]) => type) ? '2' : '1',
    );
    made();
    if (pageRows * columns <= budget) {
      drawRows();
    } else {
      wrap.classList.add('waiting');
      waiting.set(wrap, drawRows);
    }

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
        restyle();
      },
      // Takes the marks of `className` (every mark when none is given) away.
      unmark(className) {
        const had = className ? view.marks.delete(className) : view.marks.size > 0;
        if (!className) view.marks.clear();
        if (had) restyle();
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

  return {
    table,
    PAGE_ROWS,
    // Lets go of the waiting tables no longer in the page, and of what they hold.
    forgetGone() {
      for (const wrap of [...waiting.keys()]) if (!wrap.isConnected) forget(wrap);
    },
  };
})();
