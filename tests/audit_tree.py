#!/usr/bin/env python3
"""lintkeeper-audit on host trees built under a temporary root, one of each cron.

Usage: audit_tree.py LINTKEEPER_AUDIT

A planted Debian tree holds one case of each finding of the audit under Debian's cron;
`--root TREE --format gcc` must print exactly the expected findings, and the text format must
agree with them. A clean tree must give no finding and status 0. An Alpine-like tree (busybox's
crond) and a Fedora-like tree (cronie) hold what those crons read otherwise: each must be found
to be its cron (the text report's first line) and give exactly the findings planted. The cases
that need another owner than the caller (chown) are left out, with a line saying so, when the
test does not run as root.
"""

import os
import shutil
import subprocess
import sys
import tempfile

AS_ROOT = os.geteuid() == 0

PASSWD = (
    "root:x:0:0:root:/root:/bin/sh\n"
    "alice:x:1000:1000::/home/alice:/bin/sh\n"
    "bob:x:1001:1001::/home/bob:/bin/sh\n"
)


def write(root, path, text, mode=0o644, owner=None):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "wb") as f:
        f.write(text.encode() if isinstance(text, str) else text)
    os.chmod(full, mode)
    if owner is not None:
        os.chown(full, owner, owner)
    return full


def clean_tree(root):
    write(root, "etc/passwd", PASSWD)
    write(root, "etc/os-release", 'NAME="Debian GNU/Linux"\nID=debian\n')
    write(root, "etc/crontab", "SHELL=/bin/sh\n17 * * * * root cd / && run-parts /etc/cron.hourly\n")
    write(root, "etc/cron.d/backup", "30 2 * * * root /usr/local/bin/backup\n")
    write(root, "etc/cron.d/.placeholder", "# hidden: cron and run-parts pass over it\n")
    write(root, "var/spool/cron/crontabs/alice", "0 9 * * 1-5 /home/alice/bin/report\n", 0o600,
          1000 if AS_ROOT else None)
    write(root, "etc/cron.daily/logrotate", "#!/bin/sh\n", 0o755)
    write(root, "etc/cron.daily/.placeholder", "", 0o644)


# The planted cases: (files, expected gcc lines). Paths are under the root.
E = "error"
W = "warning"


def planted_tree(root):
    expected = []

    def finding(path, line, severity, text, kind):
        expected.append(f"{path}:{line}:1: {severity}: {text} [{kind}]")

    clean_tree(root)
    ignored = "Cron ignores every line of this file: "

    write(root, "etc/cron.d/mode", "0 3 * * * root /bin/true\n", 0o664)
    finding("/etc/cron.d/mode", 1, E, ignored + "it is writable by others than root.",
            "IGNORED_BY_CRON")
    finding("/etc/cron.d/mode", 1, E, "Cron skips this file: it is writable by its group "
            "(mode 0664).", "FILE_MODE")

    write(root, "etc/cron.d/links", "0 3 * * * root /bin/true\n")
    os.link(os.path.join(root, "etc/cron.d/links"), os.path.join(root, "etc/links-copy"))
    finding("/etc/cron.d/links", 1, E, ignored + "it has more than one hard link.",
            "IGNORED_BY_CRON")
    finding("/etc/cron.d/links", 1, E, "Cron skips this file: it has 2 hard links.", "FILE_LINKS")

    os.mkfifo(os.path.join(root, "etc/cron.d/pipe"))
    finding("/etc/cron.d/pipe", 1, E, ignored + "it is a FIFO.", "IGNORED_BY_CRON")
    finding("/etc/cron.d/pipe", 1, E, "Cron skips this file: it is a FIFO.", "FILE_TYPE")

    write(root, "etc/cron.d/crlf", "0 3 * * * root /bin/true\r\n")
    finding("/etc/cron.d/crlf", 1, E, "Cron keeps the carriage return at the end of this line: "
            "the command ends in it.", "CARRIAGE_RETURN")

    write(root, "etc/cron.d/nbsp", "0\u00a03 * * * root /bin/true\n")
    finding("/etc/cron.d/nbsp", 1, E, ignored + "line 1 is refused (bad day-of-week).",
            "IGNORED_BY_CRON")
    finding("/etc/cron.d/nbsp", 1, E, "Cron refuses this line: bad day-of-week.", "CRON_REJECTS")

    write(root, "etc/cron.d/carol", "0 3 * * * carol /bin/true\n")
    finding("/etc/cron.d/carol", 1, E, ignored + 'line 1 runs as the unknown user "carol".',
            "IGNORED_BY_CRON")
    finding("/etc/cron.d/carol", 1, W, 'User "carol" not found.', "USER_NOT_FOUND")

    write(root, "etc/cron.d/long", "".join(f"# {i}\n" for i in range(10001)))
    finding("/etc/cron.d/long", 1, E, ignored + "it is too long.", "IGNORED_BY_CRON")
    finding("/etc/cron.d/long", 1, E, "Cron reads at most 10000 lines: this file has 10001, so "
            "cron ignores all of it.", "TOO_MANY_LINES")

    write(root, "etc/cron.d/php.dpkg-old", "0 3 * * * root /bin/true\n")
    finding("/etc/cron.d/php.dpkg-old", 1, E,
            ignored + "its name is not made of [A-Za-z0-9_-].", "IGNORED_BY_CRON")
    finding("/etc/cron.d/php.dpkg-old", 1, W,
            "Cron will not process this file - its name must match [A-Za-z0-9_-]+ .", "FILE_NAME")

    write(root, "etc/cron.d/schedules", "0 3 30 2 * root /bin/never\n0 0 29 2 * root /bin/leap\n"
          "0 0 13 * 5 root /bin/friday\n*/7 * * * * root /bin/seven\n")
    finding("/etc/cron.d/schedules", 1, E, "Cron will never run this: February has no day 30.",
            "NEVER_FIRES")
    finding("/etc/cron.d/schedules", 2, W, "Cron will run this only on 29 February, which comes "
            "once in four years.", "LEAP_DAY_ONLY")
    finding("/etc/cron.d/schedules", 3, W, "Cron runs this on day 13 of the month and on every "
            "Friday, not only on Fridays that are day 13.", "DAY_OR")
    finding("/etc/cron.d/schedules", 4, W, '"*/7" in field "minute" runs at minutes 0, 7, 14, '
            '..., 56: from minute 56 to minute 0 of the next hour is 4 minutes, not 7.',
            "UNEVEN_STEP")

    write(root, "var/spool/cron/crontabs/dave", "0 3 * * * /bin/true\n", 0o600)
    finding("/var/spool/cron/crontabs/dave", 1, E, ignored + "no user has its name.",
            "IGNORED_BY_CRON")
    finding("/var/spool/cron/crontabs/dave", 1, E, 'Cron skips this crontab: no user is named '
            '"dave".', "ORPHAN")

    write(root, "etc/cron.daily/backup.sh", "#!/bin/sh\n", 0o755)
    finding("/etc/cron.daily/backup.sh", 1, E,
            "run-parts skips this script: its name is not made of [A-Za-z0-9_-].",
            "RUN_PARTS_NAME")
    write(root, "etc/cron.daily/rotate", "#!/bin/sh\n", 0o644)
    finding("/etc/cron.daily/rotate", 1, E, "run-parts skips this script: it is not executable.",
            "RUN_PARTS_EXEC")

    if AS_ROOT:
        write(root, "etc/cron.d/owner", "0 3 * * * root /bin/true\n", 0o644, 1000)
        finding("/etc/cron.d/owner", 1, E, ignored + "it is not owned by root.",
                "IGNORED_BY_CRON")
        finding("/etc/cron.d/owner", 1, E, "Cron skips this file: it is owned by uid 1000, not "
                "by root.", "FILE_OWNER")
        write(root, "var/spool/cron/crontabs/bob", "0 3 * * * /bin/true\n", 0o600, 1000)
        finding("/var/spool/cron/crontabs/bob", 1, E, ignored + "it is not owned by its user.",
                "IGNORED_BY_CRON")
        finding("/var/spool/cron/crontabs/bob", 1, E, "Cron skips this crontab: it is owned by "
                "uid 1000, not by bob (uid 1001).", "FILE_OWNER")
    else:
        print("skipped: FILE_OWNER needs files of another owner (run as root)")
    return expected


def alpine_tree(root):
    """busybox's crond: the findings of what it reads otherwise than Debian's cron."""
    expected = []

    def finding(path, line, severity, text, kind):
        expected.append(f"{path}:{line}:1: {severity}: {text} [{kind}]")

    write(root, "etc/passwd", PASSWD)
    write(root, "etc/os-release", 'NAME="Alpine Linux"\nID=alpine\n')
    os.makedirs(os.path.join(root, "usr/sbin"))
    os.symlink("/bin/busybox", os.path.join(root, "usr/sbin/crond"))
    write(root, "etc/crontabs/root", "0 6 * * 7 backup\n0 2 * * * root /usr/bin/backup\n"
          "*/15 * * * * run-parts /etc/periodic/15min\n")
    finding("/etc/crontabs/root", 1, E, "busybox runs this every day: 7 is out of its range.",
            "CRON_REJECTS")
    finding("/etc/crontabs/root", 2, E, 'busybox has no user column: it runs `root '
            '/usr/bin/backup` as the command, "root" and all.', "USER_COLUMN")
    write(root, "etc/cron.d/job", "0 3 * * * root /bin/true\n")
    finding("/etc/cron.d", 1, E, "busybox's crond never reads /etc/cron.d: the file in it never "
            "runs.", "UNREAD_PLACE")
    write(root, "etc/periodic/daily/backup.sh", "#!/bin/sh\n", 0o755)  # busybox runs a.sh
    if AS_ROOT:
        write(root, "etc/crontabs/alice", "0 9 * * * /bin/report\n", 0o600, 1000)
        finding("/etc/crontabs/alice", 1, E, "busybox ignores every line of this file: it is not "
                "owned by root.", "IGNORED_BY_CRON")
        finding("/etc/crontabs/alice", 1, E, "busybox skips this crontab: it is owned by uid "
                "1000, not by root.", "FILE_OWNER")
    return sorted(expected)


def fedora_tree(root):
    """cronie: a spool crontab cronie reads whole but for its bad line, a name with a dot."""
    write(root, "etc/passwd", PASSWD)
    write(root, "etc/os-release", 'NAME="Fedora Linux"\nID=fedora\n')
    write(root, "etc/crontab", "SHELL=/bin/bash\n")
    write(root, "etc/cron.d/php.conf", "0 3 * * * root /bin/true\n")
    write(root, "var/spool/cron/alice", "CRON_TZ=Europe/Berlin\n0 3 * * * /bin/report\n"
          "60 3 * * * /bin/late\n0 4 * * * /bin/after\n", 0o600, 1000 if AS_ROOT else None)
    path = "/var/spool/cron/alice"
    return [f'{path}:3:1: error: 60 is too high for field "minute" (60) [FIELD_VALUE_ERROR]',
            f"{path}:3:1: error: cronie skips this line: bad minute. [CRON_REJECTS]"]


def in_run_order(lines):
    """The audit's order: /etc/crontab, /etc/cron.d, the spool, the run-parts folders."""
    def key(line):
        path = line.split(":", 1)[0]
        group = next(i for i, p in enumerate(["/etc/crontab", "/etc/cron.d/", "/var/spool/",
                                               "/etc/cron.hourly/", "/etc/cron.daily/"])
                     if path.startswith(p))
        return (group, path)
    return sorted(lines, key=key)


def audit(binary, root, *args):
    return subprocess.run([binary, "--root", root, *args], capture_output=True, text=True)


def main():
    binary = os.path.abspath(sys.argv[1])
    failures = 0
    with tempfile.TemporaryDirectory() as clean, tempfile.TemporaryDirectory() as planted:
        clean_tree(clean)
        result = audit(binary, clean)
        # /etc/crontab, /etc/cron.d/backup, alice's crontab and /etc/cron.daily/logrotate.
        if (result.returncode, result.stdout, result.stderr) != (
                0, "Auditing as Debian's cron: /etc/os-release names Debian GNU/Linux.\n\n"
                   "No errors and no warnings in 4 files.\n", ""):
            failures += 1
            print(f"FAIL clean tree: status {result.returncode}\n{result.stdout}{result.stderr}")

        expected = in_run_order(planted_tree(planted))
        result = audit(binary, planted, "--format", "gcc")
        # The files are named by their paths on this machine: the root, then the host's path.
        got = [line[len(planted):] if line.startswith(planted + "/") else line
               for line in result.stdout.splitlines()]
        if got != expected or result.returncode != 2 or result.stderr:
            failures += 1
            print(f"FAIL planted tree: status {result.returncode}, stderr {result.stderr!r}")
            for line in sorted(set(expected) - set(got)):
                print(f"  missing: {line}")
            for line in sorted(set(got) - set(expected)):
                print(f"  unexpected: {line}")
            if set(got) == set(expected):
                print("  the same findings in another order")
        # --disable takes a kind out of the whole run, file kinds and lintkeeper's too.
        disabled = audit(binary, planted, "--format", "gcc", "--disable", "IGNORED_BY_CRON",
                         "--disable", "USER_NOT_FOUND").stdout.splitlines()
        kept = [line for line in got if not line.endswith(("[IGNORED_BY_CRON]",
                                                             "[USER_NOT_FOUND]"))]
        if [line[len(planted):] for line in disabled] != kept:
            failures += 1
            print("FAIL --disable IGNORED_BY_CRON --disable USER_NOT_FOUND")
        # The text format tells the same findings: each file's header, then its lines.
        text = audit(binary, planted).stdout
        for line in expected:
            path, rest = line.split(":", 1)
            kind = rest.rsplit("[", 1)[1].rstrip("]")
            if f"Checking correctness of {planted}{path} (" not in text or f" {kind}: " not in text:
                failures += 1
                print(f"FAIL text format lacks {path} or {kind}")
    for name, plant, cron in (("Alpine", alpine_tree, "busybox's crond"),
                              ("Fedora", fedora_tree, "cronie")):
        with tempfile.TemporaryDirectory() as tree:
            want = sorted(plant(tree))
            result = audit(binary, tree, "--format", "gcc")
            got = sorted(line[len(tree):] for line in result.stdout.splitlines())
            first = audit(binary, tree).stdout.split("\n", 1)[0]
            if not first.startswith(f"Auditing as {cron}: "):
                failures += 1
                print(f"FAIL {name} tree audited as: {first}")
            if got != want or result.stderr:
                failures += 1
                print(f"FAIL {name} tree: status {result.returncode}, stderr {result.stderr!r}")
                for line in sorted(set(want) - set(got)):
                    print(f"  missing: {line}")
                for line in sorted(set(got) - set(want)):
                    print(f"  unexpected: {line}")
    if failures == 0:
        print(f"ok: clean tree, {len(expected)} planted findings, and the Alpine and Fedora trees")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
