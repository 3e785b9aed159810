// lintkeeper-lsp through the protocol's own Node libraries (vscode-jsonrpc and
// vscode-languageserver-protocol, as VS Code's client uses them): initialize, the diagnostics of
// a document opened and changed, a hover, the code actions, shutdown and exit.
//
// Usage: node client_test.mjs LINTKEEPER_LSP
import assert from "node:assert/strict";
import { spawn } from "node:child_process";

import { StreamMessageReader, StreamMessageWriter, createMessageConnection } from "vscode-jsonrpc/node.js";
import {
  CodeActionRequest,
  DidChangeTextDocumentNotification,
  DidOpenTextDocumentNotification,
  ExitNotification,
  HoverRequest,
  InitializeRequest,
  InitializedNotification,
  PublishDiagnosticsNotification,
  ShutdownRequest,
} from "vscode-languageserver-protocol";

const server = spawn(process.argv[2], [], { stdio: ["pipe", "pipe", "inherit"] });
const exited = new Promise((resolve) => server.on("exit", (code) => resolve(code)));
const connection = createMessageConnection(
  new StreamMessageReader(server.stdout),
  new StreamMessageWriter(server.stdin),
);
const published = [];
let waiting = null;
connection.onNotification(PublishDiagnosticsNotification.type, (params) => {
  published.push(params);
  if (waiting) waiting();
});
connection.listen();

// The next diagnostics published.
function nextDiagnostics() {
  const seen = published.length;
  return new Promise((resolve) => {
    waiting = () => {
      if (published.length > seen) resolve(published[seen]);
    };
    waiting();
  });
}

const uri = "file:///nowhere/jobs";
const text = "0 3 * * * root /usr/bin/backup\n*/5 * * * * root echo 50%\n";
const line = (n, from, to) => ({ start: { line: n, character: from }, end: { line: n, character: to } });

const init = await connection.sendRequest(InitializeRequest.type, {
  processId: process.pid,
  rootUri: null,
  capabilities: {},
});
assert.equal(init.serverInfo.name, "lintkeeper-lsp");
assert.deepEqual(init.capabilities.textDocumentSync, { openClose: true, change: 1 });
assert.deepEqual(init.capabilities.codeActionProvider, { codeActionKinds: ["quickfix"] });
connection.sendNotification(InitializedNotification.type, {});

let diagnostics = nextDiagnostics();
connection.sendNotification(DidOpenTextDocumentNotification.type, {
  textDocument: { uri, languageId: "crontab", version: 1, text },
});
const opened = await diagnostics;
assert.equal(opened.version, 1);
assert.deepEqual(opened.diagnostics, [
  {
    range: line(1, 0, 25),
    severity: 2,
    code: "BARE_PERCENT",
    source: "lintkeeper",
    message: "A bare % is a line break in crontab and is commonly not intended.",
  },
]);

const hover = await connection.sendRequest(HoverRequest.type, {
  textDocument: { uri },
  position: { line: 0, character: 4 },
});
assert.equal(hover.contents.kind, "markdown");
assert.match(hover.contents.value,
  /^\*\*At 03:00 every day\*\*\n\nNext runs \([^)]+\):\n\n(- \d{4}-\d\d-\d\dT03:00:00[+-]\d\d:\d\d\n){5}$/);
assert.deepEqual(hover.range, line(0, 0, 30));
assert.equal(await connection.sendRequest(HoverRequest.type, {
  textDocument: { uri },
  position: { line: 2, character: 0 },
}), null);

const actions = await connection.sendRequest(CodeActionRequest.type, {
  textDocument: { uri },
  range: line(1, 3, 3),
  context: { diagnostics: opened.diagnostics },
});
assert.deepEqual(actions.map((a) => [a.title, a.kind, a.isPreferred, a.edit.changes[uri]]), [
  ["Escape each bare % as \\%", "quickfix", false, [{ range: line(1, 24, 24), newText: "\\" }]],
  ["Switch BARE_PERCENT off here", "quickfix", undefined, [
    { range: line(1, 0, 0), newText: "# lintkeeper: disable-msg=BARE_PERCENT\n" },
    { range: line(2, 0, 0), newText: "# lintkeeper: enable-msg=BARE_PERCENT\n" },
  ]],
]);
assert.deepEqual(actions[0].diagnostics, opened.diagnostics);
assert.deepEqual(await connection.sendRequest(CodeActionRequest.type, {
  textDocument: { uri },
  range: line(1, 0, 0),
  context: { diagnostics: [], only: ["refactor"] },
}), []);

// The first fix made: nothing is left.
diagnostics = nextDiagnostics();
connection.sendNotification(DidChangeTextDocumentNotification.type, {
  textDocument: { uri, version: 2 },
  contentChanges: [{ text: text.replace("50%", "50\\%") }],
});
assert.deepEqual(await diagnostics, { uri, version: 2, diagnostics: [] });

assert.equal(await connection.sendRequest(ShutdownRequest.type), null);
connection.sendNotification(ExitNotification.type);
assert.equal(await exited, 0);
connection.dispose();
console.log("node client: initialize, diagnostics, hover, code actions and shutdown as expected");
