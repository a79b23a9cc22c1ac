#!/usr/bin/env bash
# stylo-report on the benchmark's tree through --file-list: one thread
# (-j1), the default (every processor the process may use), and ripgrep's
# default run over the same tree (all threads, counting an absent string in
# the C files); with --against REV, REV's stylo-report as
# well, for -j1 against it. Also the peak memory of -j1 and of the default,
# and that every report is the same byte for byte. The tree is the one
# bench/run.sh prepares (run it first).
#
#   bash bench/jobs.sh                     # corpus in $STYLO_BENCH_DIR (default /tmp/stylo-bench)
#   RUNS=9 bash bench/jobs.sh --against main
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}
runs=${RUNS:-5}
against=
case "${1:-}" in
  --against) against=${2:?--against needs a revision} ;;
  --against=*) against=${1#--against=} ;;
  "") ;;
  *) echo "usage: bash bench/jobs.sh [--against REV]" >&2; exit 2 ;;
esac
[ -f "$work/tree.list" ] || { echo "no corpus in $work: run bench/run.sh first" >&2; exit 1; }
command -v hyperfine >/dev/null && command -v rg >/dev/null || { echo "needs hyperfine and ripgrep" >&2; exit 1; }
[ -x /usr/bin/time ] || apt-get install -y -qq time >/dev/null

echo "== building (Release)"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target stylo-report >/dev/null
ours="$root/build-bench/stylo-report"
commands=("$ours -j1 --format=sarif --file-list=$work/tree.list" "$ours --format=sarif --file-list=$work/tree.list")
if [ -n "$against" ]; then
  commit=$(git -C "$root" rev-parse --verify "$against^{commit}")
  other="$work/against/$commit"
  echo "== building $against ($commit, Release) in $other"
  if [ ! -x "$other/build/stylo-report" ]; then
    rm -rf "$other" && mkdir -p "$other/src"
    git -C "$root" archive "$commit" | tar -x -C "$other/src"
    cmake -S "$other/src" -B "$other/build" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
  fi
  cmake --build "$other/build" -j2 --target stylo-report >/dev/null
  commands+=("$other/build/stylo-report --format=sarif --file-list=$work/tree.list")
fi
commands+=("rg --no-ignore -c -F stylo-absent-string-3f9c -t c .")

cd "$work/tree"
echo "== the same report at -j1 and by default"
status=0; "$ours" -j1 --format=sarif --file-list="$work/tree.list" > "$work/jobs1.sarif" || status=$?
[ "$status" -le 1 ] || { echo "-j1 ended with $status" >&2; exit 1; }
"$ours" --format=sarif --file-list="$work/tree.list" > "$work/jobsN.sarif" || true
cmp "$work/jobs1.sarif" "$work/jobsN.sarif" && echo "identical ($(wc -c < "$work/jobsN.sarif") bytes)"

echo "== peak memory (KiB): -j1, default"
# (Status 1, findings, is no failure here.)
for jobs in -j1 ""; do
  /usr/bin/time -f "%M" "$ours" $jobs --format=sarif --file-list="$work/tree.list" 2>&1 >/dev/null | tail -1 || true
done

echo "== times ($runs runs of each after a warm-up, one command after the other; load: $(cut -d' ' -f1-3 /proc/loadavg))"
hyperfine -N -i --warmup 1 --runs "$runs" --style basic "${commands[@]}"
