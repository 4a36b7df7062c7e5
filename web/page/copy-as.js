// "Copy as", in a table's heading: the relation's every row the report
// tells, copied to the clipboard as Markdown, CSV or LaTeX (TableText
// writes them), never shown on the page. It owns the controls it makes.
const CopyAs = (() => {
  const TEXTS = Language.table({
    en: {
      copyAs: 'Copy as',
      copyLabel: 'Copy the table as',
      copied: 'Copied as {format}.',
      refused: 'The browser did not let the page copy.',
    },
    hu: {
      copyAs: 'Másolás',
      copyLabel: 'A táblázat másolása ebben a formátumban:',
      copied: 'Vágólapra másolva, {format} formátumban.',
      refused: 'A böngésző nem engedte a másolást.',
    },
  });
  const say = (key, values) => Language.text(TEXTS, key, values);
  const FORMATS = [
    ['Markdown', 'markdown'],
    ['CSV', 'csv'],
    ['LaTeX', 'latex'],
  ];

  function element(tag, className, ...content) {
    const node = document.createElement(tag);
    if (className) node.className = className;
    node.append(...content);
    return node;
  }

  // `relation` as TableText reads it: names and cells as text, a cell the
  // report tells cut as its start and "…".
  function tableOf(relation) {
    const cell = (value) =>
      typeof value === 'string' ? Shown.text(value) : `${Shown.text(value.start)}\u2026`;
    return {
      columns: relation.attributes.map(([name]) => Shown.text(name)),
      rows: relation.rows.map((row) => row.map(cell)),
    };
  }

  return {
    // The control for the table of `relation` (the report's {attributes,
    // rows}).
    control(relation) {
      const said = element('span', 'copy-said');
      said.setAttribute('role', 'status');
      const buttons = FORMATS.map(([format, writer]) => {
        const button = element('button', '', format);
        button.type = 'button';
        button.addEventListener('click', async () => {
          try {
            await navigator.clipboard.writeText(TableText[writer](tableOf(relation)));
            said.textContent = say('copied', { format });
          } catch {
            said.textContent = say('refused');
          }
        });
        return button;
      });
      const group = element('span', 'copy-formats', ...buttons);
      group.setAttribute('role', 'group');
      group.setAttribute('aria-label', say('copyLabel'));
      return element('details', 'copy-as', element('summary', '', say('copyAs')), group, said);
    },
  };
})();
