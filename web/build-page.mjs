// Writes the page into the wasm build folder (the page's script is the parts
// of web/page listed in scriptParts, put into one <script> element):
//   index.html   the page, served beside worker.js, joinrel.js and joinrel.wasm;
//   worker.js    the engine's worker: joinrel.js, then web/page/worker.js;
//   joinrel.html the page as one file that works opened from disk: the
//                single-file engine and the worker inside it, started from a
//                Blob URL.
// Both pages carry the bundled examples with what each shows, the message
// explanations and the short guide to the input format, each taken from its
// one source by sources.mjs.
//
// Usage: node build-page.mjs SOURCE_DIR BUILD_DIR SINGLE_FILE_ENGINE_JS
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { examples, formatGuides, messages } from './sources.mjs';

const [sourceDir, buildDir, singleEngine] = process.argv.slice(2);
const pageDir = join(sourceDir, 'web', 'page');
const read = (path) => readFileSync(path, 'utf8');
const explained = messages(sourceDir);

// Text inside a <script> element must not close it.
function scriptSafe(text, what) {
  if (/<\/script/i.test(text)) throw new Error(`${what} holds "</script"`);
  return text;
}

// The page's script, in the order each part needs the ones before it: the
// language, the engine pool, names and cells as shown, the input and
// editor, paged tables, a table copied as text, rendering, the walk-through
// of the join (its facts, its words, the Present view, its view), the join
// as an expression and in SQL, the run's notes, the controls that compose
// them, exercises, sharing.
const scriptParts = [
  'language.js',
  'engine.js',
  'shown.js',
  'input.js',
  'pages.js',
  'table-text.js',
  'copy-as.js',
  'render.js',
  'walk-facts.js',
  'walk-words.js',
  'present.js',
  'walk.js',
  'query.js',
  'expression.js',
  'notes.js',
  'controls.js',
  'exercise.js',
  'share.js',
];

const data =
  `const JOINREL_EXAMPLES = ${JSON.stringify(examples(sourceDir)).replace(/</g, '\\u003c')};\n` +
  `const JOINREL_MESSAGES = ${JSON.stringify(explained.en).replace(/</g, '\\u003c')};\n` +
  `const JOINREL_MESSAGES_HU = ${JSON.stringify(explained.hu).replace(/</g, '\\u003c')};\n` +
  `const JOINREL_FORMAT = ${JSON.stringify(formatGuides(sourceDir)).replace(/</g, '\\u003c')};\n`;
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
