#!/usr/bin/env bash
# stylo-report --fix over a copy of the Linux 6.1 tree against the plain
# report over the same copy, taking turns on a fresh copy each run; the
# minimum wall time of each is kept. Also checks what the fixes leave: no
# keyword-space finding, the reversed operators alone (181 on Linux 6.1),
# every file as bench/fix_predict.py predicts it, and the report of --fix
# equal to a plain run's over the fixed tree.
#
#   bash bench/fix.sh                              # work in $STYLO_BENCH_DIR/fix (default /tmp/stylo-bench/fix)
#   RUNS=5 STYLO_MAX_RATIO=1.5 bash bench/fix.sh   # fail above this ratio
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}/fix
runs=${RUNS:-3}
mkdir -p "$work"

echo "== building (Release)"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target stylo-report >/dev/null
report=$root/build-bench/stylo-report

if [ ! -d "$work/pristine" ]; then
  echo "== extracting the .c and .h files of /usr/src/linux-source-6.1.tar.xz"
  rm -rf "$work/extract" && mkdir -p "$work/extract"
  tar -C "$work/extract" -xf /usr/src/linux-source-6.1.tar.xz --wildcards '*.c' '*.h'
  mv "$work/extract"/* "$work/pristine" && rmdir "$work/extract"
fi

now() { date +%s.%N; }
best_plain= best_fix=
for run in $(seq "$runs"); do
  # The copy is made untimed; it leaves the tree in the page cache for both.
  # Written out before the timing: a tree just copied is 1.3 GB of dirty
  # pages, which the first fsync of --fix would otherwise wait for.
  rm -rf "$work/copy" && cp -a "$work/pristine" "$work/copy" && sync
  cd "$work/copy"
  start=$(now); "$report" . > "$work/plain.out" || true; plain=$(echo "$(now) - $start" | bc)
  start=$(now); "$report" --fix . > "$work/fixed.out" 2> "$work/summary" || true; fix=$(echo "$(now) - $start" | bc)
  cd "$work"
  echo "run $run: plain report ${plain}s, --fix ${fix}s"
  if [ -z "$best_plain" ] || [ "$(echo "$plain < $best_plain" | bc)" = 1 ]; then best_plain=$plain; fi
  if [ -z "$best_fix" ] || [ "$(echo "$fix < $best_fix" | bc)" = 1 ]; then best_fix=$fix; fi
done

before=$(wc -l < "$work/plain.out")
after=$(wc -l < "$work/fixed.out")
keyword_left=$(grep -c '\[keyword-space\]$' "$work/fixed.out" || true)
(cd "$work/copy" && "$report" . > "$work/again.out") || true
changed=$( (diff -rq "$work/pristine" "$work/copy" || true) | wc -l)
ratio=$(echo "scale=2; $best_fix / $best_plain" | bc)
echo "findings before: $before; after --fix: $after ($keyword_left keyword-space); files changed: $changed"
echo "summary: $(cat "$work/summary")"
echo "minimum wall time: plain report ${best_plain}s, --fix ${best_fix}s: ratio $ratio"
status=0
python3 "$here/fix_predict.py" "$work/pristine" "$work/copy" | tail -1 || { echo "FAIL: files not as predicted"; status=1; }
cmp -s "$work/fixed.out" "$work/again.out" || { echo "FAIL: --fix's report differs from a plain run's over the fixed tree"; status=1; }
[ "$keyword_left" = 0 ] || { echo "FAIL: keyword-space findings left after --fix"; status=1; }
max=${STYLO_MAX_RATIO:-0}
if [ "$max" != 0 ] && [ "$(echo "$ratio > $max" | bc)" = 1 ]; then
  echo "FAIL: ratio $ratio above $max"
  status=1
fi
exit $status
