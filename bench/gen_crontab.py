#!/usr/bin/env python3
"""Seeded generator of large crontabs for benchmarking lintkeeper.

Examples:
  gen_crontab.py --size 100M --flavor system --findings 0.10 --seed 1 > big.crontab
  gen_crontab.py --size 50M --shape one-line > huge-line.crontab
  gen_crontab.py --lines 20 --files 1000 tree/    # 1000 crontabs of 20 lines in tree/
"""
import argparse
import os
import random
import sys

USERS = ["root", "www-data", "backup", "nobody", "daemon", "mail"]
BAD_USERS = ["no-such-user", "ops@host", "a" * 40]
COMMANDS = [
    "/usr/local/bin/backup --incremental /srv/data",
    "test -x /usr/sbin/anacron || ( cd / && run-parts --report /etc/cron.daily )",
    "/usr/bin/find /var/tmp -type f -mtime +7 -delete",
    "cd /srv/app && ./bin/rake jobs:work >> log/cron.log 2>&1",
    "/usr/sbin/logrotate /etc/logrotate.conf",
    "curl -fsS --retry 3 https://health.example.com/ping/abcd > /dev/null",
    "/opt/tenant/{t}/bin/sync --shard {s} --quiet",
]
BAD_COMMANDS = ["tar czf /backup/$(date +%F).tgz /etc", "echo 100% done"]
AT_NAMES = ["reboot", "daily", "hourly", "weekly", "monthly", "yearly", "midnight"]


def schedule(rng):
    minute = rng.choice(["*/5", "0", "15", "30", "45", "*/15", "0,30", str(rng.randrange(60))])
    hour = rng.choice(["*", "*/2", "3", "1-5", "8-18/2", str(rng.randrange(24))])
    if hour != "*" and minute.startswith("*"):
        minute = "0"
    day = rng.choice(["*", "*", "1", "1,15", "*/3"])
    month = rng.choice(["*", "*", "*", "jan-jun", "1-12/3"])
    weekday = rng.choice(["*", "*", "mon-fri", "0", "sat,sun", "1-5"])
    return [minute, hour, day, month, weekday]


def bad_schedule(rng):
    fields = schedule(rng)
    i = rng.randrange(5)
    fields[i] = rng.choice(["60", "24", "0-13/13", "*/0", "5-x", "32-0/40", "mon-fri/0"][i:i + 3])
    return fields


def line(rng, flavor, findings, n):
    bad = rng.random() < findings
    r = rng.random()
    user_col = flavor == "system"
    if r < 0.12:
        return rng.choice(["# " + "nightly maintenance for tenant %d" % n, "#", "## shard %d" % n])
    if r < 0.16:
        return ""
    if r < 0.20:
        if bad:
            return rng.choice(["FOO=$HOME/bin", "EMPTY=", 'NOTE="x" # comment'])
        return rng.choice(["SHELL=/bin/sh", "MAILTO=ops@example.com", "PATH=/usr/bin:/bin"])
    if r < 0.24:
        name = rng.choice(AT_NAMES if not bad else ["every5", "Daily"])
        user = rng.choice(USERS) + "\t" if user_col else ""
        return "@%s %s%s" % (name, user, rng.choice(COMMANDS).format(t=n, s=n % 64))
    if bad and rng.random() < 0.1:
        return "this line is not a crontab line %d" % n
    fields = bad_schedule(rng) if bad and rng.random() < 0.5 else schedule(rng)
    command = rng.choice(BAD_COMMANDS if bad else COMMANDS).format(t=n, s=n % 64)
    cols = fields[:]
    if user_col:
        cols.append(rng.choice(BAD_USERS if bad and rng.random() < 0.3 else USERS))
    cols.append(command)
    return rng.choice([" ", "\t"]).join(cols)


def parse_size(text):
    mult = {"K": 1 << 10, "M": 1 << 20, "G": 1 << 30}
    if text[-1].upper() in mult:
        return int(float(text[:-1]) * mult[text[-1].upper()])
    return int(text)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--size", default="10M", help="approximate size in bytes (K, M, G suffixes)")
    p.add_argument("--lines", type=int, help="number of lines instead of --size")
    p.add_argument("--flavor", choices=["system", "user"], default="system")
    p.add_argument("--findings", type=float, default=0.10, help="share of lines with findings")
    p.add_argument("--shape", choices=["mixed", "one-line"], default="mixed")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--files", type=int, help="write this many crontabs into the folder DIR")
    p.add_argument("dir", nargs="?", help="the folder of --files")
    a = p.parse_args()
    rng = random.Random(a.seed)
    if a.files:
        os.makedirs(a.dir, exist_ok=True)
        for i in range(a.files):
            with open(os.path.join(a.dir, "crontab-%04d" % i), "wb") as f:
                f.write("".join(line(rng, a.flavor, a.findings, n) + "\n"
                                for n in range(1, a.lines + 1)).encode())
        return
    out = sys.stdout.buffer
    target = parse_size(a.size)
    if a.shape == "one-line":
        # One scheduled line whose command is one huge word list.
        head = b"0 3 * * * root " if a.flavor == "system" else b"0 3 * * * "
        out.write(head)
        chunk = b"/usr/local/bin/job --flag value " * 1024
        written = len(head)
        while written + len(chunk) < target:
            out.write(chunk)
            written += len(chunk)
        out.write(b"x" * max(0, target - written - 1) + b"\n")
        return
    written = 0
    n = 0
    buf = []
    while (a.lines is None and written < target) or (a.lines is not None and n < a.lines):
        n += 1
        text = line(rng, a.flavor, a.findings, n) + "\n"
        data = text.encode()
        written += len(data)
        buf.append(data)
        if len(buf) >= 4096:
            out.write(b"".join(buf))
            buf.clear()
    out.write(b"".join(buf))


if __name__ == "__main__":
    main()
