#!/usr/bin/env python3
"""lintkeeper-lsp on hostile input: each row is the raw bytes an editor (or anything) writes to
the server, then the end of its input, and every answer expected, word for word, with the exit
status. The server must answer as the protocol says, and end at the end of its input.

Usage: hostile.py LINTKEEPER_LSP
"""

import json
import subprocess
import sys

from wire import did_open, frame, initialize, notification, request, run

server = sys.argv[1]
version = subprocess.run([server, "--version"], capture_output=True, text=True,
                         check=True).stdout.split()[1]

INIT = frame(initialize())
INITIALIZED = (
    '{"id":1,"jsonrpc":"2.0","result":{"capabilities":{"codeActionProvider":{"codeActionKinds":'
    '["quickfix"]},"hoverProvider":true,"positionEncoding":"utf-16","textDocumentSync":'
    '{"change":1,"openClose":true}},"serverInfo":{"name":"lintkeeper-lsp","version":"%s"}}}'
    % version)
SHUTDOWN_EXIT = frame(request(9, "shutdown")) + frame(notification("exit"))
SHUT_DOWN = '{"id":9,"jsonrpc":"2.0","result":null}'


def error(id, code, message):
    return json.dumps({"error": {"code": code, "message": message}, "id": id, "jsonrpc": "2.0"},
                      separators=(",", ":"))


NOT_INITIALIZED = error(2, -32002, "Server not initialized")
TOO_LARGE = 64 * 1024 * 1024 + 1
# A user crontab with a no-break space between two time fields (1 UTF-16 unit), and a bare % after
# an emoji (2 units): the edits of their fixes count UTF-16 units.
URI = "file:///nowhere/crontab"
# The documents are read as user crontabs, as the settings say.
INIT_USER = frame(initialize(options={"lintkeeper": {"user": True}}))
TEXT = "0\u00a03 * * * /usr/bin/x\n0 4 * * * echo \U0001F600 50%\n"

rows = [
    # name, raw input, answers, exit status
    ("not JSON", frame(b"{not json"), [error(None, -32700, "Parse error")], 1),
    ("an empty body", frame(b""), [error(None, -32700, "Parse error")], 1),
    ("invalid UTF-8 in a string", frame(b'{"jsonrpc":"2.0","id":1,"method":"\xff"}'),
     [error(None, -32700, "Parse error")], 1),
    ("a batch", frame(b"[]"),
     [error(None, -32600, "Invalid Request: a message is a JSON object")], 1),
    ("deep nesting", frame(b"[" * 200000 + b"]" * 200000),
     [error(None, -32600, "Invalid Request: a message is a JSON object")], 1),
    ("no method", frame(b'{"jsonrpc":"2.0","id":3}'),
     [error(3, -32600, "Invalid Request: method is not a string")], 1),
    ("jsonrpc 1.0", frame(b'{"jsonrpc":"1.0","id":3,"method":"shutdown"}'),
     [error(3, -32600, 'Invalid Request: jsonrpc is not "2.0"')], 1),
    ("an id that is an object", frame(b'{"jsonrpc":"2.0","id":{},"method":"shutdown"}'),
     [error(None, -32600, "Invalid Request: an id is a number or a string")], 1),
    ("params that are a number", frame(b'{"jsonrpc":"2.0","id":"x","method":"shutdown","params":1}'),
     [error("x", -32600, "Invalid Request: params is neither an object nor an array")], 1),
    ("a request before initialize", frame(request(2, "shutdown")), [NOT_INITIALIZED], 1),
    ("a notification before initialize is dropped",
     frame(did_open(URI, TEXT)) + frame(request(2, "shutdown")), [NOT_INITIALIZED], 1),
    ("a response from the client is ignored", frame(b'{"jsonrpc":"2.0","id":5,"result":null}'),
     [], 1),
    ("a header that is garbage, then a message",
     b"hello there\r\n\r\n" + frame(request(2, "shutdown")), [NOT_INITIALIZED], 1),
    ("a negative Content-Length, then a message",
     b'Content-Length: -5\r\n\r\n{"a":1}' + frame(request(2, "shutdown")), [NOT_INITIALIZED], 1),
    ("a Content-Length that is no number, then a message",
     b"Content-Length: twelve\r\n\r\n{}" + frame(request(2, "shutdown")), [NOT_INITIALIZED], 1),
    ("a header in lower case, with Content-Type",
     b'content-length: 41\r\nContent-Type: application/vscode-jsonrpc; charset=utf-8\r\n\r\n'
     b'{"jsonrpc":"2.0","id":2,"method":"foo/x"}', [NOT_INITIALIZED], 1),
    ("a body shorter than its Content-Length", b"Content-Length: 500\r\n\r\n{}", [], 1),
    ("the input ends inside a header", b"Content-Len", [], 1),
    ("a Content-Length beyond 64 bit", b"Content-Length: 99999999999999999999999\r\n\r\n{}", [], 1),
    ("a message over 64 MiB is skipped unread",
     b"Content-Length: %d\r\n\r\n" % TOO_LARGE + b" " * TOO_LARGE + frame(request(2, "shutdown")),
     [error(None, -32600, "Invalid Request: a message of %d bytes is larger than the limit of "
            "67108864" % TOO_LARGE), NOT_INITIALIZED], 1),
    ("an unknown method", INIT + frame(request(2, "foo/bar", {})),
     [INITIALIZED, error(2, -32601, "Method not found: foo/bar")], 1),
    ("a cron the settings name that is none",
     frame(initialize(options={"lintkeeper": {"cron": "fcron"}})) + SHUTDOWN_EXIT,
     ['{"jsonrpc":"2.0","method":"window/logMessage","params":{"message":"lintkeeper.cron is '
      '\\"fcron\\": it is one of debian, cronie and busybox; the cron is taken from the '
      'file\'s place","type":2}}', INITIALIZED, SHUT_DOWN], 0),
    ("an unknown notification is ignored", INIT + frame(notification("$/foo", {})) + SHUTDOWN_EXIT,
     [INITIALIZED, SHUT_DOWN], 0),
    ("initialize twice", INIT + frame(initialize(2)),
     [INITIALIZED, error(2, -32600, "Invalid Request: initialize was received before")], 1),
    ("a request after shutdown", INIT + frame(request(9, "shutdown")) + frame(request(2, "shutdown")),
     [INITIALIZED, SHUT_DOWN, error(2, -32600, "Invalid Request: the server is shut down")], 0),
    ("exit without shutdown", INIT + frame(notification("exit")) + frame(request(2, "shutdown")),
     [INITIALIZED], 1),
    ("a hover with a negative line",
     INIT + frame(request(2, "textDocument/hover", {"textDocument": {"uri": URI},
                                                    "position": {"line": -1, "character": 0}})),
     [INITIALIZED, error(2, -32602, "hover takes a textDocument and a position")], 1),
    ("a hover past the end of a job's line, and in a closed document",
     INIT_USER + frame(did_open(URI, "0 4 * * * x\n"))
     + frame(request(2, "textDocument/hover", {"textDocument": {"uri": URI},
                                               "position": {"line": 0, "character": 999}}))
     + frame(notification("textDocument/didClose", {"textDocument": {"uri": URI}}))
     + frame(request(3, "textDocument/hover", {"textDocument": {"uri": URI},
                                               "position": {"line": 0, "character": 0}})),
     [INITIALIZED, '{"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":'
      '{"diagnostics":[],"uri":"%s","version":1}}' % URI, "HOVER",
      '{"jsonrpc":"2.0","method":"textDocument/publishDiagnostics","params":'
      '{"diagnostics":[],"uri":"%s"}}' % URI, '{"id":3,"jsonrpc":"2.0","result":null}'], 1),
    ("a didOpen without its text is dropped",
     INIT + frame(notification("textDocument/didOpen", {"textDocument": {"uri": URI}}))
     + frame(request(2, "textDocument/codeAction", {
         "textDocument": {"uri": URI}, "context": {"diagnostics": []},
         "range": {"start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 0}}})),
     [INITIALIZED, '{"id":2,"jsonrpc":"2.0","result":[]}'], 1),
    ("fixes count UTF-16 units",
     INIT_USER + frame(did_open(URI, TEXT))
     + frame(request(2, "textDocument/codeAction", {
         "textDocument": {"uri": URI}, "context": {"diagnostics": []},
         "range": {"start": {"line": 0, "character": 0}, "end": {"line": 1, "character": 0}}})),
     [INITIALIZED, "DIAGNOSTICS", "EDITS"], 1),
]


def edits_of(body):
    """Each action's title and its edits as (start, end, text), start and end (line, column)."""
    out = []
    for action in json.loads(body)["result"]:
        (edits,) = action["edit"]["changes"].values()
        out.append((action["title"], [((e["range"]["start"]["line"], e["range"]["start"]["character"]),
                                       (e["range"]["end"]["line"], e["range"]["end"]["character"]),
                                       e["newText"]) for e in edits]))
    return out


# The answers that are checked by what they hold rather than word for word.
def check_placeholder(name, got):
    if name == "HOVER":
        return json.loads(got)["result"]["range"] == {
            "start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 11}}
    if name == "DIAGNOSTICS":
        return [(d["code"], d["range"]["start"]["line"])
                for d in json.loads(got)["params"]["diagnostics"]] == [
                    ("IGNORED_BY_CRON", 0), ("CRON_REJECTS", 0), ("BARE_PERCENT", 1)]
    if name == "EDITS":
        return edits_of(got) == [
            ("Part the fields with spaces", [((0, 1), (0, 2), " ")]),
            ("Escape each bare % as \\%", [((1, 20), (1, 20), "\\")]),
            ("Switch BARE_PERCENT off here",
             [((1, 0), (1, 0), "# lintkeeper: disable-msg=BARE_PERCENT\n"),
              ((2, 0), (2, 0), "# lintkeeper: enable-msg=BARE_PERCENT\n")]),
        ]
    return False


failures = 0
for name, raw, expected, status in rows:
    try:
        got, code, err = run(server, raw)
    except subprocess.TimeoutExpired:
        print(f"FAIL {name}: the server did not end at the end of its input")
        failures += 1
        continue
    same = len(got) == len(expected) and all(
        g == e or (e.isupper() and check_placeholder(e, g)) for g, e in zip(got, expected))
    if not same or code != status:
        failures += 1
        print(f"FAIL {name}: exit status {code}, expected {status}")
        for line in got:
            print(f"  got      {line[:400]}")
        for line in expected:
            print(f"  expected {line[:400]}")
        if err:
            print(f"  stderr   {err[:400]}")
    else:
        print(f"ok   {name}")
print(f"{len(rows) - failures} of {len(rows)} rows passed")
sys.exit(1 if failures else 0)
