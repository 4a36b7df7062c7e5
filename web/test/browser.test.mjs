// The page in headless Chromium, against the command line's own expectations:
// every bundled example and every end-to-end case that needs only an input
// file must give the same status, standard output and output bytes, through
// window.joinrel.run and through the page's controls. The page is served from
// the wasm build on 127.0.0.1 and may reach nothing else.
//
//   JOINREL_WASM_DIR=build/wasm node --test web/test/
//
// JOINREL_WASM_DIR defaults to build/wasm of this checkout. Screenshots go to
// its browser-test/ folder.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import crypto from 'node:crypto';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import zlib from 'node:zlib';
import { chromium } from 'playwright-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const buildDir = path.resolve(process.env.JOINREL_WASM_DIR ?? path.join(repo, 'build/wasm'));
const shotsDir = path.join(buildDir, 'browser-test');

// A screenshot of the whole page as a reader scrolling through it sees it.
// A table or piece of output out of view is not laid out (page.css), and a
// screenshot of the whole page would show it blank, so it is laid out first.
async function shootWhole(page, file) {
  const style = await page.addStyleTag({
    content: '.table-wrap, .output-piece { content-visibility: visible !important; }',
  });
  await page.screenshot({ path: path.join(shotsDir, file), fullPage: true });
  await style.evaluate((node) => node.remove());
}

// How long one step in the page may take before the test calls it stuck: a
// guard against a hang, not a measure of speed.
const hangGuard = 60_000;

// ---- The cases ------------------------------------------------------------

// The files a case may hold and still need nothing but its input: no setup,
// no arguments, no memory limit, nothing that only Windows reads.
const inputOnlyFiles = new Set(['input', 'expected_status', 'expected_stdout', 'expected_output']);

// Standard output less the "[PAUSE]" lines: in the page the pause prints nothing.
function withoutPause(stdout) {
  const lines = stdout.toString('latin1').split('\n');
  return Buffer.from(lines.filter((line) => line !== '[PAUSE]').join('\n'), 'latin1');
}

// The line number a message names ("...: 8. sor!"), or null.
function lineOfMessage(stdout) {
  const match = /: (\d+)\. sor!\n/.exec(stdout.toString('latin1'));
  return match ? Number(match[1]) : null;
}

// Every case as {name, fileName, input, status, stdout, output, line}.
function loadCases() {
  const cases = [];
  const examplesDir = path.join(repo, 'examples');
  for (const file of fs.readdirSync(examplesDir).sort()) {
    if (!file.endsWith('.txt') || file.endsWith('.expected.txt')) continue;
    const stem = file.slice(0, -'.txt'.length);
    cases.push({
      name: `example ${stem}`,
      fileName: file,
      input: fs.readFileSync(path.join(examplesDir, file)),
      status: 0,
      stdout: Buffer.alloc(0),
      output: fs.readFileSync(path.join(examplesDir, `${stem}.expected.txt`)),
      line: null,
    });
  }
  const casesDir = path.join(repo, 'tests/e2e/cases');
  for (const name of fs.readdirSync(casesDir).sort()) {
    const dir = path.join(casesDir, name);
    const files = fs.readdirSync(dir);
    if (!files.includes('input') || files.some((file) => !inputOnlyFiles.has(file))) continue;
    const read = (file) => (files.includes(file) ? fs.readFileSync(path.join(dir, file)) : null);
    const stdout = withoutPause(read('expected_stdout') ?? Buffer.alloc(0));
    cases.push({
      name: `case ${name}`,
      fileName: `${name}.txt`,
      input: read('input'),
      status: Number(read('expected_status').toString().trim()),
      stdout,
      output: read('expected_output'),
      line: lineOfMessage(stdout),
    });
  }
  return cases;
}

const cases = loadCases();
const caseNamed = (name) => cases.find((c) => c.name === name);

// The echo shape at `size` bytes at least: two small relations joined, then
// relations of 1000 rows x 8 attributes that are only echoed.
function echoInput(size) {
  const parts = ['Q(S1, S2)\n\nS1(k int, a)\n'];
  for (let r = 0; r < 10; ++r) parts.push(`${r % 5},a${r}\n`);
  parts.push('\nS2(k int, b)\n');
  for (let r = 0; r < 10; ++r) parts.push(`${r},b${r}\n`);
  let length = parts.reduce((sum, part) => sum + part.length, 0);
  for (let i = 0; length < size; ++i) {
    const block = [`\nE${i}(e0, e1, e2, e3, e4, e5, e6, e7)\n`];
    for (let r = 0; r < 1000; ++r) {
      const cells = [];
      for (let k = 0; k < 8; ++k) cells.push(`e${(r * 7 + k * 131 + i * 17) % 1000}`);
      block.push(`${cells.join(',')}\n`);
    }
    const text = block.join('');
    parts.push(text);
    length += text.length;
  }
  return Buffer.from(parts.join(''), 'latin1');
}

// ---- The server, the browser and what they saw ----------------------------

const mimeTypes = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.mjs': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.json': 'application/json',
  '.png': 'image/png',
  '.svg': 'image/svg+xml',
  '.txt': 'text/plain; charset=utf-8',
};

// Serves the files of `root` (GET only, nothing outside it) on 127.0.0.1.
// Under /broken/ the same files, but with an engine that cannot load: a
// joinrel.wasm of garbage, sent a second late so that a run can wait for it.
function serve(root) {
  const server = http.createServer((request, response) => {
    let pathname = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const broken = pathname.startsWith('/broken/');
    if (broken) pathname = pathname.slice('/broken'.length);
    const file = path.join(root, pathname);
    const inside = file === root || file.startsWith(root + path.sep);
    const target =
      inside && fs.existsSync(file) && fs.statSync(file).isDirectory()
        ? path.join(file, 'index.html')
        : file;
    if (request.method !== 'GET' || !inside || !fs.existsSync(target)) {
      response.writeHead(404).end();
      return;
    }
    const type = mimeTypes[path.extname(target)] ?? 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
    if (broken && target.endsWith('.wasm')) {
      setTimeout(() => response.end(Buffer.from('not a WebAssembly module')), 1000);
      return;
    }
    fs.createReadStream(target).pipe(response);
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

let server;
let origin;
let browser;
let context;
const outsideRequests = [];
const errors = [];

before(async () => {
  for (const file of ['index.html', 'joinrel.html']) {
    assert.ok(
      fs.existsSync(path.join(buildDir, file)),
      `${file} is missing in ${buildDir}: build the wasm preset first`,
    );
  }
  fs.mkdirSync(shotsDir, { recursive: true });
  server = await serve(buildDir);
  origin = `http://127.0.0.1:${server.address().port}`;
  const args = [
    '--disable-gpu',
    '--disable-quic',
    '--no-first-run',
    '--disable-background-networking',
    '--disable-component-update',
    '--disable-sync',
  ];
  if (process.getuid?.() === 0) args.push('--no-sandbox');
  // Playwright starts the browser with a fresh profile folder of its own.
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args });
  context = await newContext(errors);
});

// A browser context that may reach only the page's own files, its errors
// logged into `log`. The page speaks the browser's language: English, which
// the tests read, unless `locale` says otherwise; `screen` sets the window's
// size and zoom.
async function newContext(
  log,
  { locale = 'en-US', screen = { viewport: { width: 1000, height: 800 } } } = {},
) {
  const fresh = await browser.newContext({ acceptDownloads: true, locale, ...screen });
  fresh.setDefaultTimeout(hangGuard);
  const local = (url) =>
    url.startsWith(`${origin}/`) ||
    url === pathToFileURL(path.join(buildDir, 'joinrel.html')).href ||
    url.startsWith('blob:') ||
    url.startsWith('data:');
  fresh.on('request', (request) => {
    if (!local(request.url())) outsideRequests.push(request.url());
  });
  await fresh.route('**/*', (route) =>
    local(route.request().url()) ? route.continue() : route.abort(),
  );
  fresh.on('weberror', (error) => log.push(`uncaught: ${error.error().message}`));
  fresh.on('console', (message) => {
    if (message.type() === 'error') log.push(`console: ${message.text()}`);
  });
  fresh.on('page', (page) => {
    page.on('pageerror', (error) => log.push(`page error: ${error.message}`));
    page.on('worker', (worker) =>
      worker.on('console', (message) => {
        if (message.type() === 'error') log.push(`worker console: ${message.text()}`);
      }),
    );
  });
  return fresh;
}

after(async () => {
  await browser?.close();
  server?.close();
});

// What the page logged so far, to explain a failure.
const logged = () =>
  errors.length ? `; the page logged: ${[...new Set(errors)].join(' | ')}` : '';

// A step that never ended: the cases after it are skipped.
class Stuck extends Error {}

// `promise`, or Stuck naming `what` once the hang guard runs out.
async function guarded(promise, what) {
  let timer;
  const stuck = new Promise((resolve, reject) => {
    timer = setTimeout(() => reject(new Stuck(`${what} never ended${logged()}`)), hangGuard);
  });
  try {
    return await Promise.race([promise, stuck]);
  } finally {
    clearTimeout(timer);
  }
}

// Runs `check` on every case as a subtest of `t`, skipping the rest once one
// is stuck.
async function eachCase(t, check) {
  let stuck = false;
  for (const c of cases) {
    await t.test(c.name, { skip: stuck && 'a case before it never ended' }, async () => {
      try {
        await check(c);
      } catch (error) {
        stuck ||= error instanceof Stuck || error.name === 'TimeoutError';
        throw error;
      }
    });
  }
}

// Every test ends here: nothing outside the page's own files was asked for,
// and nothing went wrong in it.
function assertClean() {
  assert.deepEqual(outsideRequests, [], 'requests outside the page');
  assert.deepEqual([...new Set(errors)], [], 'errors in the page');
}

// A new tab on the served page (or `url`), once its script contract is there.
// With `hooks`, testHooks runs in it before the page's own script.
async function openPage(url = `${origin}/index.html`, { hooks = false, within = context } = {}) {
  const page = await within.newPage();
  if (hooks) await page.addInitScript(testHooks);
  await page.goto(url);
  await guarded(
    page.waitForFunction(() => typeof window.joinrel?.run === 'function'),
    `opening ${url}`,
  );
  return page;
}

// Runs in the page: lets a test hold the engine's answers to runs, so that a
// run goes on for as long as the test needs (window.holdAnswers; each held
// answer is a function in window.heldAnswers that delivers it), and slow
// down file reads by window.readDelay ms, as a big file would. It catches
// the answers where the page hands a Worker its onmessage handler.
function testHooks() {
  window.holdAnswers = false;
  window.heldAnswers = [];
  const onmessage = Object.getOwnPropertyDescriptor(Worker.prototype, 'onmessage');
  Object.defineProperty(Worker.prototype, 'onmessage', {
    configurable: true,
    get() {
      return onmessage.get.call(this);
    },
    set(handler) {
      onmessage.set.call(this, (event) => {
        if (window.holdAnswers && !event.data.ready)
          window.heldAnswers.push(() => handler.call(this, event));
        else handler.call(this, event);
      });
    },
  });
  window.readDelay = 0;
  window.readsDone = 0;
  const arrayBuffer = Blob.prototype.arrayBuffer;
  Blob.prototype.arrayBuffer = function delayedArrayBuffer() {
    const read = arrayBuffer.call(this);
    const delay = new Promise((resolve) => setTimeout(resolve, window.readDelay));
    return delay
      .then(() => read)
      .finally(() => {
        window.readsDone += 1;
      });
  };
}

// What Relations and Join steps show, as text: each relation's heading and
// its table's rows, header first, a line each (" | " between cells); each
// step's sentence, then the relation it built.
function shownContent(page) {
  return page.evaluate(() => {
    // The walk-through's mark of the join column, its row numbers and its
    // column of where a row came from are not the relation's, nor is Copy as.
    const text = (node) =>
      [...node.childNodes]
        .filter((child) => !child.matches?.('.join-tag, .copy-as'))
        .map((child) => child.textContent)
        .join(' ');
    const cells = (row) =>
      [...row.children].filter((cell) => !cell.matches('.row-number, .walk-extra'));
    const rows = (table) =>
      [...table.querySelectorAll('tr')].map((row) => cells(row).map(text).join(' | '));
    const relation = (block) => [
      text(block.querySelector('h3, h4')),
      ...rows(block.querySelector('table')),
    ];
    return {
      relations: [...document.querySelectorAll('#relations > .relation')].map(relation),
      steps: [...document.querySelectorAll('#steps > li:not(.walk-tidy)')].map((item) => [
        item.querySelector('.walk-title').textContent,
        ...relation(item.querySelector('.relation.built')),
      ]),
    };
  });
}

// Picks the bundled example `name` (company.txt, ...), presses Run and waits
// until the run is shown.
async function runExample(page, name) {
  await page.selectOption('#examples', name);
  await page.click('#run');
  await guarded(
    page.waitForFunction(() =>
      /^(Done|Kész|Exit|Kilépési)|sor!/.test(document.getElementById('status').textContent),
    ),
    `running ${name}`,
  );
}

// window.joinrel.run on `input`; its byte arrays, which must come as
// Uint8Array or null, come back as Buffers.
async function runScript(page, input) {
  const answer = await guarded(
    page.evaluate(async (base64) => {
      const toBytes = (text) => Uint8Array.from(atob(text), (char) => char.charCodeAt(0));
      const toBase64 = (bytes) => {
        let text = '';
        for (let k = 0; k < bytes.length; k += 0x8000)
          text += String.fromCharCode(...bytes.subarray(k, k + 0x8000));
        return btoa(text);
      };
      const result = await window.joinrel.run(toBytes(base64));
      const bytesOrNull = (value) =>
        value instanceof Uint8Array ? toBase64(value) : value === null ? null : 'not bytes';
      return {
        ...result,
        console: bytesOrNull(result.console),
        output: bytesOrNull(result.output),
      };
    }, input.toString('base64')),
    'window.joinrel.run',
  );
  for (const key of ['console', 'output']) {
    assert.notEqual(answer[key], 'not bytes', `${key} is neither a Uint8Array nor null`);
    if (answer[key] !== null) answer[key] = Buffer.from(answer[key], 'base64');
  }
  return answer;
}

// Text as the page shows bytes: UTF-8, anything else replaced.
const shown = (bytes) => new TextDecoder().decode(bytes);

// ---- The tests -------------------------------------------------------------

test('window.joinrel.run gives what the command line gives', async (t) => {
  const page = await openPage();
  await eachCase(t, async (c) => {
    const answer = await runScript(page, c.input);
    assert.equal(answer.status, c.status, 'status');
    assert.deepEqual(answer.console, c.stdout, 'standard output');
    assert.deepEqual(answer.output, c.output, 'output file');
    assert.equal(answer.line, c.line, 'line number');
    if (c.stdout.length === 0) assert.equal(answer.messageKind, null, 'message kind');
    else assert.match(answer.messageKind ?? '', /^[a-z]+(-[a-z]+)*$/, 'message kind');
  });
  await page.close();
  assertClean();
});

// What the engine tells of each example's rows: every fact of a small run
// (nothing truncated), each relation's rows on consecutive lines after its
// header, every built row with its pair, every built row of the last step
// in exactly one result row; then the facts a student asks about in company
// and courses.
test('window.joinrel.run explains where the rows of every example came from', async () => {
  const page = await openPage();
  const explained = {};
  for (const stem of ['company', 'courses', 'library', 'staff']) {
    const input = fs.readFileSync(path.join(repo, 'examples', `${stem}.txt`));
    const { explain } = await runScript(page, input);
    const lines = input.toString('latin1').split('\n');
    assert.equal(explain.truncated, false, `${stem}: truncated`);
    assert.equal(explain.particulars, null, `${stem}: particulars`);
    for (const relation of explain.relations.filter((r) => r.lines.length > 0)) {
      const header = relation.lines[0] - 2; // from 0, the line before the first row
      assert.ok(
        lines[header].startsWith(`${relation.name}(`),
        `${stem}: ${relation.name}'s header`,
      );
      relation.lines.forEach((line, row) =>
        assert.equal(line, relation.lines[0] + row, `${stem}: ${relation.name}'s lines`),
      );
    }
    for (const step of explain.steps)
      assert.ok(
        step.pairs.every((pair) => Array.isArray(pair)),
        `${stem}: every pair told`,
      );
    const last = explain.steps.at(-1);
    const merged = explain.tidy.sources.flat().sort((a, b) => a - b);
    assert.deepEqual(
      merged,
      last.pairs.map((_, row) => row),
      `${stem}: every built row in one result row`,
    );
    explained[stem] = explain;
  }
  const company = explained.company;
  assert.equal(company.steps.length, 1);
  assert.deepEqual(
    company.relations.map((r) => r.name),
    ['Emp', 'Note', 'Dept'],
  );
  assert.deepEqual(company.relations[0].lines, [4, 5, 6, 7]);
  const join = company.steps[0];
  assert.deepEqual(
    [
      join.left,
      join.right,
      join.leftRelation,
      join.rightRelation,
      join.attribute,
      join.attributeColumns,
    ],
    ['Emp', 'Dept', 0, 2, 'dept', [1, 0]],
  );
  assert.deepEqual(join.pairs, [
    [0, 0],
    [1, 0],
    [2, 1],
    [3, 0],
  ]);
  assert.deepEqual([join.unmatchedLeft, join.unmatchedRight], [[], [2]], 'Legal without a partner');
  assert.deepEqual(
    company.tidy.sources,
    [[1], [0, 3], [2]],
    "Cili's two built rows in one result row",
  );
  const courses = explained.courses;
  assert.deepEqual(courses.steps[0].unmatchedRight, [3], 'Chemistry,Dr Weiss without a partner');
  assert.equal(courses.steps[0].pairs.length, 6);
  const product = courses.steps[1];
  assert.deepEqual(
    [
      product.left,
      product.right,
      product.leftRelation,
      product.attribute,
      product.attributeColumns,
    ],
    [null, 'Exam', null, null, [null, null]],
  );
  assert.equal(product.pairs.length, 12, '6 x 2 built rows');
  assert.equal(courses.tidy.sources.length, 10, '12 built rows become 10');
  const failed = await runScript(page, Buffer.from('Q(Emp, Dpt)\n\nEmp(name)\nCili\n'));
  assert.deepEqual(failed.explain.particulars, { name: 'Dpt', similarNames: [] });
  await page.close();
  assertClean();
});

// Opens the input through the file input, runs it with Run and checks the
// status line, the console, the marked line and the Download button's bytes.
// `page` may have shown another case before: a new file takes away all of
// it (a check of its own below).
async function runControls(c, page) {
  // The page reads the file after its change event: Run comes once the note
  // names the file read ("NAME: SIZE, ..."), which it words only then.
  await page.evaluate(() => {
    document.getElementById('input-note').textContent = '';
  });
  await page.setInputFiles('#input-file', {
    name: c.fileName,
    mimeType: 'text/plain',
    buffer: c.input,
  });
  await page.waitForFunction(
    (name) => document.getElementById('input-note').textContent.startsWith(`${name}: `),
    c.fileName,
  );
  await page.click('#run');
  // The status shows a character of the message that would show as nothing
  // or turn the text around as a mark: the message is its text up to one.
  const message = shown(c.stdout)
    .split('\n')[0]
    .split(/[\p{Cc}\p{Default_Ignorable_Code_Point}\p{Bidi_Control}]/u)[0];
  const finished = c.status === 0 ? 'Done' : message;
  try {
    await page.waitForFunction(
      (text) => document.getElementById('status').textContent.includes(text),
      finished,
    );
  } catch {
    throw new Stuck(
      `the status never showed "${finished}": it shows "${await page.textContent('#status')}"${logged()}`,
    );
  }
  if (c.status === 0)
    assert.match(await page.textContent('#status'), new RegExp(`\\b${c.status}\\b`), 'status');
  assert.equal(await page.textContent('#console'), shown(c.stdout), 'console');
  const marked = await page.$$eval('.marked-line', (nodes) =>
    nodes.map((node) => Number(node.dataset.line)),
  );
  // An unknown relation is named on line 1, though its message names no line.
  const unknownRelation = c.stdout.toString('latin1').startsWith('Ismeretlen relacio');
  assert.deepEqual(marked, unknownRelation ? [1] : c.line === null ? [] : [c.line], 'marked lines');
  if (c.output === null) {
    assert.ok(
      !(await page.isEnabled('#download')) || !(await page.isVisible('#download')),
      'Download offered without an output',
    );
  } else {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    assert.deepEqual(fs.readFileSync(await download.path()), c.output, 'downloaded output');
    const stem = c.fileName.replace(/\.txt$/, '');
    assert.ok(
      download.suggestedFilename().startsWith(stem),
      `download named ${download.suggestedFilename()}`,
    );
  }
  return page;
}

test('the file input, Run and Download give what the command line gives', async (t) => {
  // One tab for every case: opening one costs more than the case itself.
  const page = await openPage();
  await eachCase(t, async (c) => {
    await runControls(c, page);
    // The whole page for the company example, the top of it for a message.
    const shot = { 'example company': 'company.png', 'case row_too_many_cells': 'message.png' }[
      c.name
    ];
    if (shot) {
      await page.evaluate(() => window.scrollTo(0, 0));
      if (shot === 'company.png') await shootWhole(page, shot);
      else await page.screenshot({ path: path.join(shotsDir, shot) });
    }
  });
  await page.close();
  assertClean();
});

test('the examples picker offers every bundled example', async () => {
  const page = await openPage();
  const offered = (
    await page.$$eval('#examples option', (options) =>
      options.map((o) => `${o.value} ${o.textContent}`),
    )
  ).join('\n');
  for (const c of cases.filter((c) => c.name.startsWith('example '))) {
    assert.ok(offered.includes(c.fileName.replace(/\.txt$/, '')), `${c.fileName} is not offered`);
  }
  await page.close();
  assertClean();
});

test('during a long run the page answers, and Cancel stops the run', async () => {
  const page = await openPage();
  const workers = new Set(page.workers());
  page.on('worker', (worker) => workers.add(worker));
  const big = echoInput(13 * 1024 * 1024);
  await guarded(
    page.evaluate((base64) => {
      const bytes = Uint8Array.from(atob(base64), (char) => char.charCodeAt(0));
      window.longRun = 'running';
      window.joinrel.run(bytes).then(
        () => {
          window.longRun = 'finished';
        },
        () => {
          window.longRun = 'cancelled';
        },
      );
    }, big.toString('base64')),
    'starting the long run',
  );
  // A script call is answered, and rightly, while the long run goes on.
  const company = caseNamed('example company');
  assert.deepEqual(
    (await runScript(page, company.input)).output,
    company.output,
    'output during the long run',
  );
  assert.equal(
    await page.evaluate(() => window.longRun),
    'running',
    'the long run ended before Cancel',
  );
  const engines = [...workers];
  assert.ok(engines.length > 0, 'the engine runs in no Web Worker');
  const stopped = Promise.any(
    engines.map((worker) => new Promise((resolve) => worker.once('close', resolve))),
  );
  await page.click('#cancel');
  await guarded(stopped, "the cancelled run's worker");
  // The cancelled run never gives a result, and the next run still works.
  assert.deepEqual(
    (await runScript(page, company.input)).output,
    company.output,
    'output after Cancel',
  );
  assert.notEqual(
    await page.evaluate(() => window.longRun),
    'finished',
    'the cancelled run gave a result',
  );
  await page.close();
  assertClean();
});

test('the single-file page works opened from disk', async () => {
  const page = await openPage(pathToFileURL(path.join(buildDir, 'joinrel.html')).href);
  const company = caseNamed('example company');
  const answer = await runScript(page, company.input);
  assert.equal(answer.status, 0);
  assert.deepEqual(answer.output, company.output);
  await page.close();
  assertClean();
});

// ---- Each run stays with its input ------------------------------------------

// The relations of a relation file as Relations shows them: its heading, then
// the header cells and the rows, " | " between cells.
function relationsOfFile(text) {
  return text
    .trim()
    .split(/\n\n+/)
    .filter((block) => /^\w+\(.*\)$/.test(block.split('\n')[0]))
    .map((block) => {
      const [header, ...rows] = block.split('\n');
      const [, name, attributes] = /^(\w+)\((.*)\)$/.exec(header);
      const count = `${rows.length} row${rows.length === 1 ? '' : 's'}`;
      return [
        `${name} ${count}`,
        attributes.split(/, */).join(' | '),
        ...rows.map((row) => row.split(',').join(' | ')),
      ];
    });
}

// Each example's join steps, as their sentences say them.
const exampleSteps = {
  'company.txt': [
    'Step 1: Emp \u22c8[dept] Dept, an equi-join on dept alone: 4 rows and 3 rows \u2192 4 rows',
  ],
  'courses.txt': [
    'Step 1: Registration \u22c8[course] Course, an equi-join on course alone: 6 rows and 4 rows \u2192 6 rows',
    'Step 2: the outcome of step 1 \u00d7 Exam, a Cartesian product: 6 \u00d7 2 = 12 rows',
  ],
  'library.txt': [
    'Step 1: Loan \u22c8[isbn] Book, an equi-join on isbn alone: 3 rows and 3 rows \u2192 3 rows',
    'Step 2: the outcome of step 1 \u22c8[member_id] Member, an equi-join on member_id alone: 3 rows and 2 rows \u2192 3 rows',
  ],
  'staff.txt': [
    'Step 1: Employee \u22c8[dept_id] Department, an equi-join on dept_id alone: 4 rows and 3 rows \u2192 4 rows',
    'Step 2: the outcome of step 1 \u22c8[emp_id] Assignment, an equi-join on emp_id alone: 4 rows and 4 rows \u2192 4 rows',
    'Step 3: the outcome of step 2 \u22c8[project_id] Project, an equi-join on project_id alone: 4 rows and 4 rows \u2192 4 rows',
  ],
};

test('Relations shows each relation and result, Join steps each step, for every example', async () => {
  const page = await openPage();
  assert.deepEqual(
    Object.keys(exampleSteps),
    cases.filter((c) => c.name.startsWith('example ')).map((c) => c.fileName),
  );
  for (const [name, steps] of Object.entries(exampleSteps)) {
    await runExample(page, name);
    const content = await shownContent(page);
    const read = (file) =>
      fs.readFileSync(path.join(repo, 'examples', file), 'latin1').replace(/\r\n/g, '\n');
    const input = read(name);
    const output = read(name.replace(/\.txt$/, '.expected.txt'));
    // Rows of result come after an empty line where a first cell could look empty.
    const result = relationsOfFile(
      output.slice(output.indexOf('\nresult(')).replace(/\n\n+/g, '\n'),
    );
    assert.deepEqual(
      content.relations,
      [...relationsOfFile(input.slice(input.indexOf('\n'))), ...result],
      `${name}: Relations`,
    );
    assert.deepEqual(
      content.steps.map((step) => step[0]),
      steps,
      `${name}: Join steps`,
    );
    // The last step builds result's rows, in the column order of every step,
    // before the columns are sorted by name (stably) and the rows sorted and merged.
    const last = content.steps.at(-1);
    const names = last[2].split(' | ').map((cell) => cell.split(' ')[0]);
    const order = names
      .map((_, i) => i)
      .sort((a, b) => (names[a] < names[b] ? -1 : names[a] > names[b] ? 1 : a - b));
    const inResultOrder = (line) => order.map((i) => line.split(' | ')[i]).join(' | ');
    assert.deepEqual(inResultOrder(last[2]), result[0][1], `${name}: the last step's columns`);
    assert.deepEqual(
      [...new Set(last.slice(3).map(inResultOrder))].sort(),
      [...result[0].slice(2)].sort(),
      `${name}: the last step's rows`,
    );
  }
  await page.close();
  assertClean();
});

// The rows marked as sources in the table `table` ("left", "right", "built",
// "tidy-built", "tidy-result") of the walk-through's panel shown, or in the
// Relations table at `selector`: their indices.
function sourceRows(page, table, selector = `#steps > li:not([hidden]) [data-table="${table}"]`) {
  return page.$$eval(`${selector} tbody tr`, (rows) =>
    rows.flatMap((row, i) => (row.classList.contains('source') ? [i] : [])),
  );
}

test('the walk-through shows each step, why a row is there or not, the tidying, and a result row back to its lines', async () => {
  const page = await openPage();
  const panel = '#steps > li:not([hidden])';
  const why = () => page.textContent(`${panel} .walk-why`);
  const pick = (table, row) =>
    page.click(`${panel} [data-table="${table}"] tbody tr >> nth=${row}`);
  await runExample(page, 'company.txt');
  assert.match(
    await page.textContent(`${panel} [data-table="right"] tbody tr >> nth=2`),
    /Legal.*no partner/,
    'Legal without a partner',
  );
  await pick('right', 2);
  assert.equal(await why(), 'Row 3 of Dept made no built row: no row of Emp has dept = 3.');
  await pick('built', 3);
  assert.deepEqual(
    [await sourceRows(page, 'left'), await sourceRows(page, 'right')],
    [[3], [0]],
    'built row 4 comes from',
  );
  await pick('left', 0);
  await page.keyboard.press('ArrowDown');
  assert.deepEqual(
    await sourceRows(page, 'built'),
    [1],
    'Emp row 2, reached by the arrow key, made built row 2',
  );
  await page.focus('.walk-tab[aria-current]');
  await page.keyboard.press('ArrowRight');
  assert.match(
    await page.textContent(`${panel} .walk-title`),
    /^Tidy: 4 rows built by step 1 \u2192 3 rows of result/,
  );
  assert.match(
    await page.textContent(panel),
    /Rows 1, 4 are equal, duplicates: they become one, result row 2 \(2 rows in one\)\./,
    "Cili's two built rows merged",
  );
  // A result row of Relations, back through the step to the input rows and their lines.
  await page.click('#relations .relation.result tbody tr >> nth=1');
  const relations = (i) => `#relations > .relation:nth-of-type(${i + 1})`;
  assert.deepEqual(
    [await sourceRows(page, '', relations(0)), await sourceRows(page, '', relations(2))],
    [[0, 3], [0]],
    'input rows',
  );
  assert.deepEqual(await sourceRows(page, 'tidy-built'), [0, 3], 'built rows');
  assert.deepEqual(
    await page.$$eval('.marked-line', (nodes) => nodes.map((node) => Number(node.dataset.line))),
    [4, 7, 13],
    'editor lines',
  );
  // Another language draws the walk again, the trace kept.
  await page.evaluate(() => Language.set('hu'));
  try {
    assert.match(
      await page.textContent(panel),
      /^Rendezés és összevonás: 1\. részeredmény \(4 sor\) \u2192 result \(3 sor\).*A result 2\. sora a bemenet következő soraiból jött létre: ?Az Emp reláció 1\. sora \(a fájl 4\. sora\)/,
    );
  } finally {
    // The choice is kept for the tests after this one, which read English.
    await page.evaluate(() => Language.set('en'));
  }
  await runExample(page, 'courses.txt');
  assert.match(
    await page.textContent(`${panel} [data-table="right"] tbody tr >> nth=3`),
    /Chemistry.*Dr Weiss.*no partner/,
  );
  await page.click('.walk-next');
  assert.match(
    await page.textContent(`${panel} .walk-rule`),
    /a Cartesian product: every row of the outcome of step 1 goes with every row of Exam, 6 \u00d7 2 = 12 rows\./,
  );
  await page.click('.walk-next');
  assert.match(
    await page.textContent(`${panel} .walk-title`),
    /^Tidy: 12 rows built by step 2 \u2192 10 rows of result/,
  );
  await page.close();
  assertClean();
});

// ---- Large inputs ---------------------------------------------------------------

// The relations of a relation file (LF line ends, one blank line between
// blocks): {name, attributes, rows (cells)} in file order.
function relationsOf(text) {
  return text
    .split('\n\n')
    .slice(1)
    .map((block) => {
      const [header, ...rows] = block.split('\n').filter((line) => line !== '');
      const [, name, attributes] = /^(.*?)\((.*)\)$/.exec(header);
      return { name, attributes: attributes.split(', '), rows: rows.map((row) => row.split(',')) };
    });
}

// A product of a 430,000-byte cell with 10,000 rows, its join twin, and the
// product with a 250,000-byte cell and 1,000 rows: what the command line
// writes for them is the input, the one-attribute relations with an empty
// line after their header, and result's one row.
function largeCellCase(name, { cell, rows, join }) {
  const big = 'x'.repeat(cell);
  const a = join ? `A(k, a)\n1,${big}\n` : `A(a)\n${big}\n`;
  const input = `Q(A, B)\n\n${a}\nB(${join ? 'k' : 'b'})\n${'1\n'.repeat(rows)}`;
  // The command line writes each header's attributes without blanks, and an
  // empty line after each header.
  const output =
    `Q(A, B)\n\n${join ? `A(k,a)\n\n1,${big}\n` : `A(a)\n\n${big}\n`}\nB(${join ? 'k' : 'b'})\n\n${'1\n'.repeat(rows)}\n` +
    `result(${join ? 'a,k' : 'a,b'})\n\n${big},1\n`;
  return { name, input: Buffer.from(input), output: Buffer.from(output) };
}

test('cells of hundreds of kilobytes times thousands of rows run as on the command line, the worker kept small', async () => {
  const page = await openPage();
  const [worker] = page.workers();
  let replaced = false;
  worker.once('close', () => {
    replaced = true;
  });
  // A worker whose heap passes 64 MiB is replaced after its run.
  await setLimits(page, { keptHeapBytes: 64 << 20 });
  for (const c of [
    largeCellCase('product, 450 KB', { cell: 430000, rows: 10000, join: false }),
    largeCellCase('join, 450 KB', { cell: 430000, rows: 10000, join: true }),
    largeCellCase('product, 270 KB', { cell: 250000, rows: 10000, join: false }),
    largeCellCase('product, 170 KB', { cell: 150000, rows: 10000, join: false }),
  ]) {
    const started = Date.now();
    const answer = await runScript(page, c.input);
    assert.deepEqual(
      [answer.status, answer.console.length, answer.messageKind],
      [0, 0, null],
      `${c.name}: status and console`,
    );
    assert.ok(
      answer.output.equals(c.output),
      `${c.name}: the output (${answer.output.length} bytes, ${c.output.length} expected)`,
    );
    // Far above the engine's own time, so that a slow machine passes; a
    // run that builds every duplicate row whole takes seconds.
    assert.ok(Date.now() - started < 20000, `${c.name}: ${Date.now() - started} ms`);
    assert.equal(replaced, false, `${c.name}: the worker's heap passed 64 MiB`);
  }
  await setLimits(page, { keptHeapBytes: 256 << 20 });
  await page.close();
  assertClean();
});

// Picks row `r` (from 0) of the table `table` of the walk's panel shown, on
// whatever page it is, by the "go to row" field when the table has pages;
// returns what the walk says of it.
async function pickAnyRow(page, table, r) {
  const panel = '#steps > li:not([hidden])';
  const block = `${panel} .walk-relation:has([data-table="${table}"])`;
  if ((await page.locator(`${block} .pager-go`).count()) > 0) {
    await page.fill(`${block} .pager-go`, String(r + 1));
    await page.press(`${block} .pager-go`, 'Enter');
  } else {
    await page.click(`${block} tbody tr[data-row="${r}"]`);
  }
  return page.textContent(`${panel} .walk-why`);
}

// Inputs of more than a page of rows: a join whose matches are past row 25,
// a product, equal built rows past row 30.
const longWalks = {
  'a join with matches past row 25':
    `Q(Emp, Dept)\n\nEmp(name, dept)\n${Array.from({ length: 30 }, (_, i) => `E${i + 1},${i >= 26 ? 3 : (i % 2) + 1}`).join('\n')}\n\n` +
    `Dept(dept, title)\n${Array.from({ length: 6 }, (_, i) => `${i + 1},D${i + 1}`).join('\n')}\n`,
  'a product of 27 and 2 rows': `Q(A, B)\n\nA(a)\n${Array.from({ length: 27 }, (_, i) => `a${i}`).join('\n')}\n\nB(b)\nx\ny\n`,
  'a one-to-one join of 40 shuffled rows, rows 31 and 32 of A equal':
    `Q(A, B)\n\nA(k, v)\n${Array.from({ length: 40 }, (_, i) => (i === 31 ? '10,v30' : `${(i * 7) % 40},v${i}`)).join('\n')}\n\n` +
    `B(k)\n${Array.from({ length: 40 }, (_, i) => `${(i * 13) % 40}`).join('\n')}\n`,
};

test('past row 25, every row can be picked and every sentence of the walk is true', async (t) => {
  const page = await openPage();
  const panel = '#steps > li:not([hidden])';
  for (const [name, input] of Object.entries(longWalks)) {
    await t.test(name, async () => {
      await page.fill('#editor', input);
      await page.click('#run');
      await guarded(
        page.waitForFunction(() => /^Done/.test(document.getElementById('status').textContent)),
        name,
      );
      const [left, right] = relationsOf(input);
      const column = left.attributes.findIndex((a) => right.attributes.includes(a));
      const other = column < 0 ? -1 : right.attributes.indexOf(left.attributes[column]);
      const partners = (row, side) =>
        (side === 0 ? right : left).rows.filter(
          (o) => column < 0 || o[side === 0 ? other : column] === row[side === 0 ? column : other],
        ).length;
      for (const [side, relation, table] of [
        [0, left, 'left'],
        [1, right, 'right'],
      ]) {
        for (let r = 0; r < relation.rows.length; r += 1) {
          const words = await pickAnyRow(page, table, r);
          const count = partners(relation.rows[r], side);
          const where = `${name}: row ${r + 1} of ${relation.name} says "${words}"`;
          if (count === 0)
            assert.match(
              words,
              new RegExp(`^Row ${r + 1} of ${relation.name} made no built row`),
              where,
            );
          else {
            const made = /made built rows? ([\d, ]+?)(?: and (\d+) more: show them all)?\.$/.exec(
              words,
            );
            assert.ok(made, where);
            assert.equal(made[1].split(', ').length + Number(made[2] ?? 0), count, where);
          }
        }
      }
      // The tidying: built rows equal as texts merge, and it says which.
      await page.click('.walk-tab >> text=Tidy');
      const built = [];
      left.rows.forEach((a) =>
        right.rows.forEach((b) => {
          if (column < 0 || a[column] === b[other])
            built.push([...a, ...b.filter((_, c) => c !== other)].join(','));
        }),
      );
      const merges = [...new Set(built)].filter(
        (text) => built.indexOf(text) !== built.lastIndexOf(text),
      );
      const said = await page.$$eval(`${panel} .walk-rule.merged`, (nodes) =>
        nodes.map((node) => node.textContent),
      );
      assert.equal(said.length, merges.length, `${name}: merge sentences ${JSON.stringify(said)}`);
      assert.equal(
        await page.locator(`${panel} >> text=No two built rows are equal`).count(),
        merges.length === 0 ? 1 : 0,
        `${name}: "no two equal"`,
      );
    });
  }
  // A row that made more built rows than a sentence lists says how many
  // more, and shows them.
  await page.fill(
    '#editor',
    `Q(A, B)\n\nA(a)\nx\n\nB(b)\n${Array.from({ length: 30 }, (_, i) => `b${i}`).join('\n')}\n`,
  );
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => /^Done/.test(document.getElementById('status').textContent)),
    'a row of 30 built rows',
  );
  assert.match(
    await pickAnyRow(page, 'left', 0),
    /made built rows 1, 2, .*, 20 and 10 more: show them all\.$/,
  );
  await page.click(`${panel} .walk-why .show-all`);
  assert.match(await page.textContent(`${panel} .walk-why`), /made built rows 1, 2, .*, 29, 30\.$/);
  // With one name in the first line, a result row is that relation's rows,
  // named, one or several, past row 25, in both languages.
  const rowsOfA = Array.from(
    { length: 30 },
    (_, i) => `a${String(i === 28 ? 27 : i + 1).padStart(2, '0')}`,
  );
  await page.fill('#editor', `Q(A)\n\nA(x)\n${rowsOfA.join('\n')}\n`);
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => /^Done/.test(document.getElementById('status').textContent)),
    'one relation',
  );
  assert.match(
    await page.textContent(`${panel} .walk-title`),
    /^Tidy: 30 rows of A \u2192 29 rows of result$/,
  );
  assert.match(
    await pickAnyRow(page, 'tidy-result', 26),
    /^Result row 27 stands for rows 27, 29 of A, the one relation that the first line names: these rows are equal, so they became one\./,
  );
  assert.match(
    await pickAnyRow(page, 'tidy-result', 0),
    /^Result row 1 is row 1 of A, the one relation that the first line names\./,
  );
  await page.evaluate(() => Language.set('hu'));
  try {
    assert.match(
      await page.textContent(`${panel} .walk-why`),
      /^A result 1\. sora az A reláció 1\. sorából lett; a fájl 1\. sora csak ezt az egy relációt nevezi meg\./,
    );
  } finally {
    await page.evaluate(() => Language.set('en'));
  }
  await page.close();
  assertClean();
});

// A message's particulars in words, each kind that has them: the input,
// then what the status must say, and the lines marked.
const particularCases = [
  [
    'bad header, no "("',
    'Q(A, B)\n\nA(x)\n1\n\n2\n\nB(y)\n3\n',
    /Here: line 6 has no \u201c\(\u201d after its first byte\./,
    [6],
  ],
  [
    'bad header, list not closed',
    'Q(A)\n\nA(x, y\n1\n',
    /Here: line 3 ends before the \u201c\)\u201d that closes its list\./,
    [3],
  ],
  [
    'bad header, after the last block',
    'Q(A)\n\nA(x)\n1\n\nB\n',
    /Here: line 6 comes after the last relation/,
    [6],
  ],
  [
    'too many cells',
    `Q(A)\n\nA(x)\n${'1,'.repeat(51)}1\n`,
    /Here: line 4 has 52 cells; at most 50 are allowed\./,
    [4],
  ],
  [
    'too many rows',
    `Q(Big)\n\nBig(x)\n${'1\n'.repeat(10001)}`,
    /Here: the relation is Big\./,
    [10004],
  ],
  [
    'result too large',
    `Q(A, B)\n\nA(x)\n${'1\n'.repeat(101)}\nB(y)\n${'2\n'.repeat(100)}`,
    /Here: step 1, joining B in, would build 10,100 rows; at most 10,000 are allowed\./,
    [],
  ],
  [
    'unknown relation',
    'Q(Emp, dept)\n\nEmp(x)\n1\n\nDept(x)\n1\n\nDEPT(y)\n2\n',
    /the first line names dept, .*The file has a relation with a similar name: did you mean Dept or DEPT\? Line 1, the first line/,
    [1],
  ],
];

// A run of more tables than a screen holds draws a table's rows as it comes
// into view, and every table's when the page is printed.
test('tables out of view are drawn when scrolled to, and all of them printed', async () => {
  const page = await openPage();
  await page.setInputFiles('#input-file', {
    name: 'echo.txt',
    mimeType: 'text/plain',
    buffer: echoInput(1536 * 1024),
  });
  await page.waitForFunction(() =>
    document.getElementById('input-note').textContent.startsWith('echo.txt'),
  );
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => !document.getElementById('download').disabled),
    'the run',
  );
  const undrawn = () =>
    page.$$eval(
      '#relations .table-wrap',
      (wraps) => wraps.filter((wrap) => !wrap.querySelector('tbody tr')).length,
    );
  assert.ok((await undrawn()) > 0, 'every table drawn at once');
  await page.locator('#relations .relation.result .table-wrap').scrollIntoViewIfNeeded();
  await guarded(
    page.waitForFunction(() => document.querySelector('#relations .relation.result tbody tr')),
    'result drawn once in view',
  );
  await page.emulateMedia({ media: 'print' });
  await guarded(
    page.waitForFunction(() =>
      [...document.querySelectorAll('#relations .table-wrap')].every((wrap) =>
        wrap.querySelector('tbody tr'),
      ),
    ),
    'every table drawn for print',
  );
  await page.close();
  assertClean();
});

test('a message is shown in its particulars, with no NAME left', async (t) => {
  const page = await openPage();
  for (const [name, input, words, lines] of particularCases) {
    await t.test(name, async () => {
      await page.setInputFiles('#input-file', {
        name: 'message.txt',
        mimeType: 'text/plain',
        buffer: Buffer.from(input),
      });
      await page.waitForFunction(() =>
        document.getElementById('input-note').textContent.startsWith('message.txt'),
      );
      await page.click('#run');
      await guarded(
        page.waitForFunction(() => document.getElementById('status').classList.contains('failed')),
        'the run',
      );
      const status = await page.textContent('#status');
      assert.match(status, words);
      assert.doesNotMatch(status, /\bNAME\b|\bline N\b/);
      assert.deepEqual(
        await page.$$eval('.marked-line', (nodes) =>
          nodes.map((node) => Number(node.dataset.line)),
        ),
        lines,
        'marked lines',
      );
    });
  }
  await page.close();
  assertClean();
});

// What the page shows of a run: nothing of one once `nothingShown`.
async function assertNothingShown(page, what) {
  const shown = await page.evaluate(() => ({
    tables: document.querySelectorAll('#relations table, #steps li').length,
    output: document.getElementById('output').textContent,
    console: document.getElementById('console').textContent,
    marked: document.querySelectorAll('.marked-line').length,
    download: !document.getElementById('download').disabled,
    status: document.getElementById('status').textContent,
  }));
  assert.deepEqual(
    { ...shown, status: undefined },
    { tables: 0, output: '', console: '', marked: 0, download: false, status: undefined },
    `${what}: still shown (status "${shown.status}")`,
  );
  assert.doesNotMatch(shown.status, /Done|sor!/, `${what}: the old run's status stays`);
}

test('a new input takes away what the last run showed, Download with it', async (t) => {
  const page = await openPage();
  const staff = caseNamed('example staff');
  const changes = {
    'an example': () => page.selectOption('#examples', 'staff.txt'),
    'an opened file': () =>
      page.setInputFiles('#input-file', {
        name: 'staff.txt',
        mimeType: 'text/plain',
        buffer: staff.input,
      }),
    'an edit': () => page.fill('#editor', 'Q(A)\n\nA(x)\n1\n'),
  };
  for (const [change, make] of Object.entries(changes)) {
    await t.test(change, async () => {
      await runExample(page, 'company.txt');
      assert.ok(await page.isEnabled('#download'), 'Download after the run');
      await make();
      await assertNothingShown(page, `after ${change}`);
    });
  }
  await page.close();
  assertClean();
});

test('a run going on when the input changes is cancelled, and shows nothing', async () => {
  const page = await openPage(undefined, { hooks: true });
  const failing = caseNamed('case row_too_many_cells');
  await page.setInputFiles('#input-file', {
    name: failing.fileName,
    mimeType: 'text/plain',
    buffer: failing.input,
  });
  await page.evaluate(() => {
    window.holdAnswers = true;
  });
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => window.heldAnswers.length === 1),
    'the held run',
  );
  await page.selectOption('#examples', 'company.txt');
  await page.evaluate(() => {
    window.holdAnswers = false;
    window.heldAnswers.forEach((deliver) => deliver());
  });
  await page.waitForTimeout(100);
  await assertNothingShown(page, "the old run's answer");
  assert.ok(await page.isEnabled('#run'), 'Run after the cancelled run');
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
    'the new run',
  );
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  assert.equal(download.suggestedFilename(), 'company.out.txt');
  assert.deepEqual(fs.readFileSync(await download.path()), caseNamed('example company').output);
  await page.close();
  assertClean();
});

test('Cancel ends the run and takes away what the last run showed, however long the run', async () => {
  const page = await openPage(undefined, { hooks: true });
  await runExample(page, 'company.txt');
  await page.evaluate(() => {
    window.holdAnswers = true;
  });
  const closed = new Promise((resolve) =>
    page.on('worker', (worker) => worker.once('close', resolve)),
  );
  const workersBefore = page.workers();
  const anyClosed = Promise.race([
    closed,
    ...workersBefore.map((worker) => new Promise((resolve) => worker.once('close', resolve))),
  ]);
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => window.heldAnswers.length === 1),
    'the held run',
  );
  assert.ok(await page.isEnabled('#cancel'), 'Cancel during the run');
  await page.click('#cancel');
  await guarded(anyClosed, "the cancelled run's worker");
  await page.evaluate(() => {
    window.holdAnswers = false;
    window.heldAnswers.forEach((deliver) => deliver());
  });
  await page.waitForTimeout(100);
  await assertNothingShown(page, 'after Cancel');
  assert.match(await page.textContent('#status'), /Cancelled/);
  assert.ok(!(await page.isEnabled('#cancel')), 'Cancel with no run');
  const company = caseNamed('example company');
  assert.deepEqual(
    (await runScript(page, company.input)).output,
    company.output,
    'output after Cancel',
  );
  await page.close();
  assertClean();
});

test('a file read that ends after a newer choice is dropped', async () => {
  const page = await openPage(undefined, { hooks: true });
  await page.evaluate(() => {
    window.readDelay = 500;
  });
  const staff = caseNamed('example staff');
  await page.setInputFiles('#input-file', {
    name: 'staff.txt',
    mimeType: 'text/plain',
    buffer: staff.input,
  });
  await page.selectOption('#examples', 'company.txt');
  await guarded(
    page.waitForFunction(() => window.readsDone === 1),
    'the slow read',
  );
  assert.match(await page.inputValue('#editor'), /^Q\(Emp, Dept\)/, 'the editor');
  assert.match(await page.textContent('#input-note'), /^company\.txt/, 'the input note');
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
    'the run',
  );
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  assert.equal(download.suggestedFilename(), 'company.out.txt');
  await page.close();
  assertClean();
});

test('joinrel.run takes a Uint8Array only, and refuses anything else before it starts a run', async () => {
  const page = await openPage();
  await guarded(
    page.evaluate(() => window.joinrel.ready),
    'the engine',
  );
  const refused = await page.evaluate(async () => {
    const wrong = [
      new ArrayBuffer(4),
      'Q(A)',
      [81, 40],
      null,
      undefined,
      new Int8Array(4),
      new Uint8ClampedArray(4),
      new DataView(new ArrayBuffer(4)),
    ];
    return Promise.all(
      wrong.map((value) =>
        window.joinrel.run(value).then(
          () => 'resolved',
          (error) => error.constructor.name,
        ),
      ),
    );
  });
  assert.deepEqual(refused, Array(8).fill('TypeError'));
  assert.equal(page.workers().length, 1, 'workers after the refused calls');
  assert.ok(!(await page.isEnabled('#cancel')), 'Cancel after the refused calls');
  const company = caseNamed('example company');
  const output = await page.evaluate(async (text) => {
    class Bytes extends Uint8Array {}
    const result = await window.joinrel.run(Bytes.from(text, (char) => char.charCodeAt(0)));
    return String.fromCharCode(...result.output);
  }, company.input.toString('latin1'));
  assert.equal(output, company.output.toString('latin1'), 'a subclass of Uint8Array');
  await page.close();
  assertClean();
});

test('an engine that cannot load says so, and every run is refused with the reason', async () => {
  const log = [];
  const broken = await newContext(log);
  const page = await openPage(`${origin}/broken/index.html`, { within: broken });
  const calls = await guarded(
    page.evaluate(async () => {
      const settle = (promise) =>
        promise.then(
          () => 'resolved',
          (error) => error.message,
        );
      const early = settle(window.joinrel.run(new Uint8Array(1)));
      const ready = await settle(window.joinrel.ready);
      return {
        early: await early,
        ready,
        late: await settle(window.joinrel.run(new Uint8Array(1))),
      };
    }),
    'the runs on an engine that cannot load',
  );
  assert.match(calls.ready, /^The engine could not be loaded/);
  assert.deepEqual(calls, { early: calls.ready, ready: calls.ready, late: calls.ready });
  assert.match(await page.textContent('#status'), /The engine could not be loaded/);
  assert.ok(!(await page.isEnabled('#run')), 'Run without an engine');
  await broken.close();
  assertClean();
});

// ---- The marked line is the named line ----------------------------------------

// How the marked line sits against the editor's line `line` as the browser
// lays it out, measured on a copy of the editor's text in an element styled
// like it: {offset} in px between their middles, and the editor's selection.
function markAgainstLine(page, line) {
  return page.evaluate((line) => {
    const editor = document.getElementById('editor');
    const style = getComputedStyle(editor);
    const copy = document.createElement('div');
    for (const key of ['fontFamily', 'fontSize', 'lineHeight', 'paddingTop', 'tabSize'])
      copy.style[key] = style[key];
    Object.assign(copy.style, {
      position: 'absolute',
      top: '0',
      visibility: 'hidden',
      whiteSpace: 'pre',
    });
    const lines = editor.value.split('\n');
    copy.textContent = lines
      .slice(0, line - 1)
      .map((text) => `${text}\n`)
      .join('');
    const probe = document.createElement('span');
    probe.textContent = lines[line - 1] || ' ';
    copy.append(probe);
    document.body.append(copy);
    const text = probe.getBoundingClientRect();
    const textMiddle = text.top + text.height / 2 - copy.getBoundingClientRect().top;
    copy.remove();
    const mark = document.querySelector('.marked-line').getBoundingClientRect();
    const markMiddle =
      mark.top + mark.height / 2 - editor.getBoundingClientRect().top + editor.scrollTop;
    return {
      offset: markMiddle - textMiddle,
      selected: editor.value.slice(editor.selectionStart, editor.selectionEnd),
    };
  }, line);
}

test('the marked line is the line the message names, whatever ends a line and however far down', async (t) => {
  const page = await openPage();
  // Only LF ends a line: each of these stays inside line 4, and line 6 is B.
  const row4 = {
    'a lone CR': '1\r2',
    'CR CR LF': '1\r\r',
    NEL: '1\u00852',
    'U+2028': '1\u20282',
    'U+2029': '1\u20292',
  };
  const rows = Array.from({ length: 8996 }, (_, i) => `${i}\n`).join('');
  const files = Object.fromEntries(
    Object.entries(row4).map(([name, row]) => [
      name,
      { text: `Q(A)\n\nA(x)\n${row}\n\nB\n`, line: 6, lines: 7 },
    ]),
  );
  files['line 9,001'] = { text: `Q(A)\n\nA(x)\n${rows}\nB\n`, line: 9001, lines: 9002 };
  for (const [name, file] of Object.entries(files)) {
    await t.test(name, async () => {
      await page.setInputFiles('#input-file', {
        name: 'lines.txt',
        mimeType: 'text/plain',
        buffer: Buffer.from(file.text, 'utf8'),
      });
      await page.waitForFunction(() =>
        document.getElementById('input-note').textContent.startsWith('lines.txt'),
      );
      await page.click('#run');
      await guarded(
        page.waitForFunction(
          (line) => document.getElementById('status').textContent.includes(`${line}. sor!`),
          file.line,
        ),
        'the run',
      );
      const gutter = (await page.textContent('#editor-gutter')).split('\n');
      assert.equal(gutter.length, file.lines, 'gutter lines');
      const mark = await markAgainstLine(page, file.line);
      assert.equal(mark.selected, file.text.split('\n')[file.line - 1], 'the selected line');
      assert.ok(Math.abs(mark.offset) < 2, `the mark is ${mark.offset} px off its line`);
    });
  }
  await page.close();
  assertClean();
});

// ---- Large runs: the output always arrives ------------------------------------

// Sets the page's limits (Engine.limits) for the runs that follow.
function setLimits(page, limits) {
  return page.evaluate((limits) => Object.assign(Engine.limits, limits), limits);
}

test('a report cut to its limit still brings the whole output, and the page says what is left out', async () => {
  const page = await openPage();
  await setLimits(page, { reportBytes: 2048 });
  const staff = caseNamed('example staff');
  const answer = await runScript(page, staff.input);
  assert.equal(answer.status, 0);
  assert.deepEqual(answer.output, staff.output, 'output with the report cut');
  await runExample(page, 'staff.txt');
  assert.match(
    await page.textContent('#relations'),
    /too large to show whole here.*The output file is complete/,
  );
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
  assert.deepEqual(fs.readFileSync(await download.path()), staff.output, 'downloaded output');
  await page.close();
  assertClean();
});

test('an output the page cannot hold is refused in words, never passed off as none', async () => {
  const page = await openPage();
  await setLimits(page, { outputBytes: 100 });
  const company = caseNamed('example company');
  const refusal = await page.evaluate(
    (text) =>
      window.joinrel.run(Uint8Array.from(text, (c) => c.charCodeAt(0))).then(
        () => 'resolved',
        (error) => error.message,
      ),
    company.input.toString('latin1'),
  );
  assert.match(refusal, /^The output file has 222 bytes, more than this page can hold/);
  await page.selectOption('#examples', 'company.txt');
  await page.click('#run');
  await guarded(
    page.waitForFunction(() =>
      document.getElementById('status').textContent.includes('more than this page can hold'),
    ),
    'the refusal on the page',
  );
  assert.ok(!(await page.isEnabled('#download')), 'Download without the output');
  await page.close();
  assertClean();
});

test('a cell over 1,000 bytes is shown cut with its length, and the output holds it whole', async () => {
  const page = await openPage();
  const long = Buffer.alloc(5000, 0xff);
  const input = Buffer.concat([
    Buffer.from('Q(A, B)\n\nA(a)\n'),
    long,
    Buffer.from('\n\nB(b)\nb0\nb1\n'),
  ]);
  const answer = await runScript(page, input);
  assert.equal(answer.status, 0);
  assert.ok(answer.output.includes(long), 'the output holds the whole cell');
  await page.setInputFiles('#input-file', {
    name: 'long.txt',
    mimeType: 'text/plain',
    buffer: input,
  });
  await page.waitForFunction(() =>
    document.getElementById('input-note').textContent.startsWith('long.txt'),
  );
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
    'the run',
  );
  const cut = await page.$$eval('#relations td', (cells) =>
    cells.map((cell) => cell.textContent).filter((text) => text.includes('cut here')),
  );
  assert.ok(cut.length >= 1, 'no cell is shown cut');
  assert.match(cut[0], /cut here: 5,000 bytes in all$/);
  await page.close();
  assertClean();
});

// ---- Nothing invisible, nothing out of reach -----------------------------------

test('characters that show as nothing get a visible mark, and every name keeps its direction', async () => {
  const page = await openPage();
  const open = async (name, bytes) => {
    await page.setInputFiles('#input-file', { name, mimeType: 'text/plain', buffer: bytes });
    await page.waitForFunction(
      (name) => document.getElementById('input-note').textContent.startsWith(name),
      name,
    );
  };
  // Every default-ignorable character and bidi control, named by Unicode's
  // properties, shows: in cells, in names, in the walk's sentences.
  const hidden = '\u061c\u2060\u00ad\u3164\u{e0041}';
  await open(
    'marks.txt',
    Buffer.from(`Q(\u202eA, B)\n\n\u202eA(x\ty, k)\n 1 ,2\n12 ${hidden}34,2\n\nB(k)\n2\n`),
  );
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
    'the run',
  );
  const marks = (selector) =>
    page.$$eval(selector, (nodes) => nodes.map((node) => node.textContent));
  assert.deepEqual(await marks('#relations .relation:first-child th .char-mark'), ['TAB']);
  assert.deepEqual(await marks('#relations .relation:first-child td .char-mark'), [
    '\u2423',
    '\u2423',
    'ALM',
    'WJ',
    'SHY',
    'U+3164',
    'U+E0041',
  ]);
  assert.deepEqual(await marks('#steps .walk-title bdi .char-mark'), ['RLO']);
  const notes = await page.textContent('#notes');
  assert.match(notes, /Line 1: holds U\+202E, a character that can reverse/);
  assert.match(notes, /Line 3: holds U\+202E, a character that can reverse/);
  // A message naming a relation that holds U+202E shows it as a mark, the
  // name in the order of its bytes.
  await open('reversed.txt', Buffer.from('Q(\u202eEmp)\n\nEmp(x)\n1\n'));
  await page.click('#run');
  await guarded(
    page.waitForFunction(() =>
      document.getElementById('status').textContent.includes('Ismeretlen'),
    ),
    'the message',
  );
  assert.equal(await page.textContent('#status .message'), 'Ismeretlen relacio: RLOEmp!');
  await open('empty-name.txt', Buffer.from('Q(, B)\n\n (k)\n2\n\nB(k)\n2\n'));
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
    'the run',
  );
  assert.equal(
    await page.textContent('#relations .relation:first-child h3 .mono'),
    'an empty name',
  );
  assert.match(
    await page.textContent('#steps .walk-title'),
    /^Step 1: an empty name \u22c8\[k\] B,/,
  );
  await open(`${'n'.repeat(200)}.txt`, Buffer.from('\ufeffQ(A)\n\nA(x)\n1\n'));
  assert.match(await page.textContent('#input-note'), /byte order mark: 3 bytes .* first line/);
  assert.ok(
    await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth),
    'a long file name widens the page',
  );
  await page.close();
  assertClean();
});

test('a step names what it compares and marks the rows a join on every shared name would drop; Notes link their lines', async () => {
  const page = await openPage();
  const run = async (text) => {
    await page.fill('#editor', text);
    await page.click('#run');
    await guarded(
      page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
      'the run',
    );
  };
  // Joined on course alone: two of the five built rows pair a spring
  // enrolment with the fall teacher, or the other way round.
  await run(
    'Q(Enroll, Teach)\n\nEnroll(student, course, term)\nAnna,db,spring\nBela,db,fall\nCili,os,spring\n\n' +
      'Teach(term, course, teacher)\nfall,db,Kovacs\nspring,db,Nagy\nspring,os,Szabo\n',
  );
  assert.match(
    await page.textContent('#steps .walk-title'),
    /^Step 1: Enroll \u22c8\[course\] Teach, an equi-join on course alone/,
  );
  assert.match(
    await page.textContent('#steps .walk-shared'),
    /Both also have term, but only course is compared.* would keep 3 of these 5 rows\./,
  );
  assert.deepEqual(
    await page.$$eval('#steps .built tr.differs', (rows) =>
      rows.map((row) => [row.dataset.row, row.querySelector('.differ').textContent]),
    ),
    [
      ['0', 'term: spring \u2260 fall'],
      ['3', 'term: fall \u2260 spring'],
    ],
  );
  assert.equal(await page.$$eval('#steps .built th.shared-column', (cells) => cells.length), 2);
  assert.ok(await page.$('#notes-section[hidden]'), 'notes shown for a run with none');
  // A third cell under two attributes runs as on the command line, and
  // Notes says so, its line a button that marks the editor's line.
  await run(
    'Q(Emp, Dept)\n\nEmp(name, dept)\nAnna,1,extra\nBela,2\n\nDept(dept, title)\n1,Sales\n',
  );
  assert.match(await page.textContent('#status'), /Done \(exit status 0\)/);
  assert.match(await page.textContent('#output'), /Anna/);
  const line = page.locator('#notes .note-line');
  assert.equal(await line.textContent(), 'Line 4');
  assert.match(await page.textContent('#notes li'), /holds 3 cells, but Emp has 2 attributes/);
  await line.focus();
  await page.keyboard.press('Enter');
  assert.deepEqual(
    await page.$$eval('#editor-marks [data-line]', (marks) => marks.map((m) => m.dataset.line)),
    ['4'],
  );
  await page.close();
  assertClean();
});

// Every violation axe-core finds on the page as it is, as "rule: target".
async function axeViolations(page) {
  await page.addScriptTag({ path: path.join(repo, 'web/node_modules/axe-core/axe.min.js') });
  const violations = await page.evaluate(async () => (await window.axe.run(document)).violations);
  return violations.flatMap((v) => v.nodes.map((node) => `${v.id}: ${node.target.join(' ')}`));
}

test('axe-core finds nothing, fresh, after a run, after a message and after a wide relation; the keyboard does it all', async (t) => {
  const page = await openPage();
  const check = async (state) => assert.deepEqual(await axeViolations(page), [], state);
  await t.test('fresh', () => check('the fresh page'));
  await t.test('from the keyboard, with focus kept on Run', async () => {
    await page.focus('#examples');
    await page.selectOption('#examples', 'company.txt');
    await page.keyboard.press('Tab');
    assert.equal(
      await page.evaluate(() => document.activeElement.id),
      'run',
      'Tab after the examples',
    );
    await page.keyboard.press('Enter');
    await guarded(
      page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
      'the run',
    );
    assert.equal(
      await page.evaluate(() => document.activeElement.id),
      'run',
      'focus after the run',
    );
    let focused = '';
    for (let tab = 0; tab < 40 && focused !== 'download'; tab += 1) {
      await page.keyboard.press('Tab');
      focused = await page.evaluate(() => document.activeElement.id);
    }
    assert.equal(focused, 'download', 'Tab reaches Download');
    const [download] = await Promise.all([
      page.waitForEvent('download'),
      page.keyboard.press('Enter'),
    ]);
    assert.equal(download.suggestedFilename(), 'company.out.txt');
  });
  await t.test('after a run', () => check('after a run'));
  await t.test('after a message', async () => {
    const failing = caseNamed('case row_too_many_cells');
    await page.setInputFiles('#input-file', {
      name: failing.fileName,
      mimeType: 'text/plain',
      buffer: failing.input,
    });
    await page.waitForFunction(
      (name) => document.getElementById('input-note').textContent.startsWith(name),
      failing.fileName,
    );
    await page.click('#run');
    await guarded(
      page.waitForFunction(() => document.getElementById('status').textContent.includes('sor!')),
      'the run',
    );
    await check('after a message');
  });
  await t.test('after a wide relation', async () => {
    const cells = Array.from({ length: 40 }, (_, k) => `cell${k}`.padEnd(24, 'x'));
    const wide = `Q(W, V)\n\nW(${cells.map((_, k) => `a${k}`).join(', ')})\n${cells.join(',')}\n\nV(a0)\n${cells[0]}\n\nE(e, f)\n z,\n`;
    await page.fill('#editor', wide);
    await page.click('#run');
    await guarded(
      page.waitForFunction(() => document.getElementById('status').textContent.includes('Done')),
      'the run',
    );
    assert.ok(
      await page.$eval('.table-wrap', (wrap) => wrap.scrollWidth > wrap.clientWidth),
      'the table is not wider than the page',
    );
    await check('after a wide relation');
  });
  await t.test('generated markers as readable as the text', async () => {
    const ratios = await page.evaluate(() => {
      const luminance = (color) => {
        const [r, g, b] = color
          .match(/[\d.]+/g)
          .slice(0, 3)
          .map((v) => {
            const c = Number(v) / 255;
            return c <= 0.03928 ? c / 12.92 : ((c + 0.055) / 1.055) ** 2.4;
          });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
      };
      const background = (node) => {
        for (; node; node = node.parentElement) {
          const color = getComputedStyle(node).backgroundColor;
          if (!/rgba\(.*, 0\)$|transparent/.test(color)) return color;
        }
        return 'rgb(255, 255, 255)';
      };
      const contrast = (node, pseudo) => {
        const [a, b] = [
          luminance(getComputedStyle(node, pseudo).color),
          luminance(background(node)),
        ];
        return Math.round(((Math.max(a, b) + 0.05) / (Math.min(a, b) + 0.05)) * 100) / 100;
      };
      return {
        'the empty-cell marker': contrast(document.querySelector('td.empty-cell'), '::after'),
        'the gutter numbers': contrast(document.getElementById('editor-gutter')),
        'a character mark': contrast(document.querySelector('.char-mark')),
      };
    });
    for (const [what, ratio] of Object.entries(ratios))
      assert.ok(ratio >= 4.5, `${what}: ${ratio}:1`);
  });
  await page.close();
  assertClean();
});

test('a file of too many lines for the editor stays out of it, and a message shows its line', async () => {
  const page = await openPage();
  const rows = Buffer.from('1\n'.repeat(599996));
  const input = Buffer.concat([Buffer.from('Q(A)\n\nA(x)\n'), rows, Buffer.from('\nB\n')]);
  await page.setInputFiles('#input-file', {
    name: 'lines.txt',
    mimeType: 'text/plain',
    buffer: input,
  });
  await guarded(
    page.waitForFunction(() =>
      document.getElementById('input-note').textContent.startsWith('lines.txt'),
    ),
    'opening the file',
  );
  assert.match(await page.textContent('#input-note'), /too large to show in the editor/);
  assert.equal(await page.inputValue('#editor'), '', 'the editor holds the file');
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('sor!')),
    'the run',
  );
  const named = await page.textContent('#status .excerpt .named');
  assert.equal(
    named,
    `${/(\d+)\. sor!/.exec(await page.textContent('#status'))[1]}1`,
    'the named line in the excerpt',
  );
  await page.close();
  assertClean();
});

test('a worker whose heap grew past what the page keeps is replaced after its run', async () => {
  const page = await openPage();
  const company = caseNamed('example company');
  assert.deepEqual((await runScript(page, company.input)).output, company.output);
  const [worker] = page.workers();
  const closed = new Promise((resolve) => worker.once('close', resolve));
  await setLimits(page, { keptHeapBytes: 0 });
  assert.deepEqual((await runScript(page, company.input)).output, company.output);
  await guarded(closed, 'the worker that ran');
  await setLimits(page, { keptHeapBytes: 256 << 20 });
  assert.deepEqual(
    (await runScript(page, company.input)).output,
    company.output,
    'a run on the fresh worker',
  );
  await page.close();
  assertClean();
});

// ---- Inputs shared as links ------------------------------------------------------

// Waits until the share note says something other than that the link is being made.
async function shareNote(page) {
  await guarded(
    page.waitForFunction(() => {
      const text = document.getElementById('share-note').textContent;
      return text && !text.endsWith('\u2026');
    }),
    'the share note',
  );
  return page.textContent('#share-note');
}

test('a link made from disk brings back the exact bytes, CR LF and 0xFF with them, and runs them', async () => {
  const fileUrl = pathToFileURL(path.join(buildDir, 'joinrel.html')).href;
  const crlf = fs.readFileSync(path.join(repo, 'tests/e2e/cases/crlf_line_ends/input'));
  const input = Buffer.from(crlf.toString('latin1').replace('Anna', 'Ann\xff'), 'latin1');
  const sender = await openPage(fileUrl);
  await sender.setInputFiles('#input-file', {
    name: 'crlf.txt',
    mimeType: 'text/plain',
    buffer: input,
  });
  await guarded(
    sender.waitForFunction(() =>
      document.getElementById('input-note').textContent.startsWith('crlf.txt'),
    ),
    'opening the file',
  );
  await sender.click('#share');
  assert.match(await shareNote(sender), /names that file/);
  const url = await sender.inputValue('#share-link');
  const fragment = await sender.inputValue('#share-fragment');
  assert.match(fragment, /^#i1=[A-Za-z0-9_-]+$/);
  assert.equal(url, fileUrl + fragment);
  await sender.close();
  const receiver = await openPage(url);
  await guarded(
    receiver.waitForFunction(() =>
      /^Done|sor!/.test(document.getElementById('status').textContent),
    ),
    'the shared run',
  );
  assert.match(await receiver.textContent('#status'), /^Done \(exit status 0\)/);
  const loaded = await receiver.evaluate(async () =>
    btoa(String.fromCharCode(...(await Input.current()).bytes)),
  );
  assert.deepEqual(Buffer.from(loaded, 'base64'), input, 'the shared input');
  await receiver.close();
  assertClean();
});

test('an input too large for a link gets none, and a cut, foreign or newer link loads nothing', async () => {
  const page = await openPage();
  await runExample(page, 'company.txt');
  await page.click('#share');
  await shareNote(page);
  const link = await page.inputValue('#share-link');
  assert.ok(link.startsWith(`${origin}/index.html#i1=`), link);
  assert.ok(await page.isHidden('#share-fragment'), 'a served page offers the fragment alone');
  // Random bytes do not compress: their link would be over 32,000 characters.
  await page.setInputFiles('#input-file', {
    name: 'noise.txt',
    mimeType: 'text/plain',
    buffer: crypto.randomBytes(30000),
  });
  await guarded(
    page.waitForFunction(() =>
      document.getElementById('input-note').textContent.startsWith('noise.txt'),
    ),
    'opening the file',
  );
  await page.click('#share');
  assert.match(await shareNote(page), /too large to share as a link/);
  assert.ok(await page.isHidden('#share-link'), 'a link was shown');
  await page.close();
  const refused = [
    [link.slice(0, -20), /broken/],
    [`${link.slice(0, -2)}+/`, /broken/],
    ['#top', /broken/],
    ['#i2=AAAA', /newer/],
  ];
  for (const [address, words] of refused) {
    const opened = await openPage(
      address.startsWith('#') ? `${origin}/index.html${address}` : address,
    );
    assert.match(await shareNote(opened), words, address);
    assert.match(
      await opened.inputValue('#editor'),
      /^Q\(Emp, Dept\)\n/,
      `${address}: the editor holds another input than the first example`,
    );
    await opened.close();
  }
  assertClean();
});

// Saves the page at 1280 and 390 pixels wide as NAME-wide.png and
// NAME-narrow.png; nothing may stick out sideways in either.
async function shootExercise(page, name) {
  for (const [width, size] of [
    [1280, 'wide'],
    [390, 'narrow'],
  ]) {
    await page.setViewportSize({ width, height: 800 });
    assert.ok(
      await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth),
      `${name}, ${size}: wider than the window`,
    );
    await shootWhole(page, `${name}-${size}.png`);
  }
}

// Presses Check and waits for the engine's report.
async function checkAnswer(page, answer) {
  await page.fill('#answer', answer);
  await page.click('#check');
  await guarded(
    page.waitForFunction(() => {
      const text = document.getElementById('check-report').textContent;
      return text && !text.endsWith('\u2026');
    }),
    'the check',
  );
  return page.textContent('#check-report');
}

test('an exercise link hides result and the steps until revealed; Check tells each missing and extra row why; a plain link opens as before', async () => {
  const teacher = await openPage();
  await runExample(teacher, 'company.txt');
  await teacher.click('#share');
  await shareNote(teacher);
  const plain = await teacher.inputValue('#share-link');
  await teacher.check('#share-exercise');
  await teacher.click('#share');
  await shareNote(teacher);
  const exercise = await teacher.inputValue('#share-link');
  assert.match(plain, /#i1=[A-Za-z0-9_-]+$/);
  assert.equal(exercise, `${plain}&x=1&l=en`);
  await teacher.close();

  const page = await openPage(exercise);
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Done')),
    'the exercise run',
  );
  assert.equal(await page.locator('#relations > .relation:visible').count(), 3);
  for (const hidden of [
    '#relations .relation.result',
    '#steps',
    '#walk',
    '#output',
    '#download',
    '#expression',
  ])
    assert.ok(await page.isHidden(hidden), `${hidden} shows on opening`);
  assert.ok(await page.isVisible('#answer'));
  await shootExercise(page, 'exercise-before-check');

  const wrong =
    'result(dept int, name char(20), title)\n1,Anna,Sales\n3,Dora,Legal\n2,Bela,Audit\n';
  const report = await checkAnswer(page, wrong);
  assert.match(report, /Right: 2 rows \(lines 2 and 4\)/);
  assert.match(report, /1, Cili, Sales: from Emp row 1 \(line 4\) and Dept row 1 \(line 13\)\./);
  assert.match(report, /3, Dora, Legal \(line 3\): no row of Emp has name = Dora\./);
  await shootExercise(page, 'exercise-after-check');
  const exact = await checkAnswer(
    page,
    'result(dept int, name char(20), title)\n\n1,Anna,Sales\n1,Cili,Sales\n2,Bela,Audit\n',
  );
  assert.match(exact, /^Right: your answer is exactly result/);

  assert.match(
    await page.textContent('#step-question'),
    /Before you see step 1: it joins Emp and Dept on dept\. Which rows of Dept find no partner\?/,
  );
  const checkRows = async (rows) => {
    for (const box of await page.locator('#step-question input').all())
      await box.setChecked(rows.includes(Number(await box.getAttribute('value'))));
    await page.click('#check-step');
    return page.textContent('#step-report');
  };
  const picked = await checkRows([0]);
  assert.match(picked, /Dept row 1 \(line 13\) has a partner: Emp row 1 \(line 4\)\./);
  assert.match(picked, /Dept row 3 \(line 15\) finds no partner: no row of Emp has dept = 3\./);
  assert.match(await checkRows([2]), /^Right: exactly these rows find no partner\.$/);

  assert.ok(await page.isHidden('#step-predict'), 'a one-step input has no step to predict');
  await page.click('#reveal-step');
  assert.ok(await page.isVisible('#steps > li:not([hidden])'), 'step 1 shows once revealed');
  assert.equal(await page.locator('#walk .walk-tab').count(), 1, 'only the revealed step');
  assert.ok(await page.isHidden('#relations .relation.result'), 'result shows with step 1');
  await page.click('#reveal-all');
  assert.ok(await page.isVisible('#relations .relation.result'), 'result hidden after all');
  assert.equal(await page.locator('#walk .walk-tab').count(), 2);
  await page.close();

  // courses: step 1's built relation predicted, one row wrong.
  const courses = fs.readFileSync(path.join(repo, 'examples/courses.txt'));
  const coursesLink = `${origin}/index.html#i1=${zlib.deflateRawSync(courses).toString('base64url')}&x=1&l=en`;
  const predicting = await openPage(coursesLink);
  await guarded(
    predicting.waitForFunction(() => !document.getElementById('step-predict').hidden),
    'the step to predict',
  );
  assert.match(
    await predicting.textContent('#step-predict'),
    /predict the relation step 1 builds from Registration and Course on course\./,
  );
  await predicting.fill(
    '#predict-answer',
    'step(student, course, teacher)\nEmma,Art History,Ms Ortiz\nEmma,Biology,Dr Weiss\n' +
      'Farid,Art,Ms Ortiz\nGustav,Art History,Ms Ortiz\nGustav,Art,Mr Lang\nEmma,Biology,Dr Weiss\n',
  );
  await predicting.click('#check-predict');
  await guarded(
    predicting.waitForFunction(() => {
      const text = document.getElementById('predict-report').textContent;
      return text && !text.endsWith('\u2026');
    }),
    'the check of step 1',
  );
  const predicted = await predicting.textContent('#predict-report');
  assert.match(predicted, /Right: 5 rows/);
  assert.match(
    predicted,
    /Farid, Art, Mr Lang: from Registration row 3 \(line 6\) and Course row 1 \(line 12\)\./,
  );
  assert.match(
    predicted,
    /Farid, Art, Ms Ortiz \(line 4\): rows of Course have course = Art, but none of them also has teacher = Ms Ortiz\./,
  );
  await shootExercise(predicting, 'predict-step-1');
  await predicting.close();

  const opened = await openPage(plain);
  await guarded(
    opened.waitForFunction(() => document.getElementById('status').textContent.startsWith('Done')),
    'the plain run',
  );
  assert.ok(await opened.isVisible('#relations .relation.result'));
  assert.ok(await opened.isHidden('#exercise'));
  assert.equal(await opened.textContent('#walk .walk-tab[aria-current]'), 'Step 1');
  await opened.goto(`${plain}&s=2`);
  await guarded(
    opened.waitForFunction(
      () => document.querySelector('#walk .walk-tab[aria-current]')?.textContent === 'Tidy',
    ),
    'the link that opens at the tidying',
  );
  await opened.close();
  assertClean();
});

// ---- English and Hungarian ------------------------------------------------------

// Every word the page shows of its own, in order: the text nodes that hold a
// letter, outside the input, the output and the names and cells of the
// relations, then every aria-label and title, then the words page.css shows.
// `engine` is the engine's message, which no language changes. The walk's
// panels and the notes' words are left to their own tests: their sentences
// are put together around names, in a different number of pieces in each
// language;
// the format guide is a text of its own in each language.
function pageWords(page) {
  return page.evaluate(() => {
    const data =
      'script, textarea, pre, table, code, bdi, .mono, h1, .message, label.language, #examples option:not([value=""]), .walk-panel, .note-words, #format-guide, .copy-formats, .expression-text';
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    const words = [];
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (/\p{L}/u.test(node.data) && !node.parentElement.closest(data)) words.push(node.data);
    }
    for (const node of document.body.querySelectorAll('[aria-label], [title]')) {
      for (const name of ['aria-label', 'title'])
        if (node.hasAttribute(name)) words.push(node.getAttribute(name));
    }
    const style = getComputedStyle(document.documentElement);
    for (const property of ['--console-prints', '--empty-cell', '--steps-hint', '--no-step'])
      words.push(style.getPropertyValue(property));
    return {
      lang: document.documentElement.lang,
      words,
      engine: document.querySelector('#status .message')?.textContent ?? null,
    };
  });
}

// Switches the page's language with its control.
async function switchTo(page, language) {
  await page.selectOption('#language', language);
  await page.waitForFunction((language) => document.documentElement.lang === language, language);
}

test("every word of the page switches to Hungarian and back, the engine's message stays as printed", async (t) => {
  const page = await openPage();
  const failing = caseNamed('case row_too_many_cells');
  const states = {
    'after a run': () => runExample(page, 'company.txt'),
    'after a message': async () => {
      await page.setInputFiles('#input-file', {
        name: failing.fileName,
        mimeType: 'text/plain',
        buffer: failing.input,
      });
      await page.waitForFunction(
        (name) => document.getElementById('input-note').textContent.startsWith(name),
        failing.fileName,
      );
      await page.click('#run');
      await guarded(
        page.waitForFunction(() => document.getElementById('status').textContent.includes('sor!')),
        'the run',
      );
    },
  };
  for (const [state, reach] of Object.entries(states)) {
    await t.test(state, async () => {
      await reach();
      const english = await pageWords(page);
      await switchTo(page, 'hu');
      const hungarian = await pageWords(page);
      assert.equal(english.lang, 'en');
      assert.equal(hungarian.lang, 'hu');
      assert.equal(hungarian.engine, english.engine, "the engine's message");
      assert.equal(
        hungarian.words.length,
        english.words.length,
        `the words: ${hungarian.words.join(' | ')}`,
      );
      english.words.forEach((word, i) => {
        assert.ok(hungarian.words[i].trim() !== '', `"${word}" has no Hungarian`);
        // result is a relation's name, the same in both languages (a table's label).
        if (word !== 'result') assert.notEqual(hungarian.words[i], word, 'a word left in English');
      });
      await switchTo(page, 'en');
      assert.deepEqual(await pageWords(page), english, 'back in English');
    });
  }
  await page.close();
  assertClean();
});

// Every text the page holds, hidden ones too, outside its script, the
// editor and the output file: its text, its aria-labels, titles and
// placeholders, and the words page.css shows.
function everyText(page) {
  return page.evaluate(() => {
    const texts = [];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      if (!node.parentElement.closest('script, style, textarea, #output')) texts.push(node.data);
    }
    for (const node of document.body.querySelectorAll('[aria-label], [title], [placeholder]')) {
      for (const name of ['aria-label', 'title', 'placeholder'])
        if (node.hasAttribute(name)) texts.push(node.getAttribute(name));
    }
    const style = getComputedStyle(document.documentElement);
    for (const property of ['--console-prints', '--empty-cell', '--steps-hint', '--no-step'])
      texts.push(style.getPropertyValue(property));
    return texts.join('\n');
  });
}

// Opens every step of the walk-through and picks the first row of each of
// its tables, so that every sentence the walk can say of it is there.
async function openEveryStep(page) {
  const tabs = await page.$$eval('.walk-tab', (nodes) => nodes.length);
  const texts = [];
  for (let tab = 0; tab < tabs; tab += 1) {
    await page.click(`.walk-tab >> nth=${tab}`);
    for (const table of await page.$$('#steps > li:not([hidden]) [data-table]')) {
      const row = await table.$('tbody tr');
      if (row) {
        await row.click();
        texts.push(await everyText(page));
      }
    }
    texts.push(await everyText(page));
  }
  return texts.join('\n');
}

test('no text of the page, in either language, holds "a(z)", "undefined", "null" or "{"; Run on the fresh page runs the example', async (t) => {
  const page = await openPage();
  const unfilled = /a\(z\)|undefined|\bnull\b|\{/i;
  const check = async (state, reach) => {
    for (const language of ['en', 'hu']) {
      await switchTo(page, language);
      const text = await reach();
      assert.doesNotMatch(
        text,
        unfilled,
        `${state}, ${language}: ${unfilled.exec(text)?.index >= 0 ? text.slice(Math.max(0, unfilled.exec(text).index - 80), unfilled.exec(text).index + 40) : ''}`,
      );
    }
    await switchTo(page, 'en');
  };
  await t.test("fresh, and Run gives the example's output", async () => {
    await check('fresh', () => everyText(page));
    await page.click('#run');
    await guarded(
      page.waitForFunction(() => document.getElementById('status').textContent.startsWith('Done')),
      'the run',
    );
    assert.equal(await page.textContent('#output'), shown(caseNamed('example company').output));
  });
  for (const example of cases.filter((c) => c.name.startsWith('example '))) {
    await t.test(`after ${example.fileName}, every step opened`, async () => {
      await runExample(page, example.fileName);
      await check(example.fileName, () => openEveryStep(page));
    });
  }
  const messages = {
    'a relation not defined': 'Q(A, B)\n\nA(x)\n1\n',
    'a header without ")"': 'Q(A)\n\nA(x, y\n1\n',
    '51 cells': `Q(A)\n\nA(x)\n${'1,'.repeat(50)}1\n`,
    'a name differing in letter case': 'Q(Emp, dept)\n\nEmp(x)\n1\n\nDept(x)\n1\n',
  };
  for (const [message, input] of Object.entries(messages)) {
    await t.test(`after ${message}`, async () => {
      await page.fill('#editor', input);
      await page.click('#run');
      await guarded(
        page.waitForFunction(() => document.getElementById('status').classList.contains('failed')),
        'the run',
      );
      await check(message, () => everyText(page));
    });
  }
  await page.close();
  assertClean();
});

// Saves the page as it is, wide and narrow, as hu-NAME-wide.png and
// hu-NAME-narrow.png; nothing may stick out sideways in either.
async function shootBoth(page, name) {
  for (const [width, size] of [
    [1000, 'wide'],
    [380, 'narrow'],
  ]) {
    await page.setViewportSize({ width, height: 800 });
    assert.ok(
      await page.evaluate(() => document.documentElement.scrollWidth <= window.innerWidth),
      `${name}, ${size}: wider than the window`,
    );
    await shootWhole(page, `hu-${name}-${size}.png`);
  }
}

test('a Hungarian browser gets the page in Hungarian, and a choice is kept for the next visit', async () => {
  const log = [];
  const hungarian = await newContext(log, { locale: 'hu-HU' });
  const page = await openPage(undefined, { within: hungarian });
  assert.equal(await page.evaluate(() => document.documentElement.lang), 'hu');
  assert.equal(await page.inputValue('#language'), 'hu');
  await runExample(page, 'company.txt');
  assert.match(await page.textContent('#status'), /^Kész \(kilépési kód: 0\)/);
  await shootBoth(page, 'company');
  const failing = caseNamed('case row_too_many_cells');
  await page.setInputFiles('#input-file', {
    name: failing.fileName,
    mimeType: 'text/plain',
    buffer: failing.input,
  });
  await page.waitForFunction(
    (name) => document.getElementById('input-note').textContent.startsWith(name),
    failing.fileName,
  );
  await page.click('#run');
  await guarded(
    page.waitForFunction(() => document.getElementById('status').textContent.includes('sor!')),
    'the run',
  );
  await shootBoth(page, 'message');
  await switchTo(page, 'en');
  await page.reload();
  await guarded(
    page.waitForFunction(() => typeof window.joinrel?.run === 'function'),
    'the reload',
  );
  assert.equal(
    await page.evaluate(() => document.documentElement.lang),
    'en',
    'the choice after a reload',
  );
  await page.close();
  // A page from disk may be refused localStorage: it then follows the browser.
  const refused = await hungarian.newPage();
  await refused.addInitScript(() =>
    Object.defineProperty(window, 'localStorage', {
      get() {
        throw new DOMException('refused', 'SecurityError');
      },
    }),
  );
  await refused.goto(pathToFileURL(path.join(buildDir, 'joinrel.html')).href);
  await guarded(
    refused.waitForFunction(() => typeof window.joinrel?.run === 'function'),
    'opening without localStorage',
  );
  assert.equal(await refused.evaluate(() => document.documentElement.lang), 'hu');
  await switchTo(refused, 'en');
  await hungarian.close();
  assert.deepEqual(log, [], 'errors in the page');
  assertClean();
});

test('Present shows the step alone, its sentence above its three tables side by side at 1024x768 zoomed 150 %; the arrows go on, Esc leaves', async () => {
  const log = [];
  const projector = await newContext(log, {
    screen: { viewport: { width: 683, height: 512 }, deviceScaleFactor: 1.5 },
  });
  const page = await openPage(undefined, { within: projector });
  await runExample(page, 'courses.txt');
  await page.click('.walk-present');
  const layout = () =>
    page.evaluate(() => {
      const box = (node) => node.getBoundingClientRect();
      const panel = document.querySelector('#steps > li:not([hidden])');
      return {
        title: panel.querySelector('.walk-title').textContent,
        sentence: box(panel.querySelector('.walk-rule')),
        tables: [...panel.querySelectorAll('.walk-tables table')].map((table) => box(table)),
        shown: ['#editor', '#relations', '#output', '#expression', 'header'].filter((selector) =>
          document.querySelector(selector).checkVisibility(),
        ),
      };
    });
  for (const [title, press] of [
    [/^Step 1: Registration/, null],
    [/^Step 2: the outcome of step 1 × Exam/, 'ArrowRight'],
  ]) {
    if (press) await page.keyboard.press(press);
    const seen = await layout();
    assert.match(seen.title, title);
    assert.deepEqual(seen.shown, [], `${title}: shown besides the step`);
    assert.equal(seen.tables.length, 3);
    seen.tables.forEach((table, i) => {
      assert.ok(table.top >= seen.sentence.bottom, `${title}: table ${i} under the sentence`);
      assert.ok(table.right <= 683 && table.bottom <= 512, `${title}: table ${i} on the screen`);
      if (i > 0) assert.ok(table.left > seen.tables[i - 1].right, `${title}: side by side`);
    });
    if (!press) await page.screenshot({ path: path.join(shotsDir, 'present-courses.png') });
  }
  await page.keyboard.press('Escape');
  assert.equal(await page.evaluate(() => document.activeElement.className), 'walk-present');
  assert.ok(await page.isVisible('#editor'), 'the page is back');
  await projector.close();
  assert.deepEqual(log, [], 'errors in the page');
  assertClean();
});

test('printing courses.txt gives every step under its title and the whole input, no control, on 2 A4 pages', async () => {
  const page = await openPage();
  await runExample(page, 'courses.txt');
  await page.emulateMedia({ media: 'print' });
  const printed = await page.evaluate(() => ({
    controls: [...document.querySelectorAll('button, select, input, summary, nav')]
      .filter((node) => node.checkVisibility())
      .map((node) => node.outerHTML.slice(0, 60)),
    titles: [...document.querySelectorAll('.walk-title')]
      .filter((node) => node.checkVisibility())
      .map((node) => node.textContent.split(':')[0]),
    inputWhole: (() => {
      const editor = document.getElementById('editor');
      return editor.checkVisibility() && editor.clientHeight >= editor.scrollHeight;
    })(),
  }));
  assert.deepEqual(printed.controls, [], 'controls printed');
  assert.deepEqual(printed.titles, ['Step 1', 'Step 2', 'Tidy']);
  assert.ok(printed.inputWhole, 'the input printed whole');
  await shootWhole(page, 'print-courses.png');
  const pdf = await page.pdf({ format: 'A4' });
  assert.equal(pdf.toString('latin1').match(/\/Type\s*\/Page\b/g).length, 2, 'A4 pages');
  await page.close();
  assertClean();
});

test('the expression of courses.txt names ⋈, × and Exam in order; its SQL joins as the steps do; Copy as CSV gives result as written', async () => {
  await context.grantPermissions(['clipboard-read', 'clipboard-write']);
  const page = await openPage();
  await runExample(page, 'courses.txt');
  assert.equal(
    await page.textContent('#expression .expression-text'),
    '(Registration \u22c8[course] Course) \u00d7 Exam',
  );
  const sql = await page.textContent('#expression .sql');
  assert.match(sql, /JOIN Course ON Registration\.course = Course\.course\n {2}CROSS JOIN Exam\n/);
  const block = page.locator('#relations .relation.result');
  await block.locator('.copy-as summary').click();
  await block.locator('.copy-formats button', { hasText: 'CSV' }).click();
  await page.waitForFunction(() => document.querySelector('.result .copy-said').textContent);
  // The output file's last block: result's header, an empty line, its rows.
  const written = shown(caseNamed('example courses').output);
  const [header, , ...rows] = written.slice(written.lastIndexOf('result(')).trimEnd().split('\n');
  assert.equal(
    await page.evaluate(() => navigator.clipboard.readText()),
    [/\((.*)\)/.exec(header)[1], ...rows].map((line) => `${line}\r\n`).join(''),
  );
  await page.close();
  await context.clearPermissions();
  assertClean();
});
