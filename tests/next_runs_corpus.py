#!/usr/bin/env python3
"""The next runs lintkeeper-audit lists for the jobs of real crontabs, held to a matcher of its own.

Usage: next_runs_corpus.py LINTKEEPER_AUDIT CORPUS_DIR

Every file of CORPUS_DIR is read by `lintkeeper-audit --cron debian --no-check-passwd --next 5
--format json` as a system crontab and as a user crontab (--user), at each instant and zone of
RUNS below: UTC, and Europe/Berlin around both of its changes of the clock in 2027. Every job
the audit lists is checked against the five fields of its "schedule", read here by Debian's
cron's rules, with no code of the program:

- a field is a list (',') of items: a number, or '*' or a range a-b, either of them followed
  by /step; names of months and weekdays in three letters, in any case; 7 is Sunday as 0 is. Debian's cron refuses a/step and a step of 0: the audit lists no job of such a file
  (the whole file is ignored), and the matcher fails on one it lists.
- the day rule: when either day field starts with '*', both must match; else either does.
- @yearly and @annually are 0 0 1 1 *, @monthly 0 0 1 * *, @weekly 0 0 * * 0, @daily and
  @midnight 0 0 * * *, @hourly 0 * * * *; @reboot has no runs.

The runs of a job are every minute whose wall clock in the job's zone (Python's zoneinfo) the
fields match, found by stepping through the instants, minute by minute where a day and hour
match, with these deviations only, which are Debian's cron's when the clock of its zone
changes by less than three hours (Europe/Berlin's changes are of one hour):

- a job whose minute or hour does not start with '*' (a fixed time) runs each of its times
  that the clock skips forward over at the instant of the change, the first minute after the
  jump, once for each such time;
- a fixed time the clock goes back over runs once, at its first occurrence;
- a job whose minute or hour starts with '*' follows the new clock: it runs at the times that
  exist and matches the repeated ones twice.

For each job: every run is written as RFC 3339 in the job's zone with that instant's offset,
matches the fields (or is a deviation above), comes at or after --now and not before the run
listed ahead of it; there are at most 5; and the runs are exactly the first 5 the matcher finds
within HORIZON_YEARS of --now (for a job it finds fewer for there, those first, and any other
run listed after that span): no run missing, none extra. Exits with 77 (skipped) when CORPUS_DIR
is absent.
"""

import datetime
import json
import os
import subprocess
import sys
import zoneinfo

SKIPPED = 77
COUNT = 5
HORIZON_YEARS = 10
# (zone, --now): the daily jobs' runs cross the spring change of 2027 (28 March, 02:00 to
# 03:00); the frequent jobs' runs cross it; the hourly and frequent jobs' runs cross the
# autumn change (31 October, 03:00 back to 02:00).
RUNS = [
    ("UTC", "2027-03-25T11:00:00+00:00"),
    ("Europe/Berlin", "2027-03-25T12:00:00+01:00"),
    ("Europe/Berlin", "2027-03-28T01:57:00+01:00"),
    ("Europe/Berlin", "2027-10-31T01:30:00+02:00"),
]
MINUTE, HOUR, DAY, MONTH, WEEKDAY = range(5)
MONTH_NAMES = ["jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"]
WEEKDAY_NAMES = ["sun", "mon", "tue", "wed", "thu", "fri", "sat"]
# (lowest, highest, names, the value of the first name) of each field in order.
LIMITS = [(0, 59, [], 0), (0, 23, [], 0), (1, 31, [], 0), (1, 12, MONTH_NAMES, 1),
          (0, 7, WEEKDAY_NAMES, 0)]
AT_NAMES = {"@yearly": "0 0 1 1 *", "@annually": "0 0 1 1 *", "@monthly": "0 0 1 * *",
            "@weekly": "0 0 * * 0", "@daily": "0 0 * * *", "@midnight": "0 0 * * *",
            "@hourly": "0 * * * *"}


class Unreadable(Exception):
    """A schedule the matcher does not read (and Debian's cron would not load)."""


def number(text, field):
    low, high, names, first_name = LIMITS[field]
    if text.isdigit():
        value = int(text)
    elif text.lower() in names:
        value = names.index(text.lower()) + first_name
    else:
        raise Unreadable(f"{text!r} is not a value")
    if not low <= value <= high:
        raise Unreadable(f"{value} is out of {low}-{high}")
    return value


def field_values(text, field):
    low, high, _, _ = LIMITS[field]
    values = set()
    for item in text.split(","):
        body, slash, step_text = item.partition("/")
        step = 1
        if slash:
            if not step_text.isdigit() or int(step_text) == 0:
                raise Unreadable(f"bad step in {item!r}")
            step = int(step_text)
        if body == "*":
            first, last = low, high
        elif "-" in body:
            first_text, _, last_text = body.partition("-")
            first, last = number(first_text, field), number(last_text, field)
        elif slash:
            raise Unreadable(f"{item!r}: a step after a single value")
        else:
            first = last = number(body, field)
        values.update(range(first, last + 1, step))
    if field == WEEKDAY and 7 in values:
        values = (values - {7}) | {0}
    return frozenset(values)


class Job:
    """The five fields of a schedule as Debian's cron reads them."""

    def __init__(self, schedule):
        text = AT_NAMES.get(schedule, schedule)
        fields = text.split(" ")
        if len(fields) != 5 or not all(fields):
            raise Unreadable(f"{schedule!r} is not five single-spaced fields")
        self.values = [field_values(f, i) for i, f in enumerate(fields)]
        self.both_days = fields[DAY].startswith("*") or fields[WEEKDAY].startswith("*")
        self.follows_clock = fields[MINUTE].startswith("*") or fields[HOUR].startswith("*")

    def runs_on(self, date):
        if date.month not in self.values[MONTH]:
            return False
        by_day = date.day in self.values[DAY]
        by_weekday = date.isoweekday() % 7 in self.values[WEEKDAY]
        return by_day and by_weekday if self.both_days else by_day or by_weekday

    def matches(self, wall):
        return (wall.minute in self.values[MINUTE] and wall.hour in self.values[HOUR]
                and self.runs_on(wall))


def local(instant, zone):
    return datetime.datetime.fromtimestamp(instant, zone)


def offset(instant, zone):
    return local(instant, zone).utcoffset().total_seconds()


def wall_matches(job, zone, start, end):
    """Every instant of whole minutes from start (a whole minute) to end whose wall clock the
    job's fields match, in order. A day or hour that does not match is stepped over whole when
    the offset is the same at both ends of the step, else minute by minute."""
    t = start
    while t < end:
        wall = local(t, zone)
        step = 60
        if not job.runs_on(wall):
            step = ((23 - wall.hour) * 60 + 59 - wall.minute) * 60 + 60 - wall.second
        elif wall.hour not in job.values[HOUR]:
            step = (59 - wall.minute) * 60 + 60 - wall.second
        elif wall.minute in job.values[MINUTE]:
            yield t
        if step > 60 and offset(t + step, zone) != offset(t, zone):
            hour_step = (59 - wall.minute) * 60 + 60 - wall.second
            step = hour_step if offset(t + hour_step, zone) == offset(t, zone) else 60
        t += step


def transitions(zone, start, end):
    """The changes of the zone's offset from start to end: (instant, offset before, after)."""
    found = []
    t = start
    while t < end:
        if offset(t + 3600, zone) != offset(t, zone):
            low, high = t, t + 3600  # offset(low) is the old one, offset(high) the new one
            while high - low > 1:
                middle = (low + high) // 2
                low, high = (middle, high) if offset(middle, zone) == offset(t, zone) else (
                    low, middle)
            found.append((high, offset(low, zone), offset(high, zone)))
        t += 3600
    return found


def made_up_runs(job, zone, changes, start, end):
    """A fixed-time job's runs at the changes that skip its times: one a time skipped."""
    runs = []
    if job.follows_clock:
        return runs
    for at, before, after in changes:
        if not start <= at < end or after <= before:
            continue
        wall = datetime.datetime.fromtimestamp(at + before, datetime.timezone.utc)
        for minute in range(int(after - before) // 60):
            if job.matches(wall + datetime.timedelta(minutes=minute)):
                runs.append(at)
    return runs


def is_repeat(instant, zone):
    """Whether the instant's wall clock came before, at an earlier instant."""
    return local(instant, zone).fold == 1


def expected_runs(job, zone, changes, now, end):
    """The job's first COUNT runs at or after now and before end, by the rules above."""
    start = -(-now // 60) * 60
    runs = []
    for t in wall_matches(job, zone, start, end):
        if job.follows_clock or not is_repeat(t, zone):
            runs.append(t)
            if len(runs) == COUNT:
                break
    last = runs[-1] if len(runs) == COUNT else end
    runs += [r for r in made_up_runs(job, zone, changes, start, end) if r <= last]
    return sorted(runs)[:COUNT]


def run_problems(job, zone, changes, now, texts):
    """What is wrong with each run listed, apart from the comparison with the expected runs."""
    problems = []
    if len(texts) > COUNT:
        problems.append(f"{len(texts)} runs for --next {COUNT}")
    previous = None
    skip_instants = {at for at, before, after in changes if after > before}
    for text in texts:
        try:
            instant = int(datetime.datetime.fromisoformat(text).timestamp())
        except ValueError:
            problems.append(f"{text!r} is not RFC 3339")
            continue
        wall = local(instant, zone)
        if wall.isoformat() != text:
            problems.append(f"{text} is written otherwise in {zone.key}: {wall.isoformat()}")
        if instant < now:
            problems.append(f"{text} is before --now")
        if previous is not None and instant < previous:
            problems.append(f"{text} comes after a later run")
        previous = instant
        if job.matches(wall):
            if not job.follows_clock and is_repeat(instant, zone):
                problems.append(f"{text}: a fixed time run again as the clock goes back")
        elif not (instant in skip_instants and made_up_runs(job, zone, changes, instant,
                                                            instant + 1)):
            problems.append(f"{text} does not match the schedule")
    return problems


def parse_instant(text):
    return int(datetime.datetime.fromisoformat(text).timestamp())


def check_job(job_entry, zone, changes, now, end):
    """Returns (runs checked, problems) of one job listed."""
    schedule = job_entry["schedule"]
    texts = job_entry["next"]
    if job_entry["time_zone"] != zone.key:
        return 0, [f"zone {job_entry['time_zone']}, not {zone.key}: Debian's cron runs every "
                   "job in its own zone"]
    if schedule == "@reboot":
        return 0, [f"@reboot listed with runs {texts}"] if texts else []
    try:
        job = Job(schedule)
    except Unreadable as error:
        return 0, [f"the matcher does not read {schedule!r}: {error}"]
    problems = run_problems(job, zone, changes, now, texts)
    expected = expected_runs(job, zone, changes, now, end)
    listed = []
    for text in texts:
        try:
            listed.append(parse_instant(text))
        except ValueError:
            pass
    if len(expected) == COUNT or len(listed) <= len(expected):
        if listed != expected:
            problems.append("expected " + ", ".join(local(r, zone).isoformat() for r in expected))
    elif listed[:len(expected)] != expected or any(r < end for r in listed[len(expected):]):
        problems.append("expected " + ", ".join(local(r, zone).isoformat() for r in expected)
                        + f", then only runs after {HORIZON_YEARS} years")
    return len(texts), problems


def audit(binary, paths, zone_name, now_text, flags):
    argv = [binary, "--cron", "debian", "--no-check-passwd", *flags, "--next", str(COUNT),
            "--now", now_text, "--time-zone", zone_name, "--format", "json", *paths]
    result = subprocess.run(argv, stdin=subprocess.DEVNULL, capture_output=True, timeout=300)
    if result.returncode not in (0, 1, 2) or result.stderr:
        sys.exit(f"{' '.join(argv[:12])} ...: status {result.returncode}, stderr "
                 f"{result.stderr.decode('utf-8', 'replace').strip()!r}")
    return json.loads(result.stdout)["jobs"]


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    binary, corpus = os.path.abspath(sys.argv[1]), sys.argv[2]
    if not os.path.isdir(corpus):
        print(f"skipped: {corpus} is absent")
        return SKIPPED
    paths = sorted(os.path.join(corpus, n) for n in os.listdir(corpus)
                   if n != "SOURCES.tsv" and os.path.isfile(os.path.join(corpus, n)))
    jobs = runs = failures = 0
    zone_changes = {}
    for zone_name, now_text in RUNS:
        zone = zoneinfo.ZoneInfo(zone_name)
        now = parse_instant(now_text)
        end = now + HORIZON_YEARS * 366 * 86400
        if zone_name not in zone_changes:
            first = parse_instant("2027-01-01T00:00:00+00:00")
            zone_changes[zone_name] = transitions(zone, first, first + (HORIZON_YEARS + 1) * 366
                                                  * 86400)
            if any(abs(after - before) >= 3 * 3600 for _, before, after in zone_changes[zone_name]):
                sys.exit(f"{zone_name} changes its clock by 3 hours or more: not matched here")
        for flags in ([], ["--user"]):
            for entry in audit(binary, paths, zone_name, now_text, flags):
                checked, problems = check_job(entry, zone, zone_changes[zone_name], now, end)
                jobs += 1
                runs += checked
                if problems:
                    failures += 1
                    where = f"{os.path.basename(entry['path'])}:{entry['line']}"
                    print(f"FAIL {where} {' '.join(flags)} {zone_name} --now {now_text} "
                          f"{entry['schedule']!r}: listed {entry['next']}")
                    for problem in problems:
                        print(f"  {problem}")
    print(f"{len(paths)} crontabs, {jobs} jobs, {runs} runs checked, {failures} jobs wrong")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
