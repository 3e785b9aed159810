// The page's script: runs lintkeeper's WebAssembly module on the crontab as it is typed, and
// shows its report, its exit status and what cron will do with the file.
'use strict';

(() => {
  const $ = (id) => document.getElementById(id);
  const form = $('options');
  const editor = $('crontab');
  const gutter = $('gutter');
  const report = $('report');
  const statusLine = $('status');
  const cron = $('cron');
  const fileName = $('file-name');
  const encoder = new TextEncoder();

  let lintkeeper = null;  // the module, once loaded
  // A file as opened, checked byte for byte until the editor is changed: the editor cannot
  // hold its carriage returns or its bytes that are not UTF-8.
  let openedBytes = null;
  let exitWords = {};  // the meaning of each exit status, from lintkeeper --help
  let scheduled = false;
  let gutterKey = '';

  // Calls an export of the module on the crontab's bytes with the arguments of a command
  // line, and returns its JSON answer.
  function call(name, bytes, args) {
    const packed = encoder.encode(args.map((a) => a + '\0').join(''));
    const text = lintkeeper._malloc(bytes.length + 1);
    const argv = lintkeeper._malloc(packed.length + 1);
    try {
      lintkeeper.HEAPU8.set(bytes, text);
      lintkeeper.HEAPU8.set(packed, argv);
      const answer = lintkeeper[name](text, bytes.length, argv, packed.length);
      return JSON.parse(lintkeeper.UTF8ToString(answer));
    } finally {
      lintkeeper._free(text);
      lintkeeper._free(argv);
    }
  }

  function options() {
    return {
      user: form.elements.kind.value === 'user',
      echo: $('echo').checked,
      debug: $('debug').checked,
      debugVerbose: $('debug-verbose').checked,
      noCheckPasswd: $('no-check-passwd').checked,
      whitelist: $('whitelist').value.split(/\s+/).filter(Boolean),
      failWarnings: $('fail-warnings').value.trim(),
      name: fileName.value,
    };
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

  function auditArgs(o) {
    const args = [];
    if (o.user) args.push('-u');
    if (o.noCheckPasswd) args.push('-n');
    for (const name of o.whitelist) args.push('-w', name);
    return [...args, ...nameArgs(o.name)];
  }

  function nameArgs(name) {
    return name.startsWith('-') ? ['--', name] : [name];
  }

  function shellWord(word) {
    return /^[A-Za-z0-9_@%+=:,./-]+$/.test(word) ? word : `'${word.replace(/'/g, `'\\''`)}'`;
  }

  function escapeHtml(text) {
    return text.replace(/[&<>"]/g, (c) => ({'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;'})[c]);
  }

  function lineButton(line, label) {
    return `<button type="button" data-line="${line}" aria-label="Go to line ${line}">${label}</button>`;
  }

  // One line of the report, with its line feed, from its key: the text, after \0 for standard
  // error, or after \1 when its line number leads to a line with messages.
  function reportLine(key) {
    if (key.startsWith('\0')) return `<span class="stderr">${escapeHtml(key.slice(1))}</span>`;
    let html;
    const numbered = /^\u0001([EW]): (\d+)(: [^]*)$/.exec(key);
    const marked = /^([EW]):( [^]*)$/.exec(key);
    const message = /^([ew]):/.exec(key);
    if (numbered) {
      const [, letter, line, rest] = numbered;
      html = `<span class="${letter}">${letter}:</span> ${lineButton(line, line)}${escapeHtml(rest)}`;
    } else if (marked) {
      html = `<span class="${marked[1]}">${marked[1]}:</span>${escapeHtml(marked[2])}`;
    } else if (message) {
      html = `<span class="${message[1]}">${escapeHtml(key)}</span>`;
    } else {
      html = escapeHtml(key);
    }
    return `<span>${html}</span>`;
  }

  // The report is a node per line, so that a change touches only the lines that changed.
  let reportKeys = [];

  function renderReport(result) {
    const withMessages = new Set(result.lines ? result.lines.map((l) => l.line) : []);
    const lines = result.stdout.match(/[^\n]*\n|[^\n]+$/g) || [];
    if (result.stderr) lines.unshift(`\0${result.stderr}`);
    const keys = lines.map((text) => {
      const numbered = /^[EW]: (\d+): /.exec(text);
      return numbered && withMessages.has(Number(numbered[1])) ? `\u0001${text}` : text;
    });
    let start = 0;
    while (start < keys.length && start < reportKeys.length && keys[start] === reportKeys[start]) {
      ++start;
    }
    let end = 0;  // lines alike at the end, after start
    while (end < keys.length - start && end < reportKeys.length - start &&
           keys[keys.length - 1 - end] === reportKeys[reportKeys.length - 1 - end]) {
      ++end;
    }
    const template = document.createElement('template');
    template.innerHTML = keys.slice(start, keys.length - end).map(reportLine).join('');
    const nodes = report.childNodes;
    const after = nodes[reportKeys.length - end] || null;
    for (let i = reportKeys.length - end - 1; i >= start; --i) nodes[i].remove();
    report.insertBefore(template.content, after);
    reportKeys = keys;

    statusLine.className = `status s${result.status}`;
    statusLine.textContent = result.stderr
      ? `Exit status ${result.status}: the options are not accepted, as said below.`
      : `Exit status ${result.status}: ${exitWords[result.status] || 'unknown'}.`;
  }

  // The line numbers of the editor, those with messages marked E or W.
  function renderGutter(result, count) {
    const marks = new Map();
    const mark = (line, error) => {
      if (line > 0 && marks.get(line) !== 'E') marks.set(line, error ? 'E' : 'W');
    };
    for (const record of result.lines || []) {
      for (const m of record.messages) mark(record.line, m.error);
    }
    for (const m of result.file || []) mark(m.line, m.error);
    const key = `${count}|${[...marks].join(';')}`;
    if (key === gutterKey) return;
    gutterKey = key;
    const rows = [];
    for (let line = 1; line <= count; ++line) {
      const m = marks.get(line);
      rows.push(m ? `<span class="${m}">${line}</span>` : line);
    }
    gutter.innerHTML = rows.join('\n');
    gutter.scrollTop = editor.scrollTop;
  }

  function renderCron(audit) {
    if (audit.stderr) {
      cron.innerHTML = '<p>Not run: the options are not accepted.</p>';
      return;
    }
    if (audit.findings.length === 0) {
      cron.innerHTML = '<p>Nothing to add: cron loads every line of this file, and each ' +
        'schedule runs as written.</p>';
      return;
    }
    const items = audit.findings.map((f) => {
      const where = f.line > 0 ? `${lineButton(f.line, `line ${f.line}`)} ` : 'The file: ';
      const kind = `<span class="kind">${f.kind}</span>`;
      return `<li class="${f.error ? 'error' : 'warning'}">${where}${kind} ${escapeHtml(f.text)}</li>`;
    });
    cron.innerHTML = `<ul>${items.join('')}</ul>`;
  }

  function run() {
    scheduled = false;
    const o = options();
    if (o.name.includes('/')) {
      fileName.setAttribute('aria-invalid', 'true');
      statusLine.className = 'status s2';
      statusLine.textContent = 'The file name is a name alone, without "/".';
      report.setAttribute('aria-busy', 'false');
      return;
    }
    fileName.removeAttribute('aria-invalid');
    const text = editor.value;
    const bytes = openedBytes || encoder.encode(text);
    const args = lintkeeperArgs(o);
    $('command').textContent = ['lintkeeper', ...args].map(shellWord).join(' ');
    const result = call('_lintkeeper_check', bytes, args);
    renderReport(result);
    renderGutter(result, text.split('\n').length);
    renderCron(call('_lintkeeper_audit', bytes, auditArgs(o)));
    report.setAttribute('aria-busy', 'false');
  }

  // Checks again at the next frame, once however many changes came before it.
  function schedule() {
    report.setAttribute('aria-busy', 'true');
    if (scheduled || !lintkeeper) return;
    scheduled = true;
    requestAnimationFrame(run);
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
    loadBytes(bytes, params.get('name') || 'crontab');
    return true;
  }

  // The words of "Exit status:" in the long help, by status.
  function readExitWords() {
    const help = call('_lintkeeper_check', new Uint8Array(), ['--help']).stdout;
    const section = help.split('Exit status:\n')[1] || '';
    for (const line of section.split('\n')) {
      const m = /^\s+(\d)\s+(.*)$/.exec(line);
      if (!m) break;
      exitWords[m[1]] = m[2];
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
    const button = event.target.closest('button[data-line]');
    if (button) goToLine(Number(button.dataset.line));
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
  form.addEventListener('input', changed);
  form.addEventListener('change', changed);
  form.addEventListener('submit', (event) => event.preventDefault());
  report.addEventListener('click', onLineButton);
  cron.addEventListener('click', onLineButton);
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
      const version = call('_lintkeeper_check', new Uint8Array(), ['--version']).stdout.trim();
      $('version').textContent = version.split(' ')[1] || '';
      $('footer-version').textContent = version;
      readExitWords();
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
