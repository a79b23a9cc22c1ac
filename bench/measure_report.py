"""Times stylo and stylo-report --format=sarif on one list, taking turns.

Prints the minimum wall time of each over the runs, their ratio and each
one's peak resident memory; exits 1 when --max-ratio is set and exceeded,
or when the two do not find the same number of findings.
"""
import argparse
import json
import subprocess
import sys
import time

RSS_FILE = "/tmp/stylo-bench-report-rss.txt"


def run(command, statuses):
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", RSS_FILE] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    if result.returncode not in statuses:
        sys.exit(f"failed with status {result.returncode}: {command}")
    with open(RSS_FILE) as f:
        return wall, int(f.read().split()[-1])


def main():
    parser = argparse.ArgumentParser()
    for name in ("runs", "list", "stylo", "report", "max-ratio"):
        parser.add_argument("--" + name, required=True)
    a = parser.parse_args()
    stylo = [a.stylo, f"--file-list={a.list}"]
    report = [a.report, "--format=sarif", f"--file-list={a.list}"]

    warnings = subprocess.run(stylo, capture_output=True, check=True).stdout.count(b"\n")
    sarif = subprocess.run(report, capture_output=True).stdout
    results = len(json.loads(sarif)["runs"][0]["results"])
    print(f"findings: stylo {warnings}, stylo-report {results}")
    if warnings != results:
        sys.exit("the two programs do not find the same number of findings")

    best = {"stylo": (float("inf"), 0), "report": (float("inf"), 0)}
    for _ in range(int(a.runs)):
        for name, command, statuses in (("stylo", stylo, (0,)), ("report", report, (0, 1))):
            wall, rss = run(command, statuses)
            if wall < best[name][0]:
                best[name] = (wall, max(rss, best[name][1]))
    ratio = best["report"][0] / best["stylo"][0]
    print(f"stylo                       {best['stylo'][0]:.3f} s   peak RSS {best['stylo'][1] / 1024:.1f} MiB")
    print(f"stylo-report --format=sarif {best['report'][0]:.3f} s   peak RSS {best['report'][1] / 1024:.1f} MiB")
    print(f"ratio {ratio:.3f}x")
    limit = float(a.max_ratio)
    if limit > 0 and ratio > limit:
        sys.exit(f"stylo-report takes {ratio:.3f}x stylo's time, over {limit}x")


if __name__ == "__main__":
    main()
