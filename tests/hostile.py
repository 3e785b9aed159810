#!/usr/bin/env python3
"""Hostile inputs for lintkeeper: files and standard outputs that the end-to-end cases cannot hold.

Usage: hostile.py LINTKEEPER

Runs lintkeeper on inputs made at run time in a temporary folder: a copy of an executable, a
50 MB line, a million bytes that are not UTF-8, 200,000 empty lines, a crontab read from a pipe
through /dev/stdin, a socket that cannot be opened; and with standard output closed, on
/dev/full, or on a pipe that its reader closes after one line. Every run must end by itself
with the status that the counts give, write nothing on standard error, and lose no message
from its counts.
Exits 0 when every check passed, 1 otherwise.
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile

TIMEOUT_SECONDS = 300
BARE_PERCENT = (b"w:    BARE_PERCENT: A bare % is a line break in crontab and is commonly "
                b"not intended.\n")
# A line header ("E: 12: text") as opposed to a message about the file ("E: text").
LINE_HEADER = re.compile(rb"^[EW]: [0-9]+: ")
SUMMARY = re.compile(rb"^(?:E: There were ([0-9]+) errors and ([0-9]+) warnings\.|"
                     rb"W: There were ([0-9]+) warnings\.)$")

failures = []


def check(name, ok, detail=""):
    if ok:
        print(f"ok   {name}")
    else:
        print(f"FAIL {name}" + (f": {detail}" if detail else ""))
        failures.append(name)


def run(binary, args, cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, input_bytes=None):
    """Runs lintkeeper; returns (status, stdout bytes or None, stderr bytes)."""
    result = subprocess.run([binary] + args, cwd=cwd, input=input_bytes,
                            stdin=None if input_bytes is not None else stdin, stdout=stdout,
                            stderr=subprocess.PIPE, timeout=TIMEOUT_SECONDS)
    return result.returncode, result.stdout, result.stderr


def status_of(errors, warnings, fail_warnings=0):
    return 2 if errors > 0 else 1 if warnings > fail_warnings else 0


def counts_shown(stdout):
    """Counts the error and warning messages that the text report shows, summary excluded."""
    errors = warnings = 0
    for line in stdout.split(b"\n")[1:]:
        if SUMMARY.match(line) or LINE_HEADER.match(line):
            continue
        if line.startswith(b"e: ") or line.startswith(b"E: "):
            errors += 1
        elif line.startswith(b"w: ") or line.startswith(b"W: "):
            warnings += 1
    return errors, warnings


def invalid_utf8_lines(data):
    """The numbers of the lines of data that are not valid UTF-8."""
    numbers = []
    lines = data.split(b"\n")
    if lines[-1] == b"":
        lines.pop()
    for number, line in enumerate(lines, start=1):
        try:
            line.decode("utf-8")
        except UnicodeDecodeError:
            numbers.append(number)
    return numbers


def binary_file(binary, work):
    """A copy of an executable: each line that is not UTF-8 is one file error; nothing is lost."""
    executable = shutil.which("true") or "/bin/true"
    path = os.path.join(work, "program")
    shutil.copyfile(executable, path)
    with open(path, "rb") as f:
        data = f.read()
    bad = invalid_utf8_lines(data)
    check("binary file: holds lines that are not UTF-8", len(bad) > 0)
    for flags in ([], ["--debug-verbose"], ["--user"]):
        name = f"binary file {' '.join(flags)}".strip()
        status, out, err = run(binary, ["--no-check-passwd"] + flags + ["program"], work)
        reported = [int(m) for m in re.findall(rb"^E: error reading line ([0-9]+): ", out, re.M)]
        check(f"{name}: no stderr", err == b"", err[:200])
        check(f"{name}: each line that is not UTF-8 reported once", reported == bad,
              f"{len(reported)} reported, {len(bad)} expected")
        try:
            out.decode("utf-8")
            utf8 = True
        except UnicodeDecodeError:
            utf8 = False
        check(f"{name}: standard output is UTF-8", utf8)
        last = out.rstrip(b"\n").split(b"\n")[-1]
        summary = SUMMARY.match(last)
        check(f"{name}: ends with the summary", summary is not None, last[:200])
        if summary and summary.group(1) is not None:
            errors, warnings = int(summary.group(1)), int(summary.group(2))
            check(f"{name}: the summary counts what is shown",
                  counts_shown(out) == (errors, warnings),
                  f"shown {counts_shown(out)}, summary {(errors, warnings)}")
            check(f"{name}: status 2", status == 2, str(status))


def huge_line(binary, work):
    """One scheduled line of 50 MB: parsed, checked and shown whole."""
    line = b"0 3 * * * root " + b"a" * (50 * 1024 * 1024) + b" %x"
    with open(os.path.join(work, "huge"), "wb") as f:
        f.write(line + b"\n")
    status, out, err = run(binary, ["--whitelist", "root", "huge"], work)
    expected = (b"Checking correctness of huge\nW: 1: " + line + b"\n" + BARE_PERCENT +
                b"W: There were 1 warnings.\n")
    check("50 MB line: status 1", status == 1, str(status))
    check("50 MB line: no stderr", err == b"", err[:200])
    check("50 MB line: the line and its warning", out == expected,
          f"{len(out)} bytes, {len(expected)} expected; ends {out[-200:]!r}")


def invalid_megabyte(binary, work):
    """A million bytes 0xFF without a line feed: one line, one error at its first byte."""
    with open(os.path.join(work, "junk"), "wb") as f:
        f.write(b"\xff" * 1000000)
    status, out, err = run(binary, ["junk"], work)
    expected = (b"Checking correctness of junk\n"
                b"E: error reading line 1: invalid utf-8 sequence of 1 bytes from index 0\n"
                b"E: There were 1 errors and 0 warnings.\n")
    check("1,000,000 invalid bytes: status 2", status == 2, str(status))
    check("1,000,000 invalid bytes: no stderr", err == b"", err[:200])
    check("1,000,000 invalid bytes: one error", out == expected, out[:400])


def empty_lines(binary, work):
    """200,000 empty lines: no message, no summary."""
    with open(os.path.join(work, "blank"), "wb") as f:
        f.write(b"\n" * 200000)
    status, out, err = run(binary, ["--junit", "blank.xml", "blank"], work)
    check("200,000 empty lines: status 0", status == 0, str(status))
    check("200,000 empty lines: header only", out == b"Checking correctness of blank\n", out[:400])
    check("200,000 empty lines: no stderr", err == b"", err[:200])
    with open(os.path.join(work, "blank.xml"), "rb") as f:
        xml = f.read()
    check("200,000 empty lines: the file case alone in the JUnit report",
          b'<testsuites name="lintkeeper" tests="1" failures="0">' in xml, xml[:400])


def many_warnings(work, count):
    """A crontab of count SHELL_VAR warnings, one per line."""
    path = os.path.join(work, "warnings")
    with open(path, "wb") as f:
        f.write(b"FOO=$HOME\n" * count)
    return "warnings"


def closed_stdout(binary, work):
    """Standard output closed: the report is lost, the status and the JUnit file are not."""
    name = many_warnings(work, 20000)  # more than one buffer of report text
    for limit, want in (("19999", 1), ("20000", 0)):
        junit = os.path.join(work, "closed.xml")
        result = subprocess.run(
            ["sh", "-c", 'exec "$0" --fail-warnings "$1" --junit closed.xml "$2" >&-', binary,
             limit, name], cwd=work, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE,
            timeout=TIMEOUT_SECONDS)
        check(f"stdout closed, limit {limit}: status {want}", result.returncode == want,
              str(result.returncode))
        check(f"stdout closed, limit {limit}: no stderr", result.stderr == b"",
              result.stderr[:200])
        with open(junit, "rb") as f:
            xml = f.read()
        check(f"stdout closed, limit {limit}: JUnit report whole",
              xml.startswith(b"<?xml") and xml.endswith(b"</testsuites>\n") and
              b"Checking correctness" not in xml and
              f'tests="20001" failures="{20000 if want else 0}"'.encode() in xml, xml[-200:])
        os.remove(junit)


def full_stdout(binary, work):
    """Standard output on /dev/full: every write fails, the status follows the counts."""
    name = many_warnings(work, 20000)
    for limit, want in (("19999", 1), ("20000", 0)):
        with open("/dev/full", "wb") as full:
            status, _, err = run(binary, ["--fail-warnings", limit, name], work, stdout=full)
        check(f"stdout /dev/full, limit {limit}: status {want}", status == want, str(status))
        check(f"stdout /dev/full, limit {limit}: no stderr", err == b"", err[:200])


def pipe_closed_early(binary, work):
    """A reader that goes away after one line: no SIGPIPE death, the status follows the counts."""
    name = many_warnings(work, 100000)
    for limit, want in (("99999", 1), ("100000", 0)):
        process = subprocess.Popen([binary, "--fail-warnings", limit, name], cwd=work,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        first = process.stdout.readline()
        process.stdout.close()
        err = process.stderr.read()
        status = process.wait(timeout=TIMEOUT_SECONDS)
        check(f"pipe closed early, limit {limit}: first line is the header",
              first == b"Checking correctness of warnings\n", first)
        check(f"pipe closed early, limit {limit}: status {want}", status == want,
              f"status {status}" + (" (killed by a signal)" if status < 0 else ""))
        check(f"pipe closed early, limit {limit}: no stderr", err == b"", err[:200])
    # The same through a shell pipeline, as a user would write it.
    result = subprocess.run(
        ["bash", "-c", '"$0" "$1" | head -1 >/dev/null; exit "${PIPESTATUS[0]}"', binary, name],
        cwd=work, stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=TIMEOUT_SECONDS)
    check("| head -1: status 1", result.returncode == 1, str(result.returncode))


def stdin_pipe(binary, work):
    """The crontab read from a pipe as /dev/stdin."""
    status, out, err = run(binary, ["--whitelist", "root", "/dev/stdin"], work,
                           input_bytes=b"# from a pipe\n0 3 * * * root date +%F\nFOO=bar")
    expected = (b"Checking correctness of /dev/stdin\n"
                b"W: 2: 0 3 * * * root date +%F\n" + BARE_PERCENT +
                b"E: Cron will not process this file - missing trailing newline\n"
                b"E: There were 1 errors and 1 warnings.\n")
    check("/dev/stdin from a pipe: status 2", status == 2, str(status))
    check("/dev/stdin from a pipe: no stderr", err == b"", err[:200])
    check("/dev/stdin from a pipe: every line checked", out == expected, out)


def socket_as_crontab(binary, work):
    """A socket passes the existence test but cannot be opened: the system's error, no line."""
    with socket.socket(socket.AF_UNIX) as server:
        server.bind(os.path.join(work, "sock"))
        status, out, err = run(binary, ["sock"], work)
    expected = (b"Checking correctness of sock\n"
                b"E: No such device or address (os error 6)\n"
                b"E: There were 1 errors and 0 warnings.\n")
    check("socket as the crontab: status 2", status == 2, str(status))
    check("socket as the crontab: no stderr", err == b"", err[:200])
    check("socket as the crontab: the opening error", out == expected, out)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    binary = os.path.abspath(sys.argv[1])
    for test in (binary_file, huge_line, invalid_megabyte, empty_lines, closed_stdout,
                 full_stdout, pipe_closed_early, stdin_pipe, socket_as_crontab):
        with tempfile.TemporaryDirectory(prefix="lintkeeper-hostile-") as work:
            test(binary, work)
    print(f"{len(failures)} failed" if failures else "all passed")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
