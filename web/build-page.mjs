// Writes the page into the wasm build folder (the page's script is the parts
// of web/page listed in scriptParts, put into one <script> element):
//   index.html   the page, served beside worker.js, joinrel.js and joinrel.wasm;
//   worker.js    the engine's worker: joinrel.js, then web/page/worker.js;
//   joinrel.html the page as one file that works opened from disk: the
//                single-file engine and the worker inside it, started from a
//                Blob URL.
// Both pages carry the bundled examples and the message explanations: the
// English ones of the README's Messages table and the Hungarian ones of
// doc/messages.hu.md, so that each stays their one source.
//
// Usage: node build-page.mjs SOURCE_DIR BUILD_DIR SINGLE_FILE_ENGINE_JS
import { readFileSync, readdirSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';

const [sourceDir, buildDir, singleEngine] = process.argv.slice(2);
const pageDir = join(sourceDir, 'web', 'page');
const read = (path) => readFileSync(path, 'utf8');

// Every bundled example, as its exact bytes.
function examples() {
  const dir = join(sourceDir, 'examples');
  return readdirSync(dir)
    .filter((name) => name.endsWith('.txt') && !name.endsWith('.expected.txt'))
    .sort()
    .map((name) => ({ name, base64: readFileSync(join(dir, name)).toString('base64') }));
}

// The message table in Markdown `section` (a row per message: the message,
// its meaning, what to fix): for each message, by its text without the line
// number or name part ("Hibas fejlec" for `Hibas fejlec: N. sor!`), its
// meaning and what to fix, as Markdown. `source` names the file for an error.
function messageExplanations(section, source) {
  const explanations = {};
  for (const line of section.split('\n')) {
    if (!line.startsWith('| `')) continue;
    const [message, meaning, fix] = line
      .split('|')
      .slice(1, 4)
      .map((cell) => cell.trim());
    const text = message.replace(/`/g, '').replace(/(: N\. sor!|: NAME!|!)$/, '');
    explanations[text] = { meaning, fix: fix === '—' ? '' : fix };
  }
  if (Object.keys(explanations).length < 10) throw new Error(`${source}: no message table found`);
  return explanations;
}

const readme = read(join(sourceDir, 'README.md'));
const messagesEn = messageExplanations(
  readme.split(/^## Messages$/m)[1].split(/^## /m)[0],
  'README.md',
);
const messagesHu = messageExplanations(
  read(join(sourceDir, 'doc', 'messages.hu.md')),
  'doc/messages.hu.md',
);
// A message explained in one language only would be shown bare in the other.
const onlyOne = Object.keys({ ...messagesEn, ...messagesHu }).filter(
  (m) => !(m in messagesEn && m in messagesHu),
);
if (onlyOne.length > 0) throw new Error(`explained in one language only: ${onlyOne.join(', ')}`);

// Text inside a <script> element must not close it.
function scriptSafe(text, what) {
  if (/<\/script/i.test(text)) throw new Error(`${what} holds "</script"`);
  return text;
}

// The page's script, in the order each part needs the ones before it: the
// language, the engine pool, names and cells as shown, the input and
// editor, paged tables, rendering, the walk-through of the join (its facts,
// its words, its view), the controls that compose the two, sharing.
const scriptParts = [
  'language.js',
  'engine.js',
  'shown.js',
  'input.js',
  'pages.js',
  'render.js',
  'walk-facts.js',
  'walk-words.js',
  'walk.js',
  'controls.js',
  'share.js',
];

const data =
  `const JOINREL_EXAMPLES = ${JSON.stringify(examples())};\n` +
  `const JOINREL_MESSAGES = ${JSON.stringify(messagesEn).replace(/</g, '\\u003c')};\n` +
  `const JOINREL_MESSAGES_HU = ${JSON.stringify(messagesHu).replace(/</g, '\\u003c')};\n`;
const template = read(join(pageDir, 'index.html'));
const workerCode = read(join(pageDir, 'worker.js'));

function page(engine) {
  const parts = {
    '<!-- style -->': `<style>\n${read(join(pageDir, 'page.css'))}</style>`,
    '<!-- script -->': `<script>\n'use strict';\n${scriptSafe(data, 'data')}\n${scriptParts
      .map((part) => scriptSafe(read(join(pageDir, part)), part))
      .join('\n')}</script>`,
    '<!-- engine -->': engine,
  };
  let html = template;
  for (const [marker, text] of Object.entries(parts)) {
    if (!html.includes(marker)) throw new Error(`index.html lacks ${marker}`);
    html = html.replace(marker, () => text);
  }
  return html;
}

writeFileSync(join(buildDir, 'worker.js'), `importScripts('joinrel.js');\n${workerCode}`);
writeFileSync(join(buildDir, 'index.html'), page(''));
const engine =
  '<script type="text/plain" id="worker-source">\n' +
  scriptSafe(read(singleEngine), 'the single-file engine') +
  '\n' +
  scriptSafe(workerCode, 'worker.js') +
  '</script>';
writeFileSync(join(buildDir, 'joinrel.html'), page(engine));
