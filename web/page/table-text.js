// A table as text to take into slides, notes or a spreadsheet: Markdown,
// CSV or LaTeX. A table is {columns: [name, ...], rows: [[cell, ...], ...]},
// names and cells as text. Pure: no page, no words; node's test runner
// loads it as it is (web/test/).
const TableText = (() => {
  const LINE_BREAK = /\r\n|[\r\n]/g;

  // A GitHub-flavoured Markdown table: a header row, its rule, a row per
  // row. A "|" in a cell is escaped, and so is a "\" before it is read as
  // an escape; a line break becomes a blank, as a table's cell is one line.
  function markdown({ columns, rows }) {
    const cell = (text) => text.replace(LINE_BREAK, ' ').replace(/[\\|]/g, '\\$&');
    const line = (cells) => `| ${cells.map(cell).join(' | ')} |`;
    return [line(columns), line(columns.map(() => '---')), ...rows.map(line)].join('\n') + '\n';
  }

  // CSV: a header line of the names, a line per row, lines ended by CR LF;
  // a name or cell holding a comma, a quote or a line break is quoted, its
  // quotes doubled.
  function csv({ columns, rows }) {
    const cell = (text) => (/[",\r\n]/.test(text) ? `"${text.replace(/"/g, '""')}"` : text);
    return [columns, ...rows].map((cells) => `${cells.map(cell).join(',')}\r\n`).join('');
  }

  // LaTeX's ten special characters, each as the text it stands for.
  const LATEX = {
    '\\': '\\textbackslash{}',
    '&': '\\&',
    '%': '\\%',
    $: '\\$',
    '#': '\\#',
    _: '\\_',
    '{': '\\{',
    '}': '\\}',
    '~': '\\textasciitilde{}',
    '^': '\\textasciicircum{}',
  };

  // A LaTeX `tabular`, a left-aligned column per name, the names ruled off
  // above and below; every special character escaped in one pass, so that
  // no escape is escaped again; a line break becomes a blank.
  function latex({ columns, rows }) {
    const cell = (text) => text.replace(LINE_BREAK, ' ').replace(/[\\&%$#_{}~^]/g, (c) => LATEX[c]);
    const line = (cells) => `${cells.map(cell).join(' & ')} \\\\`;
    return [
      `\\begin{tabular}{${'l'.repeat(Math.max(1, columns.length))}}`,
      '\\hline',
      line(columns),
      '\\hline',
      ...rows.map(line),
      '\\hline',
      '\\end{tabular}',
      '',
    ].join('\n');
  }

  return { markdown, csv, latex };
})();

// node's test runner reads the module too; the page has no `module`.
if (typeof module !== 'undefined') module.exports = TableText;
