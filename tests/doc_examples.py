#!/usr/bin/env python3
"""The examples of the documentation pages are what the programs print.

Usage: doc_examples.py BUILD_DIR PAGE...

In each page, ```sh blocks set a folder up and ```console blocks are sessions: each `$ `
line is a command, run in that folder with BUILD_DIR first on the PATH (so `lintkeeper` and
`lintkeeper-audit` are the programs built), and the lines after it are what it must print
(standard output and standard error together). A page whose set-up needs root (chown) is
skipped, with a line saying so, when the test does not run as root.
"""

import difflib
import os
import re
import subprocess
import sys
import tempfile


def sessions_of(body):
    """(command, expected lines) of a console block."""
    sessions, command, expected = [], None, []
    for line in body.split("\n")[:-1]:
        if line.startswith("$ "):
            if command is not None:
                sessions.append((command, expected))
            command, expected = line[2:], []
        else:
            expected.append(line)
    if command is not None:
        sessions.append((command, expected))
    return sessions


def check_page(page, env):
    """The number of failures of the page's examples."""
    text = open(page, encoding="utf-8").read()
    blocks = [(k, b) for k, b in re.findall(r"^```(\w*)\n(.*?)^```$", text, re.S | re.M)
              if k in ("sh", "console")]
    if os.geteuid() != 0 and any(k == "sh" and "chown" in b for k, b in blocks):
        print(f"skipped: {page} (its set-up needs root)")
        return 0
    failures = 0
    with tempfile.TemporaryDirectory() as folder:
        for kind, body in blocks:
            if kind == "sh":
                setup = subprocess.run(["bash", "-e", "-c", body], cwd=folder, env=env,
                                       capture_output=True, text=True)
                if setup.returncode != 0:
                    failures += 1
                    print(f"FAIL {page}: set-up failed: {setup.stderr}")
                continue
            for command, expected in sessions_of(body):
                run = subprocess.run(["bash", "-c", command + " 2>&1"], cwd=folder, env=env,
                                     capture_output=True)
                got = run.stdout.decode("utf-8", "replace").split("\n")
                if got and got[-1] == "":
                    got.pop()
                if got != expected:
                    failures += 1
                    print(f"FAIL {page}: `{command}` prints otherwise:")
                    for line in difflib.unified_diff(expected, got, "page", "program",
                                                     lineterm=""):
                        print("   ", line)
    return failures


def main():
    build = os.path.abspath(sys.argv[1])
    env = dict(os.environ, PATH=build + os.pathsep + os.environ["PATH"], LC_ALL="C.UTF-8")
    pages = sys.argv[2:]
    failures = sum(check_page(page, env) for page in pages)
    print(f"{len(pages)} pages, {failures} examples differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
