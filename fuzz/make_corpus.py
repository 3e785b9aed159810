#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets from the end-to-end cases and the unit tests.

Usage: fuzz/make_corpus.py

fuzz/corpus/fuzz_file/  the small crontabs of tests/cases, each behind one option byte
                        (the first byte that fuzz_file reads), the option bytes taken in turn
fuzz/corpus/fuzz_line/  lines of those crontabs, taken from each case in turn
fuzz/corpus/fuzz_field/ the field tokens of src/fields/parse_field_test.cc and the time
                        fields of the scheduled lines of those crontabs
Each seed is named after the SHA-1 of its bytes, as libFuzzer names the inputs it keeps. The
folders are emptied first, so the corpus is the same on every run.
"""

import hashlib
import os
import re
import shutil

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
CASES = os.path.join(ROOT, "tests", "cases")
FIELD_TEST = os.path.join(ROOT, "src", "fields", "parse_field_test.cc")
CORPUS = os.path.join(ROOT, "fuzz", "corpus")

MAX_FILE_BYTES = 4096
MAX_SEEDS = 48

# Option bytes of fuzz_file: bit 0 user crontab, bit 1 quiet, bit 2 JUnit report, bit 3 a
# warning limit held in bits 4 to 7.
OPTION_BYTES = [0x00, 0x01, 0x04, 0x02, 0x05, 0x18, 0x0C, 0x07, 0x29]

FIELD_CHARS = re.compile(rb"^[A-Za-z0-9*,/-]+$")
# A row of the token table: {"TOKEN", R"(...)"} (the token holds no quote or backslash).
TOKEN_ROW = re.compile(r'^\s*\{"([^"\\]*)",', re.MULTILINE)


def crontabs():
    """The crontab files of the cases, in case order, skipping large ones."""
    found = []
    for case in sorted(os.listdir(CASES)):
        path = os.path.join(CASES, case, "crontab")
        if os.path.isfile(path) and not os.path.islink(path):
            with open(path, "rb") as f:
                data = f.read()
            if 0 < len(data) <= MAX_FILE_BYTES:
                found.append(data)
    return found


def round_robin(groups, limit):
    """Distinct items taken from each group in turn, at most limit of them."""
    seen, order = set(), []
    index = 0
    while len(order) < limit and any(index < len(g) for g in groups):
        for group in groups:
            if index < len(group) and group[index] not in seen:
                seen.add(group[index])
                order.append(group[index])
                if len(order) == limit:
                    break
        index += 1
    return order


def scheduled_fields(line):
    words = line.split()
    if len(words) > 5 and all(FIELD_CHARS.match(w) for w in words[:5]):
        return words[:5]
    return []


def write(target, seeds):
    folder = os.path.join(CORPUS, target)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for seed in seeds:
        with open(os.path.join(folder, hashlib.sha1(seed).hexdigest()), "wb") as f:
            f.write(seed)
    print(f"{target}: {len(seeds)} seeds")


def main():
    files = crontabs()
    write("fuzz_file", [bytes([OPTION_BYTES[i % len(OPTION_BYTES)]]) + data
                        for i, data in enumerate(files[:MAX_SEEDS])])

    lines = [[line.strip() for line in data.split(b"\n") if line.strip()] for data in files]
    write("fuzz_line", round_robin(lines, MAX_SEEDS))

    with open(FIELD_TEST, encoding="utf-8") as f:
        tokens = [t.encode() for t in TOKEN_ROW.findall(f.read()) if t]
    fields = [f for group in lines for line in group for f in scheduled_fields(line)]
    write("fuzz_field", round_robin([tokens, fields], MAX_SEEDS))


if __name__ == "__main__":
    main()
