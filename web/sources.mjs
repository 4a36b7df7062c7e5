// The texts the page takes from the repository's documents when it is built,
// each read from its one source: the messages' explanations (the README's
// Messages table, doc/messages.hu.md), the input format's rules (the
// README's "The input format", doc/format.hu.md) and what each bundled
// example shows (examples/README.md). build-page.mjs writes them into the
// page; the words test reads them as the page shows them.
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';

const read = (path) => readFileSync(path, 'utf8');

// The text of the `## heading` section of Markdown `text`, up to the next `## `.
function section(text, heading, source) {
  const start = text.split(new RegExp(`^## ${heading}$`, 'm'))[1];
  if (start === undefined) throw new Error(`${source}: no section "## ${heading}"`);
  return start.split(/^## /m)[0];
}

// The message table in Markdown `text` (a row per message: the message, its
// meaning, what to fix): for each message, by its text without the line
// number or name part ("Hibas fejlec" for `Hibas fejlec: N. sor!`), its
// meaning and what to fix, as Markdown. `source` names the file for an error.
function messageExplanations(text, source) {
  const explanations = {};
  for (const line of text.split('\n')) {
    if (!line.startsWith('| `')) continue;
    const [message, meaning, fix] = line
      .split('|')
      .slice(1, 4)
      .map((cell) => cell.trim());
    const key = message.replace(/`/g, '').replace(/(: N\. sor!|: NAME!|!)$/, '');
    explanations[key] = { meaning, fix: fix === '—' ? '' : fix };
  }
  if (Object.keys(explanations).length < 10) throw new Error(`${source}: no message table found`);
  return explanations;
}

const escape = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');

// One paragraph of Markdown as HTML: `code` set as code, a link as its
// text, every other character as it is.
function inline(markdown) {
  return markdown
    .split('`')
    .map((piece, i) =>
      i % 2
        ? `<code>${escape(piece)}</code>`
        : escape(piece.replace(/\[([^\]]*)\]\([^)]*\)/g, '$1')),
    )
    .join('')
    .replace(/\s*\n\s*/g, ' ');
}

// The short guide to the input format that the page shows, as HTML, from
// the format section of a guide (`text`, Markdown): each subsection's title
// with its leading paragraph, where it leads with one, and the section's
// first code block, its example, under its subsection's title.
// {html, leads, example}.
function formatGuide(text, source) {
  const parts = text.split(/^### (.*)$/m);
  const example = /^```\n([\s\S]*?)^```$/m.exec(text);
  if (parts.length < 3 || !example)
    throw new Error(`${source}: its format section has no subsections or no example`);
  const items = [];
  let leads = 0;
  for (let i = 1; i < parts.length; i += 2) {
    const body = parts[i + 1];
    const lead = body.trim().split(/\n\s*\n/)[0];
    if (body.includes(example[0])) {
      items.push(`<h3>${inline(parts[i])}</h3>\n<pre>${escape(example[1])}</pre>`);
    } else if (!/^(```|\||- |\d+\. )/.test(lead) && !/:$/.test(lead)) {
      // not a block, nor words leading into one
      items.push(`<h3>${inline(parts[i])}</h3>\n<p>${inline(lead)}</p>`);
      leads += 1;
    }
  }
  return { html: items.join('\n'), leads, example: example[1] };
}

// The format guides in English and Hungarian; the two must give as many
// rules and the same example, so that a rule added to one shows that the
// other lacks it.
function formatGuides(sourceDir) {
  const en = formatGuide(
    section(read(join(sourceDir, 'README.md')), 'The input format', 'README.md'),
    'README.md',
  );
  const hu = formatGuide(read(join(sourceDir, 'doc', 'format.hu.md')), 'doc/format.hu.md');
  if (en.leads !== hu.leads)
    throw new Error(
      `the format's rules: ${en.leads} in README.md, ${hu.leads} in doc/format.hu.md`,
    );
  if (en.example !== hu.example)
    throw new Error("the format's example differs between README.md and doc/format.hu.md");
  return { en: en.html, hu: hu.html };
}

// Every bundled example, as {name, base64, about: {en, hu}}: its exact
// bytes, and what it shows in a line, from the table of examples/README.md.
function examples(sourceDir) {
  const dir = join(sourceDir, 'examples');
  const about = {};
  for (const line of read(join(dir, 'README.md')).split('\n')) {
    const row = /^\| `([^`]+)` \| (.+) \| (.+) \|$/.exec(line);
    if (row) about[row[1]] = { en: row[2].trim(), hu: row[3].trim() };
  }
  const names = readdirSync(dir)
    .filter((name) => name.endsWith('.txt') && !name.endsWith('.expected.txt'))
    .sort();
  const undescribed = [
    ...names.filter((name) => !about[name]),
    ...Object.keys(about).filter((name) => !names.includes(name)),
  ];
  if (undescribed.length > 0)
    throw new Error(
      `examples/README.md: described or not, but no example: ${undescribed.join(', ')}`,
    );
  return names.map((name) => ({
    name,
    base64: readFileSync(join(dir, name)).toString('base64'),
    about: about[name],
  }));
}

// The messages' explanations in English and Hungarian: a message explained
// in one language only would be shown bare in the other.
function messages(sourceDir) {
  const en = messageExplanations(
    section(read(join(sourceDir, 'README.md')), 'Messages', 'README.md'),
    'README.md',
  );
  const hu = messageExplanations(
    read(join(sourceDir, 'doc', 'messages.hu.md')),
    'doc/messages.hu.md',
  );
  const onlyOne = Object.keys({ ...en, ...hu }).filter((m) => !(m in en && m in hu));
  if (onlyOne.length > 0) throw new Error(`explained in one language only: ${onlyOne.join(', ')}`);
  return { en, hu };
}

export { examples, formatGuides, messages };
