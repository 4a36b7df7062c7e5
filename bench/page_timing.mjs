// How long the page makes a user wait: for each bench shape, the time from
// Run clicked until Download is enabled and two animation frames have passed
// (the run drawn and painted), against the time of `await
// window.joinrel.run(bytes)` alone, both timed inside the page, the input
// opened as a file as a user opens it; and the longest task that blocked the
// page's main thread (PerformanceObserver 'longtask') from the click until
// the page was idle again. Medians of RUNS runs (default 5) after one
// warm-up; painted/run is the median of each run's own ratio, which holds
// better than the times on a machine that others share. Not a test: it
// checks nothing.
//
// Needs the page built (`cmake --workflow --preset wasm`), make_bench_input
// built (`cmake --build --preset dev --target make_bench_input`), web/'s
// packages (`cd web && npm ci`) and /usr/bin/chromium.
//
//   node bench/page_timing.mjs [SHAPE...]      (default: chain wide echo)
//
// JOINREL_WASM_DIR names another page build (default build/wasm).
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import { createRequire } from 'node:module';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const { chromium } = createRequire(path.join(repo, 'web/package.json'))('playwright-core');
const pageDir = path.resolve(process.env.JOINREL_WASM_DIR ?? path.join(repo, 'build/wasm'));
const makeInput = path.join(repo, 'build/dev/make_bench_input');
const shapes = process.argv.length > 2 ? process.argv.slice(2) : ['chain', 'wide', 'echo'];
const runs = Number(process.env.RUNS ?? 5);

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'page-timing-'));
for (const shape of shapes) {
  execFileSync(makeInput, [shape, '1', '1', path.join(work, `${shape}.txt`)]);
}

// The page's files, and the inputs under /inputs/, on 127.0.0.1.
const types = {
  '.html': 'text/html',
  '.js': 'text/javascript',
  '.wasm': 'application/wasm',
};
const server = http.createServer((request, response) => {
  const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
  const file = name.startsWith('/inputs/')
    ? path.join(work, path.basename(name))
    : path.join(pageDir, path.basename(name));
  if (!fs.existsSync(file)) return response.writeHead(404).end();
  response.writeHead(200, {
    'Content-Type': types[path.extname(file)] ?? 'text/plain',
  });
  fs.createReadStream(file).pipe(response);
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const origin = `http://127.0.0.1:${server.address().port}`;

const args = ['--disable-gpu', '--no-first-run', '--disable-background-networking'];
if (process.getuid?.() === 0) args.push('--no-sandbox');
const browser = await chromium.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  args,
});
const page = await browser.newPage({ viewport: { width: 1280, height: 800 } });
await page.goto(`${origin}/index.html`);
await page.waitForFunction(() => window.joinrel?.ready);
await page.evaluate(() => window.joinrel.ready);

// Runs in the page: the time of window.joinrel.run on the input.
function timeRun(url) {
  return fetch(url)
    .then((response) => response.arrayBuffer())
    .then(async (buffer) => {
      const bytes = new Uint8Array(buffer);
      const start = performance.now();
      await window.joinrel.run(bytes);
      return performance.now() - start;
    });
}

// Runs in the page: clicks Run and times it until Download is enabled plus
// two animation frames; the longest task from the click until the main
// thread has been idle for a second.
function timeClick() {
  const download = document.getElementById('download');
  const tasks = [];
  const observer = new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) tasks.push(entry.duration);
  });
  observer.observe({ type: 'longtask' });
  const frame = () => new Promise((resolve) => requestAnimationFrame(resolve));
  const enabled = new Promise((resolve) => {
    const watch = new MutationObserver(() => {
      if (!download.disabled) {
        watch.disconnect();
        resolve();
      }
    });
    watch.observe(download, { attributes: true });
  });
  const start = performance.now();
  document.getElementById('run').click();
  return enabled
    .then(frame)
    .then(frame)
    .then(async () => {
      const painted = performance.now() - start;
      // Idle for a second: whatever is drawn after the first paint is done.
      for (let quiet = 0; quiet < 1000;) {
        const before = tasks.length;
        await new Promise((resolve) => setTimeout(resolve, 250));
        quiet = tasks.length === before ? quiet + 250 : 0;
      }
      observer.disconnect();
      return { painted, longest: Math.max(0, ...tasks) };
    });
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

console.log('shape      run() ms  painted ms  painted/run  longest task ms');
for (const shape of shapes) {
  const file = path.join(work, `${shape}.txt`);
  const runTimes = [];
  const painted = [];
  const longest = [];
  const ratios = [];
  for (let i = 0; i <= runs; i += 1) {
    // Opened as a file, as a user would: nothing of the last run is shown.
    await page.setInputFiles('#input-file', file);
    await page.waitForFunction(
      (name) => document.getElementById('input-note').textContent.startsWith(name),
      path.basename(file),
    );
    const run = await page.evaluate(timeRun, `/inputs/${shape}.txt`);
    const click = await page.evaluate(timeClick);
    if (i === 0) continue; // the warm-up
    runTimes.push(run);
    painted.push(click.painted);
    longest.push(click.longest);
    ratios.push(click.painted / run);
  }
  const [r, p] = [median(runTimes), median(painted)];
  console.log(
    `${shape.padEnd(10)} ${r.toFixed(0).padStart(8)} ${p.toFixed(0).padStart(11)} ` +
      `${median(ratios).toFixed(2).padStart(12)} ${Math.max(...longest)
        .toFixed(0)
        .padStart(16)}`,
  );
}

await browser.close();
server.close();
fs.rmSync(work, { recursive: true });
