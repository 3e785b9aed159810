#!/usr/bin/env python3
"""Smoke test of lintkeeper on a folder of real crontabs: no crash, no stderr, status 0 to 2.

Usage: corpus_smoke.py LINTKEEPER CORPUS_DIR

Every file of CORPUS_DIR is checked four times: as a system crontab and as a user crontab
(--user), each with and without --debug-verbose. The expected findings are not compared; a
run passes when it ends by itself with status 0, 1 or 2, writes nothing on standard error and
writes valid UTF-8 on standard output. Exits with 77 (skipped) when CORPUS_DIR is absent.
"""

import os
import subprocess
import sys

SKIPPED = 77
TIMEOUT_SECONDS = 60
FLAVOURS = [[], ["-D"], ["--user"], ["--user", "-D"]]


def check(binary, path, flags):
    """Returns None when the run passes, else a text saying what went wrong."""
    try:
        result = subprocess.run([binary] + flags + [path], stdin=subprocess.DEVNULL,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                timeout=TIMEOUT_SECONDS)
    except subprocess.TimeoutExpired:
        return f"no result after {TIMEOUT_SECONDS} seconds"
    problems = []
    if result.returncode < 0:
        problems.append(f"killed by signal {-result.returncode}")
    elif result.returncode not in (0, 1, 2):
        problems.append(f"exit status {result.returncode}")
    if result.stderr:
        problems.append("stderr: " + result.stderr.decode("utf-8", "backslashreplace").strip())
    try:
        result.stdout.decode("utf-8")
    except UnicodeDecodeError as error:
        problems.append(f"stdout is not UTF-8: {error}")
    return "; ".join(problems) or None


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    binary, corpus = os.path.abspath(sys.argv[1]), sys.argv[2]
    if not os.path.isdir(corpus):
        print(f"{corpus} is absent: skipped")
        return SKIPPED
    files = sorted(os.path.join(corpus, n) for n in os.listdir(corpus)
                   if os.path.isfile(os.path.join(corpus, n)))
    passed = failed = 0
    for path in files:
        for flags in FLAVOURS:
            problem = check(binary, path, flags)
            if problem is None:
                passed += 1
            else:
                failed += 1
                print(f"FAIL {' '.join(flags + [os.path.basename(path)])}: {problem}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
