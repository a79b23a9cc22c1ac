"""Times two builds of stylo side by side and prints their ratio.

The builds take turns, run after run, on each workload, with the workload's
baseline (cat, or the read floor) in the same rotation, so that a busy or
throttled machine slows all of them alike. For each command the median and
the range of the wall times are printed, and the median of the processor
time (user and system), which other programs on a busy machine disturb
less; each ratio is that of the medians, the working tree's build over the
other. A ratio above 1 is a slowdown.

How large a ratio can be by chance alone shows in the control: a copy of
the other build, timed in the same rotation as a third program, whose
ratio to the other build is pure noise (on a busy machine two runs of the
very same program differ by several per cent). With --instructions, each
build's instructions on each workload are counted too, under valgrind's
callgrind (a virtual machine may offer no hardware counter to perf): the
same count means the same work, whatever the clock said.

Both builds' outputs are compared first: a change that alters what stylo
prints is said so, since its time is then no like-for-like comparison.
"""
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time


def timed(command):
    """Runs a command; returns (wall seconds, processor seconds)."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) not in (0, 1):  # 1: warnings were found
        sys.exit(f"failed ({status}): {' '.join(command)}")
    return wall, usage.ru_utime + usage.ru_stime


def instructions_of(command):
    """The instructions a command executes, counted by callgrind."""
    result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null"] + command,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    found = re.search(r"Collected : (\d+)", result.stderr)
    if not found:
        sys.exit(f"callgrind counted nothing: {' '.join(command)}\n{result.stderr}")
    return int(found.group(1))


def output_of(command):
    result = subprocess.run(command, capture_output=True)
    return result.stdout, result.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, required=True)
    parser.add_argument("--rev", required=True, help="name of the other build, for the table")
    parser.add_argument("--theirs", required=True, help="the other build's stylo")
    parser.add_argument("--ours", required=True, help="the working tree's stylo")
    parser.add_argument("--floor", required=True)
    parser.add_argument("--list", required=True)
    parser.add_argument("--file", required=True)
    parser.add_argument("--long_lines", required=True)
    parser.add_argument("--line", required=True)
    parser.add_argument("--instructions", action="store_true", help="count instructions with callgrind too")
    a = parser.parse_args()
    # The control: the other build, copied under another name.
    control = os.path.join(os.path.dirname(os.path.abspath(a.theirs)), "stylo-control")
    shutil.copy2(a.theirs, control)
    workloads = [
        # name, stylo arguments, baseline name, baseline command
        ("tree as --file-list", [f"--file-list={a.list}"], "read floor", [a.floor, f"--file-list={a.list}"]),
        ("the tree as one file", [a.file], "cat", ["sh", "-c", f"cat '{a.file}' > /dev/null"]),
        ("lines of 200 KB", [a.long_lines], "cat", ["sh", "-c", f"cat '{a.long_lines}' > /dev/null"]),
        ("one 256 MiB line", [a.line], "cat", ["sh", "-c", f"cat '{a.line}' > /dev/null"]),
    ]
    header = ("workload", f"{a.rev} s", "this tree s", "ratio", f"{a.rev} CPU s", "this tree CPU s", "CPU ratio",
              "control ratio", "baseline", "baseline s", "this tree / baseline", "output")
    if a.instructions:
        header += (f"{a.rev} instructions", "this tree instructions", "instructions ratio")
    rows = []
    for name, args, base_name, baseline in workloads:
        same = output_of([a.theirs] + args) == output_of([a.ours] + args)
        commands = {"theirs": [a.theirs] + args, "ours": [a.ours] + args, "control": [control] + args,
                    "base": baseline}
        times = {key: [] for key in commands}
        cpu = {key: [] for key in commands}
        for command in commands.values():
            timed(command)  # warm the page cache
        order = list(commands)
        for run in range(a.runs):
            # Each command goes first as often as last.
            for key in order if run % 2 == 0 else reversed(order):
                wall, processor = timed(commands[key])
                times[key].append(wall)
                cpu[key].append(processor)
        median = {key: statistics.median(values) for key, values in times.items()}
        cpu_median = {key: statistics.median(values) for key, values in cpu.items()}
        spread = {key: f"{median[key]:.3f} ({min(times[key]):.3f}-{max(times[key]):.3f})" for key in times}
        rows.append((name, spread["theirs"], spread["ours"], f"{median['ours'] / median['theirs']:.3f}",
                     f"{cpu_median['theirs']:.3f}", f"{cpu_median['ours']:.3f}",
                     f"{cpu_median['ours'] / cpu_median['theirs']:.3f}",
                     f"{median['control'] / median['theirs']:.3f}", base_name, spread["base"],
                     f"{median['ours'] / median['base']:.2f}x", "same" if same else "DIFFERS"))
        if a.instructions:
            theirs, ours = instructions_of([a.theirs] + args), instructions_of([a.ours] + args)
            rows[-1] += (f"{theirs:,}", f"{ours:,}", f"{ours / theirs:.5f}")
    widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
    line = lambda r: "| " + " | ".join(c.ljust(w) for c, w in zip(r, widths)) + " |"
    print(f"{a.runs} runs each, taking turns; median (min-max) wall seconds, median processor seconds")
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        print(line(r))
    return 0


if __name__ == "__main__":
    sys.exit(main())
