"""stylo-report against another build of it, run alternately, in one table.

For each case (a set of arguments), each program is run RUNS times, the
two taking turns so that a busy machine slows both alike; printed: the
minimum and median wall time, the median CPU time (user + system), and the
median voluntary context switches (a thread that sleeps waiting for work
adds one each time). The outputs and exit statuses of the two are compared
first: a difference ends the run.

    python3 bench/pipeline.py OURS THEIRS [--runs N] [--as-user UID] \\
        --case 'NAME=ARGS' [--case ...]

ARGS is split on blanks. With --as-user, both run under that user and
group (setpriv), so that directories root could read are unreadable.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time


def prefix(uid):
    if uid is None:
        return []
    return ["setpriv", f"--reuid={uid}", f"--regid={uid}", "--clear-groups"]


def run_once(command):
    """Wall seconds, CPU seconds and voluntary switches of one run."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    wall = time.perf_counter() - start
    child.returncode = os.waitstatus_to_exitcode(status)
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_nvcsw


def outputs(command):
    done = subprocess.run(command, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("ours")
    parser.add_argument("theirs")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--as-user", type=int)
    parser.add_argument("--case", action="append", required=True)
    args = parser.parse_args()
    programs = [("ours", args.ours), ("theirs", args.theirs)]
    print(f"{'case':<28} {'program':<7} {'min ms':>8} {'median ms':>10} {'cpu ms':>8} {'switches':>9}")
    for case in args.case:
        name, _, rest = case.partition("=")
        argv = rest.split()
        commands = {label: prefix(args.as_user) + [path] + argv for label, path in programs}
        first = outputs(commands["ours"])
        if outputs(commands["theirs"]) != first:
            sys.exit(f"{name}: the two programs' outputs or statuses differ")
        for command in commands.values():  # warm the caches
            run_once(command)
        times = {label: [] for label, _ in programs}
        for _ in range(args.runs):
            for label, _ in programs:
                times[label].append(run_once(commands[label]))
        for label, _ in programs:
            walls = [t[0] for t in times[label]]
            cpus = [t[1] for t in times[label]]
            switches = [t[2] for t in times[label]]
            print(f"{name:<28} {label:<7} {min(walls) * 1000:8.1f} {statistics.median(walls) * 1000:10.1f} "
                  f"{statistics.median(cpus) * 1000:8.1f} {statistics.median(switches):9.0f}")


if __name__ == "__main__":
    main()
