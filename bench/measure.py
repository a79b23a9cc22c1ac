"""Runs stylo and its baseline alternately and prints one table.

For each workload: the minimum wall time of each command over the runs, the
throughput, the ratio of stylo's time to the baseline's, stylo's peak
resident memory, and whether the target holds. Before timing, stylo's
standard output and standard error are compared with stylo_plain's.
"""
import argparse
import os
import subprocess
import sys
import time


RSS_FILE = "/tmp/stylo-bench-rss.txt"


def run(command):
    """Runs a command; returns (wall seconds, peak RSS in KiB).

    The peak comes from GNU time: a child forked from Python would report
    Python's own memory as its peak.
    """
    start = time.perf_counter()
    result = subprocess.run(["/usr/bin/time", "-f", "%M", "-o", RSS_FILE] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wall = time.perf_counter() - start
    if result.returncode != 0:
        sys.exit(f"failed: {command}")
    with open(RSS_FILE) as f:
        return wall, int(f.read().split()[-1])


def same_output(stylo, plain, args):
    outputs = []
    for program in (stylo, plain):
        result = subprocess.run([program] + args, capture_output=True, check=True)
        outputs.append((result.stdout, result.stderr))
    return outputs[0] == outputs[1], outputs[0][0].count(b"\n")


def main():
    parser = argparse.ArgumentParser()
    for name in ("runs", "corpus", "stylo", "plain", "floor", "list", "file", "line", "short_line"):
        parser.add_argument("--" + name, required=True)
    a = parser.parse_args()
    runs = int(a.runs)
    tree_bytes = os.path.getsize(a.file)
    line_bytes = os.path.getsize(a.line)
    short_bytes = os.path.getsize(a.short_line)
    workloads = [
        # name, stylo arguments, baseline command, bytes, time ratio target, RSS target (KiB)
        (f"tree ({a.corpus}) as --file-list", [f"--file-list={a.list}"],
         ["sh", "-c", f"xargs -d '\\n' cat < '{a.list}' > /dev/null"], tree_bytes, 1.5, 8 * 1024),
        ("the tree as one file", [a.file], ["sh", "-c", f"cat '{a.file}' > /dev/null"], tree_bytes, 4.0, 8 * 1024),
        ("one 64 MiB line", [a.short_line], ["sh", "-c", f"cat '{a.short_line}' > /dev/null"], short_bytes, None,
         short_bytes // 1024 + 16 * 1024),
        ("one 256 MiB line", [a.line], ["sh", "-c", f"cat '{a.line}' > /dev/null"], line_bytes, None,
         line_bytes // 1024 + 16 * 1024),
    ]
    rows = []
    all_met = True
    first_line_throughput = None
    for name, args, baseline, size, ratio_target, rss_target in workloads:
        same, warnings = same_output(a.stylo, a.plain, args)
        best_stylo = best_base = best_floor = float("inf")
        peak = 0
        run(baseline)  # warm the page cache
        for _ in range(runs):
            wall, rss = run([a.stylo] + args)
            best_stylo = min(best_stylo, wall)
            peak = max(peak, rss)
            best_base = min(best_base, run(baseline)[0])
            best_floor = min(best_floor, run([a.floor] + args)[0])
        ratio = best_stylo / best_base
        throughput = size / best_stylo
        if ratio_target is None:
            # Linear time: a line four times as long takes at most about four
            # times as long, so its throughput stays within half of the
            # shorter line's.
            linear = throughput >= 0.5 * first_line_throughput if rows and first_line_throughput else True
            first_line_throughput = first_line_throughput or throughput
        else:
            linear = True
        met = same and linear and peak <= rss_target and (ratio_target is None or ratio <= ratio_target)
        all_met = all_met and met
        target = (f"<= {ratio_target}x, " if ratio_target else "linear in length, ") + f"RSS <= {rss_target // 1024} MiB"
        rows.append((name, f"{size / 1e6:.0f} MB", f"{size / best_stylo / 1e6:.0f}", f"{size / best_base / 1e6:.0f}",
                     f"{ratio:.2f}x", f"{best_stylo / best_floor:.2f}x", f"{peak / 1024:.1f} MiB", str(warnings),
                     "same" if same else "DIFFERS", target, "yes" if met else "NO"))
    header = ("workload", "size", "stylo MB/s", "baseline MB/s", "time ratio", "vs read floor", "stylo peak RSS",
              "warnings", "output vs plain", "target", "met")
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    return 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main())
