// The web page in a real browser: Debian's Chromium, driven by puppeteer-core, types crontabs
// into the page and sets its options, and the report must be the native lintkeeper's stdout.
//
// Usage: node tests/web/site_test.mjs --site SITE_DIR --native NATIVE_BUILD_DIR --out OUT_DIR
// Serves SITE_DIR from 127.0.0.1 for the run, saves the page's screenshots (light and dark
// colour schemes) into OUT_DIR, prints the time from a keystroke to the updated report for a
// crontab of 2,000 lines, and exits 1 when any check failed. The browser runs with TZ set to
// BROWSER_ZONE, and the page counts the jobs' runs from NOW (its address's ?now=).
import {spawnSync} from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import {fileURLToPath} from 'node:url';
import {parseArgs} from 'node:util';

import puppeteer from 'puppeteer-core';

const {values: opts} = parseArgs({options: {site: {type: 'string'}, native: {type: 'string'},
  out: {type: 'string'}}});
for (const key of ['site', 'native', 'out']) {
  if (!opts[key]) throw new Error(`--${key} is required`);
  opts[key] = path.resolve(opts[key]);
}
const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const casesDir = path.join(root, 'tests/cases');
const example = fs.readFileSync(path.join(root, 'examples/crontab'));
const BROWSER_ZONE = 'America/New_York';
const NOW = '2026-03-26T12:00:00Z';
// Three days before Berlin's clock goes from 02:00 to 03:00.
const NIGHTLY = '30 2 * * * root /usr/bin/nightly\n';

// The kinds only lintkeeper-audit reports, what the page shows apart as what cron will do:
// from the module's table of kinds, which testModule holds to the programs' own lists.
let auditKinds = new Set();

let failures = 0;
let checks = 0;
function check(name, ok, detail = '') {
  ++checks;
  if (ok) return;
  ++failures;
  console.log(`web: FAILED: ${name}${detail ? `\n${detail}` : ''}`);
}
function checkEqual(name, actual, expected) {
  check(name, actual === expected,
    `--- expected\n${JSON.stringify(expected)}\n+++ actual\n${JSON.stringify(actual)}`);
}

// The native program on a crontab written as `name` in a fresh folder.
function runNative(program, args, bytes, name = 'crontab') {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'lk-web-'));
  try {
    fs.writeFileSync(path.join(dir, name), bytes);
    const run = spawnSync(path.join(opts.native, program), args, {cwd: dir});
    return {stdout: run.stdout.toString('utf8'), status: run.status};
  } finally {
    fs.rmSync(dir, {recursive: true, force: true});
  }
}

// A case's options in the short forms the page's controls stand for, or null when the page has
// no control for one of them or the crontab is not named "crontab".
const LONG = {'--user': '-u', '--echo': '-e', '--debug': '-d', '--debug-verbose': '-D',
  '--no-check-passwd': '-n', '--whitelist': '-w', '--fail-warnings': '-f'};
function pageOptions(args) {
  const short = args.map((a) => LONG[a] || a);
  const options = [];
  let named = false;
  for (let i = 0; i < short.length; ++i) {
    if (['-w', '-f'].includes(short[i]) && i + 1 < short.length) {
      options.push(short[i], short[++i]);
    } else if (['-u', '-e', '-d', '-D', '-n'].includes(short[i])) {
      options.push(short[i]);
    } else if (short[i] === 'crontab' && !named) {
      named = true;
    } else {
      return null;
    }
  }
  return named ? options : null;
}

// The cases that name their users (--user, --no-check-passwd or --whitelist), with options the
// page has and text a person can type.
function typableCases() {
  const cases = [];
  for (const name of fs.readdirSync(casesDir).sort()) {
    const read = (file) => fs.readFileSync(path.join(casesDir, name, file));
    const crontab = path.join(casesDir, name, 'crontab');
    if (!fs.existsSync(crontab) || !fs.lstatSync(crontab).isFile()) continue;
    const args = read('args').toString().split('\n').slice(0, -1);
    const options = pageOptions(args);
    const bytes = read('crontab');
    const text = bytes.toString('utf8');
    if (!options || !['-u', '-n', '-w'].some((o) => options.includes(o)) ||
        !Buffer.from(text).equals(bytes) || /[\r\0]/.test(text)) {
      continue;
    }
    cases.push({name, args, options, bytes, text});
  }
  return cases;
}

// --- The page ---

function serve(dir) {
  const types = {'.html': 'text/html; charset=utf-8', '.js': 'text/javascript',
    '.css': 'text/css', '.wasm': 'application/wasm'};
  const server = http.createServer((request, response) => {
    let file = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
    if (file.endsWith('/')) file += 'index.html';
    file = path.join(dir, path.normalize(file));
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

async function idle(page) {
  await page.waitForSelector('#report[aria-busy="false"]');
}

// What the page shows: the report as text, and the exit status it names.
async function shown(page) {
  await idle(page);
  const stdout = await page.$eval('#report', (e) => e.textContent);
  const words = await page.$eval('#status', (e) => e.textContent);
  const m = /^Exit status (\d+):/.exec(words);
  return {stdout, status: m ? Number(m[1]) : null, words};
}

async function typeInto(page, selector, text) {
  await page.$eval(selector, (e) => e.select());
  await page.keyboard.press('Backspace');
  if (text) await page.type(selector, text);
}

async function typeCrontab(page, text) {
  await page.focus('#crontab');
  await typeInto(page, '#crontab', text);
}

async function setOptions(page, options, name = 'crontab') {
  const given = (flag) => options.includes(flag);
  const values = (flag) => options.flatMap((o, i) => (o === flag ? [options[i + 1]] : []));
  await page.click(given('-u') ? 'input[value="user"]' : 'input[value="system"]');
  for (const [flag, id] of [['-e', 'echo'], ['-d', 'debug'], ['-D', 'debug-verbose'],
    ['-n', 'no-check-passwd']]) {
    if (await page.$eval(`#${id}`, (e) => e.checked) !== given(flag)) await page.click(`#${id}`);
  }
  await typeInto(page, '#whitelist', values('-w').join(' '));
  await typeInto(page, '#fail-warnings', values('-f').join(''));
  await typeInto(page, '#file-name', name);
}

async function compareWithNative(page, label, options, bytes, name = 'crontab') {
  const shownNow = await shown(page);
  const native = runNative('lintkeeper', [...options, name], bytes, name);
  checkEqual(`${label}: report`, shownNow.stdout, native.stdout);
  checkEqual(`${label}: exit status`, shownNow.status, native.status);
}

async function testCases(page) {
  let typed = 0;
  for (const c of typableCases()) {
    const native = runNative('lintkeeper', c.args, c.bytes);
    if (!c.options.includes('-n') && native.stdout.includes('USER_NOT_FOUND')) {
      console.log(`web: ${c.name}: skipped, it depends on this machine's users`);
      continue;
    }
    await setOptions(page, c.options);
    await typeCrontab(page, c.text);
    const shownNow = await shown(page);
    checkEqual(`${c.name}: report`, shownNow.stdout, native.stdout);
    checkEqual(`${c.name}: exit status`, shownNow.status, native.status);
    ++typed;
  }
  console.log(`web: ${typed} end-to-end cases typed into the page`);
}

async function testExample(page) {
  await setOptions(page, []);
  await typeCrontab(page, example.toString('utf8'));
  // No password database: backupuser is not reported, unlike on a machine without it.
  checkEqual('example: report without look-up', (await shown(page)).stdout,
    'Checking correctness of crontab\n' +
    'W: 10: BACKUP_DIR=$HOME/backups\n' +
    'w:     SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not expanded.\n' +
    'W: 23: 0 0 * * * root cp /var/log/nginx/access.log /var/log/nginx/access-$(date +%F).log\n' +
    'w:     BARE_PERCENT: A bare % is a line break in crontab and is commonly not intended.\n' +
    'E: 27: 0 24 * * * root df -h | mail -s "disk usage" root\n' +
    'e:     FIELD_VALUE_ERROR: 24 is too high for field "hour" (24)\n' +
    'E: There were 1 errors and 2 warnings.\n');
  checkEqual('example: exit status in words', (await shown(page)).words,
    'Exit status 2: at least one error.');
  checkEqual('example: the gutter marks the lines with findings', JSON.stringify(
    await page.$$eval('#gutter span', (rows) => rows.flatMap((row, i) =>
      (row.className ? [`${i + 1}=${row.textContent} ${row.className}`] : [])))),
  JSON.stringify(['10=10 warning', '23=23 warning', '27=27 error']));
  checkEqual('example: a row of the gutter per line',
    await page.$$eval('#gutter span', (rows) => rows.length),
    example.toString('utf8').split('\n').length);
  for (const options of [['-n'], ['-w', 'backupuser'], ['-e', '-w', 'backupuser'],
    ['-d', '-n', '-f', '20'], ['-D', '-w', 'root', '-w', 'backupuser'], ['-u']]) {
    await setOptions(page, options);
    await compareWithNative(page, `example ${options.join(' ')}`, options, example);
  }
  // The file-name rule applies to the name given.
  await setOptions(page, ['-n'], 'backup.txt');
  await compareWithNative(page, 'example named backup.txt', ['-n'], example, 'backup.txt');
  // A value the command line refuses is refused the same way.
  await setOptions(page, ['-f', 'many']);
  const refused = await shown(page);
  check('a refused option', refused.status === 2 &&
    refused.stdout.startsWith("error: invalid value 'many' for '--fail-warnings <FAIL_WARNINGS>'"),
  refused.stdout);
}

// White space and the characters the debug form escapes come from the generated Unicode
// tables, which the module takes from the native build.
async function testUnicode(page) {
  const text = '*\u00a0* * * * a\u00a0b\u0301c\u200bd\ufeffe\u0085f\u00e9g\u{1F600}h\u2028i\u200ej\n' +
    'X=\u3000y\u2003\n';
  await typeCrontab(page, text);
  for (const options of [['-u', '-d'], ['-u', '-D']]) {
    await setOptions(page, options);
    await compareWithNative(page, `Unicode ${options.join(' ')}`, options, Buffer.from(text));
  }
}

// The audit's findings, shown apart from the report, are lintkeeper-audit's: line, kind, text.
async function cronSection(page) {
  await idle(page);
  await page.waitForSelector('#cron[aria-busy="false"]');
  const items = await page.$$eval('#cron li', (all) => all.map((li) => li.textContent));
  return items.map((item) => {
    const m = /^(?:line (\d+)|The file:) (\w+) (.*)$/s.exec(item);
    return m ? `${m[1] || 1} ${m[2]} ${m[3]}` : item;
  });
}

// The audit's options as the page adds them: the runs listed, from NOW, in the zone.
function auditOptions(options, zone) {
  return [...options, '--next', '5', '--now', NOW, '--time-zone', zone];
}

function nativeCron(options, bytes, zone = BROWSER_ZONE) {
  const run = runNative('lintkeeper-audit',
    ['--format', 'gcc', ...auditOptions(options, zone), 'crontab'], bytes);
  return run.stdout.split('\n').flatMap((line) => {
    const m = /^crontab:(\d+):1: (?:error|warning): (.*) \[(\w+)\]$/.exec(line);
    return m && auditKinds.has(m[3]) ? [`${m[1]} ${m[3]} ${m[2]}`] : [];
  });
}

async function testCron(page) {
  const text = '0 0 30 2 * root /bin/never\n0 0 29 2 * root /bin/leap\n' +
    '0 0 1 * 1 root /bin/either\n*/7 * * * * root /bin/uneven\n0\u00a03 * * * root /bin/nbsp\n';
  await setOptions(page, ['-n']);
  await typeCrontab(page, text);
  const native = nativeCron(['-n'], Buffer.from(text));
  // A rule a line, and two changes of New York's clock for the job every 7 minutes.
  checkEqual('the audit finds a rule a line', native.length, 8);
  checkEqual('what cron will do', JSON.stringify(await cronSection(page)), JSON.stringify(native));
  const report = (await shown(page)).stdout;
  check("the audit's findings stay out of lintkeeper's report",
    ![...auditKinds].some((kind) => report.includes(kind)), report);

  // The same section for another cron: what busybox's crond and cronie do with the lines.
  const other = '0 6 * * 7 backup\n0 2 * * * root /usr/bin/backup\n0 1 * * * date +%F\n' +
    'FOO=bar\n60 3 * * * late\n';
  await setOptions(page, ['-u', '-n']);
  await typeCrontab(page, other);
  for (const cron of ['busybox', 'cronie', 'debian']) {
    await page.select('#cron-name', cron);
    const args = cron === 'debian' ? ['-u', '-n'] : ['--cron', cron, '-u', '-n'];
    const expected = nativeCron(args, Buffer.from(other));
    check(`the audit as ${cron} finds something`, expected.length > 0);
    checkEqual(`what cron will do, as ${cron}`, JSON.stringify(await cronSection(page)),
      JSON.stringify(expected));
  }
}

// The jobs the page shows: the line, the plain words and the runs of each, and the runs as
// written out; or the words shown when there is no job.
async function jobsSection(page) {
  await idle(page);
  await page.waitForSelector('#jobs[aria-busy="false"]');
  return page.$eval('#jobs', (box) => {
    const jobs = [...box.querySelectorAll('.job')];
    if (jobs.length === 0) return {words: box.textContent, jobs: [], runs: []};
    return {
      jobs: jobs.map((job) => ({line: Number(job.querySelector('[data-line]').dataset.line),
        description: job.querySelector('.description').textContent,
        next: [...job.querySelectorAll('time')].map((t) => t.dateTime)})),
      runs: jobs.map((job) => [...job.querySelectorAll('time')].map((t) => t.textContent)),
    };
  });
}

function nativeJobs(options, bytes, zone) {
  const run = runNative('lintkeeper-audit',
    ['--format', 'json', ...auditOptions(options, zone), 'crontab'], bytes);
  return JSON.parse(run.stdout).jobs.map(({line, description, next}) => ({line, description,
    next}));
}

// The jobs and their next runs, in the browser's zone and in one chosen, are lintkeeper-audit's.
async function testJobs(page) {
  checkEqual("the zone is the browser's", await page.$eval('#time-zone', (e) => e.value),
    BROWSER_ZONE);
  await setOptions(page, []);
  await typeCrontab(page, NIGHTLY);
  checkEqual("the jobs in the browser's zone", JSON.stringify((await jobsSection(page)).jobs),
    JSON.stringify(nativeJobs([], Buffer.from(NIGHTLY), BROWSER_ZONE)));

  await page.select('#time-zone', 'Europe/Berlin');
  const berlin = await jobsSection(page);
  checkEqual('the jobs in Europe/Berlin', JSON.stringify(berlin.jobs),
    JSON.stringify(nativeJobs([], Buffer.from(NIGHTLY), 'Europe/Berlin')));
  checkEqual('the runs written out, across the change of the clock', JSON.stringify(berlin.runs),
    JSON.stringify([['Fri 27 Mar 2026, 02:30 +01:00', 'Sat 28 Mar 2026, 02:30 +01:00',
      'Sun 29 Mar 2026, 03:00 +02:00', 'Mon 30 Mar 2026, 02:30 +02:00',
      'Tue 31 Mar 2026, 02:30 +02:00']]));
  checkEqual('what cron will do in Europe/Berlin', JSON.stringify(await cronSection(page)),
    JSON.stringify(nativeCron([], Buffer.from(NIGHTLY), 'Europe/Berlin')));
  checkEqual("the audit's command", await page.$eval('#audit-command', (e) => e.textContent),
    `lintkeeper-audit --next 5 --now ${NOW} --time-zone Europe/Berlin crontab`);

  // Debian's cron ignores the example whole (its line 27); cronie runs the rest.
  await setOptions(page, ['-w', 'backupuser']);
  await typeCrontab(page, example.toString('utf8'));
  checkEqual('no job of the example, as Debian', JSON.stringify(await jobsSection(page)),
    JSON.stringify({words: 'Cron runs no job of this file.', jobs: [], runs: []}));
  checkEqual('no job natively either', nativeJobs(['-w', 'backupuser'], example,
    'Europe/Berlin').length, 0);
  await page.select('#cron-name', 'cronie');
  const expected = nativeJobs(['--cron', 'cronie', '-w', 'backupuser'], example, 'Europe/Berlin');
  checkEqual('the jobs of the example as cronie', expected.length, 9);
  checkEqual('the jobs of the example as cronie, in Europe/Berlin',
    JSON.stringify((await jobsSection(page)).jobs), JSON.stringify(expected));
  await page.select('#cron-name', 'debian');
}

// A zone whose file does not load gives way to UTC, and the page says so.
async function testZoneFallback(browser, url) {
  const page = await browser.newPage();
  try {
    await page.emulateTimezone('Asia/Tokyo');
    await page.setRequestInterception(true);
    page.on('request', (request) => {
      if (request.url().endsWith('/zoneinfo/Asia/Tokyo')) {
        request.respond({status: 404, body: ''});
      } else {
        request.continue();
      }
    });
    await page.goto(url);
    await typeCrontab(page, NIGHTLY);
    const shownJobs = await jobsSection(page);
    checkEqual('a zone that does not load: the note',
      await page.$eval('#zone-note', (e) => (e.hidden ? '' : e.textContent)),
      'The zone Asia/Tokyo could not be loaded (HTTP 404): the runs are shown in UTC.');
    checkEqual('a zone that does not load: the runs in UTC',
      JSON.stringify([await page.$eval('#time-zone', (e) => e.value), shownJobs.jobs]),
      JSON.stringify(['UTC', nativeJobs([], Buffer.from(NIGHTLY), 'UTC')]));
  } finally {
    await page.close();
  }
}

// The module called as the page calls it, on a second instance of it in the page: an export
// with the crontab's bytes and the arguments, each ended by a NUL byte, or lintkeeper_about.
async function callModule(page, name, args = [], text = '') {
  return page.evaluate(async (name, args, text) => {
    window.lkModule = window.lkModule || await createLintkeeper();
    const m = window.lkModule;
    const encoder = new TextEncoder();
    const bytes = encoder.encode(text);
    const packed = encoder.encode(args.map((a) => `${a}\0`).join(''));
    const textAt = m._malloc(bytes.length + 1);
    const argsAt = m._malloc(packed.length + 1);
    m.HEAPU8.set(bytes, textAt);
    m.HEAPU8.set(packed, argsAt);
    const at = name === '_lintkeeper_about' ? m._lintkeeper_about()
      : m[name](textAt, bytes.length, argsAt, packed.length);
    const size = m._lintkeeper_answer_size();
    const answer = new TextDecoder().decode(m.HEAPU8.subarray(at, at + size));
    m._free(textAt);
    m._free(argsAt);
    return JSON.parse(answer);
  }, name, args, text);
}

// lintkeeper_set_zone on the same instance: the zone's name and the bytes of its file.
async function setModuleZone(page, name, bytes) {
  return page.evaluate(async (name, bytes) => {
    window.lkModule = window.lkModule || await createLintkeeper();
    const m = window.lkModule;
    const named = new TextEncoder().encode(name);
    const nameAt = m._malloc(named.length + 1);
    const bytesAt = m._malloc(bytes.length + 1);
    m.HEAPU8.set(named, nameAt);
    m.HEAPU8.set(bytes, bytesAt);
    const at = m._lintkeeper_set_zone(nameAt, named.length, bytesAt, bytes.length);
    const size = m._lintkeeper_answer_size();
    const answer = new TextDecoder().decode(m.HEAPU8.subarray(at, at + size));
    m._free(nameAt);
    m._free(bytesAt);
    return JSON.parse(answer);
  }, name, [...bytes]);
}

// The kinds a program's help lists under a heading, as NAME then blanks.
function helpKinds(program, heading) {
  const help = runNative(program, ['--help'], '').stdout;
  const section = help.split(`\n${heading}\n`)[1] || '';
  const kinds = [];
  for (const line of section.split('\n')) {
    const m = /^ {2}([A-Z][A-Z0-9_]*) /.exec(line);
    if (!m) break;
    kinds.push(m[1]);
  }
  return kinds;
}

// What the module says of the programs is what they say: the version, the exit statuses, the
// kinds and which program reports each; their help and version are the programs' own.
async function testModule(page) {
  const about = await callModule(page, '_lintkeeper_about');
  checkEqual('the version', `lintkeeper ${about.version}`,
    runNative('lintkeeper', ['--version'], '').stdout.trim());
  const help = runNative('lintkeeper', ['--help'], '').stdout;
  const statuses = help.split('\nExit status:\n')[1].split('\n\n')[0];
  checkEqual('the exit statuses', about.exit_statuses.map((s) => `  ${s.status}  ${s.meaning}\n`)
    .join(''), `${statuses}\n`);

  const audited = helpKinds('lintkeeper-audit', 'Kinds:');
  const checked = helpKinds('lintkeeper', 'Message kinds:');
  check("lintkeeper's help lists its kinds", checked.length > 10, JSON.stringify(checked));
  checkEqual('the kinds are those of the audit',
    JSON.stringify(about.kinds.filter((k) => k.audit).map((k) => k.name).sort()),
    JSON.stringify([...audited].sort()));
  const wrong = about.kinds.filter((k) => k.audit_only !== (k.audit && !k.lintkeeper) ||
    (checked.includes(k.name) && !k.lintkeeper)).map((k) => k.name);
  checkEqual('the kinds lintkeeper reports', JSON.stringify(wrong), '[]');
  auditKinds = new Set(about.kinds.filter((k) => k.audit_only).map((k) => k.name));
  check('the kinds only the audit reports',
    auditKinds.size > 0 && checked.every((kind) => !auditKinds.has(kind)),
  [...auditKinds].join(' '));

  // lintkeeper's report as its lines, and as the changes from one answer to the next.
  const text = example.toString('utf8');
  const full = await callModule(page, '_lintkeeper_check', ['-n', 'crontab'], text);
  const native = runNative('lintkeeper', ['-n', 'crontab'], example);
  checkEqual('the report as its lines', full.report.map((p) => p.text).join(''), native.stdout);
  checkEqual('the status of the report', full.status, native.status);
  checkEqual('the lines of the report that show findings', JSON.stringify(full.report
    .filter((p) => p.kind).map((p) => `${p.line} ${p.kind} ${p.severity}`)),
  JSON.stringify(full.findings.map((f) => `${f.line} ${f.kind} ${f.severity}`)));
  check('each finding of the report is the line of its kind and text', full.findings.length > 3 &&
    full.report.filter((p) => p.kind).every((p, i) => p.text.includes(full.findings[i].kind) &&
      p.text.includes(full.findings[i].text)), JSON.stringify(full));
  check('each line with findings has a header that names it', full.findings.every((f) =>
    f.line === 0 || full.report.some((p) => p.severity && !p.kind && p.line === f.line &&
      p.text.includes(` ${f.line}: `))), JSON.stringify(full.report));
  const lines = text.split('\n');
  const inserted = [...lines.slice(0, 12), '0 24 * * * root /bin/late', '61 * * * * root x',
    ...lines.slice(12)].join('\n');
  let report = [];
  let findings = [];
  const apply = (list, changes) => {
    for (const {at, removed, added} of changes) {
      list = [...list.slice(0, at), ...added, ...list.slice(at + removed)];
    }
    return list;
  };
  for (const [label, args, crontab] of [['the example', ['-n', 'crontab'], text],
    ['lines put in', ['-n', 'crontab'], inserted],
    ['a line changed', ['-n', 'crontab'], inserted.replace('/bin/late', '/bin/later %')],
    ['lines taken out', ['-n', 'crontab'], text], ['other options', ['-e', 'crontab'], text],
    ['options refused', ['-f', 'many', 'crontab'], text], ['the example again', ['crontab'], text],
    ['another crontab', ['crontab'], '* * * * * root x\n'], ['none', ['crontab'], '']]) {
    const changes = await callModule(page, '_lintkeeper_check_changes', args, crontab);
    const whole = await callModule(page, '_lintkeeper_check', args, crontab);
    report = apply(report, changes.report_changes);
    findings = apply(findings, changes.findings_changes);
    checkEqual(`the changes of the report: ${label}`, JSON.stringify(report),
      JSON.stringify(whole.report));
    checkEqual(`the changes of the findings: ${label}`, JSON.stringify(findings),
      JSON.stringify(whole.findings));
    checkEqual(`the changes' status and refusal: ${label}`,
      JSON.stringify([changes.status, changes.stderr]),
      JSON.stringify([whole.status, whole.stderr]));
    if (label === 'a line changed') {
      // Its header and the summary change, and a finding comes in: only lines about it and
      // the summary are sent, and of the findings only its own.
      const sent = changes.report_changes.flatMap((c) => c.added);
      check('a line changed: only its lines of the report are sent', sent.length >= 3 &&
        sent.every((p) => p.line === 13 || (p.line === undefined && p.text.includes('There were'))),
      JSON.stringify(changes.report_changes));
      const found = changes.findings_changes.flatMap((c) => c.added);
      check('a line changed: only its findings are sent',
        found.length > 0 && found.every((f) => f.line === 13), JSON.stringify(found));
    }
  }

  // The zone handed in is the one the audit reads: its zone and jobs are lintkeeper-audit's.
  const berlin = fs.readFileSync('/usr/share/zoneinfo/Europe/Berlin');
  checkEqual('a zone handed to the module',
    JSON.stringify(await setModuleZone(page, 'Europe/Berlin', berlin)), '{"zone":"Europe/Berlin"}');
  const zoneArgs = [...auditOptions([], 'Europe/Berlin'), 'crontab'];
  const zoned = await callModule(page, '_lintkeeper_audit', zoneArgs, NIGHTLY);
  const nativeAudit = JSON.parse(runNative('lintkeeper-audit', ['--format', 'json', ...zoneArgs],
    Buffer.from(NIGHTLY)).stdout);
  checkEqual("the audit's zone and jobs through the module",
    JSON.stringify([zoned.time_zone, zoned.jobs]),
    JSON.stringify([nativeAudit.time_zone, nativeAudit.jobs]));
  checkEqual('bytes that are no zone file',
    JSON.stringify(await setModuleZone(page, 'Europe/Berlin', berlin.subarray(0, 60))),
    '{"error":"the file ends inside its data"}');
  const unheld = await callModule(page, '_lintkeeper_audit', zoneArgs, NIGHTLY);
  checkEqual('no zone is held after them',
    JSON.stringify([unheld.status, unheld.stderr.split(' (os error')[0]]),
    JSON.stringify([2, "error: invalid value 'Europe/Berlin' for '--time-zone <ZONE>': " +
      '/usr/share/zoneinfo/Europe/Berlin: No such file or directory']));

  // The audit's findings carry their fixes as lintkeeper-audit's JSON report has them, and
  // lintkeeper_fix makes the safe ones.
  const fixArgs = ['-w', 'root', 'crontab'];
  const withFixes = `${FIXABLE}0 3 * * * root echo 50%\n`;
  const nativeFixes = JSON.parse(runNative('lintkeeper-audit', ['--format', 'json', ...fixArgs],
    Buffer.from(withFixes)).stdout).files.flatMap((file) => file.findings)
    .map((f) => [f.line ?? 0, f.kind, f.fix]);
  check('the native fixes, safe and unsafe', JSON.stringify(nativeFixes).includes('"unsafe"') &&
    JSON.stringify(nativeFixes).includes('"safe"'), JSON.stringify(nativeFixes));
  checkEqual("the audit's fixes through the module", JSON.stringify((await callModule(page,
    '_lintkeeper_audit', fixArgs, withFixes)).findings.map((f) => [f.line, f.kind, f.fix])),
  JSON.stringify(nativeFixes));
  checkEqual('the safe fixes made by the module',
    JSON.stringify(await callModule(page, '_lintkeeper_fix', fixArgs, withFixes)),
    JSON.stringify({status: 2, stderr: '', edits: 2,
      text: `${FIXED}0 3 * * * root echo 50%\n`, bytes: []}));

  for (const [program, name] of [['lintkeeper', '_lintkeeper_check'],
    ['lintkeeper-audit', '_lintkeeper_audit']]) {
    for (const args of [['--help'], ['-h'], ['--version']]) {
      const native = runNative(program, args, '');
      const answer = await callModule(page, name, args);
      const label = `${program} ${args[0]} through the module`;
      checkEqual(`${label}: stdout`, answer.stdout, native.stdout);
      checkEqual(`${label}: exit status`, answer.status, 0);
      checkEqual(`${label}: native exit status`, native.status, 0);
    }
  }
}

// Files opened with the picker or dropped on the page: a file the editor cannot hold exactly
// (carriage returns) is checked byte for byte.
async function testOpenFiles(page, tmp) {
  const crlf = fs.readFileSync(path.join(casesDir, 'crlf_line_ends/crontab'));
  fs.writeFileSync(path.join(tmp, 'crlf'), crlf);
  await setOptions(page, ['-e', '-w', 'root']);
  await (await page.$('#file')).uploadFile(path.join(tmp, 'crlf'));
  await page.waitForFunction(() => document.getElementById('file-name').value === 'crlf');
  await compareWithNative(page, 'opened file with CRLF', ['-e', '-w', 'root'], crlf, 'crlf');
  check('a note says the file is checked as opened',
    await page.$eval('#bytes-note', (e) => !e.hidden));
  check('carriage returns reach what cron will do',
    (await cronSection(page)).some((f) => f.includes('CARRIAGE_RETURN')));

  const dropped = '1 2 3 4 5 nobody /bin/dropped\n';
  await setOptions(page, ['-n']);
  await page.$eval('#crontab', (editor, text) => {
    const data = new DataTransfer();
    data.items.add(new File([text], 'dropped.cron'));
    editor.dispatchEvent(new DragEvent('dragover', {dataTransfer: data, bubbles: true}));
    editor.dispatchEvent(new DragEvent('drop', {dataTransfer: data, bubbles: true,
      cancelable: true}));
  }, dropped);
  await page.waitForFunction(() => document.getElementById('file-name').value === 'dropped.cron');
  await compareWithNative(page, 'dropped file', ['-n'], Buffer.from(dropped), 'dropped.cron');
}

// A crontab with a carriage return and a no-break space between two fields, each with a safe
// fix, and what the safe fixes make of it.
const FIXABLE = '0 1 * * * root /bin/x\r\n0\u00a02 * * * root /bin/y\n';
const FIXED = '0 1 * * * root /bin/x\n0 2 * * * root /bin/y\n';

// The fixes of the audit's findings as the page lists them, once the audit is shown.
async function fixesSection(page) {
  await idle(page);
  await page.waitForSelector('#fixes[aria-busy="false"]');
  return page.$eval('#fixes', (box) => {
    const items = [...box.querySelectorAll('li')].map((li) => li.textContent);
    return items.length ? items : [box.textContent];
  });
}

const applyDisabled = (page) => page.$eval('#apply-fixes', (button) => button.disabled);

// The button makes the safe fixes in the editor, in the bytes of a file as opened, and the
// checks run again on the text fixed; it is disabled when no safe fix is left.
async function testFixes(page, tmp) {
  const folder = path.join(tmp, 'fixes');
  fs.mkdirSync(folder);
  fs.writeFileSync(path.join(folder, 'crontab'), FIXABLE);
  await setOptions(page, ['-w', 'root'], 'other');
  await (await page.$('#file')).uploadFile(path.join(folder, 'crontab'));
  await page.waitForFunction(() => document.getElementById('file-name').value === 'crontab');
  checkEqual('the fixes listed', JSON.stringify(await fixesSection(page)), JSON.stringify([
    'line 1 CARRIAGE_RETURN Cron keeps the carriage return at the end of this line: the command ' +
      'ends in it. Safe fix: Remove the carriage return',
    'line 2 CRON_REJECTS Cron refuses this line: bad day-of-week. Safe fix: Part the fields ' +
      'with spaces']));
  checkEqual('the button with safe fixes to make', await applyDisabled(page), false);
  await page.click('#apply-fixes');
  await page.waitForFunction(() => !document.getElementById('crontab').value.includes('\u00a0'));
  checkEqual('the editor after the safe fixes', await page.$eval('#crontab', (e) => e.value),
    FIXED);
  check('the text fixed is checked as the editor holds it',
    await page.$eval('#bytes-note', (e) => e.hidden));
  await compareWithNative(page, 'the crontab fixed', ['-w', 'root'], Buffer.from(FIXED));
  checkEqual('no fix after the safe fixes', JSON.stringify(await fixesSection(page)),
    JSON.stringify(['No finding of the audit has a fix.']));
  const zone = await page.$eval('#time-zone', (e) => e.value);
  checkEqual('the findings fixed are gone', JSON.stringify(await cronSection(page)),
    JSON.stringify(nativeCron(['-w', 'root'], Buffer.from(FIXED), zone)));
  checkEqual('the edits made', await page.$eval('#fix-state', (e) => e.textContent),
    'Made 2 edits.');
  checkEqual('the button without a safe fix', await applyDisabled(page), true);

  // An unsafe fix is shown, and not made: the button stays disabled. busybox takes a % as it
  // is, and has no fix for it.
  await setOptions(page, ['-u', '-w', 'root'], 'crontab');
  await typeCrontab(page, '0 1 * * * echo 50%\n');
  checkEqual('an unsafe fix listed', JSON.stringify(await fixesSection(page)), JSON.stringify([
    'line 1 BARE_PERCENT A bare % is a line break in crontab and is commonly not intended. ' +
      'Unsafe fix: Escape each bare % as \\%']));
  checkEqual('the button with only an unsafe fix', await applyDisabled(page), true);
  await page.select('#cron-name', 'busybox');
  checkEqual('no fix of a % for busybox', JSON.stringify(await fixesSection(page)),
    JSON.stringify(['No finding of the audit has a fix.']));
  await page.select('#cron-name', 'debian');
  await setOptions(page, ['-w', 'root'], 'crontab');

  // Bytes that are not UTF-8 stay as they are: the file is still checked byte for byte.
  const latin1 = Buffer.from('0 1 * * * root /bin/x\r\n# caf\xe9\n', 'latin1');
  fs.writeFileSync(path.join(folder, 'latin1'), latin1);
  await (await page.$('#file')).uploadFile(path.join(folder, 'latin1'));
  await page.waitForFunction(() => document.getElementById('file-name').value === 'latin1');
  await fixesSection(page);
  await page.click('#apply-fixes');
  await page.waitForFunction(() => document.getElementById('fix-state').textContent !== '');
  const fixed = Buffer.from('0 1 * * * root /bin/x\n# caf\xe9\n', 'latin1');
  await compareWithNative(page, 'the fixes of a file that is not UTF-8', ['-w', 'root'], fixed,
    'latin1');
  check('a file not UTF-8 is still checked as opened after its fixes',
    await page.$eval('#bytes-note', (e) => !e.hidden));
  checkEqual('the carriage return of a file not UTF-8 is gone',
    JSON.stringify(await cronSection(page)),
    JSON.stringify(nativeCron(['-w', 'root'], fixed, zone)));
}

// The share link carries the crontab and the options; another page opened on it shows the same.
async function testShare(browser, page, url) {
  await setOptions(page, ['-u', '-e', '-w', 'alice', '-w', 'bob', '-f', '1'], 'jobs');
  await typeCrontab(page, '# shared\n*/5 * * * * echo "50% done" \u00e9t\u00e9\n');
  const before = await shown(page);
  await page.click('#share');
  await page.waitForFunction(() => document.getElementById('share-link').value !== '');
  const link = await page.$eval('#share-link', (e) => e.value);
  check('the share link keeps everything after #',
    link.startsWith(`${url}#`) && new URL(link).search === new URL(url).search, link);
  const other = await browser.newPage();
  await other.goto(link);
  checkEqual('shared report', (await shown(other)).stdout, before.stdout);
  checkEqual('shared crontab', await other.$eval('#crontab', (e) => e.value),
    await page.$eval('#crontab', (e) => e.value));
  checkEqual('shared command', await other.$eval('#command', (e) => e.textContent),
    'lintkeeper -u -e -w alice -w bob -f 1 jobs');
  await other.close();
}

// Every control has a name, and the keyboard alone reaches a line from the report.
async function testKeyboard(page) {
  const unnamed = await page.$$eval('input, textarea, button, [role="button"]', (controls) =>
    controls.filter((c) => c.type !== 'file' && !c.closest('[hidden]') &&
      !(c.labels && c.labels.length) && !c.getAttribute('aria-label') &&
      !c.getAttribute('aria-labelledby') && !(c.tagName === 'BUTTON' && c.textContent.trim()))
      .map((c) => c.outerHTML));
  checkEqual('controls without a label', JSON.stringify(unnamed), '[]');

  await setOptions(page, []);
  await typeCrontab(page, 'A=1\n\t0 24 * * * root x\n');
  checkEqual('Tab types a tab', await page.$eval('#crontab', (e) => e.value),
    'A=1\n\t0 24 * * * root x\n');
  await page.keyboard.press('Escape');
  await page.keyboard.press('Tab');
  check('Esc then Tab leaves the editor',
    await page.evaluate(() => document.activeElement.id !== 'crontab'));
  await idle(page);
  // The line numbers are buttons the keyboard reaches and presses, with Enter or Space.
  for (const key of ['Enter', 'Space']) {
    await page.focus('#crontab');
    await page.keyboard.press('Escape');
    let steps = 0;
    while (steps++ < 40 && !await page.evaluate(() =>
      document.activeElement.matches('#report [role="button"][data-line="2"]'))) {
      await page.keyboard.press('Tab');
    }
    await page.keyboard.press(key);
    checkEqual(`a line number of the report selects the line (${key})`,
      await page.evaluate(() => {
        const e = document.activeElement;
        return `${e.id} ${e.selectionStart}-${e.selectionEnd}`;
      }), 'crontab 4-22');
  }
}

// As cronie, which runs the example's jobs: every section has something to show.
async function screenshots(page) {
  await setOptions(page, []);
  await page.select('#cron-name', 'cronie');
  await page.click('#example');
  await page.waitForFunction(() => document.getElementById('crontab').value.startsWith('# /etc'));
  await jobsSection(page);
  for (const scheme of ['light', 'dark']) {
    await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: scheme}]);
    const file = path.join(opts.out, `web-${scheme}.png`);
    await page.screenshot({path: file, fullPage: true});
    console.log(`web: screenshot ${file}`);
  }
  await page.emulateMediaFeatures([{name: 'prefers-color-scheme', value: 'light'}]);
  await page.select('#cron-name', 'debian');
}

// The time from a keystroke to the report updated on screen, for 2,000 lines: from the
// keydown to the start of the first frame after the report is marked up to date, and to the
// first task after that frame, when its style, layout and paint are done. Keystrokes at a
// typist's pace, so that what the page does after the report (the audit) is done before the
// next. Printed only.
async function timeLargeCrontab(page) {
  const lines = Array.from({length: 2000}, (_, i) =>
    i % 10 ? `${i % 60} ${i % 24} * * * root /usr/bin/job-${i} --at %H` : `X${i}=$HOME/x`);
  await setOptions(page, []);
  // Typed at the end of line 1,000, a job with a message: its line of the report changes.
  await page.$eval('#crontab', (e, text) => {
    e.value = text;
    e.dispatchEvent(new Event('input'));
    const end = text.split('\n').slice(0, 1000).join('\n').length;
    e.focus();
    e.setSelectionRange(end, end);
  }, `${lines.join('\n')}\n`);
  await idle(page);
  const times = [];
  for (let i = 0; i < 9; ++i) {
    await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 150)));
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
    times.push(await page.evaluate(() => window.lkTiming));
  }
  const figure = (key) => {
    const sorted = times.map((t) => t[key]).sort((x, y) => x - y);
    return `${sorted[4].toFixed(1)} ms (${sorted[0].toFixed(1)} to ${sorted[8].toFixed(1)})`;
  };
  console.log(`web: 2000 lines, from a keystroke to the updated report: ${figure('frame')} to ` +
    `the frame that shows it, ${figure('painted')} to that frame painted (medians of 9)`);

  // The report, changed line by line, is still the program's: after the keystrokes, after a
  // line with an error put in before them, and after it is taken out again.
  const sameAsNative = async (label) => {
    const text = await page.$eval('#crontab', (e) => e.value);
    checkEqual(`2000 lines: ${label}`, (await shown(page)).stdout,
      runNative('lintkeeper', ['crontab'], text).stdout);
    return text;
  };
  check('2000 lines: the keystrokes reach line 1,000',
    (await sameAsNative('the report after the keystrokes')).split('\n')[999] ===
    `${lines[999]}${'x'.repeat(9)}`);
  await page.keyboard.press('Home');
  await page.keyboard.type('0 24 * * * root /bin/late\n');
  await sameAsNative('the report with a line put in');
  await page.keyboard.down('Shift');
  await page.keyboard.press('ArrowUp');
  await page.keyboard.up('Shift');
  await page.keyboard.press('Backspace');
  check('2000 lines: the line is taken out',
    (await sameAsNative('the report with the line taken out')).split('\n')[999] ===
    `${lines[999]}${'x'.repeat(9)}`);
}

const server = await serve(opts.site);
const site = `http://127.0.0.1:${server.address().port}/`;
const url = `${site}?now=${NOW}`;
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'lk-web-browser-'));
const browser = await puppeteer.launch({
  executablePath: '/usr/bin/chromium',
  headless: true,
  protocolTimeout: 60000,
  userDataDir: path.join(tmp, 'profile'),
  env: {...process.env, TZ: BROWSER_ZONE},
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(error.message));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  const requests = [];
  page.on('request', (request) => requests.push(`${request.method()} ${request.url()}`));
  await page.setViewport({width: 1400, height: 1000});
  await page.goto(url);
  const opened = await shown(page);
  const native = runNative('lintkeeper', ['-w', 'backupuser', 'crontab'], example);
  checkEqual('the example is checked on opening', opened.stdout, native.stdout);
  checkEqual('the version shown', await page.$eval('#footer-version', (e) => e.textContent),
    runNative('lintkeeper', ['--version'], '').stdout.trim());

  await testModule(page);

  await testExample(page);
  await testCases(page);
  await testUnicode(page);
  await testCron(page);
  await testJobs(page);
  await testZoneFallback(browser, url);
  await testOpenFiles(page, tmp);
  await testFixes(page, tmp);
  await testShare(browser, page, url);
  await testKeyboard(page);
  await screenshots(page);
  await timeLargeCrontab(page);
  checkEqual('errors in the page', JSON.stringify(errors), '[]');
  // Nothing leaves the browser: the page only fetches the site's files, of the zones only the
  // list and each zone chosen.
  checkEqual('requests other than for the files of the site', JSON.stringify(requests.filter(
    (r) => !r.startsWith(`GET ${site}`) && !r.startsWith('GET data:'))), '[]');
  checkEqual('the zone files fetched', JSON.stringify(requests.filter((r) =>
    r.startsWith(`GET ${site}zoneinfo/`)).map((r) => r.slice(`GET ${site}`.length))),
  JSON.stringify(['zoneinfo/zones.json', `zoneinfo/${BROWSER_ZONE}`, 'zoneinfo/Europe/Berlin']));
} finally {
  await browser.close();
  server.close();
  fs.rmSync(tmp, {recursive: true, force: true});
}
console.log(`web: ${checks - failures} of ${checks} checks passed`);
process.exit(failures ? 1 : 0);
