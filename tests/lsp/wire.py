"""The framing of lintkeeper-lsp's messages, and a run of the server on bytes given whole."""

import json
import subprocess


def frame(message):
    """A message (an object, or the bytes of a body) with its Content-Length header."""
    body = message if isinstance(message, bytes) else json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


def bodies(stream):
    """The bodies of the framed messages of a stream, as texts."""
    out = []
    while stream:
        header, _, rest = stream.partition(b"\r\n\r\n")
        assert header.startswith(b"Content-Length: "), stream[:80]
        size = int(header[len(b"Content-Length: "):])
        out.append(rest[:size].decode())
        stream = rest[size:]
    return out


def run(server, raw, timeout=60):
    """Runs the server on raw, then the end of its input: (bodies, exit status, stderr)."""
    done = subprocess.run([server], input=raw, capture_output=True, timeout=timeout)
    return bodies(done.stdout), done.returncode, done.stderr.decode()


def initialize(id=1, options=None):
    params = {"processId": None, "rootUri": None, "capabilities": {}}
    if options is not None:
        params["initializationOptions"] = options
    return {"jsonrpc": "2.0", "id": id, "method": "initialize", "params": params}


def request(id, method, params=None):
    message = {"jsonrpc": "2.0", "id": id, "method": method}
    if params is not None:
        message["params"] = params
    return message


def notification(method, params=None):
    message = {"jsonrpc": "2.0", "method": method}
    if params is not None:
        message["params"] = params
    return message


def did_open(uri, text, version=1):
    return notification("textDocument/didOpen", {"textDocument": {
        "uri": uri, "languageId": "crontab", "version": version, "text": text}})
