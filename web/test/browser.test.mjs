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
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const buildDir = path.resolve(process.env.JOINREL_WASM_DIR ?? path.join(repo, 'build/wasm'));
const shotsDir = path.join(buildDir, 'browser-test');

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
function serve(root) {
  const server = http.createServer((request, response) => {
    const file = path.join(root, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    const inside = file === root || file.startsWith(root + path.sep);
    const target = inside && fs.existsSync(file) && fs.statSync(file).isDirectory() ? path.join(file, 'index.html') : file;
    if (request.method !== 'GET' || !inside || !fs.existsSync(target)) {
      response.writeHead(404).end();
      return;
    }
    const type = mimeTypes[path.extname(target)] ?? 'application/octet-stream';
    response.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
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
    assert.ok(fs.existsSync(path.join(buildDir, file)), `${file} is missing in ${buildDir}: build the wasm preset first`);
  }
  fs.mkdirSync(shotsDir, { recursive: true });
  server = await serve(buildDir);
  origin = `http://127.0.0.1:${server.address().port}`;
  const args = ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
    '--disable-component-update', '--disable-sync'];
  if (process.getuid?.() === 0) args.push('--no-sandbox');
  // Playwright starts the browser with a fresh profile folder of its own.
  browser = await chromium.launch({ executablePath: '/usr/bin/chromium', headless: true, args });
  context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1000, height: 800 } });
  context.setDefaultTimeout(hangGuard);
  const local = (url) => url.startsWith(`${origin}/`) || url === pathToFileURL(path.join(buildDir, 'joinrel.html')).href ||
    url.startsWith('blob:') || url.startsWith('data:');
  context.on('request', (request) => {
    if (!local(request.url())) outsideRequests.push(request.url());
  });
  await context.route('**/*', (route) => (local(route.request().url()) ? route.continue() : route.abort()));
  context.on('weberror', (error) => errors.push(`uncaught: ${error.error().message}`));
  context.on('console', (message) => {
    if (message.type() === 'error') errors.push(`console: ${message.text()}`);
  });
  context.on('page', (page) => {
    page.on('pageerror', (error) => errors.push(`page error: ${error.message}`));
    page.on('worker', (worker) => worker.on('console', (message) => {
      if (message.type() === 'error') errors.push(`worker console: ${message.text()}`);
    }));
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});

// What the page logged so far, to explain a failure.
const logged = () => (errors.length ? `; the page logged: ${[...new Set(errors)].join(' | ')}` : '');

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
async function openPage(url = `${origin}/index.html`) {
  const page = await context.newPage();
  await page.goto(url);
  await guarded(page.waitForFunction(() => typeof window.joinrel?.run === 'function'), `opening ${url}`);
  return page;
}

// window.joinrel.run on `input`; its byte arrays, which must come as
// Uint8Array or null, come back as Buffers.
async function runScript(page, input) {
  const answer = await guarded(page.evaluate(async (base64) => {
    const toBytes = (text) => Uint8Array.from(atob(text), (char) => char.charCodeAt(0));
    const toBase64 = (bytes) => {
      let text = '';
      for (let k = 0; k < bytes.length; k += 0x8000) text += String.fromCharCode(...bytes.subarray(k, k + 0x8000));
      return btoa(text);
    };
    const result = await window.joinrel.run(toBytes(base64));
    const bytesOrNull = (value) => (value instanceof Uint8Array ? toBase64(value) : value === null ? null : 'not bytes');
    return { ...result, console: bytesOrNull(result.console), output: bytesOrNull(result.output) };
  }, input.toString('base64')), 'window.joinrel.run');
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

// Opens the input through the file input, runs it with Run and checks the
// status line, the console, the marked line and the Download button's bytes.
async function runControls(c) {
  const page = await openPage();
  await page.setInputFiles('#input-file', { name: c.fileName, mimeType: 'text/plain', buffer: c.input });
  // The page reads the file after its change event: Run comes once the editor shows it.
  const firstLine = shown(c.input).split(/\r?\n/)[0];
  if (firstLine) {
    await page.waitForFunction((text) => {
      const editor = document.getElementById('editor');
      return (editor.value ?? editor.textContent).includes(text);
    }, firstLine);
  }
  await page.click('#run');
  const message = shown(c.stdout).split('\n')[0];
  const finished = c.status === 0 ? 'done' : message;
  try {
    await page.waitForFunction((text) => document.getElementById('status').textContent.includes(text), finished);
  } catch {
    throw new Stuck(`the status never showed "${finished}": it shows "${await page.textContent('#status')}"${logged()}`);
  }
  if (c.status === 0) assert.match(await page.textContent('#status'), new RegExp(`\\b${c.status}\\b`), 'status');
  assert.equal(await page.textContent('#console'), shown(c.stdout), 'console');
  const marked = await page.$$eval('.marked-line', (nodes) => nodes.map((node) => Number(node.dataset.line)));
  assert.deepEqual(marked, c.line === null ? [] : [c.line], 'marked lines');
  if (c.output === null) {
    assert.ok(!(await page.isEnabled('#download')) || !(await page.isVisible('#download')), 'Download offered without an output');
  } else {
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download')]);
    assert.deepEqual(fs.readFileSync(await download.path()), c.output, 'downloaded output');
    const stem = c.fileName.replace(/\.txt$/, '');
    assert.ok(download.suggestedFilename().startsWith(stem), `download named ${download.suggestedFilename()}`);
  }
  return page;
}

test('the file input, Run and Download give what the command line gives', async (t) => {
  await eachCase(t, async (c) => {
    const page = await runControls(c);
    // The whole page for the company example, the top of it for a message.
    const shot = { 'example company': 'company.png', 'case row_too_many_cells': 'message.png' }[c.name];
    if (shot) {
      await page.evaluate(() => window.scrollTo(0, 0));
      await page.screenshot({ path: path.join(shotsDir, shot), fullPage: shot === 'company.png' });
    }
    await page.close();
  });
  assertClean();
});

test('the examples picker offers every bundled example', async () => {
  const page = await openPage();
  const offered = (await page.$$eval('#examples option', (options) => options.map((o) => `${o.value} ${o.textContent}`))).join('\n');
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
  await guarded(page.evaluate((base64) => {
    const bytes = Uint8Array.from(atob(base64), (char) => char.charCodeAt(0));
    window.longRun = 'running';
    window.joinrel.run(bytes).then(() => { window.longRun = 'finished'; }, () => { window.longRun = 'cancelled'; });
  }, big.toString('base64')), 'starting the long run');
  // A script call is answered, and rightly, while the long run goes on.
  const company = caseNamed('example company');
  assert.deepEqual((await runScript(page, company.input)).output, company.output, 'output during the long run');
  assert.equal(await page.evaluate(() => window.longRun), 'running', 'the long run ended before Cancel');
  const engines = [...workers];
  assert.ok(engines.length > 0, 'the engine runs in no Web Worker');
  const stopped = Promise.any(engines.map((worker) => new Promise((resolve) => worker.once('close', resolve))));
  await page.click('#cancel');
  await guarded(stopped, 'the cancelled run\'s worker');
  // The cancelled run never gives a result, and the next run still works.
  assert.deepEqual((await runScript(page, company.input)).output, company.output, 'output after Cancel');
  assert.notEqual(await page.evaluate(() => window.longRun), 'finished', 'the cancelled run gave a result');
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
