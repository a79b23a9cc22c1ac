#!/usr/bin/env bash
# stylo-report --format=sarif against stylo on the benchmark's tree, taking
# turns, the minimum wall time of each kept; also checks that the two find
# the same number of findings. The tree is the one bench/run.sh prepares
# (run it first).
#
#   bash bench/report.sh                        # corpus in $STYLO_BENCH_DIR (default /tmp/stylo-bench)
#   RUNS=9 STYLO_MAX_RATIO=1.1 bash bench/report.sh   # fail above this ratio
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}
[ -f "$work/tree.list" ] || { echo "no corpus in $work: run bench/run.sh first" >&2; exit 1; }
[ -x /usr/bin/time ] || apt-get install -y -qq time >/dev/null

echo "== building (Release)"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target stylo stylo-report >/dev/null

cd "$work/tree"
python3 "$here/measure_report.py" --runs "${RUNS:-5}" --list "$work/tree.list" \
  --stylo "$root/build-bench/stylo" --report "$root/build-bench/stylo-report" --max-ratio "${STYLO_MAX_RATIO:-0}"
