#!/usr/bin/env python3
r"""Records how busybox's crond reads crontab lines, by running the real daemon.

Usage:
  record.py --lines N [--seed S] [--no-hand] [--out FILE]
  record.py --check FILE

The first form makes the hand-written lines of HAND_LINES (unless --no-hand) and N lines
generated from seed S (default 1), runs busybox crond on them and writes one TSV row per line
to FILE (default: standard output). The second form runs crond again on the lines of an
existing recording and reports every row whose outcome differs; it exits 0 when none does,
1 when some do, and 77 ("skipped: ...") when the daemon cannot be run here: not root, no
unshare, or no busybox with a crond applet (Debian: apt-get install busybox-static).

How a line is run. Every line becomes a crontab of its own (its bytes and a line feed), owned
by root and named after a made-up user (u000001, u000002, ...) of a password file made for the
run, so that what crond logs about a line is told apart by the user it names. Everything
happens in a private mount and PID namespace (unshare -m -p -f): /run is a fresh tmpfs that
holds the crontabs, the password file is bound over /etc/passwd, empty stand-ins are bound over
/etc/crontabs, /var/spool/cron, /etc/cron.d and /etc/crontab, and each user's shell is
/bin/true, so that no job does anything. The daemon runs as
`busybox crond -f -l 0 -L LOG -c DIR`, bounded by a time-out, and is killed by its process id.

1. Loading. crond logs, for each line that it does not take for a comment or blank line, a
   header (`user:NAME entry:(null)`) and then, field by field, the bit map of the field or, for
   a field it cannot read, `user NAME: parse error at TOKEN`. The daemon is stopped once it
   sleeps. A line can make the daemon die (SIGSEGV): the line whose header came last is then
   run again alone to confirm it, and the lines not yet seen are run again.
2. Commands. crond does not log a job's command when it loads it, but at each minute it logs
   every job of every crontab (`file NAME:` and ` line COMMAND`). So the lines are loaded once
   more by a daemon that waits for the next minute to start, and the command of each job is
   read from what it logs then. This pass runs beside the first, on every line but those
   starting with '@' (the only ones that ever crashed crond); it runs again after the first,
   on every line that did not crash crond, when one of its lines did or a line it left out
   loaded a job. A check thus takes up to a minute and a few seconds.

TSV format: a header row, then one row per line, with 8 columns separated by tabs:
  line     the crontab line, escaped (see below); its crontab is these bytes and a line feed
  verdict  loaded   all five fields read; columns 3-7 hold their bit maps
           error    at least one field logged `parse error at TOKEN`: that field's column
                    holds the message, the others their bit maps
           skipped  crond logged the header and nothing else (no job)
           dropped  crond logged nothing (a comment or blank line)
           crashed  crond died while reading this line
           odd      anything else: column 3 holds all that crond logged for the line
  minute, hour, day of month, month, day of week
           a bit map exactly as crond logged it (first character: the lowest value it keeps,
           minute 0, hour 0, day 0, January, Sunday), or `parse error at TOKEN`, or `-`
  command  the job's command as crond logged it at the minute, escaped; `-` for no job
The escapes: `\\` for a backslash, `\t` for a tab, `\xNN` (two lower-case hex digits) for
every other byte below 0x20, 0x7f and every byte from 0x80 up. Every other byte, spaces too,
stands for itself.

What the log does not show, and so no column holds: the bits crond keeps for a field that
logged an error (an `error` line is still a job: seen at run time, a range whose end is out
of the field's range keeps every skip-th value of 1024 counts, every value for a step of 1, and
junk keeps the bits of the items before it), the bits a value below 0 sets in the fields
logged before its own, and whether a `skipped` line was an assignment that crond honours
(MAILTO= and SHELL= are, others are not); nor what a crontab of several lines does (lines
joined with '\', the limit of lines). experiments.md holds what was found of these by other
runs of the same daemon. No column depends on the time of day the recording is made.
"""

import argparse
import json
import os
import random
import shutil
import signal
import subprocess
import sys
import threading
import time

SKIPPED = 77
COLUMNS = ["line", "verdict", "minute", "hour", "day_of_month", "month", "day_of_week",
           "command"]
FIELD_COUNT = 5
USER_PREFIX = "u"
UID_BASE = 20000
SLEEP_SYSCALLS = {"35", "230"}  # nanosleep and clock_nanosleep on x86-64
LOAD_TIMEOUT = 20.0
MINUTE_TIMEOUT = 150.0
CHUNK = 100  # lines per daemon in the loading pass

# Hand-written lines: every kind of line the recording must hold, before the generated ones.
HAND_LINES = [
    # Plain jobs and the five fields' limits.
    b"0 6 * * * backup",
    b"* * * * * every-minute",
    b"59 23 31 12 6 last-of-everything",
    b"0 0 1 1 0 first-of-everything",
    b"0 6 * * 7 backup",
    b"0 6 * * 8 backup",
    b"60 * * * * minute-60",
    b"* 24 * * * hour-24",
    b"* * 0 * * day-0",
    b"* * 32 * * day-32",
    b"* * * 0 * month-0",
    b"* * * 13 * month-13",
    b"-1 * * * * minus-one",
    b"+5 * * * * plus-five",
    b"007 * * * * leading-zeros",
    b"99999999999999999999 * * * * huge",
    b"4294967296 * * * * two-to-32",
    b"4294967297 * * * * two-to-32-plus-1",
    # Ranges.
    b"1-5 * * * * range",
    b"5-1 * * * * backwards",
    b"55-5 * * * * wrapping",
    b"5-5 * * * * one-value",
    b"0-59 0-23 1-31 1-12 0-6 full",
    b"0-60 * * * * range-past-end",
    b"* * * * 0-7 weekday-0-7",
    b"* * * * 5-7 weekday-5-7",
    b"* * * * 7-7 weekday-7-7",
    b"* * * * 6-0 weekday-6-0",
    b"* * 31-1 * * day-31-1",
    b"1- * * * * open-range",
    b"-5 * * * * open-start",
    b"1-2-3 * * * * double-range",
    b"*-5 * * * * star-range",
    # Steps.
    b"*/15 * * * * quarter",
    b"1-30/7 * * * * range-step",
    b"*/0 * * * * step-0",
    b"1-5/0 * * * * range-step-0",
    b"*/60 * * * * step-60",
    b"*/61 * * * * step-61",
    b"*/100 * * * * step-100",
    b"* */24 * * * hour-step-24",
    b"* * */31 * * day-step-31",
    b"* * */32 * * day-step-32",
    b"* * * */12 * month-step-12",
    b"* * * * */7 weekday-step-7",
    b"5/15 * * * * number-step",
    b"50-10/5 * * * * backwards-step",
    b"*/ * * * * empty-step",
    b"/5 * * * * lone-step",
    b"*/x * * * * step-name",
    b"*/1/2 * * * * double-step",
    # Lists.
    b"1,2,3 * * * * list",
    b"1,5-7,*/20 * * * * mixed-list",
    b"1,60 * * * * list-with-60",
    b"60,1 * * * * list-60-first",
    b"1,x * * * * list-with-junk",
    b"x,1 * * * * list-junk-first",
    b",1 * * * * leading-comma",
    b"1, * * * * trailing-comma",
    b"1,,2 * * * * double-comma",
    b"*,5 * * * * star-in-list",
    # Names.
    b"0 0 * * Mon monday",
    b"0 0 * * mon-fri weekdays",
    b"0 0 * * MON,WED,FRI caps",
    b"0 0 * * sun-sat/2 named-range-step",
    b"0 0 * * Monday full-name",
    b"0 0 * * mo two-letters",
    b"0 0 * * fri-mon named-backwards",
    b"0 0 * * 1-fri number-to-name",
    b"0 0 * * mon-5 name-to-number",
    b"0 0 * JAN * january",
    b"0 0 * jan-dec/5 * month-step",
    b"0 0 * January * full-month",
    b"0 0 * jAn,fEb * mixed-case",
    b"0 0 * dec-jan * months-backwards",
    b"0 0 * * jan month-in-weekday",
    b"0 0 * mon * weekday-in-month",
    b"mon * * * * name-in-minute",
    b"0 0 sun * * name-in-day",
    # Junk in a field.
    b"x * * * * junk",
    b"? * * * * question",
    b"* * L * * last-day",
    b"* * * * 5L last-friday",
    b"* * * * 1#2 nth-weekday",
    b"* * 15W * * nearest-weekday",
    b"1.5 * * * * decimal",
    b"0x1f * * * * hex",
    b"** * * * * double-star",
    # Special names.
    b"@reboot /usr/bin/at-boot",
    b"@yearly yearly",
    b"@annually annually",
    b"@monthly monthly",
    b"@weekly weekly",
    b"@daily daily",
    b"@midnight midnight",
    b"@hourly hourly",
    b"@DAILY upper",
    b"@every_minute unknown",
    b"@ daily spaced",
    b"@daily",
    b"@reboot",
    # Missing and extra fields.
    b"",
    b"*",
    b"* * * *",
    b"* * * * *",
    b"* * * * * ",
    b"0 2 * * * root /usr/bin/backup",
    b"0 2 * * * * six-fields",
    # Blanks.
    b"  0 6 * * * leading-blanks",
    b"\t0 6 * * * leading-tab",
    b"0\t6\t*\t*\t*\ttabs",
    b"0  6   *  *  *   many-blanks",
    b"0 6 * * *     command-after-blanks",
    b"0 6 * * * trailing-blanks   ",
    b"0 6 * * * trailing-tab\t",
    b"0\xc2\xa06 * * * no-break-space",
    b"0 6 * * *\xc2\xa0after-no-break-space",
    b"0\xe2\x80\x836 * * * em-space",
    b"0\xe3\x80\x806 * * * ideographic-space",
    b"0\x0b6 * * * * vertical-tab",
    b"0\x0c6 * * * * form-feed",
    b"0\r6 * * * * carriage-return-inside",
    b"\xc2\xa00 6 * * * leading-no-break-space",
    # Commands.
    b"0 6 * * * date +%Y-%m-%d",
    b"0 6 * * * mail -s hi root%line one%line two",
    b"0 6 * * * echo 100\\%",
    b"0 6 * * * %",
    b"0 6 * * * curl \"http://x/#a\"",
    b"0 6 * * * echo a#b",
    b"0 6 * * * echo a #b",
    b"0 6 * * * echo '#'",
    b"0 6 * * * echo \\#x",
    b"0 6 * * *#x",
    b"0 6 * * * #x",
    b"0 6#x * * * cut-in-a-field",
    b"0 6 * * * echo \"a b\"  'c  d'",
    b"0 6 * * * trailing-backslash \\",
    b"0 6 * * * trailing-backslash\\",
    b"0 6 * * * carriage-return\r",
    b"0 6 * * * carriage-return-then-blank\r ",
    b"0 6 * * * nul\x00byte",
    b"0 6 * * * control\x01\x7fchars",
    b"0 6 * * * h\xc3\xa9llo \xe2\x9c\x93",
    b"0 6 * * * bad-utf8 \xff\xfe",
    b"0 6 * * * " + b"x" * 1000,
    b"0 6 * * * " + b"y" * 4096,
    b"0 6 * * * echo " + b"z" * 10000,
    b"0 6 * * * run-parts /etc/periodic/daily",
    b"0 6 * * * \\",
    b"0 6 * * * a # b # c",
    b"* * * * * #",
    b"@reboot\t/usr/bin/at-boot",
    b",".join([b"1"] * 3000) + b" * * * * long-list",
    b"x" * 5000 + b" * * * * long-junk",
    # Assignments.
    b"MAILTO=root",
    b"MAILTO=",
    b"MAILTO=\"\"",
    b"SHELL=/bin/bash",
    b"PATH=/usr/local/bin:/usr/bin:/bin",
    b"CRON_TZ=UTC",
    b"TZ=UTC",
    b"FOO=bar",
    b"FOO = bar",
    b"FOO =bar",
    b"FOO= bar",
    b"  FOO=bar",
    b"FOO=bar baz qux quux quuz corge",
    b"FOO=\"a b\"",
    b"foo=bar",
    b"=bar",
    b"MAILTO=a b c d e f",
    b"SHELL=/bin/sh a b c d e",
    b"PATH=/x a b c d e",
    b"MAILTO = a b c d e",
    b"mailto=root",
    b"MAILTO=root\r",
    # Values crond keeps otherwise than written. A value below 0 sets the byte that far before
    # its field's array, so the map of a later field shows it (the arrays lie in the order
    # day of week, month, hour, day of month, minute); as the start of a range it counts as
    # not given.
    b"4294967295 * 1 * * minute-minus-1",
    b"4294967264 * 1 * * minute-minus-32",
    b"4294967236 * 1 * * minute-minus-60",
    b"4294967235 * 1 * * minute-minus-61",
    b"0 4294967295 1 1 0 hour-minus-1",
    b"0 4294967283 1 1 0 hour-minus-13",
    b"0 2147483648 1 1 0 hour-int-min",
    b"0 0 4294967271 1 0 day-minus-25",
    b"0 0 1 0 0 month-0",
    b"0 0 1 4294967293 0 month-minus-3",
    b"0 0 1 1 4294967295 weekday-minus-1",
    b"0 0 1 0-5 * month-0-to-5",
    b"0 0 1 5-0 * month-5-to-0",
    b"4294967291-5 * * * * minus-5-to-5",
    b"5-4294967291-7 * * * * 5-to-minus-5-to-7",
    b"4294967295,5 * 1 * * minus-1-and-5",
    b"1-* * * * * range-to-star",
    b"0 0 * * mon-* weekday-range-to-star",
    b"*/+2 * * * * plus-step",
    b"*/-1 * * * * minus-step",
    b"*/\x0b5 * * * * vertical-tab-step",
    b"*/4294967298 * * * * step-past-2-to-32",
    b"5-1/2 * * * * backwards-range-step",
    b"60-5 * * * * start-past-end",
    b"99-50 * * * * start-far-past-end",
    b"0 0 40-5 * * day-start-past-end",
    b"0 0 * 13-2 * month-start-past-end",
    b"0 0 * * 7-2 weekday-7-start",
    b"0 0 * * 8-2 weekday-8-start",
    b"0 0 * * Wedday name-then-junk",
    b"0 0 */2 * * day-step-from-0",
    b"0 0 0-31 * * day-0-to-31",
    # Comments.
    b"# a comment",
    b"#0 6 * * * commented-out",
    b"  # indented comment",
    b"\t# tab-indented comment",
    b" ",
    b"\t",
    b"; not a comment",
]


def escape(data):
    """The TSV form of bytes: backslash, tab and bytes outside printable ASCII escaped."""
    out = []
    for byte in data:
        if byte == 0x5C:
            out.append("\\\\")
        elif byte == 0x09:
            out.append("\\t")
        elif byte < 0x20 or byte >= 0x7F:
            out.append("\\x%02x" % byte)
        else:
            out.append(chr(byte))
    return "".join(out)


def unescape(text):
    """The bytes of a TSV field written by escape(); raises ValueError on a bad escape."""
    out = bytearray()
    i = 0
    while i < len(text):
        char = text[i]
        if char != "\\":
            if ord(char) < 0x20 or ord(char) >= 0x7F:
                raise ValueError("unescaped byte %r" % char)
            out.append(ord(char))
            i += 1
            continue
        nxt = text[i + 1:i + 2]
        if nxt == "\\":
            out.append(0x5C)
            i += 2
        elif nxt == "t":
            out.append(0x09)
            i += 2
        elif nxt == "x" and len(text) >= i + 4:
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            raise ValueError("bad escape at %d" % i)
    return bytes(out)


# ---------------------------------------------------------------------------------------
# The generator.

FIELD_LIMITS = [(0, 59), (0, 23), (1, 31), (1, 12), (0, 7)]
OUT_OF_RANGE = [[60, 61, 99, 100], [24, 25, 60], [0, 32, 33, 99], [0, 13, 14, 31], [7, 8, 9, 10]]
MONTHS = ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"]
DAYS = ["sun", "mon", "tue", "wed", "thu", "fri", "sat"]
FULL_NAMES = ["january", "february", "monday", "sunday", "saturday", "august", "thurs",
              "tues", "sept", "ja", "mo", "m", "j"]
JUNK = ["x", "?", "L", "W", "5L", "1#2", "-1", "+1", "1-", "-", "/", "*/", "**", "*-5", "*/*",
        "1-5-7", "1//2", "0x1f", "1.5", "1e2", "\u00bd", "\uff11", "\u0663", "1,", ",", "1,,2",
        "*/-1", "*/+2", "01", "0", "00", "18446744073709551616", "4294967296", "2147483648"]
STEPS = [0, 1, 2, 3, 5, 7, 10, 12, 15, 20, 24, 30, 31, 32, 45, 59, 60, 61, 100, 255, 256, 1000]
SEPARATORS = [(" ", 400), ("\t", 40), ("  ", 30), (" \t ", 15), ("\u00a0", 3), ("\u2003", 1),
              ("\u3000", 1), ("\u2009", 1), ("\x0b", 1), ("\x0c", 1), ("\r", 1),
              (" \u00a0", 1), ("\u0085", 1)]
SPECIAL = ["@reboot", "@yearly", "@annually", "@monthly", "@weekly", "@daily", "@midnight",
           "@hourly", "@REBOOT", "@Daily", "@HOURLY", "@", "@every", "@1h", "@ daily", "@reboot:",
           "@dai", "@dailyx", "@weekly,"]
ASSIGN_NAMES = ["MAILTO", "SHELL", "PATH", "CRON_TZ", "TZ", "HOME", "FOO", "RANDOM_DELAY",
                "MAILFROM", "mailto", "LANG", "A", "_X", "1X", "X-Y", "LOGNAME", "USER"]
ASSIGN_VALUES = ["", "root", "/bin/sh", "/bin/bash", "/usr/bin:/bin", "UTC", "Europe/Paris",
                 "\"\"", "''", "\"a b\"", "a b", "bar", "x=y", "a#b", "%", "$HOME/bin", " lead"]
COMMANDS = ["echo hi", "/usr/bin/backup", "run-parts /etc/periodic/daily", "true", "cmd",
            "date +%Y-%m-%d", "echo a%b", "mail -s x root%body%more", "%", "echo 100\\%", "%%",
            "curl \"http://x/#a\"", "echo a#b", "echo a #b", "echo '#'", "echo \\#x", "#x",
            "echo \"a b\"", "printf '%s\\n' x", "echo a\\", "echo a \\", "\\", "a\\b",
            "echo\ta\tb", "  padded  ", "h\u00e9llo", "x\u00a0y", "\u2713 done", "\x01\x7f",
            "root /usr/bin/backup", "nobody /bin/true", "cd / && ls | wc -l > /dev/null 2>&1",
            "echo $((1+2))", "'quoted # hash'", ">/dev/null", ";", "&", "*", "* * *", "@daily x",
            "FOO=bar cmd", "echo `date`", "echo \"unterminated", "a\"b'c"]


def weighted(rng, pairs):
    total = sum(weight for _, weight in pairs)
    pick = rng.uniform(0, total)
    for value, weight in pairs:
        pick -= weight
        if pick <= 0:
            return value
    return pairs[-1][0]


def name_case(rng, name):
    style = rng.randrange(5)
    if style == 0:
        return name.upper()
    if style == 1:
        return name.capitalize()
    if style == 2:
        return "".join(c.upper() if rng.random() < 0.5 else c for c in name)
    return name


def gen_number(rng, field):
    low, high = FIELD_LIMITS[field]
    value = str(rng.randint(low, high))
    if rng.random() < 0.05:
        value = "0" * rng.randint(1, 2) + value
    return value


def gen_value(rng, field):
    """A single value: a number in or out of range, or a name."""
    roll = rng.random()
    if field in (3, 4) and roll < 0.35:
        names = MONTHS if field == 3 else DAYS
        if rng.random() < 0.05:
            names = DAYS if field == 3 else MONTHS
        return name_case(rng, rng.choice(names))
    if roll < 0.93:
        return gen_number(rng, field)
    if roll < 0.99:
        return str(rng.choice(OUT_OF_RANGE[field]))
    return name_case(rng, rng.choice(MONTHS + DAYS))


def gen_item(rng, field):
    """One item of a list: *, a value, a range, or a step."""
    roll = rng.random()
    if roll < 0.2:
        return "*"
    if roll < 0.5:
        return gen_value(rng, field)
    if roll < 0.75:
        return gen_value(rng, field) + "-" + gen_value(rng, field)
    step = str(rng.choice(STEPS) if rng.random() < 0.3 else rng.randint(1, 15))
    base = rng.choice(["*", "range", "range", "value"])
    if base == "*":
        return "*/" + step
    if base == "value":
        return gen_value(rng, field) + "/" + step
    return gen_value(rng, field) + "-" + gen_value(rng, field) + "/" + step


def gen_field(rng, field):
    roll = rng.random()
    if roll < 0.4:
        return "*"
    if roll < 0.82:
        return gen_item(rng, field)
    if roll < 0.97:
        return ",".join(gen_item(rng, field) for _ in range(rng.randint(2, 4)))
    if roll < 0.98:
        return name_case(rng, rng.choice(FULL_NAMES))
    return rng.choice(JUNK)


def gen_separator(rng):
    return weighted(rng, SEPARATORS)


def gen_command(rng):
    roll = rng.random()
    if roll < 0.02:
        return ""
    if roll < 0.04:
        return "echo " + "x" * rng.choice([100, 255, 256, 1000, 1023, 1024, 2047, 2048, 4095])
    command = rng.choice(COMMANDS)
    if rng.random() < 0.3:
        command = command + " " + rng.choice(COMMANDS)
    return command


def gen_schedule_line(rng, count):
    parts = [gen_field(rng, i % FIELD_COUNT) for i in range(count)]
    text = ""
    for part in parts:
        text += part + gen_separator(rng)
    return text + gen_command(rng)


def gen_line(rng):
    roll = rng.random()
    if roll < 0.72:
        text = gen_schedule_line(rng, FIELD_COUNT)
    elif roll < 0.78:
        text = rng.choice(SPECIAL)
        if rng.random() < 0.85:
            text += gen_separator(rng) + gen_command(rng)
    elif roll < 0.86:
        name = rng.choice(ASSIGN_NAMES)
        value = rng.choice(ASSIGN_VALUES)
        equals = rng.choice(["=", "=", "=", " = ", " =", "= ", "\t=\t"])
        text = name + equals + value
    elif roll < 0.89:
        text = rng.choice(["#", " #", "\t#", "##", "#!"]) + rng.choice(["", " comment", " 0 6 * * * x"])
    elif roll < 0.91:
        text = rng.choice(["", " ", "\t", "  \t ", "\u00a0"])
    elif roll < 0.96:
        text = gen_schedule_line(rng, rng.randint(1, 4))
        if rng.random() < 0.3:
            text = text.rstrip() if rng.random() < 0.5 else text
    else:
        text = gen_schedule_line(rng, rng.randint(6, 8))
    if rng.random() < 0.08:
        text = rng.choice([" ", "\t", "  ", " \t"]) + text
    if rng.random() < 0.05:
        text += rng.choice([" ", "\t", "  "])
    if rng.random() < 0.03:
        text += "\r"
    if rng.random() < 0.02:
        text += "\\"
    data = text.encode("utf-8")
    if rng.random() < 0.005:
        cut = rng.randrange(len(data) + 1)
        data = data[:cut] + b"\x00" + data[cut:]
    if rng.random() < 0.005:
        data += b"\xff"
    return data.replace(b"\n", b" ")


def generate(count, seed):
    rng = random.Random(seed)
    return [gen_line(rng) for _ in range(count)]


# ---------------------------------------------------------------------------------------
# Inside the namespace.

def user_name(index):
    return "%s%06d" % (USER_PREFIX, index + 1)


def run_mount(*args):
    subprocess.run(["mount", *args], check=True)


def set_up_namespace(user_count):
    run_mount("--make-rprivate", "/")
    run_mount("-t", "tmpfs", "-o", "mode=0755", "tmpfs", "/run")
    os.makedirs("/run/lk/empty-dir")
    open("/run/lk/empty-file", "wb").close()
    for path in ("/etc/crontabs", "/var/spool/cron", "/etc/cron.d"):
        if os.path.isdir(path):
            run_mount("--bind", "/run/lk/empty-dir", path)
    if os.path.isdir("/var/run") and os.path.realpath("/var/run") != "/run":
        run_mount("-t", "tmpfs", "-o", "mode=0755", "tmpfs", "/var/run")  # crond.pid, crond.reboot
    for path in ("/etc/crontab",):
        if os.path.isfile(path):
            run_mount("--bind", "/run/lk/empty-file", path)
    with open("/run/lk/passwd", "w") as passwd:
        passwd.write("root:x:0:0:root:/root:/bin/true\n")
        for index in range(user_count):
            passwd.write("%s:x:%d:%d::/:/bin/true\n"
                         % (user_name(index), UID_BASE + index, UID_BASE))
    run_mount("--bind", "/run/lk/passwd", "/etc/passwd")


def proc_sleeping(pid):
    """True when the process sleeps in nanosleep: crond has read its crontabs."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            state = stat.read().rsplit(")", 1)[1].split()[0]
        with open("/proc/%d/syscall" % pid) as sysc:
            nr = sysc.read().split()[0]
        with open("/proc/%d/wchan" % pid) as wchan:
            chan = wchan.read()
    except (OSError, IndexError):
        return False
    return state == "S" and (nr in SLEEP_SYSCALLS or "nanosleep" in chan)


def start_crond(busybox, directory, log):
    env = {"PATH": "/usr/sbin:/usr/bin:/sbin:/bin"}
    return subprocess.Popen([busybox, "crond", "-f", "-l", "0", "-L", log, "-c", directory],
                            env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def stop(proc):
    if proc.poll() is None:
        os.kill(proc.pid, signal.SIGKILL)
    proc.wait()


def file_size(path):
    try:
        return os.path.getsize(path)
    except OSError:
        return -1


def wait_asleep(proc, log, deadline):
    """Waits until crond sleeps with a log that has stopped growing, or exits.

    Returns "asleep", "exited" or "timeout"."""
    last_size, stable_since = -2, time.monotonic()
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return "exited"
        size = file_size(log)
        now = time.monotonic()
        if size != last_size:
            last_size, stable_since = size, now
        elif proc_sleeping(proc.pid) and now - stable_since >= 0.05:
            return "asleep"
        time.sleep(0.01)
    return "timeout"


def read_log(path):
    try:
        with open(path, "rb") as log:
            return log.read().split(b"\n")
    except OSError:
        return []


def parse_load_log(lines):
    """Splits a loading log into per-user blocks: {user: [logged line, ...]}, in order."""
    blocks = {}
    order = []
    current = None
    for line in lines:
        if line.startswith(b"crond: user:") and line.endswith(b" entry:(null)"):
            name = line[len(b"crond: user:"):-len(b" entry:(null)")].decode("latin-1")
            if name in blocks:
                current = None  # crond read the crontab again: keep the first reading
                continue
            blocks[name] = []
            order.append(name)
            current = name
        elif line.startswith(b"crond: wakeup"):
            break
        elif current is not None and line:
            blocks[current].append(line)
    return blocks, order


def judge_block(name, block):
    """Verdict and the five field columns (bytes) of one user's loading block."""
    error_prefix = b"crond: user " + name.encode("latin-1") + b": "
    fields = []
    for line in block:
        if line and all(c in b"01" for c in line):
            fields.append(line)
        elif line.startswith(error_prefix + b"parse error at "):
            fields.append(line[len(error_prefix):])
        else:
            return "odd", [b"\n".join(block)] + [b"-"] * 4
    if not fields:
        return "skipped", [b"-"] * 5
    if len(fields) != FIELD_COUNT:
        return "odd", [b"\n".join(block)] + [b"-"] * 4
    if any(f.startswith(b"parse error at ") for f in fields):
        return "error", fields
    return "loaded", fields


def write_crontabs(directory, lines, indexes):
    os.makedirs(directory)
    for index in indexes:
        path = os.path.join(directory, user_name(index))
        with open(path, "wb") as crontab:
            crontab.write(lines[index] + b"\n")


def exit_verdict(status):
    if status < 0:
        return "crashed", [b"-"] * 5
    return "odd", [b"crond exited with status %d" % status] + [b"-"] * 4


def load_pass(busybox, lines, notes):
    """Runs crond over every line; returns {index: (verdict, fields)}."""
    results = {}
    pending = [list(range(start, min(start + CHUNK, len(lines))))
               for start in range(0, len(lines), CHUNK)]
    runs = 0
    while pending:
        indexes = pending.pop(0)
        runs += 1
        directory = "/run/lk/load/%d" % runs
        log = "/run/lk/load/%d.log" % runs
        write_crontabs(directory, lines, indexes)
        proc = start_crond(busybox, directory, log)
        state = wait_asleep(proc, log, time.monotonic() + LOAD_TIMEOUT)
        stop(proc)
        logged = read_log(log)
        if runs == 1 and logged and b"started" in logged[0]:
            notes.append(logged[0].decode("latin-1"))
        blocks, order = parse_load_log(logged)
        by_name = {user_name(i): i for i in indexes}
        if state == "asleep":
            for index in indexes:
                name = user_name(index)
                if name in blocks:
                    results[index] = judge_block(name, blocks[name])
                else:
                    results[index] = ("dropped", [b"-"] * 5)
        elif state == "exited" and order and len(indexes) > 1:
            suspect = by_name[order[-1]]
            for name in order[:-1]:
                results[by_name[name]] = judge_block(name, blocks[name])
            seen = set(by_name[name] for name in order)
            rest = [i for i in indexes if i not in seen]
            pending.insert(0, [suspect])
            if rest:
                pending.insert(1, rest)
        elif state == "exited" and len(indexes) == 1:
            results[indexes[0]] = exit_verdict(proc.returncode)
        elif state == "exited":
            # Died before logging anything: run the lines one by one.
            if len(indexes) > 1:
                pending[0:0] = [[i] for i in indexes]
            else:
                results[indexes[0]] = exit_verdict(proc.returncode)
        else:
            notes.append("crond did not settle within %.0f s on %d lines" % (LOAD_TIMEOUT,
                                                                                len(indexes)))
            for index in indexes:
                results[index] = ("odd", [b"time-out while loading"] + [b"-"] * 4)
        shutil.rmtree(directory)
    notes.append("loading: %d daemon runs" % runs)
    return results


def parse_minute_log(lines):
    """The commands that crond listed at its first minute: {user: [command, ...]} or None."""
    commands = {}
    current = None
    woke = False
    for line in lines:
        if line.startswith(b"crond: wakeup"):
            if woke:
                break
            woke = True
            continue
        if not woke:
            continue
        if line.startswith(b"crond: file ") and line.endswith(b":"):
            current = line[len(b"crond: file "):-1].decode("latin-1")
            commands.setdefault(current, [])
        elif line.startswith(b"crond:  line ") and current is not None:
            commands[current].append(line[len(b"crond:  line "):])
        elif line.startswith(b"crond:  job:"):
            continue
        else:
            current = None
    return commands if woke else None


def command_pass(busybox, lines, indexes, expected, notes):
    """Loads the lines once more before a minute starts and reads the jobs crond lists then.

    crond may be started any time before the minute, as long as it has loaded every crontab
    when the minute starts: it is started at once when enough of the minute is left, else that
    long before the next. expected: (event, set), the set of the users whose lines loaded a job,
    to be read once the event is set. Returns ({user: [command]}, blocks of the second loading),
    or (None, None)."""
    lead = 4.0 + len(indexes) / 1000.0
    for attempt in range(2):
        wait = (60 - lead) - time.time() % 60
        time.sleep(wait + 60 if wait < 0 else 0)
        directory = "/run/lk/minute/%d" % attempt
        log = "/run/lk/minute/%d.log" % attempt
        shutil.rmtree(directory, ignore_errors=True)  # a pass run again starts afresh
        if os.path.exists(log):
            os.unlink(log)
        write_crontabs(directory, lines, indexes)
        start = time.time()
        proc = start_crond(busybox, directory, log)
        state = wait_asleep(proc, log, time.monotonic() + LOAD_TIMEOUT)
        if state != "asleep":
            stop(proc)
            notes.append("minute pass: crond %s while loading" % state)
            return None, None
        if int(time.time() // 60) != int(start // 60):
            stop(proc)
            shutil.rmtree(directory)
            notes.append("minute pass: loading ran into the minute, trying again")
            lead *= 2
            continue
        to_minute = 60 - time.time() % 60
        deadline = time.monotonic() + to_minute + 30
        time.sleep(max(0.0, to_minute - 0.5))  # crond logs nothing before the minute
        last_size, stable_since = -1, time.monotonic()
        while time.monotonic() < deadline and proc.poll() is None:
            commands = parse_minute_log(read_log(log))
            if commands is not None and expected[0].is_set() and expected[1] <= set(commands):
                break
            size = file_size(log)
            if size != last_size:
                last_size, stable_since = size, time.monotonic()
            elif commands is not None and time.monotonic() - stable_since > 2.0:
                break
            time.sleep(0.1)
        # Let it finish the listing of the last crontab before reading it for good.
        time.sleep(0.5)
        stop(proc)
        logged = read_log(log)
        commands = parse_minute_log(logged)
        blocks, _ = parse_load_log(logged)
        if commands is None:
            notes.append("minute pass: crond logged no minute")
            return None, None
        expected[0].wait()
        missing = expected[1] - set(commands)
        if missing:
            notes.append("minute pass: %d jobs were not listed" % len(missing))
        return commands, blocks
    return None, None


def may_crash(line):
    """Whether crond may die loading the line: every line it died on starts with '@'."""
    return line.lstrip(b" \t").startswith(b"@")


def inner(busybox):
    lines = [bytes.fromhex(h) for h in json.load(sys.stdin)]
    notes = []
    set_up_namespace(len(lines))
    # The minute pass waits for a minute to start: it runs beside the loading pass, on the
    # lines that cannot crash crond, and only runs again after it when one of them did.
    guess = [i for i in range(len(lines)) if not may_crash(lines[i])]
    expected = (threading.Event(), set())
    minute = {}
    thread = threading.Thread(target=lambda: minute.update(
        answer=command_pass(busybox, lines, guess, expected, notes)))
    thread.start()
    started = time.time()
    try:
        results = load_pass(busybox, lines, notes)
        notes.append("loading took %.1f s" % (time.time() - started))
        live = [i for i in range(len(lines)) if results[i][0] != "crashed"]
        expected[1].update(user_name(i) for i in live if results[i][0] in ("loaded", "error"))
    finally:
        expected[0].set()
    thread.join()
    commands, again = minute.get("answer", (None, None))
    listed = set(guess)
    jobs_left_out = any(results[i][0] in ("loaded", "error") for i in live if i not in listed)
    if commands is None or jobs_left_out or any(results[i][0] == "crashed" for i in guess):
        notes.append("minute pass: run again on every line that did not crash crond")
        listed = set(live)
        commands, again = command_pass(busybox, lines, live, expected, notes)
    rows = []
    for index, line in enumerate(lines):
        verdict, fields = results[index]
        name = user_name(index)
        command = b"-"
        if commands is not None:
            jobs = commands.get(name, [])
            if len(jobs) == 1:
                command = jobs[0]
            elif len(jobs) > 1:
                verdict = "odd"
                fields = [b"several jobs: " + b" | ".join(jobs)] + [b"-"] * 4
            if index in listed and again is not None:
                second = judge_block(name, again[name]) if name in again else ("dropped",
                                                                                 [b"-"] * 5)
                if second != (verdict, fields) and verdict != "odd":
                    notes.append("line %d read differently the second time" % (index + 1))
        rows.append([verdict] + [f.hex() for f in fields] + [command.hex()])
    json.dump({"rows": rows, "notes": notes, "commands": commands is not None}, sys.stdout)


# ---------------------------------------------------------------------------------------
# Outside.

def find_busybox():
    """The path of a busybox that has crond, or None."""
    for candidate in (shutil.which("busybox"), "/bin/busybox", "/usr/bin/busybox"):
        if not candidate or not os.path.exists(candidate):
            continue
        try:
            out = subprocess.run([candidate, "--list"], capture_output=True, timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            continue
        if b"crond" in out.stdout.split():
            return candidate
    return None


def why_not_runnable():
    if os.geteuid() != 0:
        return "not root"
    if shutil.which("unshare") is None:
        return "no unshare"
    if find_busybox() is None:
        return "no busybox with crond (apt-get install busybox-static)"
    try:
        probe = subprocess.run(["unshare", "-m", "-p", "-f", "--mount-proc", "true"],
                               capture_output=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired):
        return "unshare cannot be run"
    if probe.returncode != 0:
        return "unshare cannot make a mount and PID namespace here: " + probe.stderr.decode(
            errors="replace").strip()
    return None


def run_oracle(lines):
    """Runs the oracle in a private namespace; returns (rows, notes)."""
    busybox = find_busybox()
    payload = json.dumps([line.hex() for line in lines]).encode()
    timeout = 120 + MINUTE_TIMEOUT + len(lines) * 0.05
    proc = subprocess.run(["timeout", "-s", "KILL", str(int(timeout)), "unshare", "-m", "-p",
                           "-f", "--mount-proc", "--kill-child=SIGKILL", sys.executable,
                           os.path.abspath(__file__), "--inner", busybox],
                          input=payload, capture_output=True)
    if proc.returncode != 0:
        sys.stderr.write(proc.stderr.decode(errors="replace"))
        raise SystemExit("the oracle failed (exit status %d)" % proc.returncode)
    answer = json.loads(proc.stdout)
    rows = []
    for line, row in zip(lines, answer["rows"]):
        rows.append([escape(line), row[0]] + [escape(bytes.fromhex(h)) for h in row[1:]])
    if not answer["commands"]:
        for note in answer["notes"]:
            sys.stderr.write("note: %s\n" % note)
        raise SystemExit("crond listed no jobs at the minute: no commands were recorded")
    return rows, answer["notes"]


def read_tsv(path):
    with open(path, encoding="ascii", newline="\n") as tsv:
        text = tsv.read()
    rows = [r.split("\t") for r in text.split("\n") if r != ""]
    if not rows or rows[0] != COLUMNS:
        raise SystemExit("%s: the first row is not the column header" % path)
    for number, row in enumerate(rows[1:], start=2):
        if len(row) != len(COLUMNS):
            raise SystemExit("%s:%d: %d columns, not %d" % (path, number, len(row), len(COLUMNS)))
    return rows[1:]


def write_tsv(rows, out):
    out.write("\t".join(COLUMNS) + "\n")
    for row in rows:
        out.write("\t".join(row) + "\n")


def record(args):
    lines = (list(HAND_LINES) if not args.no_hand else []) + generate(args.lines, args.seed)
    reason = why_not_runnable()
    if reason:
        raise SystemExit("cannot run the oracle: " + reason)
    started = time.time()
    rows, notes = run_oracle(lines)
    for note in notes:
        sys.stderr.write("note: %s\n" % note)
    sys.stderr.write("recorded %d lines in %.1f s\n" % (len(lines), time.time() - started))
    if args.out:
        with open(args.out, "w", encoding="ascii", newline="\n") as out:
            write_tsv(rows, out)
    else:
        write_tsv(rows, sys.stdout)
    return 0


def check(args):
    reason = why_not_runnable()
    if reason:
        print("skipped: " + reason)
        return SKIPPED
    recorded = read_tsv(args.check)
    lines = [unescape(row[0]) for row in recorded]
    started = time.time()
    rows, notes = run_oracle(lines)
    differences = 0
    for number, (old, new) in enumerate(zip(recorded, rows), start=2):
        if old != new:
            differences += 1
            print("%s:%d: line %s" % (args.check, number, old[0]))
            for name, was, now in zip(COLUMNS[1:], old[1:], new[1:]):
                if was != now:
                    print("  %s: recorded %s, now %s" % (name, was, now))
    for note in notes:
        print("note: " + note)
    print("%d lines checked in %.1f s, %d differ" % (len(lines), time.time() - started,
                                                      differences))
    return 1 if differences else 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--inner":
        inner(sys.argv[2])
        return 0
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--lines", type=int, help="how many lines to generate")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generator")
    parser.add_argument("--no-hand", action="store_true", help="leave out the hand-written lines")
    parser.add_argument("--out", help="the TSV to write (default: standard output)")
    parser.add_argument("--check", metavar="FILE", help="rerun the oracle on a recording")
    args = parser.parse_args()
    if args.check:
        return check(args)
    if args.lines is None:
        parser.error("give --lines N or --check FILE")
    return record(args)


if __name__ == "__main__":
    sys.exit(main())
