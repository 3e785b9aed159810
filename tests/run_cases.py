#!/usr/bin/env python3
"""End-to-end cases of lintkeeper and lintkeeper-audit: runs every case of a case directory and
compares the results.

Usage: run_cases.py [--update] LINTKEEPER CASES_DIR [CASE...]

The case format is described in tests/cases/README.md. With --update, the expected files
(stdout, status, junit.xml) of the cases run are rewritten from what the program produced;
use it only for rewrites that are reviewed line by line afterwards.
"""

import argparse
import difflib
import os
import shutil
import subprocess
import sys
import tempfile

# Files of a case directory that describe the case and are not copied to the work directory.
ARGS = "args"
ENV = "env"
STDOUT = "stdout"
STATUS = "status"
STDERR = "stderr"
JUNIT = "junit.xml"
PROGRAM = "program"
CONTROL_FILES = {ARGS, ENV, STDOUT, STATUS, STDERR, JUNIT, PROGRAM}

# The path, relative to the work directory, at which a case writes its JUnit file.
JUNIT_OUT = "out.xml"

TIMEOUT_SECONDS = 60


def read_lines(path):
    """Lines of a text file, without their line feeds; a final line feed ends the last line."""
    with open(path, "rb") as f:
        data = f.read()
    if not data:
        return []
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    return lines


def read_env(path):
    env = {}
    for line in read_lines(path):
        if not line or line.startswith(b"#"):
            continue
        name, sep, value = line.partition(b"=")
        if not sep:
            raise ValueError(f"{path}: line without '=': {line!r}")
        env[os.fsdecode(name)] = os.fsdecode(value)
    return env


def snapshot(root):
    """Maps the relative path of every regular file under root to its bytes."""
    files = {}
    for dirpath, _dirnames, filenames in os.walk(root):
        for name in filenames:
            path = os.path.join(dirpath, name)
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    files[os.path.relpath(path, root)] = f.read()
    return files


def unified_diff(expected, actual, label):
    """A unified diff of two byte strings, as bytes; marks a missing final line feed."""

    def split(data):
        lines = data.splitlines(keepends=True)
        if lines and not lines[-1].endswith(b"\n"):
            lines[-1] += b"\n\\ No newline at end of file\n"
        return lines

    diff = difflib.diff_bytes(
        difflib.unified_diff,
        split(expected),
        split(actual),
        fromfile=f"expected/{label}".encode(),
        tofile=f"actual/{label}".encode(),
    )
    return b"".join(diff)


def check_xml(path):
    """Returns an error text when xmllint finds the file not well formed, else None."""
    result = subprocess.run(
        ["xmllint", "--noout", path], stdout=subprocess.PIPE, stderr=subprocess.STDOUT
    )
    if result.returncode != 0:
        return f"xmllint rejects {os.path.basename(path)}:\n" + result.stdout.decode(
            "utf-8", "backslashreplace"
        )
    return None


class Case:
    def __init__(self, directory):
        self.dir = directory
        self.name = os.path.basename(directory)

    def path(self, name):
        return os.path.join(self.dir, name)

    def has(self, name):
        return os.path.exists(self.path(name))

    def expected_bytes(self, name):
        if not self.has(name):
            return None
        with open(self.path(name), "rb") as f:
            return f.read()


def copy_inputs(case, work):
    """Copies every file and directory of the case but the control files into work."""
    for entry in sorted(os.listdir(case.dir)):
        if entry in CONTROL_FILES:
            continue
        source = os.path.join(case.dir, entry)
        target = os.path.join(work, entry)
        if os.path.isdir(source):
            shutil.copytree(source, target, symlinks=True)
        else:
            shutil.copy2(source, target, follow_symlinks=False)


def run_case(binary, case, update):
    """Runs one case; returns the list of failure texts (bytes), empty when it passed."""
    failures = []
    if not case.has(ARGS):
        return [b"missing file 'args'\n"]
    if not case.has(STATUS) and not update:
        return [b"missing file 'status'\n"]
    args = [os.fsdecode(a) for a in read_lines(case.path(ARGS))]
    env = dict(os.environ)
    if case.has(ENV):
        env.update(read_env(case.path(ENV)))

    # Another program of the project, beside lintkeeper, when the case names one.
    if case.has(PROGRAM):
        program = read_lines(case.path(PROGRAM))[0].decode()
        binary = os.path.join(os.path.dirname(binary), program)

    with tempfile.TemporaryDirectory(prefix=f"lintkeeper-{case.name}-") as work:
        copy_inputs(case, work)
        before = snapshot(work)
        try:
            result = subprocess.run(
                [binary] + args,
                cwd=work,
                env=env,
                stdin=subprocess.DEVNULL,
                stdout=subprocess.PIPE,
                stderr=subprocess.PIPE,
                timeout=TIMEOUT_SECONDS,
            )
        except subprocess.TimeoutExpired:
            return [f"no result after {TIMEOUT_SECONDS} seconds\n".encode()]
        after = snapshot(work)

        if result.returncode < 0:
            failures.append(f"killed by signal {-result.returncode}\n".encode())

        # Input files must come out of the run unchanged (the program writes no file but
        # its JUnit report, and never over the crontab).
        for name, data in sorted(before.items()):
            if name not in after:
                failures.append(f"input file {name} was removed\n".encode())
            elif after[name] != data:
                failures.append(f"input file {name} was changed by the run\n".encode())

        # Every new file is a JUnit report: it must be well formed, and be the one expected.
        produced = sorted(name for name in after if name not in before)
        for name in produced:
            error = check_xml(os.path.join(work, name))
            if error:
                failures.append(error.encode())
            if name != JUNIT_OUT:
                failures.append(f"unexpected file {name} written by the run\n".encode())
        actual_junit = after.get(JUNIT_OUT) if JUNIT_OUT in produced else None

    actual_status = f"{result.returncode}\n".encode()
    if update:
        write_expected(case, result.stdout, result.stderr, actual_status, actual_junit)

    expected_status = case.expected_bytes(STATUS)
    if expected_status is not None and expected_status != actual_status:
        failures.append(
            b"status: expected " + expected_status.strip() + b", got " + actual_status
        )

    expected_stdout = case.expected_bytes(STDOUT)
    if expected_stdout is None:
        expected_stdout = b""
    if expected_stdout != result.stdout:
        failures.append(b"stdout differs:\n" + unified_diff(expected_stdout, result.stdout, STDOUT))

    expected_stderr = case.expected_bytes(STDERR)
    if expected_stderr is None:
        expected_stderr = b""
    if expected_stderr != result.stderr:
        failures.append(b"stderr differs:\n" + unified_diff(expected_stderr, result.stderr, STDERR))

    expected_junit = case.expected_bytes(JUNIT)
    if expected_junit is not None and actual_junit is None:
        failures.append(f"expected a JUnit file {JUNIT_OUT}, none was written\n".encode())
    elif expected_junit is None and actual_junit is not None:
        failures.append(f"{JUNIT_OUT} was written but the case has no {JUNIT}\n".encode())
    elif expected_junit is not None and expected_junit != actual_junit:
        failures.append(b"JUnit file differs:\n" + unified_diff(expected_junit, actual_junit, JUNIT))

    return failures


def write_expected(case, stdout, stderr, status, junit):
    with open(case.path(STDOUT), "wb") as f:
        f.write(stdout)
    if stderr:
        with open(case.path(STDERR), "wb") as f:
            f.write(stderr)
    elif case.has(STDERR):
        os.remove(case.path(STDERR))
    with open(case.path(STATUS), "wb") as f:
        f.write(status)
    if junit is not None:
        with open(case.path(JUNIT), "wb") as f:
            f.write(junit)
    elif case.has(JUNIT):
        os.remove(case.path(JUNIT))


def main():
    parser = argparse.ArgumentParser(description="Run the end-to-end cases of lintkeeper.")
    parser.add_argument("--update", action="store_true",
                        help="rewrite the expected files from the actual results")
    parser.add_argument("binary", help="path of the lintkeeper binary")
    parser.add_argument("cases", help="directory of the cases")
    parser.add_argument("names", nargs="*", help="run only these cases")
    options = parser.parse_args()

    if shutil.which("xmllint") is None:
        print("error: xmllint not found; it checks the JUnit files and is in the Debian "
              "package libxml2-utils", file=sys.stderr)
        return 2
    binary = os.path.abspath(options.binary)
    if not os.access(binary, os.X_OK):
        print(f"error: {binary} is not an executable", file=sys.stderr)
        return 2

    all_names = sorted(e for e in os.listdir(options.cases)
                       if os.path.isdir(os.path.join(options.cases, e)) and not e.startswith("."))
    names = options.names or all_names
    unknown = [n for n in names if n not in all_names]
    if unknown:
        print(f"error: no such case: {', '.join(unknown)}", file=sys.stderr)
        return 2

    out = sys.stdout.buffer
    failed = []
    for name in names:
        case = Case(os.path.join(options.cases, name))
        failures = run_case(binary, case, options.update)
        if failures:
            failed.append(name)
            out.write(f"FAIL {name}\n".encode())
            for failure in failures:
                out.write(b"  " + failure.replace(b"\n", b"\n  ").rstrip(b" ") )
                if not failure.endswith(b"\n"):
                    out.write(b"\n")
        else:
            out.write(f"ok   {name}\n".encode())
    out.write(f"{len(names) - len(failed)} passed, {len(failed)} failed\n".encode())
    if options.update:
        out.write(b"expected files rewritten: review them before committing\n")
    out.flush()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
