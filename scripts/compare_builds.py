#!/usr/bin/env python3
"""Compares two builds of lintkeeper and lintkeeper-audit run for run, byte for byte.

Usage: compare_builds.py OLD_BIN_DIR NEW_BIN_DIR CORPUS_DIR [--audit]

Each binary folder holds `lintkeeper` and `lintkeeper-audit`. The inputs are every file of
CORPUS_DIR (real crontabs), three generated crontabs (bench/gen_crontab.py) and, for each of a
few corpus files, mutated copies: no-break spaces between fields, a NUL byte, bytes that are not
UTF-8, CR line ends, a bare %, a long number, no final line feed. lintkeeper runs on each with
eight option sets, always with --junit; stdout, the exit status and the JUnit file must be the
same. With --audit, lintkeeper-audit also runs on each file with every format and four option
sets, comparing stdout and the exit status. Prints each difference and a count; exits 1 when
anything differs.
"""

import os
import random
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)

OPTION_SETS = [
    [],
    ["-u"],
    ["-n"],
    ["-u", "-n"],
    ["-e", "-n"],
    ["-d", "-u"],
    ["-D", "-w", "backup", "-w", "root"],
    ["-f", "3", "-q", "-n"],
]
AUDIT_FORMATS = ["text", "gcc", "json", "sarif", "codequality", "github", "junit"]
AUDIT_OPTION_SETS = [["-n"], ["-u", "-n"], ["-f", "2"], ["-d", "USER_NOT_FOUND", "-n"]]


def mutations(data, rng):
    lines = data.split(b"\n")

    def at_random(change):
        copy = list(lines)
        for _ in range(3):
            i = rng.randrange(len(copy))
            copy[i] = change(copy[i])
        return b"\n".join(copy)

    yield "nbsp", at_random(lambda l: l.replace(b" ", b"\xc2\xa0", 1))
    yield "nul", at_random(lambda l: l[: len(l) // 2] + b"\0" + l[len(l) // 2 :])
    yield "invalid", at_random(lambda l: l + b"\xff\xfe")
    yield "cr", data.replace(b"\n", b"\r\n")
    yield "percent", at_random(lambda l: l + b" 100%")
    yield "number", at_random(lambda l: b"99999999999999999999 " + l)
    yield "no-newline", data.rstrip(b"\n")


def inputs(corpus, work):
    paths = [os.path.join(corpus, n) for n in sorted(os.listdir(corpus)) if n != "SOURCES.tsv"]
    gen = os.path.join(ROOT, "bench", "gen_crontab.py")
    for i, args in enumerate([["--lines", "400", "--findings", "0.3", "--seed", "5"],
                              ["--lines", "300", "--flavor", "user", "--seed", "6"],
                              ["--lines", "200", "--findings", "0.9", "--seed", "7"]]):
        path = os.path.join(work, f"generated-{i}")
        with open(path, "wb") as out:
            subprocess.run([sys.executable, gen, *args], stdout=out, check=True)
        paths.append(path)
    rng = random.Random(1)
    for source in paths[:: max(1, len(paths) // 6)][:6]:
        data = open(source, "rb").read()
        for name, mutated in mutations(data, rng):
            path = os.path.join(work, f"{os.path.basename(source)}-{name}")
            open(path, "wb").write(mutated)
            paths.append(path)
    return paths


def run(binary, args, cwd):
    junit = os.path.join(cwd, "out.xml")
    if os.path.exists(junit):
        os.remove(junit)
    result = subprocess.run([binary, *args], capture_output=True, cwd=cwd)
    xml = open(junit, "rb").read() if os.path.exists(junit) else None
    return result.stdout, result.returncode, xml


def main():
    old, new, corpus = sys.argv[1:4]
    audit = "--audit" in sys.argv[4:]
    runs = differ = 0
    with tempfile.TemporaryDirectory() as work:
        for path in inputs(corpus, work):
            for options in OPTION_SETS:
                args = [*options, "--junit", "out.xml", path]
                a = run(os.path.join(old, "lintkeeper"), args, work)
                b = run(os.path.join(new, "lintkeeper"), args, work)
                runs += 1
                if a != b:
                    differ += 1
                    print(f"DIFFER lintkeeper {' '.join(args)}")
            if not audit:
                continue
            for options in AUDIT_OPTION_SETS:
                for fmt in AUDIT_FORMATS:
                    args = [*options, "--format", fmt, path]
                    a = run(os.path.join(old, "lintkeeper-audit"), args, work)
                    b = run(os.path.join(new, "lintkeeper-audit"), args, work)
                    runs += 1
                    if a != b:
                        differ += 1
                        print(f"DIFFER lintkeeper-audit {' '.join(args)}")
    print(f"{runs} runs, {differ} differ")
    return 1 if differ else 0


if __name__ == "__main__":
    sys.exit(main())
