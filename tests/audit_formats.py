#!/usr/bin/env python3
"""Every format of lintkeeper-audit tells the same findings, validates, and escapes its texts.

Usage: audit_formats.py LINTKEEPER_AUDIT SOURCE_DIR [SARIF_MULTITOOL_DIR]

On the planted tree of audit_tree.py, and on a crontab whose texts hold quotes, backslashes,
%, <, &, non-ASCII letters and control characters, each format is read back with a real
parser (Python's json and xml.etree) into (path, line, kind, text) findings, which must be
those of the JSON format. The JSON report is validated against docs/audit.schema.json
(python3-jsonschema), the SARIF report against the SARIF 2.1.0 schema of the npm package
@microsoft/sarif-multitool-linux and by its validate command (no result may be an error), the
JUnit report by xmllint, the Code Quality report against GitLab's required fields. --output to
an unwritable path must fail with status 2 and leave no file, and so must a report that cannot
be written to standard output (a full disk, a closed descriptor, a pipe its reader closed), in
every format, with its message on standard error.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import audit_tree  # noqa: E402  (the planted tree)

FORMATS = ["json", "text", "gcc", "sarif", "codequality", "github", "junit"]
# Texts that must come back whole; XML cannot hold most control characters, so its reports
# are given a tab as theirs.
ODD = 'q"b\\%<&>\':,\u00fc\u4e2d'
CONTROL = "\x01"


def odd_crontab(root):
    """A crontab whose findings quote odd texts, under a name that is odd too."""
    name = f"odd {ODD}.cron"
    audit_tree.write(root, name, (
        f"0 3 * * * a{CONTROL}{ODD}b /bin/true\n"   # INVALID_USER with the name
        f"@x{ODD}\troot /bin/true\n"                 # INVALID_AT, the line's text in JSON
        f"0 3 * * * c\t{ODD}\n"                      # USER_NOT_FOUND; a tab in the text
    ))
    return os.path.join(root, name)


def run(binary, args):
    return subprocess.run([binary, *args], capture_output=True)


def from_json(data):
    doc = json.loads(data)
    return sorted((f["path"], f2["line"] or 1, f2["kind"], f2["text"])
                  for f in doc["files"] for f2 in f["findings"])


def from_gcc(data):
    found = []
    for line in data.decode().splitlines():
        m = re.match(r"^(.*):(\d+):1: (?:error|warning): (.*) \[([A-Z0-9_]+)\]$", line)
        found.append((m.group(1), int(m.group(2)), m.group(4), m.group(3)))
    return sorted(found)


def from_text(data):
    found, path, line = [], None, None
    for text in data.decode().splitlines():
        header = re.match(r"^Checking correctness of (.*) \((.*)\)$", text)
        if header:
            path, line = header.group(1), None
            continue
        numbered = re.match(r"^[EW]: (\d+): ", text)
        if numbered:
            line = int(numbered.group(1))
            continue
        file_message = re.match(r"^[EW]: ([A-Z0-9_]+): (.*)$", text)
        if file_message and line is None:
            found.append((path, 0, file_message.group(1), file_message.group(2)))
            continue
        message = re.match(r"^[ew]: +([A-Z0-9_]+): (.*)$", text)
        if message:
            found.append((path, line, message.group(1), message.group(2)))
    return found


def from_sarif(data, root):
    doc = json.loads(data)
    run_ = doc["runs"][0]
    found = []
    for r in run_["results"]:
        location = r["locations"][0]["physicalLocation"]
        uri = location["artifactLocation"]["uri"]
        path = re.sub("%([0-9A-F]{2})", lambda m: chr(int(m.group(1), 16)), uri)
        path = path.encode("latin-1").decode("utf-8")
        if uri.startswith("file://"):
            path = path[len("file://"):]
        found.append((path, location["region"]["startLine"], r["ruleId"], r["message"]["text"]))
    return sorted(found)


def from_code_quality(data):
    issues = json.loads(data)
    for issue in issues:  # GitLab's required fields
        assert {"description", "check_name", "fingerprint", "severity", "location"} <= set(issue)
        assert issue["severity"] in ("info", "minor", "major", "critical", "blocker")
        assert isinstance(issue["location"]["path"], str)
        assert isinstance(issue["location"]["lines"]["begin"], int)
    assert len({i["fingerprint"] for i in issues}) == len(issues), "fingerprints are unique"
    return sorted((i["location"]["path"], i["location"]["lines"]["begin"], i["check_name"],
                   i["description"]) for i in issues)


def github_unescape(text):
    return re.sub("%(25|0D|0A|3A|2C)", lambda m: chr(int(m.group(1), 16)), text)


def from_github(data):
    found = []
    for line in data.decode().splitlines():
        m = re.match(r"^::(error|warning) (.*?)::(.*)$", line)
        props = dict(p.split("=", 1) for p in m.group(2).split(","))
        found.append((github_unescape(props["file"]), int(props.get("line", 1)),
                      props["title"], github_unescape(m.group(3))))
    return sorted(found)


def from_junit(data):
    found = []
    for suite in ET.fromstring(data):
        for case in suite:
            for child in case:
                for body_line in (child.text or "").split("\n"):
                    m = re.match(r"^[EW]: ([A-Z0-9_]+): (.*)$", body_line)
                    found.append((suite.get("name"), int(case.get("line", 1)), m.group(1),
                                  m.group(2)))
    return sorted(found)


def readers(root):
    return {
        "gcc": from_gcc,
        "sarif": lambda d: from_sarif(d, root),
        "codequality": from_code_quality,
        "github": from_github,
        "junit": from_junit,
    }


def relative(found, root):
    """The findings with their paths made relative to the root of a host audit."""
    if not root:
        return sorted(found)
    return sorted(((p[len(root):].lstrip("/") if p.startswith(root) else p.lstrip("/")) or ".",
                   n, k, t) for p, n, k, t in found)


def check_formats(binary, args, root, failures):
    reports = {f: run(binary, [*args, "--format", f]).stdout for f in FORMATS}
    expected = from_json(reports["json"])
    for name, read in readers(root).items():
        got = relative(read(reports[name]), root)
        want = expected
        if name == "junit":  # XML holds a control character as U+FFFD
            want = sorted((p, n, k, t.replace(CONTROL, "\ufffd")) for p, n, k, t in expected)
        if got != want:
            failures.append(f"{name}: {len(got)} findings unlike the JSON report's {len(want)}: "
                            f"{sorted(set(got) ^ set(want))[:4]}")
    text = relative(((p, n or 1, k, t) for p, n, k, t in from_text(reports["text"])), root)
    if text != expected:
        failures.append("text: its findings are not the JSON report's")
    return reports


def validate(reports, source, multitool, failures):
    import jsonschema
    schema = json.load(open(os.path.join(source, "docs", "audit.schema.json")))
    jsonschema.validate(json.loads(reports["json"]), schema)
    with tempfile.NamedTemporaryFile(suffix=".xml") as f:
        f.write(reports["junit"])
        f.flush()
        if subprocess.run(["xmllint", "--noout", f.name]).returncode != 0:
            failures.append("junit: xmllint rejects it")
    if not multitool:
        print("skipped: SARIF validation (no @microsoft/sarif-multitool-linux)")
        return
    sarif_schema = json.load(open(os.path.join(multitool, "sarif-2.1.0.json")))
    jsonschema.validate(json.loads(reports["sarif"]), sarif_schema)
    with tempfile.TemporaryDirectory() as work:
        log, out = os.path.join(work, "in.sarif"), os.path.join(work, "out.sarif")
        open(log, "wb").write(reports["sarif"])
        subprocess.run([os.path.join(multitool, "Sarif.Multitool"), "validate", log, "-o", out],
                       capture_output=True)
        results = json.load(open(out))["runs"][0].get("results", [])
        errors = [r for r in results if r.get("level", "warning") == "error"]
        if errors:
            failures.append(f"sarif: the multitool finds errors: {errors[:2]}")


def unwritable_stdout(binary, work, failures):
    """Every format written to a standard output that fails: status 2 and the reason."""
    # A warning, so that every format has something to write: the status would be 1.
    crontab = os.path.join(work, "warned")
    with open(crontab, "w") as f:
        f.write("A=$B\n")
    ways = {
        "full": ("No space left on device (os error 28)", '"$@" >/dev/full; s=$?'),
        "closed": ("Bad file descriptor (os error 9)", '"$@" >&-; s=$?'),
        "pipe closed": ("Broken pipe (os error 32)", '"$@" | true; s=${PIPESTATUS[0]}'),
    }
    for fmt in FORMATS:
        for way, (reason, script) in ways.items():
            # A report long enough to fill the pipe, so that writing it meets the closed end.
            args = [binary, "--format", fmt, *([crontab] * 2000)]
            result = subprocess.run(["bash", "-c", f'{script}; echo "status $s" >&2', "sh",
                                     *args], capture_output=True)
            want = f"error: can not write the report to standard output: {reason}\nstatus 2\n"
            if result.stderr.decode() != want:
                failures.append(f"--format {fmt}, standard output {way}: {result.stderr!r}")


def main():
    binary = os.path.abspath(sys.argv[1])
    source = sys.argv[2]
    multitool = sys.argv[3] if len(sys.argv) > 3 and os.path.isdir(sys.argv[3]) else None
    failures = []
    with tempfile.TemporaryDirectory() as planted, tempfile.TemporaryDirectory() as odd:
        audit_tree.planted_tree(planted)
        reports = check_formats(binary, ["--root", planted], planted, failures)
        validate(reports, source, multitool, failures)
        # The jobs and their runs, with the findings as before.
        reports = check_formats(binary, ["--root", planted, "--next", "2", "--now",
                                         "2026-03-28T12:00:00+01:00"], planted, failures)
        validate(reports, source, multitool, failures)
        if not json.loads(reports["json"]).get("jobs"):
            failures.append("json: --next 2 lists no job")
        # Findings about the whole host, on no file: the root itself, ".".
        empty = os.path.join(odd, "empty")
        os.mkdir(empty)
        reports = check_formats(binary, ["--root", empty], empty, failures)
        validate(reports, source, multitool, failures)
        os.rmdir(empty)
        path = odd_crontab(odd)
        reports = check_formats(binary, [path], None, failures)
        validate(reports, source, multitool, failures)
        doc = json.loads(reports["json"])
        texts = [f["text"] for f in doc["files"][0]["findings"]]
        if f'Invalid username "a{CONTROL}{ODD}b"' not in texts:
            failures.append(f"json: the odd user name did not come back whole: {texts}")

        # --output to a path that cannot be written: status 2, a message, no file left.
        target = os.path.join(odd, "no-such-folder", "report.json")
        result = run(binary, [path, "--format", "json", "--output", target])
        if (result.returncode, result.stdout) != (2, b"") or b"can not write" not in result.stderr:
            failures.append(f"--output: status {result.returncode}, stderr {result.stderr!r}")
        before = set(os.listdir(odd))
        os.chmod(odd, 0o555)
        result = subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                 binary, path, "--output", os.path.join(odd, "r.json")],
                                capture_output=True) if os.geteuid() == 0 else result
        os.chmod(odd, 0o755)
        if result.returncode != 2 or set(os.listdir(odd)) != before:
            failures.append(f"--output in a folder it cannot write: {result.returncode}, "
                            f"{sorted(set(os.listdir(odd)) - before)}")
        unwritable_stdout(binary, odd, failures)
    for failure in failures:
        print(f"FAIL {failure}")
    if not failures:
        print("ok: every format tells the same findings, validates and escapes")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
