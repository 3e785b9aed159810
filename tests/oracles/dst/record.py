#!/usr/bin/env python3
"""When the real cron daemons run jobs on the mornings of daylight-saving changes.

Usage:
    record.py [--out TSV] [--work DIR] [--keep] [--case NAME ...] [--debian-clock ptrace]
    record.py --check [--out TSV] [...]

Each case is one morning of one zone: a crontab of many jobs, each with its own
id, is given to Debian's cron (3.0pl1) and to busybox's crond (1.35), and the
daemons live through a stretch of that morning on a fake clock 12 to 120 times
faster than the real one. Every job appends the real time and its id to a
log; the fake time of a run is

    fake start + rate * (real time of the run - real instant of the fake start)

rounded to the whole minute. The first mode writes one row per (cron, case,
job) to runs.tsv beside this file, with the columns

    cron    debian or busybox
    case    the case's name (CASES below)
    zone    the TZ the daemon had
    start   the fake instant the daemon was started at (RFC 3339, with offset)
    end     the last minute of the window: runs after it are not written
    job     the job's id, named after its place around the changed interval
    fields  the job's schedule as written in the crontab
    runs    the minutes it ran at, in the order they came, comma-separated
            local times with the zone's offset, e.g. 2026-03-29T03:00:00+02:00

--check runs everything again, compares with runs.tsv, prints every
difference and exits 1 if there is one (0 if none).

Every daemon runs as root in its own mount and pid namespace (unshare -m -p
-f --mount-proc), with empty folders of this run bound over /etc/crontab,
/etc/cron.d and the spool /var/spool/cron/crontabs, tmpfs on /run (pid
files) and /dev/shm (the faketime wrapper's semaphores are named after its
pid, the same in every pid namespace, and are left behind when it is
killed), the zone's file bound over /etc/localtime, a clean environment, and
a bound in time (timeout(1)). All the daemons run at once, started a couple of
real seconds apart; the whole takes a little over two minutes of real time.

The clocks:
- Debian's cron (dynamically linked) runs under faketime(1) with the start
  given as seconds since 1970 (FAKETIME_FMT=%s: faketime reads a start of
  "@YYYY-MM-DD hh:mm:ss" in the local time of the zone, which is ambiguous
  in a repeated hour). libfaketime divides the daemon's sleeps by the rate as
  well, so its sleep to the next minute lasts 1/rate of a minute. The real
  instant of the fake start is taken just before the exec of timeout,
  faketime and cron (a few milliseconds early, so fake times come out a
  little late, never early).
- busybox-static's crond is statically linked, so a preloaded library cannot
  reach it (under faketime it sees the real clock): fakeclock.py (beside
  this file) runs it under ptrace, rewriting its clock reads and shortening
  its sleeps, writes the exact real instant of the fake start and stops it
  at the end. `--debian-clock ptrace` runs Debian's cron that way too, to
  hold the two clocks to each other (they give the same table).

Both daemons take their zone from TZ (given to them here) and else from
/etc/localtime (bound here too); neither reads /etc/timezone.

A daemon that wakes late, or a job that starts late, is late by `rate` times
as much on the fake clock, so the namespaces run under SCHED_FIFO (chrt -f
1) where that is allowed, else at nice -20 in a scheduling group of their own.

Debian's cron reads the jobs from /etc/cron.d/lintkeeper (system format, user
root). Each case is run a second time with the same jobs in root's crontab in
the spool; the two must give the same runs (a difference is printed and makes
the exit status 1) and only the first is written. busybox's crond reads them
from DIR/root (user format), DIR given with -c; it is given no @ line, as
it dies on reading one (checked on each run: BUSYBOX_AT_LINES).

A daemon's run counts only if it ran the every-minute job at the first and
the last minute of the window and never twice less than 40 or more than 80
fake seconds apart (else it woke late), every run of every job was within 20
fake seconds of a whole minute (so rounding is unambiguous) and the daemon
lived until it was stopped; a run that fails this is tried again, up to
three times in all.

Exits 77 with a line `skipped: WHY` when not root, or unshare, faketime, cron,
busybox (with crond), zic or a private namespace is missing, or the machine
is not x86-64 (fakeclock.py).
"""

import argparse
import datetime
import os
import shlex
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zoneinfo

HERE = os.path.dirname(os.path.abspath(__file__))
FAKECLOCK = os.path.join(HERE, "fakeclock.py")
DEFAULT_TSV = os.path.join(HERE, "runs.tsv")
SKIPPED = 77
CRONS = ("debian", "busybox")
COLUMNS = ("cron", "case", "zone", "start", "end", "job", "fields", "runs")
# A run more than this far from a whole minute (fake seconds) makes the run be tried again.
MAX_DISTANCE = 20.0
ATTEMPTS = 3
# How long, in fake seconds, the daemon lives past the last minute of the window.
END_MARGIN = 40
# busybox's crond logs at this level (8: job starts and errors). At level 0 it writes some 250
# lines of its reading of the crontab at each wake-up, each line a system call at which
# fakeclock.py stops it: that makes every wake-up a few tenths of a real second late, tens of
# fake seconds at the rates here, enough to blur the minute of a run.
BUSYBOX_LOG_LEVEL = 8
# What busybox's crond does with a crontab holding one @ line, as probe_busybox_at_lines tells.
BUSYBOX_AT_LINES = "killed by SIGSEGV"

# Real seconds between the starts of two cases, and between the daemons of one case.
LAUNCH_SPACING = 2.0
VARIANT_SPACING = 0.7
# A zone of this run's own with a clock change of four hours, to see how the daemons treat
# changes of more than three hours. The rule is the one of TZ below (compiled by zic for
# /etc/localtime and for this script's own conversions).
JUMP_TZ = "XST0XDT-4,M3.5.0/2,M10.5.0/6"
JUMP_RULES = (
    "Rule\tJump\t2026\tmax\t-\tMar\tlastSun\t2:00\t4:00\tD\n"
    "Rule\tJump\t2026\tmax\t-\tOct\tlastSun\t6:00\t0\tS\n"
    "Zone\tJump4\t0:00\tJump\tX%sT\n"
)


def hm(minute_of_day):
    return f"{minute_of_day % 60} {minute_of_day // 60}"


def jobs_around(first, length):
    """The jobs of a case whose changed interval is [first, first + length), in minutes of the
    day on the wall clock: skipped when the clock goes forward, repeated when it goes back.

    The fixed-time jobs are written in the reverse order of their times, so that the order in
    which a daemon catches up can be told from the order of the file."""
    hour = first // 60
    fixed = [
        ("outside-after", first + length + 60),
        ("after+1", first + length + 1),
        ("after", first + length),
        ("last", first + length - 1),
        ("middle", first + length // 2),
        ("second", first + 1),
        ("first", first),
        ("before-1", first - 1),
        ("before-15", first - 15),
    ]
    jobs = [("every-minute", "* * * * *")]
    jobs += [(name, f"{hm(minute)} * * *") for name, minute in fixed]
    jobs += [
        ("hour-each-minute", f"* {hour} * * *"),
        ("hour-minute-step-10", f"*/10 {hour} * * *"),
        ("half-past-each-hour", "30 * * * *"),
        ("half-past-hour-range", "30 0-23 * * *"),
        ("each-hour", "0 * * * *"),
        ("at-hourly", "@hourly"),
        ("step-15", "*/15 * * * *"),
        ("step-7", "*/7 * * * *"),
        ("even-hours", "0 */2 * * *"),
        ("list-hour-range", f"15,45 {hour - 1}-{hour + 1} * * *"),
        ("hour-range", f"0 {hour - 1}-{hour + 1} * * *"),
    ]
    return jobs


def minute_spellings(first):
    """The minutes of the changed hour spelled with and without a leading star. They are a
    case of their own, at a slower rate: a daemon that catches up on 60 skipped minutes starts
    60 jobs at once, which takes long enough in real time to smear the runs over many fake
    seconds at the rate of the other cases."""
    hour = first // 60
    return [
        ("every-minute", "* * * * *"),
        ("hour-each-minute", f"* {hour} * * *"),
        ("hour-minute-range", f"0-59 {hour} * * *"),
        ("hour-minute-step-10", f"*/10 {hour} * * *"),
        ("hour-minute-range-step-10", f"0-59/10 {hour} * * *"),
        ("hour-minute-list-10", f"0,10,20,30,40,50 {hour} * * *"),
    ]


def case(name, zone, start, end, rate, first, length, extra=(), jobs=None):
    return {
        "name": name,
        "zone": zone,
        "start": start,
        "end": end,
        "rate": rate,
        "jobs": (jobs if jobs is not None else jobs_around(first, length)) + list(extra),
    }


# start and end are the first and the last minute of the window, with their offsets. Each
# daemon is started a little under a minute before the start (at a few seconds past a whole
# minute that differ between the runs, so that the daemons do not all wake at the same real
# instant) and stopped END_MARGIN fake seconds after the end.
CASES = [
    case("berlin-spring", "Europe/Berlin",
         "2026-03-29T01:40:00+01:00", "2026-03-29T04:30:00+02:00", 60, 120, 60),
    case("berlin-autumn", "Europe/Berlin",
         "2026-10-25T01:40:00+02:00", "2026-10-25T04:30:00+01:00", 120, 120, 60),
    case("new-york-spring", "America/New_York",
         "2026-03-08T01:40:00-05:00", "2026-03-08T04:30:00-04:00", 60, 120, 60),
    case("new-york-autumn", "America/New_York",
         "2026-11-01T00:40:00-04:00", "2026-11-01T03:30:00-05:00", 120, 60, 60),
    case("lord-howe-spring", "Australia/Lord_Howe",
         "2026-10-04T01:40:00+10:30", "2026-10-04T04:00:00+11:00", 60, 120, 30),
    case("lord-howe-autumn", "Australia/Lord_Howe",
         "2026-04-05T01:10:00+11:00", "2026-04-05T03:30:00+10:30", 90, 90, 30),
    # Started in the repeated hour, after the first 02:30: is a fixed time of the repeated
    # hour that the daemon has not run yet run in the second pass?
    case("berlin-autumn-late-start", "Europe/Berlin",
         "2026-10-25T02:40:00+02:00", "2026-10-25T03:30:00+01:00", 90, 120, 60,
         extra=[("repeated-45", "45 2 * * *"), ("repeated-50", "50 2 * * *")]),
    # Four hours forward (02:00 -> 06:00) and back (06:00 -> 02:00).
    case("jump4-forward", JUMP_TZ,
         "2026-03-29T01:40:00+00:00", "2026-03-29T07:30:00+04:00", 60, 120, 240),
    case("jump4-back", JUMP_TZ,
         "2026-10-25T05:40:00+04:00", "2026-10-25T03:30:00+00:00", 60, 120, 240,
         extra=[("repeated-0205", "5 2 * * *"), ("repeated-0230", "30 2 * * *"),
                ("repeated-0300", "0 3 * * *"), ("first-pass-0545", "45 5 * * *"),
                ("first-pass-0550", "50 5 * * *")]),
    # The changed hour's minutes spelled in several ways.
    case("berlin-spring-minutes", "Europe/Berlin",
         "2026-03-29T01:50:00+01:00", "2026-03-29T03:10:00+02:00", 12, 120, 60,
         jobs=minute_spellings(120)),
    case("berlin-autumn-minutes", "Europe/Berlin",
         "2026-10-25T01:50:00+02:00", "2026-10-25T03:10:00+01:00", 120, 120, 60,
         jobs=minute_spellings(120)),
    case("lord-howe-spring-minutes", "Australia/Lord_Howe",
         "2026-10-04T01:50:00+10:30", "2026-10-04T02:40:00+11:00", 12, 120, 30,
         jobs=minute_spellings(120)),
]

# The daemons of one recording: the Debian runs with the jobs in the spool are compared
# with the ones from /etc/cron.d and not written.
VARIANTS = ("debian", "debian-spool", "busybox")


def parse_instant(text):
    return int(datetime.datetime.fromisoformat(text).timestamp())


class Zones:
    def __init__(self, work):
        self.work = work
        self.cache = {}

    def file(self, zone):
        if zone == JUMP_TZ:
            path = os.path.join(self.work, "zones", "Jump4")
            if not os.path.exists(path):
                rules = os.path.join(self.work, "zones.rules")
                with open(rules, "w") as out:
                    out.write(JUMP_RULES)
                subprocess.run(["zic", "-d", os.path.join(self.work, "zones"), rules], check=True)
            return path
        return os.path.join("/usr/share/zoneinfo", zone)

    def info(self, zone):
        if zone not in self.cache:
            with open(self.file(zone), "rb") as f:
                self.cache[zone] = zoneinfo.ZoneInfo.from_file(f, key=zone)
        return self.cache[zone]

    def local(self, zone, epoch):
        """RFC 3339 local time of a whole second, with the zone's offset."""
        return datetime.datetime.fromtimestamp(epoch, self.info(zone)).isoformat()


def skip(why):
    print(f"skipped: {why}")
    sys.exit(SKIPPED)


def check_prerequisites():
    if os.geteuid() != 0:
        skip("not root: the daemons run as root in private namespaces")
    if os.uname().machine != "x86_64":
        skip(f"fakeclock.py knows only x86-64, not {os.uname().machine}")
    for tool in ("unshare", "faketime", "cron", "busybox", "zic", "timeout"):
        if shutil.which(tool) is None:
            skip(f"{tool} is missing")
    listing = subprocess.run(["busybox", "--list"], capture_output=True, text=True)
    if "crond" not in listing.stdout.split():
        skip("busybox has no crond")
    if not os.path.isdir("/var/spool/cron/crontabs"):
        skip("/var/spool/cron/crontabs is missing (Debian's cron is not installed)")
    probe = subprocess.run(
        ["unshare", "-m", "-p", "-f", "--mount-proc", "sh", "-c",
         "mount -t tmpfs tmpfs /run && mount -t tmpfs tmpfs /dev/shm"],
        capture_output=True, text=True)
    if probe.returncode != 0:
        skip(f"cannot make a private mount and pid namespace: {probe.stderr.strip()}")


class Run:
    """One daemon on one case."""

    def __init__(self, variant, case, index, count, zones, work, debian_clock):
        self.variant = variant
        self.cron = "busybox" if variant == "busybox" else "debian"
        self.case = case
        self.zones = zones
        self.debian_clock = debian_clock
        self.rate = case["rate"]
        self.window_start = parse_instant(case["start"])
        self.window_end = parse_instant(case["end"])
        # A few seconds past the whole minute before the window, a different number for
        # each run of the recording (the same in every recording).
        self.fake_start = self.window_start - 60 + 3 + (index * 54) // count
        self.dir = os.path.join(work, f"{variant}-{case['name']}")
        # Real seconds after the first run's start at which this one starts.
        self.launch = LAUNCH_SPACING * (index // len(VARIANTS)) + VARIANT_SPACING * (
            index % len(VARIANTS))
        self.attempt = 0
        self.problems = []
        self.runs = None
        self.largest_distance = 0.0

    def jobs(self):
        """The case's jobs this daemon is given: busybox's crond dies of a segmentation fault
        on reading any @ line (see probe_busybox_at_lines), so it gets none."""
        if self.cron == "busybox":
            return [(j, f) for j, f in self.case["jobs"] if not f.startswith("@")]
        return self.case["jobs"]

    def job_command(self, job_id):
        return f"{self.dir}/stamp {job_id}"

    def prepare(self):
        self.attempt += 1
        if os.path.exists(self.dir):
            # Keep a failed try's files beside the new one, for reading by hand.
            failed = f"{self.dir}-failed-try{self.attempt - 1}"
            shutil.rmtree(failed, ignore_errors=True)
            os.rename(self.dir, failed)
        for sub in ("cron.d", "spool", "tabs"):
            os.makedirs(os.path.join(self.dir, sub), mode=0o755)
        os.chmod(os.path.join(self.dir, "spool"), 0o700)
        jobs = self.jobs()
        system = "".join(f"{fields} root {self.job_command(j)}\n" for j, fields in jobs)
        user = "".join(f"{fields} {self.job_command(j)}\n" for j, fields in jobs)
        self.write("crontab", "# empty: the jobs are elsewhere\n", 0o644)
        if self.variant == "debian":
            self.write("cron.d/lintkeeper", system, 0o644)
        elif self.variant == "debian-spool":
            self.write("spool/root", user, 0o600)
        else:
            self.write("tabs/root", user, 0o600)
        self.write(
            "stamp",
            "#!/bin/sh\n"
            "exec env -u LD_PRELOAD -u FAKETIME -u FAKETIME_FMT -u FAKETIME_SHARED"
            f' date "+%s.%N $1" >> {self.dir}/log\n',
            0o755,
        )
        stop_at = self.window_end + END_MARGIN
        duration = (stop_at - self.fake_start) / self.rate
        q = shlex.quote
        # The daemon starts with an environment of its own, as from an init system.
        environment = ("env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root SHELL=/bin/sh "
                       f"LOGNAME=root USER=root LANG=C TZ={q(self.case['zone'])}")
        if self.cron == "debian" and self.debian_clock == "faketime":
            start_anchor = f"date +%s.%N > {q(self.dir)}/anchor\n"
            daemon = (f"{environment} FAKETIME_FMT=%s timeout -k 1 {duration:.3f} faketime -f "
                      f"'@{self.fake_start} x{self.rate}' cron -f -L 0")
        else:
            # fakeclock.py stops the daemon itself at the fake instant; timeout is a bound in
            # case it does not.
            start_anchor = ""
            program = ("cron -f -L 0" if self.cron == "debian" else
                       f"busybox crond -f -l {BUSYBOX_LOG_LEVEL} -L {q(self.dir)}/crond.log "
                       f"-c {q(self.dir)}/tabs")
            daemon = (f"{environment} timeout -k 1 {duration + 10:.3f} {q(sys.executable)} "
                      f"{q(FAKECLOCK)} --start {self.fake_start} --rate {self.rate} "
                      f"--stop-at {stop_at} --anchor-file {q(self.dir)}/anchor -- {program}")
        script = (
            "set -e\n"
            f"mount --bind {q(self.dir)}/crontab /etc/crontab\n"
            f"mount --bind {q(self.dir)}/cron.d /etc/cron.d\n"
            f"mount --bind {q(self.dir)}/spool /var/spool/cron/crontabs\n"
            "mount -t tmpfs -o mode=755 tmpfs /run\n"
            "mount -t tmpfs -o mode=1777 tmpfs /dev/shm\n"
            f"mount --bind {q(self.zones.file(self.case['zone']))} /etc/localtime\n"
            "cd /\n"
            "set +e\n"
            f"{start_anchor}{daemon}\n"
            "echo \"daemon status $?\"\n"
        )
        self.write("ns.sh", script, 0o755)

    def write(self, name, text, mode):
        path = os.path.join(self.dir, name)
        with open(path, "w") as out:
            out.write(text)
        os.chmod(path, mode)

    def start(self, priority):
        self.out = open(os.path.join(self.dir, "out"), "w")
        self.process = subprocess.Popen(
            priority + ["unshare", "-m", "-p", "-f", "--mount-proc", "sh",
                        os.path.join(self.dir, "ns.sh")],
            stdin=subprocess.DEVNULL, stdout=self.out, stderr=subprocess.STDOUT,
            start_new_session=True)
        if priority[:1] == ["nice"]:
            # A session of its own is a scheduling group of its own where the kernel groups
            # by session (autogroup), and nice counts only within a group: raise the group.
            try:
                with open(f"/proc/{self.process.pid}/autogroup", "w") as f:
                    f.write("-20")
            except OSError:
                pass

    def finish(self):
        self.process.wait()
        self.out.close()
        self.problems = []
        with open(os.path.join(self.dir, "out")) as f:
            out = f.read()
        if "daemon status 124" not in out:
            self.problems.append(f"the daemon did not live until timeout stopped it: {out.strip()!r}")
        try:
            with open(os.path.join(self.dir, "anchor")) as f:
                anchor = float(f.read())
        except (OSError, ValueError):
            self.problems.append("no real instant of the fake start")
            return False
        stamps = []
        try:
            with open(os.path.join(self.dir, "log")) as f:
                for line in f:
                    real, job_id = line.split()
                    stamps.append((float(real), job_id))
        except OSError:
            pass
        stamps.sort()
        known = {job_id for job_id, _ in self.jobs()}
        runs = {job_id: [] for job_id, _ in self.jobs()}
        largest = 0.0
        detail = []
        for real, job_id in stamps:
            fake = self.fake_start + self.rate * (real - anchor)
            minute = round(fake / 60) * 60
            distance = fake - minute
            detail.append(f"{real - anchor:.3f}\t{self.zones.local(self.case['zone'], minute)}"
                          f"\t{distance:+.1f}\t{job_id}\n")
            if minute > self.window_end:
                continue
            if abs(distance) > abs(largest):
                largest = distance
            if job_id not in known:
                self.problems.append(f"a stamp of an unknown job {job_id!r}")
                continue
            runs[job_id].append(minute)
        self.largest_distance = largest
        # For reading by hand: real seconds since the fake start, minute, distance, job.
        with open(os.path.join(self.dir, "stamps"), "w") as out:
            out.writelines(detail)
        if abs(largest) > MAX_DISTANCE:
            self.problems.append(f"a run {largest:+.1f} s from a whole minute")
        every = runs.get("every-minute", [])
        if not every or every[0] != self.window_start or every[-1] != self.window_end:
            self.problems.append("the every-minute job did not run at the first and the last minute")
        # The every-minute job runs once a minute in every case: two of its runs less than 40
        # or more than 80 fake seconds apart mean that the daemon woke late (and may have
        # taken that for a change of the clock).
        times = [self.fake_start + self.rate * (real - anchor)
                 for real, job_id in stamps if job_id == "every-minute"]
        gaps = [b - a for a, b in zip(times, times[1:]) if a <= self.window_end]
        if gaps and not all(40 <= gap <= 80 for gap in gaps):
            odd = min(gaps, key=lambda gap: -abs(gap - 60))
            self.problems.append(f"two runs of the every-minute job {odd:.1f} fake s apart")
        self.runs = runs
        return not self.problems

    def row_runs(self, job_id):
        return ",".join(self.zones.local(self.case["zone"], m) for m in self.runs[job_id])




def probe_busybox_at_lines(work):
    """Start busybox's crond on a crontab of one line, `@hourly /bin/true`, for 3 s (real
    clock), in a namespace like the others, and tell how it ended."""
    tabs = os.path.join(work, "at-line-probe")
    os.makedirs(tabs, exist_ok=True)
    with open(os.path.join(tabs, "root"), "w") as out:
        out.write("@hourly /bin/true\n")
    os.chmod(os.path.join(tabs, "root"), 0o600)
    q = shlex.quote
    script = (f"mount --bind {q(tabs)} /var/spool/cron/crontabs && "
              "mount -t tmpfs -o mode=755 tmpfs /run && "
              f"exec timeout -k 1 3 busybox crond -f -l 8 -L /dev/null -c {q(tabs)}")
    done = subprocess.run(["unshare", "-m", "-p", "-f", "--mount-proc", "sh", "-c", script],
                          stdin=subprocess.DEVNULL, capture_output=True, text=True)
    status = done.returncode
    if status == 124:
        return "ran until stopped"
    if status > 128:
        return f"killed by {signal.Signals(status - 128).name}"
    if status < 0:
        return f"killed by {signal.Signals(-status).name}"
    return f"exited with status {status}"


def priority_prefix():
    """How to start a namespace so that its daemon and jobs run before anything else on the
    machine: a daemon that wakes late, or a job that starts late, is late by `rate` times as
    much on the fake clock. Real-time scheduling (SCHED_FIFO) where it is allowed, else the
    highest nice."""
    if shutil.which("chrt") and subprocess.run(["chrt", "-f", "1", "true"]).returncode == 0:
        return ["chrt", "-f", "1"]
    return ["nice", "-n", "-20"]


def run_all(runs):
    priority = priority_prefix()
    print(f"daemons run under: {' '.join(priority)}")
    pending = list(runs)
    while pending:
        for run in pending:
            run.prepare()
        # Catching up after a skipped hour, a daemon starts a dozen jobs at once. The runs are
        # started a little apart so that their bursts come at different real instants.
        began = time.monotonic()
        for run in sorted(pending, key=lambda r: r.launch):
            time.sleep(max(0.0, began + run.launch - time.monotonic()))
            run.start(priority)
        failed = []
        for run in pending:
            if not run.finish():
                for problem in run.problems:
                    print(f"{run.variant} {run.case['name']} (try {run.attempt}): {problem}",
                          file=sys.stderr)
                if run.attempt < ATTEMPTS:
                    failed.append(run)
        pending = failed
    return all(not run.problems for run in runs)


def rows_of(runs):
    rows = []
    for cron in CRONS:
        for run in runs:
            if run.variant != cron:
                continue
            c = run.case
            for job_id, fields in run.jobs():
                rows.append((cron, c["name"], c["zone"],
                             run.zones.local(c["zone"], run.fake_start),
                             run.zones.local(c["zone"], run.window_end),
                             job_id, fields, run.row_runs(job_id)))
    return rows


def read_tsv(path):
    with open(path) as f:
        lines = f.read().splitlines()
    if not lines or tuple(lines[0].split("\t")) != COLUMNS:
        raise SystemExit(f"{path}: not a table of runs (first line must be the column names)")
    return [tuple(line.split("\t")) for line in lines[1:]]


def compare(recorded, now):
    """Every difference between two lists of rows, as lines."""
    def keyed(rows):
        return {(r[0], r[1], r[5]): r for r in rows}
    old, new = keyed(recorded), keyed(now)
    lines = []
    for key in sorted(old.keys() | new.keys()):
        name = " ".join(key)
        if key not in new:
            lines.append(f"{name}: recorded but not run now")
        elif key not in old:
            lines.append(f"{name}: run now but not recorded")
        else:
            for column, a, b in zip(COLUMNS, old[key], new[key]):
                if a != b:
                    lines.append(f"{name}: {column} recorded {a!r}, now {b!r}")
    return lines


def spool_differences(runs):
    by_case = {}
    for run in runs:
        by_case.setdefault(run.case["name"], {})[run.variant] = run
    lines = []
    for name, variants in by_case.items():
        system, spool = variants.get("debian"), variants.get("debian-spool")
        if system is None or spool is None or system.runs is None or spool.runs is None:
            continue
        for job_id, _ in system.jobs():
            if system.runs[job_id] != spool.runs[job_id]:
                lines.append(f"{name} {job_id}: /etc/cron.d {system.row_runs(job_id)!r}, "
                             f"spool {spool.row_runs(job_id)!r}")
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--check", action="store_true",
                        help="run again and compare with the table instead of writing it")
    parser.add_argument("--out", default=DEFAULT_TSV, help="the table (default: runs.tsv here)")
    parser.add_argument("--work", help="folder for the runs' files (default: a temporary one)")
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    parser.add_argument("--case", action="append", choices=[c["name"] for c in CASES],
                        help="run only this case (repeatable; the table is then not written)")
    parser.add_argument("--debian-clock", choices=("faketime", "ptrace"), default="faketime",
                        help="how Debian's cron gets its fake clock (default faketime)")
    args = parser.parse_args()

    check_prerequisites()
    work = args.work or tempfile.mkdtemp(prefix="lintkeeper-dst-")
    os.makedirs(work, exist_ok=True)
    zones = Zones(work)
    everything = [(v, c) for c in CASES for v in VARIANTS]
    runs = [Run(v, c, i, len(everything), zones, work, args.debian_clock)
            for i, (v, c) in enumerate(everything)
            if not args.case or c["name"] in args.case]
    began = time.monotonic()
    at_lines = probe_busybox_at_lines(work)
    ok = run_all(runs)
    took = time.monotonic() - began
    status = 0
    print(f"{len(runs)} daemons in {took:.0f} s real time")
    for cron in VARIANTS:
        mine = [r for r in runs if r.variant == cron]
        if mine:
            far = max((r.largest_distance for r in mine), key=abs)
            tries = sum(r.attempt for r in mine) - len(mine)
            print(f"{cron}: largest distance of a run from a whole minute {far:+.1f} fake s; "
                  f"{tries} run(s) tried again")
    if not ok:
        print("some runs failed every try (see above)")
        status = 1
    spool = spool_differences(runs)
    if spool:
        print("Debian's cron ran the spool crontab differently from /etc/cron.d:")
        print("\n".join(spool))
        status = 1
    else:
        print("Debian's cron ran root's spool crontab exactly as /etc/cron.d, in every case")
    if at_lines == BUSYBOX_AT_LINES:
        print(f"busybox crond on a crontab with an @ line: {at_lines} (as recorded)")
    else:
        print(f"busybox crond on a crontab with an @ line: {at_lines}, recorded: "
              f"{BUSYBOX_AT_LINES}; its @ jobs must now be run and written too")
        status = 1
    rows = rows_of(runs)
    if args.check:
        if not os.path.exists(args.out):
            print(f"{args.out}: no table to compare with")
            sys.exit(1)
        recorded = read_tsv(args.out)
        if args.case:
            recorded = [r for r in recorded if r[1] in args.case]
        differences = compare(recorded, rows)
        if differences:
            print(f"{len(differences)} difference(s) from {args.out}:")
            print("\n".join(differences))
            status = 1
        else:
            print(f"same as {args.out}: {len(rows)} rows")
    elif args.case:
        for row in rows:
            print("\t".join(row))
    elif ok:
        with open(args.out, "w") as out:
            out.write("\t".join(COLUMNS) + "\n")
            for row in rows:
                out.write("\t".join(row) + "\n")
        print(f"wrote {len(rows)} rows to {args.out}")
    if not args.work and not args.keep:
        shutil.rmtree(work, ignore_errors=True)
    elif not args.work:
        print(f"the runs' files are in {work}")
    sys.exit(status)


if __name__ == "__main__":
    main()
