#!/usr/bin/env python3
"""lintkeeper-lsp's diagnostics of a document are lintkeeper-audit's gcc report of the same file,
finding for finding (line, severity, text, kind): for crontabs written here (carriage returns, a
lone one, no-break spaces, a missing last line feed, an in-file command), read by their place and
by the settings, and for every crontab of a corpus folder when it is there.

Usage: same_as_audit.py LINTKEEPER_LSP LINTKEEPER_AUDIT [CORPUS]
"""

import json
import pathlib
import re
import subprocess
import sys
import tempfile

from wire import did_open, frame, initialize, notification, request, run

lsp, audit = sys.argv[1], sys.argv[2]
corpus = pathlib.Path(sys.argv[3]) if len(sys.argv) > 3 else None

TEXTS = {
    "plain": "SHELL=/bin/sh\n0 3 * * * root /usr/bin/backup\n",
    "carriage": "0 3 * * * root /usr/bin/backup\r\n*/5 * * * * root echo 50%\r\n",
    "lone_cr": "MAILTO=a\rb\n0 3 * * * root x\n61 * * * * root y\n",
    "nbsp": "0\u00a03 * * * root /usr/bin/x \U0001F600\n",
    "no_newline": "# lintkeeper: disable-msg=BARE_PERCENT\n0 3 * * * root date +%H\n0 4 * * * root z",
    "user_lines": "0 3 * * * /usr/bin/backup\n@reboot echo up\n",
}
# Settings of the server, and the options of lintkeeper-audit that say the same.
READINGS = [
    (None, []),
    ({"lintkeeper": {"cron": "busybox", "user": True}}, ["--cron", "busybox", "--user"]),
    ({"lintkeeper": {"cron": "cronie"}}, ["--cron", "cronie"]),
]


def cron_lines(text, diagnostic):
    """The line cron counts (from 1) where the protocol's range of the diagnostic starts."""
    starts = [0] + [m.end() for m in re.finditer(r"\r\n|\r|\n", text)]
    offset = starts[diagnostic["range"]["start"]["line"]]
    return text.count("\n", 0, offset) + 1


def served(files, settings):
    """The gcc lines of the diagnostics the server publishes for each file, by path."""
    raw = frame(initialize(options=settings))
    texts = {}
    for path in files:
        texts[path] = path.read_bytes().decode("utf-8", "surrogateescape")
        raw += frame(did_open(path.as_uri(), texts[path])) if is_utf8(path) else b""
    raw += frame(request(9, "shutdown")) + frame(notification("exit"))
    bodies, status, err = run(lsp, raw)
    assert status == 0, (status, err)
    out = {}
    for body in bodies:
        message = json.loads(body)
        if message.get("method") != "textDocument/publishDiagnostics":
            continue
        path = pathlib.Path(message["params"]["uri"][len("file://"):])
        out[path] = [f"{path}:{cron_lines(texts[path], d)}:1: "
                     f"{'error' if d['severity'] == 1 else 'warning'}: {d['message']} [{d['code']}]"
                     for d in message["params"]["diagnostics"]]
    return out


def is_utf8(path):
    """The protocol's texts are Unicode: a file that is not UTF-8 cannot be opened as it is."""
    try:
        path.read_bytes().decode("utf-8")
        return True
    except UnicodeDecodeError:
        return False


def reported(path, options):
    done = subprocess.run([audit, "--format", "gcc", "--next", "5", *options, "--", str(path)],
                          capture_output=True)
    # Lines end at "\n" only: a finding's text may hold a carriage return.
    return done.stdout.decode("utf-8", "replace").split("\n")[:-1]


with tempfile.TemporaryDirectory() as tmp:
    files = []
    for name, text in TEXTS.items():
        path = pathlib.Path(tmp) / name
        path.write_bytes(text.encode())
        files.append(path)
    if corpus is not None and corpus.is_dir():
        files += sorted(p for p in corpus.iterdir() if p.is_file() and not p.suffix)
    else:
        print(f"the corpus {corpus} is not there: only the crontabs written here are compared")
    files = [f for f in files if is_utf8(f)]
    failures = compared = findings = 0
    for settings, options in READINGS:
        got = served(files, settings)
        for path in files:
            expected = reported(path, options)
            compared += 1
            findings += len(expected)
            if got.get(path) != expected:
                failures += 1
                print(f"FAIL {path} {options}:\n  lsp:   {got.get(path)}\n  audit: {expected}")
    print(f"{compared - failures} of {compared} documents ({len(files)} files, {findings} findings) "
          "the same as lintkeeper-audit --format gcc")
    sys.exit(1 if failures else 0)
