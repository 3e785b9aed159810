// The web page's time from a keystroke to lintkeeper's report updated on screen, for a crontab
// of 2,000 lines, in Debian's Chromium driven by puppeteer-core (tests/web's, `npm ci` there).
// Results: bench/web_keystroke.md.
//
// Usage: node bench/web_keystroke.mjs --site build-web/site [--runs 5] [--keys 15]
//                                     [--parts] [--trace FILE] [--floor]
// Each run opens the page afresh, puts in the crontab of the web test (a finding on every
// line), and types --keys characters at the end of line 1,000, one at a time, 150 ms apart,
// waiting for each to be shown. Two figures per keystroke, from the keydown:
//   frame    to the first animation frame after the report is marked up to date (the figure
//            tests/web/site_test.mjs printed before it took the next);
//   painted  to the first task after that frame, when its style, layout and paint are done
//            (the figure tests/web/site_test.mjs prints).
// Prints the median and range of each over all the keystrokes, and each run's median. --parts
// times each of the module's calls, the decoding of its answer and JSON.parse alone, on a
// second instance of the module in the page; --trace writes a Chrome trace of the first run's
// keystrokes, for the Performance panel of DevTools. --floor serves, in place of app.js, a
// script that only marks the report up to date on each input: what the browser itself spends
// on a keystroke in the page's editor holding the crontab, the least the figure can be.
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import {createRequire} from 'node:module';
import {fileURLToPath, pathToFileURL} from 'node:url';
import {parseArgs} from 'node:util';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..');
const require = createRequire(path.join(root, 'tests/web/package.json'));
const {default: puppeteer} = await import(pathToFileURL(require.resolve('puppeteer-core')));

const {values: opts} = parseArgs({options: {site: {type: 'string'},
  runs: {type: 'string', default: '5'}, keys: {type: 'string', default: '15'},
  parts: {type: 'boolean', default: false}, trace: {type: 'string'},
  floor: {type: 'boolean', default: false}}});
if (!opts.site) throw new Error('--site is required');
const runs = Number(opts.runs);
const keys = Number(opts.keys);

// The crontab of tests/web/site_test.mjs's figure.
const lines = Array.from({length: 2000}, (_, i) =>
  i % 10 ? `${i % 60} ${i % 24} * * * root /usr/bin/job-${i} --at %H` : `X${i}=$HOME/x`);
const crontab = `${lines.join('\n')}\n`;

// The page's script for --floor.
const FLOOR_SCRIPT = `'use strict';
const report = document.getElementById('report');
report.setAttribute('aria-busy', 'false');
document.getElementById('crontab').addEventListener('input', () => {
  report.setAttribute('aria-busy', 'true');
  report.setAttribute('aria-busy', 'false');
});
`;

function serve(dir) {
  const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
    '.css': 'text/css', '.wasm': 'application/wasm'};
  const server = http.createServer((request, response) => {
    let file = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    if (file.endsWith('/')) file += 'index.html';
    file = path.join(dir, path.normalize(file));
    if (opts.floor && file === path.join(dir, 'app.js')) {
      response.writeHead(200, {'content-type': 'text/javascript'});
      response.end(FLOOR_SCRIPT);
      return;
    }
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, {'content-type': types[path.extname(file)] || 'text/plain'});
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

const median = (xs) => {
  const s = [...xs].sort((a, b) => a - b);
  return s.length % 2 ? s[(s.length - 1) / 2] : (s[s.length / 2 - 1] + s[s.length / 2]) / 2;
};
const range = (xs) => `${Math.min(...xs).toFixed(1)} to ${Math.max(...xs).toFixed(1)}`;

async function openPage(browser, url) {
  const page = await browser.newPage();
  await page.setViewport({width: 1400, height: 1000});
  await page.goto(url);
  await page.waitForSelector('#report[aria-busy="false"]');
  await page.$eval('#crontab', (e, text) => {
    e.value = text;
    e.dispatchEvent(new Event('input'));
    const end = text.split('\n').slice(0, 1000).join('\n').length;
    e.focus();
    e.setSelectionRange(end, end);
  }, crontab);
  await page.waitForSelector('#report[aria-busy="false"]');
  // Let whatever the page does after the report settle.
  await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 500)));
  return page;
}

async function keystroke(page) {
  await page.evaluate(() => {
    const report = document.getElementById('report');
    window.lkTiming = new Promise((resolve) => {
      let start = 0;
      document.addEventListener('keydown', () => {
        start = performance.now();
      }, {once: true, capture: true});
      new MutationObserver((changes, observer) => {
        if (report.getAttribute('aria-busy') !== 'false') return;
        observer.disconnect();
        requestAnimationFrame(() => {
          const frame = performance.now() - start;
          setTimeout(() => resolve({frame, painted: performance.now() - start}));
        });
      }).observe(report, {attributes: true, attributeFilter: ['aria-busy']});
    });
  });
  await page.keyboard.type('x');
  const time = await page.evaluate(() => window.lkTiming);
  // What the page does after the report (the audit's section) is not in the figure, but it
  // must not run into the next keystroke.
  await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 150)));
  return time;
}

// The module's calls and JSON.parse on their own, on a second instance.
async function parts(page) {
  return page.evaluate(async (text) => {
    const m = await createLintkeeper();
    const encoder = new TextEncoder();
    const decoder = new TextDecoder();
    const call = (name, bytes, args, times) => {
      const packed = encoder.encode(args.map((a) => `${a}\0`).join(''));
      const t = m._malloc(bytes.length + 1);
      const a = m._malloc(packed.length + 1);
      m.HEAPU8.set(bytes, t);
      m.HEAPU8.set(packed, a);
      let at = performance.now();
      const answer = m[name](t, bytes.length, a, packed.length);
      times.call.push(performance.now() - at);
      at = performance.now();
      // A module of before lintkeeper_answer_size is read up to the NUL.
      const json = m._lintkeeper_answer_size
        ? decoder.decode(m.HEAPU8.subarray(answer, answer + m._lintkeeper_answer_size()))
        : m.UTF8ToString(answer);
      times.string.push(performance.now() - at);
      at = performance.now();
      JSON.parse(json);
      times.parse.push(performance.now() - at);
      times.bytes = json.length;
      m._free(t);
      m._free(a);
    };
    const out = {};
    const names = ['_lintkeeper_check', '_lintkeeper_check_changes', '_lintkeeper_audit'];
    for (const [name, args] of names.filter((n) => m[n]).map((n) => [n, ['crontab']])) {
      const times = {call: [], string: [], parse: []};
      for (let i = 0; i < 15; ++i) {
        call(name, encoder.encode(`${text}${'x'.repeat(i)}`), args, times);
      }
      out[name] = times;
    }
    return out;
  }, crontab);
}

const server = await serve(path.resolve(opts.site));
const url = `http://127.0.0.1:${server.address().port}/`;
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'lk-bench-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 120000,
  userDataDir: path.join(tmp, 'profile'),
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const all = {frame: [], painted: []};
  for (let run = 0; run < runs; ++run) {
    const page = await openPage(browser, url);
    if (opts.trace && run === 0) {
      await page.tracing.start({path: opts.trace, screenshots: false,
        categories: ['devtools.timeline', 'disabled-by-default-devtools.timeline', 'v8.execute', 'toplevel',
          'blink.user_timing', 'disabled-by-default-devtools.timeline.frame']});
    }
    const times = [];
    for (let k = 0; k < keys; ++k) times.push(await keystroke(page));
    if (opts.trace && run === 0) await page.tracing.stop();
    for (const key of ['frame', 'painted']) all[key].push(...times.map((t) => t[key]));
    console.log(`run ${run + 1}: frame ${median(times.map((t) => t.frame)).toFixed(1)} ms, ` +
      `painted ${median(times.map((t) => t.painted)).toFixed(1)} ms (medians of ${keys})`);
    if (opts.parts && run === 0) {
      for (const [name, t] of Object.entries(await parts(page))) {
        console.log(`  ${name}: ${(t.bytes / 1024).toFixed(0)} KiB of JSON; call ` +
          `${median(t.call).toFixed(2)} ms, decoding ${median(t.string).toFixed(2)} ms, ` +
          `JSON.parse ${median(t.parse).toFixed(2)} ms (medians of ${t.call.length})`);
      }
    }
    await page.close();
  }
  for (const key of ['frame', 'painted']) {
    console.log(`${key}: median ${median(all[key]).toFixed(1)} ms, ${range(all[key])} ms ` +
      `over ${all[key].length} keystrokes in ${runs} runs`);
  }
} finally {
  await browser.close();
  server.close();
  fs.rmSync(tmp, {recursive: true, force: true});
}
