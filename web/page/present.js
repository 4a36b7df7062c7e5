// The Present view, for a projector: the walk-through's step on show alone
// on the screen, in larger type, its sentence above its two operands and
// the relation it built, side by side. Previous, Next and the arrow keys
// still go from step to step; Esc, or the button again, leaves it, the
// focus back on the button. It owns the page's `presenting` class and the
// button it makes for the walk's navigation; page.css lays the view out.
const Present = (() => {
  const TEXTS = Language.table({
    en: {
      present: 'Present',
      presentTitle: 'Show this step alone, in large type, for a projector',
      leave: 'Leave (Esc)',
    },
    hu: {
      present: 'Kivetítés',
      presentTitle: 'Csak ez a lépés, nagy betűkkel, kivetítéshez',
      leave: 'Kilépés (Esc)',
    },
  });
  const say = (key) => Language.text(TEXTS, key);
  const root = document.documentElement;

  // How to go from step to step: `step(delta)`, set by the walk-through.
  let stepBy = () => {};

  const active = () => root.classList.contains('presenting');

  // The button of the walk's navigation now drawn, or null.
  const currentButton = () => document.querySelector('#walk .walk-present');

  function set(on) {
    root.classList.toggle('presenting', on);
    if (on) window.scrollTo(0, 0);
    fit();
    const button = currentButton();
    if (!button) return;
    drawButton(button);
    button.focus();
  }

  const SMALLEST = 0.6; // of the type the view's tables start at
  const STEP = 0.05;

  // The tables of the step on show made smaller, a step at a time, until
  // they fit the screen's width and the height below the sentences, down to
  // SMALLEST: a step of many columns or rows stays side by side and whole.
  // Where no size fits the height, the largest that fits the width; where
  // none fits the width either, the built relation goes under its operands.
  function fit() {
    const tables = document.querySelector('#steps > li:not([hidden]) .walk-tables');
    if (!tables) return;
    const setScale = (scale) => tables.style.setProperty('--present-scale', String(scale));
    tables.classList.remove('wrapped');
    setScale(1);
    if (!active()) return;
    const wide = () => tables.scrollWidth <= tables.clientWidth;
    const high = () => tables.getBoundingClientRect().bottom + window.scrollY <= window.innerHeight;
    const largest = () => {
      let widthFits = null;
      for (let scale = 1; scale >= SMALLEST - STEP / 2; scale -= STEP) {
        setScale(scale);
        if (!wide()) continue;
        widthFits ??= scale;
        if (high()) return scale;
      }
      return widthFits;
    };
    let scale = largest();
    if (scale === null) {
      tables.classList.add('wrapped');
      scale = largest();
    }
    setScale(scale ?? SMALLEST);
  }
  window.addEventListener('resize', fit);

  // The button names what it does: enter the view, or leave it.
  function drawButton(button) {
    const on = active();
    button.textContent = say(on ? 'leave' : 'present');
    button.title = on ? '' : say('presentTitle');
  }

  // Esc leaves the view wherever the focus is; the arrow keys go from step
  // to step from anywhere but a field, unless the walk's own tables and
  // buttons did so already (the button they were pressed on may be gone).
  document.addEventListener('keydown', (event) => {
    if (!active()) return;
    if (event.key === 'Escape') {
      set(false);
      return;
    }
    if (event.defaultPrevented || event.target.closest?.('input, textarea, select')) return;
    if (event.key === 'ArrowLeft') stepBy(-1);
    else if (event.key === 'ArrowRight') stepBy(1);
    else return;
    event.preventDefault();
  });

  return {
    // A new Present button for the walk's navigation, showing whether the
    // view is on; `step(delta)` goes |delta| steps back or on.
    button(step) {
      stepBy = step;
      const button = document.createElement('button');
      button.type = 'button';
      button.className = 'walk-present';
      drawButton(button);
      button.addEventListener('click', () => set(!active()));
      return button;
    },
    // Fits the step now on show to the screen, when the view is on.
    fit,
    // Leaves the view, as when no run is shown any more.
    leave() {
      if (active()) set(false);
    },
  };
})();
