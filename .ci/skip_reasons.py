#!/usr/bin/env python3
"""Prints why each test that ctest skipped was skipped, from ctest's JUnit
report (ctest --output-junit): a GoogleTest case's GTEST_SKIP() message (the
line after "file:line: Skipped"), a script's "SKIP: why" line (the scripts
exit with their SKIP_RETURN_CODE, 77). Exits with 1 if a test skipped
without saying why, for a skip nobody can judge is a test nobody runs.

Usage: skip_reasons.py <ctest's JUnit report>
"""
import sys
import xml.etree.ElementTree as ElementTree


def reason(output):
    lines = output.splitlines()
    reasons = []
    for number, line in enumerate(lines):
        if line.startswith("SKIP: "):
            reasons.append(line[len("SKIP: "):])
        elif line.endswith(": Skipped"):
            message = [text for text in lines[number + 1:] if text.strip()][:1]
            if message and not message[0].startswith("[  SKIPPED ]"):
                reasons.append(message[0])
    return "; ".join(reasons)


def main():
    status = 0
    skipped = []
    for case in ElementTree.parse(sys.argv[1]).getroot().iter("testcase"):
        if case.find("skipped") is None:
            continue
        why = reason(case.findtext("system-out") or "")
        if not why:
            why = "FAIL: skipped without saying why"
            status = 1
        skipped.append((case.get("name"), why))
    if skipped:
        print("skipped, and why:")
        for name, why in sorted(skipped):
            print(f"  {name}: {why}")
    return status


if __name__ == "__main__":
    sys.exit(main())
