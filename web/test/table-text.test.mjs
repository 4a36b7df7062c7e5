// A table as Markdown, CSV and LaTeX (web/page/table-text.js): every
// character each format reads specially, in names and cells alike.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';

const TableText = createRequire(import.meta.url)('../page/table-text.js');

test('each format escapes or quotes what it would read otherwise, and keeps every row', () => {
  const table = {
    columns: ['a_b', 'c'],
    rows: [
      ['x|y\\z', 'plain'],
      ['1,5', 'say "hi"'],
      ['line\r\nbreak', ''],
      ['\\&%$#_{}~^', 'end'],
    ],
  };
  const cases = [
    [
      'markdown',
      [
        '| a_b | c |',
        '| --- | --- |',
        '| x\\|y\\\\z | plain |',
        '| 1,5 | say "hi" |',
        '| line break |  |',
        '| \\\\&%$#_{}~^ | end |',
        '',
      ].join('\n'),
    ],
    [
      'csv',
      'a_b,c\r\nx|y\\z,plain\r\n"1,5","say ""hi"""\r\n"line\r\nbreak",\r\n\\&%$#_{}~^,end\r\n',
    ],
    [
      'latex',
      [
        '\\begin{tabular}{ll}',
        '\\hline',
        'a\\_b & c \\\\',
        '\\hline',
        'x|y\\textbackslash{}z & plain \\\\',
        '1,5 & say "hi" \\\\',
        'line break &  \\\\',
        '\\textbackslash{}\\&\\%\\$\\#\\_\\{\\}\\textasciitilde{}\\textasciicircum{} & end \\\\',
        '\\hline',
        '\\end{tabular}',
        '',
      ].join('\n'),
    ],
  ];
  for (const [format, want] of cases) assert.equal(TableText[format](table), want, format);
});
