#!/usr/bin/env python3
"""Benchmark lintkeeper against the speed of reading a file.

Runs every command of a set in turn, round after round (so that a slow moment of the
machine hits all of them alike), and reports the median wall time and the peak resident
memory of each, then the ratios that matter.

  bench.py --binary build/lintkeeper [--size 100M] [--rounds 5] [--workdir DIR]
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MIB = 1 << 20


def generate(path, *args):
    if not os.path.exists(path):
        with open(path, "wb") as out:
            subprocess.run([sys.executable, os.path.join(HERE, "gen_crontab.py"), *args],
                           stdout=out, check=True)
    return path


def run_once(argv, stdout_path):
    """Returns (wall seconds, peak RSS in bytes) of one run."""
    with open(stdout_path, "wb") as out:
        start = time.perf_counter()
        proc = subprocess.Popen(argv, stdout=out, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(proc.pid, 0)
        wall = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code not in (0, 1, 2):
        sys.exit(f"{argv} exited with {code}")
    return wall, usage.ru_maxrss * 1024


def measure(commands, rounds):
    """commands: list of (label, argv, stdout path). Returns {label: (median wall, max RSS)}."""
    walls = {label: [] for label, _, _ in commands}
    rss = {label: 0 for label, _, _ in commands}
    for _ in range(rounds):
        for label, argv, out in commands:
            w, r = run_once(argv, out)
            walls[label].append(w)
            rss[label] = max(rss[label], r)
    return {label: (statistics.median(walls[label]), rss[label]) for label in walls}


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    p.add_argument("--binary", default=os.path.join(HERE, "..", "build", "lintkeeper"))
    p.add_argument("--size", default="100M")
    p.add_argument("--rounds", type=int, default=5)
    p.add_argument("--workdir", default=os.path.join(tempfile.gettempdir(), "lintkeeper-bench"))
    a = p.parse_args()
    os.makedirs(a.workdir, exist_ok=True)
    lk = os.path.abspath(a.binary)
    w = a.workdir
    size_label = a.size
    big = generate(os.path.join(w, f"system-{size_label}"), "--size", a.size, "--seed", "1")
    small = generate(os.path.join(w, "system-10M"), "--size", "10M", "--seed", "1")
    half = generate(os.path.join(w, "system-50M"), "--size", "50M", "--seed", "1")
    one_line = generate(os.path.join(w, "one-line-50M"), "--size", "50M", "--shape", "one-line")
    tiny = generate(os.path.join(w, "crontab"), "--lines", "20", "--seed", "2")
    tree = os.path.join(w, "tree-1000x20")
    if not os.path.isdir(tree):
        subprocess.run([sys.executable, os.path.join(HERE, "gen_crontab.py"), "--lines", "20",
                        "--files", "1000", "--seed", "3", tree], check=True)
    audit = os.path.join(os.path.dirname(lk), "lintkeeper-audit")
    null = os.devnull
    sh = ["/bin/sh", "-c"]

    main_set = [
        ("wc -l", ["wc", "-l", big], null),
        ("cat", ["cat", big], null),
        ("iconv", ["iconv", "-f", "UTF-8", "-t", "UTF-8", big], null),
        ("lk --quiet", [lk, "--no-check-passwd", "--quiet", big], null),
        ("lk report", [lk, "--no-check-passwd", big], null),
        ("lk junit", [lk, "--no-check-passwd", "--quiet", "--junit", os.path.join(w, "out.xml"),
                      big], null),
        ("lk lookups", [lk, "--quiet", big], null),
        ("lk 10M --quiet", [lk, "--no-check-passwd", "--quiet", small], null),
        ("lk 50M --quiet", [lk, "--no-check-passwd", "--quiet", half], null),
        ("lk 50M one line", [lk, "--no-check-passwd", "--quiet", one_line], null),
    ]
    tiny_set = [
        ("cat 20 lines", ["cat", tiny], null),
        ("lk 20 lines", [lk, "--no-check-passwd", tiny], null),
    ]
    tree_files = sorted(os.path.join(tree, f) for f in os.listdir(tree))
    tree_set = [
        ("cat 1000 files", ["cat", *tree_files], null),
        ("audit 1000 files", [audit, "--no-check-passwd", tree], null),
        ("audit lookups", [audit, tree], null),
    ]
    results = measure(main_set, a.rounds)
    results.update(measure(tiny_set, a.rounds * 20))
    results.update(measure(tree_set, a.rounds * 4))

    size = os.path.getsize(big)
    print(f"file: {big} ({size / MIB:.1f} MiB, {sum(1 for _ in open(big, 'rb'))} lines)")
    print(f"{'command':<18} {'median s':>10} {'peak RSS MiB':>13}")
    for label, (wall, rss) in results.items():
        print(f"{label:<18} {wall:>10.4f} {rss / MIB:>13.1f}")

    def t(label):
        return results[label][0]

    user_lines = sum(1 for line in open(big, "rb")
                     if line[:1] not in (b"#", b"\n") and b"=" not in line.split(b" ")[0])
    rss_budget = 1.6 * size + 16 * MIB
    print()
    print(f"quiet / iconv            {t('lk --quiet') / t('iconv'):6.2f}  (target <= 2)")
    print(f"quiet / wc -l            {t('lk --quiet') / t('wc -l'):6.2f}")
    print(f"report / quiet           {t('lk report') / t('lk --quiet'):6.2f}  (target <= 1.5)")
    for label in ("lk --quiet", "lk report", "lk lookups"):
        print(f"RSS {label:<20} {results[label][1] / MIB:6.1f} MiB  (target < 16)")
    print(f"RSS / budget lk junit    {results['lk junit'][1] / rss_budget:6.2f}  (target <= 1)")
    print(f"100M / 10M quiet         {t('lk --quiet') / t('lk 10M --quiet'):6.2f}  (target <= 11)")
    print(f"one line / lines (50M)   {t('lk 50M one line') / t('lk 50M --quiet'):6.2f}  (target <= 2)")
    print(f"20 lines / cat           {t('lk 20 lines') / t('cat 20 lines'):6.2f}  (target <= 3)")
    print(f"audit / cat (1000 files) {t('audit 1000 files') / t('cat 1000 files'):6.2f}  (target <= 2)")
    print(f"audit look-ups / none    {t('audit lookups') / t('audit 1000 files'):6.2f}")
    per_line = (t("lk lookups") - t("lk --quiet")) / max(1, user_lines)
    print(f"look-up cost per line    {per_line * 1e6:6.2f} us (about {user_lines} lines with a user)")


if __name__ == "__main__":
    main()
