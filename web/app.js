// The page's script: runs lintkeeper's WebAssembly module on the crontab as it is typed, and
// shows its report, its exit status, what cron will do with the file, the fixes of the audit's
// findings (and makes the safe ones) and when each job runs. Everything shown comes from the
// module's answers as data: the report as its lines, the findings with their fixes, the jobs
// with their runs, and the programs' version, exit statuses and kinds.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const form = $('options');
  const editor = $('crontab');
  const gutter = $('gutter');
  const report = $('report');
  const statusLine = $('status');
  const cron = $('cron');
  const jobsBox = $('jobs');
  const fixesBox = $('fixes');
  const applyButton = $('apply-fixes');
  const zoneSelect = $('time-zone');
  const fileName = $('file-name');
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();

  let lintkeeper = null;  // the module, once loaded
  // What the module says of the programs: the words of each exit status, and the kinds that
  // only lintkeeper-audit reports, which the section of what cron will do shows.
  const exitWords = new Map();
  const auditOnly = new Set();
  // A file as opened, checked byte for byte until the editor is changed: the editor cannot
  // hold its carriage returns or its bytes that are not UTF-8.
  let openedBytes = null;

  // Calls an export of the module on the crontab's bytes with the arguments of a command
  // line, and returns its JSON answer.
  function call(name, bytes, args) {
    return callWith(name, bytes, encoder.encode(args.map((a) => `${a}\0`).join('')));
  }

  // Calls an export with each array of bytes as its address and size.
  function callWith(name, ...arrays) {
    const at = arrays.map((bytes) => lintkeeper._malloc(bytes.length + 1));
    try {
      arrays.forEach((bytes, i) => lintkeeper.HEAPU8.set(bytes, at[i]));
      return answer(lintkeeper[name](...arrays.flatMap((bytes, i) => [at[i], bytes.length])));
    } finally {
      for (const address of at) lintkeeper._free(address);
    }
  }

  // The module's last answer, which it holds until the next call, of the size it gives.
  function answer(at) {
    const size = lintkeeper._lintkeeper_answer_size();
    return JSON.parse(decoder.decode(lintkeeper.HEAPU8.subarray(at, at + size)));
  }

  // The options as the form holds them, read again once it changes (forgetOptions).
  let formOptions = null;

  function forgetOptions() {
    formOptions = null;
  }

  function options() {
    formOptions = formOptions || {
      user: form.elements.kind.value === 'user',
      echo: $('echo').checked,
      debug: $('debug').checked,
      debugVerbose: $('debug-verbose').checked,
      noCheckPasswd: $('no-check-passwd').checked,
      whitelist: $('whitelist').value.split(/\s+/).filter(Boolean),
      failWarnings: $('fail-warnings').value.trim(),
      name: fileName.value,
      cron: $('cron-name').value,
    };
    return formOptions;
  }

  // The arguments as they would be typed: flags, then the crontab's name.
  function lintkeeperArgs(o) {
    const args = [];
    if (o.user) args.push('-u');
    if (o.echo) args.push('-e');
    if (o.debug) args.push('-d');
    if (o.debugVerbose) args.push('-D');
    if (o.noCheckPasswd) args.push('-n');
    for (const name of o.whitelist) args.push('-w', name);
    if (o.failWarnings !== '') args.push('-f', o.failWarnings);
    return [...args, ...nameArgs(o.name)];
  }

  // The audit lists the jobs with their next runs, from the instant the address names
  // (?now=, an RFC 3339 date and time) or else now, in the zone the module holds.
  const NEXT_RUNS = 5;
  const pageNow = new URLSearchParams(location.search).get('now');

  function auditArgs(o) {
    const args = [];
    if (o.cron !== 'debian') args.push('--cron', o.cron);
    if (o.user) args.push('-u');
    if (o.noCheckPasswd) args.push('-n');
    for (const name of o.whitelist) args.push('-w', name);
    args.push('--next', String(NEXT_RUNS));
    if (pageNow !== null) args.push('--now', pageNow);
    if (zone.held) args.push('--time-zone', zone.held);
    return [...args, ...nameArgs(o.name)];
  }

  function nameArgs(name) {
    return name.startsWith('-') ? ['--', name] : [name];
  }

  function shellWord(word) {
    return /^[A-Za-z0-9_@%+=:,./-]+$/.test(word) ? word : `'${word.replace(/'/g, `'\\''`)}'`;
  }

  function element(tag, className, ...children) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    e.append(...children);
    return e;
  }

  // A button to a line of the editor. Not a <button>: a report holds one a line with findings,
  // and the browser walks every form control of the page on each keystroke in the editor.
  function lineButton(line, label) {
    const button = element('span', 'line-button', label);
    button.dataset.line = line;
    button.setAttribute('role', 'button');
    button.tabIndex = 0;
    button.setAttribute('aria-label', `Go to line ${line}`);
    return button;
  }

  // --- The report: a node per line of it, each a part of the module's report: its text, and
  // for a line about a line of the crontab or the file, its line number, severity and, for a
  // finding, its kind. The module answers what changed since its last answer, so that a
  // keystroke touches only the lines that changed. The lines are held in chunks of about
  // CHUNK, which the browser lays out and paints only when they are near the visible part of
  // the report (style.css). The refusal of the options, if any, comes first.

  const CHUNK = 64;
  const refusal = element('span', 'stderr');
  const reportLines = element('div', 'lines');
  report.append(refusal, reportLines);
  let shownNodes = [];

  // A line of the report. A line's header names its line number, which becomes a button to
  // the line; the severity of a line or a finding is its class.
  function partNode(part) {
    if (!part.severity) return element('span', '', part.text);
    const role = part.kind === undefined ? 'head' : 'finding';
    const node = element('span', `${role} ${part.severity}`);
    const number = String(part.line);
    const at = role === 'head' && part.line > 0 ? part.text.indexOf(number) : -1;
    if (at < 0) {
      node.textContent = part.text;
    } else {
      node.append(element('span', 'mark', part.text.slice(0, at)), lineButton(part.line, number),
        part.text.slice(at + number.length));
    }
    return node;
  }

  function fragment(nodes) {
    const content = document.createDocumentFragment();
    for (const node of nodes) content.append(node);
    return content;
  }

  function newChunk(nodes) {
    const chunk = element('div', 'chunk');
    chunk.append(fragment(nodes));
    return chunk;
  }

  // Inserts the nodes before next, in its chunk, or at the end of the box (the report's lines,
  // or the list of jobs).
  function insertLines(box, nodes, next, touched) {
    if (next) {
      next.parentNode.insertBefore(fragment(nodes), next);
      touched.add(next.parentNode);
      return;
    }
    let at = 0;
    const last = box.lastElementChild;
    if (last && last.childElementCount < CHUNK) {
      at = CHUNK - last.childElementCount;
      last.append(fragment(nodes.slice(0, at)));
      touched.add(last);
    }
    const added = document.createDocumentFragment();
    for (; at < nodes.length; at += CHUNK) {
      const chunk = newChunk(nodes.slice(at, at + CHUNK));
      touched.add(chunk);
      added.append(chunk);
    }
    box.append(added);
  }

  // Chunks that lost all their lines go, those that grew past twice CHUNK are split, and each
  // is told how many lines it holds, its height while it is not laid out.
  function settleChunks(touched) {
    for (const chunk of touched) {
      const count = chunk.childElementCount;
      if (count === 0) {
        chunk.remove();
        continue;
      }
      if (count > 2 * CHUNK) {
        const moved = [...chunk.children].slice(CHUNK);
        let after = chunk;
        for (let at = 0; at < moved.length; at += CHUNK) {
          const piece = newChunk(moved.slice(at, at + CHUNK));
          piece.style.setProperty('--lines', piece.childElementCount);
          after.after(piece);
          after = piece;
        }
      }
      chunk.style.setProperty('--lines', chunk.childElementCount);
    }
  }

  // Applies the module's changes to a list: each takes `removed` elements out from `at` and
  // puts `added` in their place, after replace(list, at, removed, added) is told.
  function applyChanges(list, changes, replace) {
    for (const {at, removed, added} of changes) {
      replace(list, at, removed, added);
      if (removed === added.length) {
        for (let i = 0; i < removed; ++i) list[at + i] = added[i];
      } else {
        list = list.slice(0, at).concat(added, list.slice(at + removed));
      }
    }
    return list;
  }

  // Puts the nodes added in place of the nodes removed from at, in the box's chunks.
  function replaceLines(box, nodes, at, removed, added, touched) {
    const kept = Math.min(removed, added.length);
    for (let i = 0; i < kept; ++i) nodes[at + i].replaceWith(added[i]);
    for (let i = kept; i < removed; ++i) {
      touched.add(nodes[at + i].parentNode);
      nodes[at + i].remove();
    }
    if (added.length > kept) {
      insertLines(box, added.slice(kept), nodes[at + removed] || null, touched);
    }
  }

  function renderReport(changes) {
    const touched = new Set();
    const made = changes.map((c) => ({...c, added: c.added.map(partNode)}));
    shownNodes = applyChanges(shownNodes, made, (nodes, at, removed, added) =>
      replaceLines(reportLines, nodes, at, removed, added, touched));
    settleChunks(touched);
  }

  function setText(node, text) {
    if (node.textContent !== text) node.textContent = text;
  }

  function renderStatus(result) {
    const className = `status s${result.status}`;
    if (statusLine.className !== className) statusLine.className = className;
    setText(statusLine, result.stderr
      ? `Exit status ${result.status}: the options are not accepted, as said below.`
      : `Exit status ${result.status}: ${exitWords.get(result.status) || 'unknown'}.`);
  }

  // --- The gutter: a row per line of the editor, kept from one check to the next; a row of a
  // line with findings has the class of its worst. The findings are the module's, kept as its
  // changes say.

  const gutterRows = [];
  let gutterMarks = [];
  let shownFindings = [];

  function renderGutter(changes, count) {
    shownFindings = applyChanges(shownFindings, changes, () => {});
    const marks = new Array(count + 1).fill('');
    for (const f of shownFindings) {
      if (f.line > 0 && f.line <= count && marks[f.line] !== 'error') marks[f.line] = f.severity;
    }
    const rows = gutterRows.length;
    if (rows < count) {
      const added = document.createDocumentFragment();
      while (gutterRows.length < count) {
        const row = element('span', '', String(gutterRows.length + 1));
        gutterRows.push(row);
        added.append(row);
      }
      gutter.append(added);
    }
    while (gutterRows.length > count) gutterRows.pop().remove();
    for (let line = 1; line <= count; ++line) {
      if (marks[line] !== (gutterMarks[line] || '')) gutterRows[line - 1].className = marks[line];
    }
    gutterMarks = marks;
    // Rows added or taken away change how far the gutter scrolls: it follows the editor again
    // when the page is next laid out.
    if (rows !== count) {
      requestAnimationFrame(() => {
        gutter.scrollTop = editor.scrollTop;
      });
    }
  }

  function lineCount(text) {
    let count = 1;
    for (let at = text.indexOf('\n'); at >= 0; at = text.indexOf('\n', at + 1)) ++count;
    return count;
  }

  // --- What cron will do: the findings of the audit of the kinds only it reports.

  let shownCron = '';

  function renderCron(audit) {
    const findings = audit.findings.filter((f) => auditOnly.has(f.kind));
    const key = audit.stderr ? '\0' : JSON.stringify(findings);
    if (key === shownCron) return;
    shownCron = key;
    if (audit.stderr) {
      cron.replaceChildren(element('p', '', 'Not run: the options are not accepted.'));
      return;
    }
    if (findings.length === 0) {
      cron.replaceChildren(element('p', '', 'Nothing to add: cron loads every line of this ' +
        'file, and each schedule runs as written.'));
      return;
    }
    const items = findings.map((f) => element('li', f.severity,
      ...(f.line > 0 ? [lineButton(f.line, `line ${f.line}`), ' '] : ['The file: ']),
      element('span', 'kind', f.kind), ` ${f.text}`));
    cron.replaceChildren(element('ul', '', ...items));
  }

  // --- The fixes: every finding of the audit that has one, with what it does and whether it
  // is safe. The button makes the edits of the safe ones in the crontab; it is enabled only
  // when there is such an edit to make.

  let shownFixes = '';

  function fixNode(fix) {
    const node = element('span', `fix ${fix.safety}`,
      element('span', 'safety', fix.safety === 'safe' ? 'Safe fix' : 'Unsafe fix'),
      `: ${fix.description}`);
    if (fix.command !== null) node.append(': ', element('code', 'fix-command', fix.command));
    return node;
  }

  function renderFixes(audit) {
    const findings = audit.findings.filter((f) => f.fix !== null);
    applyButton.disabled = !findings.some((f) => f.fix.safety === 'safe' && f.fix.edits.length);
    const key = audit.stderr ? '\0' : JSON.stringify(findings);
    if (key === shownFixes) return;
    shownFixes = key;
    if (audit.stderr) {
      fixesBox.replaceChildren(element('p', '', 'Not run: the options are not accepted.'));
      return;
    }
    if (findings.length === 0) {
      fixesBox.replaceChildren(element('p', '', 'No finding of the audit has a fix.'));
      return;
    }
    const items = findings.map((f) => element('li', f.fix.safety,
      ...(f.line > 0 ? [lineButton(f.line, `line ${f.line}`), ' '] : ['The file: ']),
      element('span', 'kind', f.kind), ` ${f.text} `, fixNode(f.fix)));
    fixesBox.replaceChildren(element('ul', '', ...items));
  }

  // The crontab with the safe fixes made, as the module makes them for the options shown, put
  // in the editor and checked again.
  function applyFixes() {
    const r = request();
    if (!r || !lintkeeper) return;
    const result = call('_lintkeeper_fix', r.bytes, auditArgs(r.o));
    if (result.stderr) {
      setText($('fix-state'), 'Not made: the options are not accepted.');
      return;
    }
    const bytes = result.text !== null ? encoder.encode(result.text)
      : Uint8Array.from(result.bytes);
    const scroll = editor.scrollTop;
    loadBytes(bytes, r.o.name);
    editor.scrollTop = scroll;
    changed();
    setText($('fix-state'), result.edits === 1 ? 'Made 1 edit.' : `Made ${result.edits} edits.`);
  }

  // --- When each job runs: its schedule in plain words and its next runs, in the zone of the
  // audit. The jobs are shown as a list, a node per job, kept while the job is the same, held
  // in chunks as the report's lines are.

  const WEEKDAYS = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
  const MONTHS = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov',
    'Dec'];
  const jobsList = element('div', 'job-list');
  jobsList.setAttribute('role', 'list');
  let shownJobs = [];  // the key of each job shown, and its node
  let jobsWords = '';  // what is shown instead of the list, when there is no job

  // A run as the audit gives it, RFC 3339 with its offset, written out in its own zone's time:
  // "Sun 29 Mar 2026, 03:00 +02:00".
  function runNode(text) {
    const m = /^(\d{4})-(\d\d)-(\d\d)T(\d\d):(\d\d):(\d\d)(Z|[+-]\d\d:\d\d)$/.exec(text);
    const node = element('time', '');
    node.dateTime = text;
    if (!m) {
      node.textContent = text;
      return node;
    }
    const [year, month, day] = [m[1], m[2], m[3]].map(Number);
    const weekday = WEEKDAYS[new Date(Date.UTC(year, month - 1, day)).getUTCDay()];
    const seconds = m[6] === '00' ? '' : `:${m[6]}`;
    node.append(`${weekday} ${day} ${MONTHS[month - 1]} ${m[1]}, ${m[4]}:${m[5]}${seconds} `,
      element('span', 'offset', m[7] === 'Z' ? '+00:00' : m[7]));
    return node;
  }

  function jobNode(job, zoneName) {
    const head = element('p', 'job-head', lineButton(job.line, `line ${job.line}`), ' ',
      element('code', 'schedule', job.schedule));
    if (job.user !== null) head.append(' as ', element('span', 'user', job.user));
    head.append(' ', element('code', 'job-command', job.command));
    const words = element('p', 'description', job.description);
    if (job.time_zone !== zoneName) words.append(` (in ${job.time_zone})`);
    const runs = job.next.length === 0 ? element('p', 'runs', 'No times to list.')
      : element('ol', 'runs', ...job.next.map((at) => element('li', '', runNode(at))));
    runs.setAttribute('aria-label', 'Next runs');
    const node = element('div', 'job', head, words, runs);
    node.setAttribute('role', 'listitem');
    return node;
  }

  function showJobsWords(words) {
    shownJobs = [];
    if (words === jobsWords) return;
    jobsWords = words;
    jobsList.replaceChildren();
    jobsBox.replaceChildren(element('p', '', words));
  }

  // The jobs that differ from those shown replace them: what is alike at both ends is kept.
  function renderJobs(audit) {
    if (audit.stderr) {
      showJobsWords('Not run: the options are not accepted.');
      return;
    }
    const zoneName = audit.time_zone.name;
    const jobs = audit.jobs.map((job) => [`${job.line}\0${job.user}\0${job.schedule}\0` +
      `${job.command}\0${job.description}\0${job.time_zone}\0${zoneName}\0${job.next}`, job]);
    if (jobs.length === 0) {
      showJobsWords('Cron runs no job of this file.');
      return;
    }
    if (jobsWords !== '' || !jobsBox.contains(jobsList)) {
      jobsWords = '';
      jobsBox.replaceChildren(jobsList);
    }
    const was = shownJobs.length;
    const is = jobs.length;
    let start = 0;
    while (start < was && start < is && shownJobs[start][0] === jobs[start][0]) ++start;
    let end = 0;
    while (end < was - start && end < is - start &&
      shownJobs[was - 1 - end][0] === jobs[is - 1 - end][0]) {
      ++end;
    }
    const made = jobs.slice(start, is - end).map(([key, job]) => [key, jobNode(job, zoneName)]);
    const touched = new Set();
    replaceLines(jobsList, shownJobs.map(([, node]) => node), start, was - end - start,
      made.map(([, node]) => node), touched);
    settleChunks(touched);
    shownJobs = [...shownJobs.slice(0, start), ...made, ...shownJobs.slice(was - end)];
  }

  // --- The time zone of the runs: the browser's own, unless another is chosen. The site holds
  // the zone files (zoneinfo/, and their list zones.json); only the chosen zone's is fetched,
  // and handed to the module, whose audit reads it as /usr/share/zoneinfo/NAME. A zone that is
  // not among them or does not load gives way to UTC, and the page says so.

  const browserZone = (() => {
    try {
      return Intl.DateTimeFormat().resolvedOptions().timeZone || '';
    } catch {
      return '';
    }
  })();
  const zone = {
    links: {},         // the names whose file is another name's
    files: new Map(),  // the fetches of zone files, by file
    held: '',          // the zone the module holds, '' for none (the audit is then in UTC)
    ready: false,      // false while a zone is being fetched
    asked: 0,          // the number of the last zone chosen
  };

  function setZoneNote(words) {
    const note = $('zone-note');
    note.hidden = words === '';
    setText(note, words);
  }

  function zoneBytes(name) {
    const file = zone.links[name] || name;
    if (!zone.files.has(file)) {
      const address = `zoneinfo/${file.split('/').map(encodeURIComponent).join('/')}`;
      zone.files.set(file, fetch(address).then(async (response) => {
        if (!response.ok) throw new Error(`HTTP ${response.status}`);
        return new Uint8Array(await response.arrayBuffer());
      }).catch((error) => {
        zone.files.delete(file);
        throw error;
      }));
    }
    return zone.files.get(file);
  }

  // Hands the zone's file to the module, then audits again; UTC in place of a zone that does
  // not load.
  async function useZone(name, note = '') {
    const asked = ++zone.asked;
    zone.ready = false;
    setBusy(cron, true);
    setBusy(jobsBox, true);
    let failure = '';
    try {
      const bytes = await zoneBytes(name);
      if (asked !== zone.asked) return;  // another zone was chosen meanwhile
      failure = callWith('_lintkeeper_set_zone', encoder.encode(name), bytes).error || '';
    } catch (error) {
      failure = error.message || String(error);
    }
    if (asked !== zone.asked) return;
    if (failure && name !== 'UTC') {
      zoneSelect.value = 'UTC';
      useZone('UTC', `The zone ${name} could not be loaded (${failure}): the runs are shown ` +
        'in UTC.');
      return;
    }
    zone.held = failure ? '' : name;
    setZoneNote(failure ? `No zone could be loaded (${failure}): the runs are shown in UTC.`
      : note);
    zone.ready = true;
    queueAudit();
  }

  // The list of zones, then the browser's zone, or UTC when the site has no file of it.
  async function startZones() {
    let list;
    try {
      const response = await fetch('zoneinfo/zones.json');
      if (!response.ok) throw new Error(`HTTP ${response.status}`);
      list = await response.json();
    } catch (error) {
      zoneSelect.replaceChildren(new Option('UTC', ''));
      setZoneNote(`The list of zones could not be loaded (${error.message}): the runs are ` +
        'shown in UTC.');
      zone.ready = true;
      queueAudit();
      return;
    }
    zone.links = list.links;
    $('zone-data').textContent = `with the zone data of tzdata ${list.version}`;
    zoneSelect.replaceChildren(...list.zones.map((name) =>
      new Option(name === browserZone ? `${name} (your browser's)` : name, name)));
    zoneSelect.disabled = false;
    const shipped = list.zones.includes(browserZone);
    zoneSelect.value = shipped ? browserZone : 'UTC';
    let note = '';
    if (!shipped) {
      note = browserZone ? `Your browser's time zone, ${browserZone}, is not among the zones ` +
        'of this page: the runs are shown in UTC.'
        : 'Your browser names no time zone: the runs are shown in UTC.';
    }
    useZone(zoneSelect.value, note);
  }

  // --- Checking: at once when the crontab or an option changes, so that the report is
  // there for the next frame; the audit after that frame is painted.

  // Each change is numbered, and each view notes the change it shows.
  let change = 0;
  let checked = 0;
  let checkQueued = false;
  let auditQueued = false;
  let lastCost = 0;  // of the last check, in milliseconds

  function setBusy(node, busy) {
    const value = busy ? 'true' : 'false';
    if (node.getAttribute('aria-busy') !== value) node.setAttribute('aria-busy', value);
  }

  // The crontab's text and bytes and the options, or null when the options cannot be run:
  // read once a change, for the check and the audit.
  let requested = null;

  function request() {
    if (requested && requested.change === change) return requested.r;
    const o = options();
    const text = editor.value;
    const r = o.name.includes('/') ? null : {o, text, bytes: openedBytes || encoder.encode(text)};
    requested = {change, r};
    return r;
  }

  function check() {
    checkQueued = false;
    const began = performance.now();
    checked = change;
    const r = request();
    if (!r) {
      fileName.setAttribute('aria-invalid', 'true');
      statusLine.className = 'status s2';
      statusLine.textContent = 'The file name is a name alone, without "/".';
      setBusy(report, false);
      setBusy(cron, false);
      setBusy(fixesBox, false);
      setBusy(jobsBox, false);
      return;
    }
    fileName.removeAttribute('aria-invalid');
    const args = lintkeeperArgs(r.o);
    setText($('command'), ['lintkeeper', ...args].map(shellWord).join(' '));
    const result = call('_lintkeeper_check_changes', r.bytes, args);
    setText(refusal, result.stderr);
    renderReport(result.report_changes);
    renderStatus(result);
    renderGutter(result.findings_changes, lineCount(r.text));
    setBusy(report, false);
    lastCost = performance.now() - began;
    queueAudit();
  }

  // The audit runs once the report is painted, when the page is idle, and only for the last
  // change.
  function queueAudit() {
    if (auditQueued) return;
    auditQueued = true;
    requestAnimationFrame(() => {
      if (typeof requestIdleCallback === 'function') {
        requestIdleCallback(audit, {timeout: 250});
      } else {
        setTimeout(audit);
      }
    });
  }

  // Once a zone is held: the zone's load queues it again.
  function audit() {
    auditQueued = false;
    if (checkQueued || checked !== change) return;  // the next check queues it again
    if (!zone.ready) return;
    const r = request();
    if (r) {
      const args = auditArgs(r.o);
      const result = call('_lintkeeper_audit', r.bytes, args);
      renderCron(result);
      renderFixes(result);
      renderJobs(result);
      setText($('audit-command'), ['lintkeeper-audit', ...args].map(shellWord).join(' '));
    }
    setBusy(cron, false);
    setBusy(fixesBox, false);
    setBusy(jobsBox, false);
  }

  // Checks again once however many changes come together: in this task when the last check
  // was quick, else at the next frame.
  function schedule() {
    ++change;
    setBusy(report, true);
    setBusy(cron, true);
    setBusy(fixesBox, true);
    setBusy(jobsBox, true);
    if (checkQueued || !lintkeeper) return;
    checkQueued = true;
    if (lastCost < 12) {
      queueMicrotask(check);
    } else {
      requestAnimationFrame(check);
    }
  }

  // Puts a crontab into the editor. Bytes the editor cannot hold exactly are kept and
  // checked as they are until the text is edited.
  function loadBytes(bytes, name) {
    let text;
    let exact = true;
    try {
      text = new TextDecoder('utf-8', {fatal: true, ignoreBOM: true}).decode(bytes);
    } catch {
      text = new TextDecoder('utf-8', {ignoreBOM: true}).decode(bytes);
      exact = false;
    }
    editor.value = text;
    exact = exact && editor.value === text;
    openedBytes = exact ? null : bytes;
    const note = $('bytes-note');
    note.hidden = exact;
    note.textContent = exact ? '' : 'This file holds carriage returns or bytes that are not ' +
      'UTF-8, which the editor cannot show as they are: it is checked as opened, byte for ' +
      'byte, until you edit it.';
    fileName.value = name;
    forgetOptions();
    editor.scrollTop = 0;
    schedule();
  }

  async function openFile(file) {
    loadBytes(new Uint8Array(await file.arrayBuffer()), file.name);
    changed();
  }

  async function loadExample() {
    const response = await fetch('examples/crontab');
    if (!response.ok) throw new Error(`examples/crontab: ${response.status}`);
    loadBytes(new Uint8Array(await response.arrayBuffer()), 'crontab');
  }

  // The share link: the options and the crontab, compressed when the browser can, after the
  // "#" so that no server ever sees them.
  const FLAGS = [['u', null], ['e', 'echo'], ['d', 'debug'], ['D', 'debug-verbose'],
    ['n', 'no-check-passwd']];

  function toBase64url(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) {
      binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    }
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }

  function fromBase64url(text) {
    const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  async function transform(bytes, stream) {
    const piped = new Blob([bytes]).stream().pipeThrough(stream);
    return new Uint8Array(await new Response(piped).arrayBuffer());
  }

  async function shareLink() {
    const o = options();
    const params = new URLSearchParams();
    for (const [key, id] of FLAGS) {
      if (id ? $(id).checked : o.user) params.set(key, '1');
    }
    if (o.whitelist.length) params.set('w', o.whitelist.join(' '));
    if (o.failWarnings) params.set('f', o.failWarnings);
    if (o.name !== 'crontab') params.set('name', o.name);
    if (o.cron !== 'debian') params.set('cron', o.cron);
    const bytes = openedBytes || encoder.encode(editor.value);
    if (typeof CompressionStream === 'function') {
      params.set('z', toBase64url(await transform(bytes, new CompressionStream('deflate-raw'))));
    } else {
      params.set('t', toBase64url(bytes));
    }
    const url = `${location.href.split('#')[0]}#${params}`;
    history.replaceState(null, '', url);
    $('share-link').value = url;
    $('share-box').hidden = false;
    let state = 'Copied to the clipboard.';
    try {
      await navigator.clipboard.writeText(url);
    } catch {
      state = 'Copy it from the field.';
    }
    $('share-state').textContent = state;
  }

  // Loads a shared crontab and its options; false when the address carries none.
  async function loadShared() {
    const params = new URLSearchParams(location.hash.slice(1));
    if (!params.has('z') && !params.has('t')) return false;
    let bytes;
    try {
      bytes = params.has('z')
        ? await transform(fromBase64url(params.get('z')), new DecompressionStream('deflate-raw'))
        : fromBase64url(params.get('t'));
    } catch {
      statusLine.textContent = 'The share link is damaged: it holds no crontab.';
      return false;
    }
    for (const [key, id] of FLAGS) {
      if (id) $(id).checked = params.get(key) === '1';
    }
    form.elements.kind.value = params.get('u') === '1' ? 'user' : 'system';
    $('whitelist').value = params.get('w') || '';
    $('fail-warnings').value = params.get('f') || '';
    $('cron-name').value = ['cronie', 'busybox'].includes(params.get('cron')) ? params.get('cron')
      : 'debian';
    loadBytes(bytes, params.get('name') || 'crontab');
    return true;
  }

  // The version, the meaning of each exit status and the kinds only the audit reports.
  function readAbout() {
    const about = answer(lintkeeper._lintkeeper_about());
    $('version').textContent = about.version;
    $('footer-version').textContent = `lintkeeper ${about.version}`;
    for (const s of about.exit_statuses) exitWords.set(s.status, s.meaning);
    for (const k of about.kinds) {
      if (k.audit_only) auditOnly.add(k.name);
    }
  }

  function goToLine(line) {
    const text = editor.value;
    let start = 0;
    for (let n = 1; n < line; ++n) {
      const feed = text.indexOf('\n', start);
      if (feed < 0) break;
      start = feed + 1;
    }
    const feed = text.indexOf('\n', start);
    editor.focus();
    editor.setSelectionRange(start, feed < 0 ? text.length : feed);
    const height = parseFloat(getComputedStyle(editor).lineHeight);
    editor.scrollTop = Math.max(0, (line - 1) * height - editor.clientHeight / 3);
  }

  function onLineButton(event) {
    const button = event.target.closest('[data-line]');
    if (button) goToLine(Number(button.dataset.line));
  }

  // Enter and Space press a line button, as they do a <button>.
  function onLineButtonKey(event) {
    if (event.key !== 'Enter' && event.key !== ' ') return;
    if (!event.target.closest('[data-line]')) return;
    event.preventDefault();
    onLineButton(event);
  }

  // Tab types a tab, as crontabs use them; after Esc it moves on, as everywhere else.
  let tabLeaves = false;
  editor.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') {
      tabLeaves = true;
      return;
    }
    const plainTab = event.key === 'Tab' && !event.shiftKey && !event.ctrlKey &&
      !event.altKey && !event.metaKey;
    if (plainTab && !tabLeaves) {
      event.preventDefault();
      if (!document.execCommand('insertText', false, '\t')) {
        editor.setRangeText('\t', editor.selectionStart, editor.selectionEnd, 'end');
        editor.dispatchEvent(new Event('input'));
      }
    }
    tabLeaves = false;
  });
  // A change makes a share link stale: it goes, from the page and from the address.
  function changed() {
    setText($('fix-state'), '');
    $('share-box').hidden = true;
    if (location.hash) history.replaceState(null, '', location.pathname + location.search);
    schedule();
  }

  editor.addEventListener('input', () => {
    if (openedBytes) {
      openedBytes = null;
      $('bytes-note').hidden = true;
    }
    changed();
  });
  editor.addEventListener('scroll', () => {
    gutter.scrollTop = editor.scrollTop;
  });
  for (const type of ['input', 'change']) {
    for (const control of [form, $('cron-name')]) {
      control.addEventListener(type, () => {
        forgetOptions();
        changed();
      });
    }
  }
  form.addEventListener('submit', (event) => event.preventDefault());
  for (const box of [report, cron, fixesBox, jobsBox]) {
    box.addEventListener('click', onLineButton);
    box.addEventListener('keydown', onLineButtonKey);
  }
  $('open').addEventListener('click', () => $('file').click());
  $('file').addEventListener('change', () => {
    const file = $('file').files[0];
    if (file) openFile(file);
    $('file').value = '';
  });
  $('example').addEventListener('click', () => {
    loadExample().then(changed, (error) => {
      statusLine.textContent = `The example could not be loaded: ${error.message}`;
    });
  });
  $('share').addEventListener('click', shareLink);
  applyButton.addEventListener('click', applyFixes);
  zoneSelect.addEventListener('change', () => useZone(zoneSelect.value));

  const carriesFiles = (event) => event.dataTransfer && [...event.dataTransfer.types].includes('Files');
  document.addEventListener('dragover', (event) => {
    if (!carriesFiles(event)) return;
    event.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', (event) => {
    if (!event.relatedTarget) document.body.classList.remove('dragging');
  });
  document.addEventListener('drop', (event) => {
    document.body.classList.remove('dragging');
    const file = event.dataTransfer && event.dataTransfer.files[0];
    if (!file) return;
    event.preventDefault();
    openFile(file);
  });
  window.addEventListener('hashchange', () => loadShared());

  async function start() {
    try {
      lintkeeper = await createLintkeeper();
      readAbout();
      startZones();
      if (!(await loadShared())) await loadExample();
      schedule();
    } catch (error) {
      statusLine.className = 'status s2';
      statusLine.textContent = `lintkeeper could not start: ${error.message || error}. ` +
        'The page must be served over HTTP (see the README), not opened as a file.';
    }
  }
  start();
})();
