#!/usr/bin/env python3
r"""Cases of lintkeeper-audit's fixes: each makes a crontab right that a cron misreads or refuses.

Usage: audit_fix.py [--update] LINTKEEPER_AUDIT FIXES_DIR ORACLES_DIR

Each folder of FIXES_DIR is a case: `before`, the crontab as planted; `args`, the options of
the audit, one per line (--cron, --user, --unsafe-fixes); `after`, the bytes --fix must leave.
For each case, in a folder of its own:
  1. --diff prints a diff (exit status 1) that `git apply` makes into `after`;
  2. --fix makes `after`, with the exit status of an audit of `after`;
  3. the audit of `after` has no finding of a kind it fixed, and no kind `before` had not;
  4. a second --fix changes nothing and says it fixed nothing;
  5. the cron takes `after`: Debian's `crontab -n` accepts it (when it runs here), and every
     line of it is one that cronie accepted or that busybox's crond loaded as a job, as the
     recorded tables of ORACLES_DIR (cronie/user-lines.tsv, busybox/lines.tsv) say.
Then files that --fix must leave alone, on this machine's disk: one with two hard links, one in
a folder mounted read-only (in a private mount namespace, when it can be made here): each is
left as it was, with a message and exit status 2.
With --update, `after` is written from what --fix made: review it before committing.
"""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

NAME = "crontab"


def unescape(cell):
    r"""A cell of the recorded tables: \t, \\ and \xHH escapes."""
    out = bytearray()
    i = 0
    data = cell.encode()
    while i < len(data):
        if data[i : i + 1] == b"\\" and i + 1 < len(data):
            c = data[i + 1 : i + 2]
            if c == b"x":
                out.append(int(data[i + 2 : i + 4], 16))
                i += 4
                continue
            out += {b"t": b"\t", b"\\": b"\\", b"n": b"\n", b"r": b"\r"}.get(c, c)
            i += 2
            continue
        out.append(data[i])
        i += 1
    return bytes(out)


def recorded(path, column, taken):
    """The lines of a table whose verdict column is taken."""
    lines = set()
    with open(path, encoding="utf-8") as f:
        next(f)
        for row in f:
            cells = row.rstrip("\n").split("\t")
            if cells[column] == taken:
                lines.add(unescape(cells[0]))
    return lines


def run(args, cwd):
    return subprocess.run(args, cwd=cwd, capture_output=True, timeout=60)


def kinds(binary, options, cwd):
    """The kinds of the findings of the audit of the crontab, and those a fix allowed mends."""
    unsafe = "--unsafe-fixes" in options
    audit = [o for o in options if o != "--unsafe-fixes"]
    result = run([binary, "--format", "json", *audit, NAME], cwd)
    report = json.loads(result.stdout)
    found, fixable = set(), set()
    for finding in report["files"][0]["findings"]:
        found.add(finding["kind"])
        fix = finding["fix"]
        if fix and fix["edits"] and (fix["safety"] == "safe" or unsafe):
            fixable.add(finding["kind"])
    return found, fixable


def check_case(binary, case, oracles, update, notes):
    with open(os.path.join(case, "args"), encoding="utf-8") as f:
        options = [line for line in f.read().split("\n") if line]
    with open(os.path.join(case, "before"), "rb") as f:
        before = f.read()
    audit_options = [o for o in options if o != "--unsafe-fixes"]
    cron = options[options.index("--cron") + 1]
    problems = []
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, NAME)
        with open(path, "wb") as f:
            f.write(before)
        kinds_before, fixed_kinds = kinds(binary, options, work)
        if not fixed_kinds:
            return ["no finding has a fix to make"]

        diff = run([binary, "--diff", *options, NAME], work)
        if diff.returncode != 1:
            problems.append(f"--diff: exit status {diff.returncode}, not 1")
        fix = run([binary, "--fix", *options, NAME], work)
        with open(path, "rb") as f:
            after = f.read()
        expected_path = os.path.join(case, "after")
        if update:
            with open(expected_path, "wb") as f:
                f.write(after)
        with open(expected_path, "rb") as f:
            expected = f.read()
        if after != expected:
            problems.append(f"--fix made {after!r}, not {expected!r}")

        plain = run([binary, *audit_options, NAME], work)
        if fix.returncode != plain.returncode:
            problems.append(f"--fix: exit status {fix.returncode}, the audit of its file's "
                            f"{plain.returncode}")
        kinds_after, left = kinds(binary, options, work)
        if kinds_after & fixed_kinds or not kinds_after <= kinds_before:
            problems.append(f"kinds {sorted(kinds_before)} became {sorted(kinds_after)}")
        if left:
            problems.append(f"fixes left to make after --fix: {sorted(left)}")

        again = run([binary, "--fix", *options, NAME], work)
        with open(path, "rb") as f:
            if f.read() != after or b"Fixed" in again.stderr:
                problems.append(f"a second --fix changed something: {again.stderr!r}")

        if shutil.which("git"):
            applied = os.path.join(work, "applied")
            os.mkdir(applied)
            with open(os.path.join(applied, NAME), "wb") as f:
                f.write(before)
            result = subprocess.run(["git", "apply", "-"], cwd=applied, input=diff.stdout,
                                    capture_output=True, timeout=60)
            with open(os.path.join(applied, NAME), "rb") as f:
                if result.returncode != 0 or f.read() != after:
                    problems.append(f"git apply of the diff: {result.stderr!r}")
        else:
            notes.add("git is not installed: the diffs were not applied")

        problems += cron_takes(cron, after, path, oracles, notes)
    return problems


def cron_takes(cron, after, path, oracles, notes):
    """Why the cron would not take the fixed crontab, or nothing."""
    if cron == "debian":
        if not shutil.which("crontab"):
            notes.add("crontab is not installed: Debian's cron did not check the fixed files")
            return []
        result = subprocess.run(["crontab", "-n", path], capture_output=True, timeout=60,
                                env={**os.environ, "LC_ALL": "C"})
        return [] if result.returncode == 0 else [f"crontab -n: {result.stderr!r}"]
    if cron == "cronie":
        taken = recorded(os.path.join(oracles, "cronie", "user-lines.tsv"), 1, "accept")
    else:
        taken = recorded(os.path.join(oracles, "busybox", "lines.tsv"), 1, "loaded")
    return [f"{cron} never took {line!r}" for line in after.split(b"\n")
            if line and line not in taken]


REFUSED = "0 1 * * * /bin/backup\r\n".encode()


def check_refusals(binary, notes):
    """Why --fix did not leave alone the files it must, or nothing."""
    problems = []
    with tempfile.TemporaryDirectory() as work:
        folder = os.path.join(work, "d")
        os.mkdir(folder)
        path = os.path.join(folder, NAME)
        with open(path, "wb") as f:
            f.write(REFUSED)
        cases = [("hard links", [binary, "--fix", "--cron", "debian", "--user", "d/" + NAME],
                  "it has 2 hard links, which writing it anew would part")]
        if os.geteuid() == 0 and shutil.which("unshare"):
            mount = "mount --bind d d && mount -o remount,bind,ro d && exec \"$@\""
            cases.append(("read-only folder",
                          ["unshare", "-m", "sh", "-c", mount, "sh", binary, "--fix", "--cron",
                           "debian", "--user", "d/" + NAME],
                          "can not write it anew beside it: Read-only file system (os error 30)"))
        else:
            notes.add("not root or no unshare: no fix in a read-only folder was tried")
        for name, command, why in cases:
            if name == "hard links":
                os.link(path, os.path.join(work, "other"))
            result = run(command, work)
            if name == "hard links":
                os.unlink(os.path.join(work, "other"))
            with open(path, "rb") as f:
                content = f.read()
            message = f"error: can not fix d/{NAME}: {why}\n".encode()
            if result.returncode != 2 or message not in result.stderr or content != REFUSED:
                problems.append(f"{name}: status {result.returncode}, {result.stderr!r}, "
                                f"file {content!r}")
    return problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--update", action="store_true")
    parser.add_argument("binary")
    parser.add_argument("fixes")
    parser.add_argument("oracles")
    options = parser.parse_args()
    failures = 0
    notes = set()
    names = sorted(os.listdir(options.fixes))
    for name in names:
        problems = check_case(options.binary, os.path.join(options.fixes, name),
                              options.oracles, options.update, notes)
        print(f"{'FAIL' if problems else 'ok  '} {name}")
        for problem in problems:
            print(f"  {problem}")
        failures += bool(problems)
    problems = check_refusals(options.binary, notes)
    print(f"{'FAIL' if problems else 'ok  '} files left alone")
    for problem in problems:
        print(f"  {problem}")
    failures += bool(problems)
    for note in sorted(notes):
        print(f"note: {note}")
    print(f"{len(names) + 1 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
