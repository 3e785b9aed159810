#!/usr/bin/env python3
"""lintkeeper-audit gives every line of a crontab lintkeeper's findings, and only adds its own.

Usage: audit_corpus.py LINTKEEPER LINTKEEPER_AUDIT CASES_DIR CORPUS_DIR

Each file of CORPUS_DIR, and each file named crontab below CASES_DIR, is checked by both programs with --no-check-passwd, as a system and as
a user crontab: the findings of lintkeeper (line, kind and text, read from its report) must be
exactly those of `lintkeeper-audit --format gcc` once the audit's own kinds are left out.
Exits with 77 (skipped) when CORPUS_DIR is absent.
"""

import os
import re
import subprocess
import sys

SKIPPED = 77
KINDS_INDEX = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "docs", "kinds",
                           "README.md")


def audit_kinds():
    """The kinds only the audit reports, from the index of the kinds' pages (which a unit test
    holds to the program's table of kinds)."""
    kinds = set()
    for line in open(KINDS_INDEX, encoding="utf-8"):
        match = re.match(r"^\| \[`([A-Z0-9_]+)`\]\([^)]*\) \| \w+ \| lintkeeper-audit \|", line)
        if match:
            kinds.add(match.group(1))
    return kinds


# The audit's own kinds; lintkeeper's are everything else.
AUDIT_KINDS = audit_kinds()
# lintkeeper shows its findings about the file without a kind: they are known by their text.
FILE_KINDS = [
    (re.compile(r"File \".*\" does not exist\."), "FILE_MISSING"),
    (re.compile(r"Cron will not process this file - its name"), "FILE_NAME"),
    (re.compile(r"Cron will not process this file - missing trailing newline"), "MISSING_NEWLINE"),
    (re.compile(r"error reading line (\d+): "), "INVALID_UTF8"),
]
HEADER = re.compile(r"^[EW]: (\d+): ")
MESSAGE = re.compile(r"^[ew]: +([A-Z0-9_]+): (.*)$")
GCC = re.compile(r"^(.*):(\d+):1: (?:error|warning): (.*) \[([A-Z0-9_]+)\]$")


def lintkeeper_findings(report, lines):
    """(line, kind, text) of lintkeeper's text report; file findings at their line or 1."""
    found = []
    number = None
    for line in report.splitlines()[1:]:
        header = HEADER.match(line)
        if header:
            number = int(header.group(1))
            continue
        message = MESSAGE.match(line)
        if message and number is not None:
            found.append((number, message.group(1), message.group(2)))
            continue
        if line.startswith(("E: There were", "W: There were")) or not line[:3] in ("E: ", "W: "):
            continue
        text = line[3:]
        for pattern, kind in FILE_KINDS:
            match = pattern.match(text)
            if match:
                at = int(match.group(1)) if kind == "INVALID_UTF8" else 1
                at = lines if kind == "MISSING_NEWLINE" else at
                found.append((at, kind, text))
                break
        else:
            found.append((1, "?", text))
    return sorted(found)


def audit_findings(report, path):
    found = []
    for line in report.splitlines():
        match = GCC.match(line)
        if not match or match.group(1) != path:
            return None  # a line that is not a finding of this file
        if match.group(4) not in AUDIT_KINDS:
            found.append((int(match.group(2)), match.group(4), match.group(3)))
    return sorted(found)


def main():
    lintkeeper, audit, cases, corpus = sys.argv[1:5]
    if not os.path.isdir(corpus):
        print(f"{corpus} not found: skipped")
        return SKIPPED
    paths = [os.path.join(corpus, name) for name in sorted(os.listdir(corpus))
             if name != "SOURCES.tsv"]
    paths += sorted(os.path.join(top, "crontab") for top, _, files in os.walk(cases)
                    if "crontab" in files)
    failures = checked = 0
    for path in paths:
        name = os.path.relpath(path)
        if not os.path.isfile(path):
            continue
        with open(path, "rb") as f:
            data = f.read()
        lines = data.count(b"\n") + (0 if data.endswith(b"\n") else 1)  # the last line's number
        for flags in ([], ["--user"]):
            base = ["--no-check-passwd", *flags, path]
            mine = subprocess.run([lintkeeper, *base], capture_output=True)
            theirs = subprocess.run([audit, "--format", "gcc", *base], capture_output=True)
            expected = lintkeeper_findings(mine.stdout.decode("utf-8", "replace"), lines)
            got = audit_findings(theirs.stdout.decode("utf-8", "replace"), path)
            checked += 1
            if got != expected or theirs.stderr:
                failures += 1
                print(f"FAIL {name} {flags}:\n  lintkeeper: {expected}\n  audit: {got}")
    print(f"{checked} runs, {failures} differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
