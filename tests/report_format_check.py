#!/usr/bin/env python3
"""Parses one stylo-report report and checks it against the names whose
files were checked, each holding one finding at line 1, columns 1-4.

Usage: report_format_check.py FORMAT REPORT NAMES
NAMES holds the names, each ended by a NUL byte. One more file, which
cannot be opened, is named "gone <&>\"%,:.c". Prints what is wrong and exits
1, or exits 0. JSON must be valid UTF-8; XML is left to xmllint."""
import json
import sys
import urllib.parse


def uri_bytes(uri):
    return urllib.parse.unquote_to_bytes(uri)


def lossy(name):
    return name.decode("utf-8", errors="replace")


def github_property(text):
    return text.replace("%3A", ":").replace("%2C", ",").replace("%0A", "\n").replace("%0D", "\r").replace("%25", "%")


def main():
    fmt, report, names_file = sys.argv[1:4]
    names = sorted(n for n in open(names_file, "rb").read().split(b"\0") if n)
    raw = open(report, "rb").read()
    problems = []
    if fmt in ("json", "gitlab", "sarif"):
        text = raw.decode("utf-8")  # raises on bytes that are not UTF-8
    if fmt == "json":
        objects = [json.loads(line) for line in text.split("\n") if line]
        got = sorted(uri_bytes(o["uri"]) for o in objects)
        if got != names:
            problems.append(f"uris {got} != names {names}")
        files = sorted(o["file"] for o in objects)
        if files != sorted(lossy(n) for n in names):
            problems.append(f"files {files}")
        if any((o["line"], o["column"], o["end_column"]) != (1, 1, 4) for o in objects):
            problems.append("positions")
    elif fmt == "gitlab":
        issues = json.loads(text)
        paths = sorted(i["location"]["path"] for i in issues)
        if paths != sorted(lossy(n) for n in names):
            problems.append(f"paths {paths}")
        if len({i["fingerprint"] for i in issues}) != len(names):
            problems.append("fingerprints are not unique")
    elif fmt == "sarif":
        run = json.loads(text)["runs"][0]
        locations = [r["locations"][0]["physicalLocation"] for r in run["results"]]
        got = sorted(uri_bytes(loc["artifactLocation"]["uri"]) for loc in locations)
        if got != names:
            problems.append(f"uris {got} != names {names}")
        if any((loc["region"]["startColumn"], loc["region"]["endColumn"]) != (1, 4) for loc in locations):
            problems.append("columns")
        notes = run["invocations"][0]["toolExecutionNotifications"]
        unopened = [uri_bytes(n["locations"][0]["physicalLocation"]["artifactLocation"]["uri"]) for n in notes]
        if unopened != [b'gone <&>"%,:.c']:
            problems.append(f"notifications {unopened}")
    elif fmt == "github":
        lines = raw.split(b"\n")
        if lines[-1] != b"" or len(lines) - 2 != len(names):
            problems.append(f"{len(lines) - 1} lines for {len(names)} findings and one file that cannot be opened")
        if lines[-2] != b"::error title=cannot-open::Unable to open file 'gone <&>\"%25,:.c'":
            problems.append(f"last line {lines[-2]!r}")
        got = []
        for line in lines[:-2]:
            head = line.split(b"::")[1]
            if not head.startswith(b"warning file="):
                problems.append(f"line {line!r}")
                continue
            got.append(github_property(lossy(head[len(b"warning file="):].split(b",line=")[0])))
        if sorted(got) != sorted(lossy(n) for n in names):
            problems.append(f"files {got}")
    for problem in problems:
        print(f"{fmt}: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
