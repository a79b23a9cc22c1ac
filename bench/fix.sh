#!/usr/bin/env bash
# Two measures of stylo-report --fix, side by side in one run:
#
# 1. Over a copy of the Linux 6.1 tree against the plain report over the
#    same copy, taking turns on a fresh copy each run; the minimum wall time
#    of each is kept. Also checks what the fixes leave: no keyword-space
#    finding, the reversed operators alone (181 on Linux 6.1), every file as
#    bench/fix_predict.py predicts it, and the report of --fix equal to a
#    plain run's over the fixed tree.
# 2. A first adoption: 20,000 generated files of 30 lines, each line with
#    two fixes (1.2 million in all), fixed by --fix and by `xargs sed -i`
#    over the same files (which writes as much, on one core, and syncs
#    nothing), each on a fresh copy written out first; both end with the
#    same bytes. Wall and CPU time of each.
#
# Rewriting files is what costs: each replace frees the old file's blocks,
# which a file system mounted with discard passes to the device. The CPU
# time shows what the work itself takes; wall time on a machine shared with
# other work also shows the waits.
#
#   bash bench/fix.sh                              # work in $STYLO_BENCH_DIR/fix (default /tmp/stylo-bench/fix)
#   RUNS=5 STYLO_MAX_RATIO=1.5 bash bench/fix.sh   # fail above this ratio (Linux tree)
#   ONLY=adoption bash bench/fix.sh                # the adoption tree alone (ONLY=linux: the other)
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


# The adoption tree, generated once: 20,000 files of 30 lines.
adoption() {
  if [ ! -d "$work/adoption" ]; then
    echo "== generating the adoption tree"
    python3 - "$work/adoption" <<'PY'
import os, sys
top = sys.argv[1]
for d in range(100):
    os.makedirs(f"{top}/d{d}", exist_ok=True)
    for f in range(200):
        with open(f"{top}/d{d}/f{f}.c", "w") as out:
            out.write("".join(f"  if(a{i}) while(b{i}) c = {d + f + i};\n" for i in range(30)))
PY
  fi
  fix_wall= fix_cpu= sed_wall= sed_cpu=
  for run in $(seq "$runs"); do
    rm -rf "$work/adopt-fix" "$work/adopt-sed"
    cp -a "$work/adoption" "$work/adopt-fix" && cp -a "$work/adoption" "$work/adopt-sed" && sync
    /usr/bin/time -f "%e %U %S" -o "$work/time-fix" "$report" --fix "$work/adopt-fix" > /dev/null 2> "$work/adopt-summary" || true
    sync
    (cd "$work/adopt-sed" && find . -name '*.c' -print0 | /usr/bin/time -f "%e %U %S" -o "$work/time-sed" \
      xargs -0 sed -i -e 's/\bif(/if (/g' -e 's/\bwhile(/while (/g')
    read -r fw fu fs < "$work/time-fix"
    read -r sw su ss < "$work/time-sed"
    fc=$(echo "$fu + $fs" | bc); sc=$(echo "$su + $ss" | bc)
    echo "adoption run $run: --fix ${fw}s wall ${fc}s CPU; xargs sed -i ${sw}s wall ${sc}s CPU"
    if [ -z "$fix_wall" ] || [ "$(echo "$fw < $fix_wall" | bc)" = 1 ]; then fix_wall=$fw fix_cpu=$fc; fi
    if [ -z "$sed_wall" ] || [ "$(echo "$sw < $sed_wall" | bc)" = 1 ]; then sed_wall=$sw sed_cpu=$sc; fi
  done
  echo "summary: $(cat "$work/adopt-summary")"
  if diff -rq "$work/adopt-fix" "$work/adopt-sed" > /dev/null; then
    echo "both trees fixed alike"
  else
    echo "FAIL: --fix and sed -i leave different trees"; status=1
  fi
  echo "adoption, minimum wall time: --fix ${fix_wall}s (${fix_cpu}s CPU), xargs sed -i ${sed_wall}s (${sed_cpu}s CPU):" \
       "ratio $(echo "scale=2; $fix_wall / $sed_wall" | bc)"
}

status=0
if [ "${ONLY:-}" != adoption ]; then
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
python3 "$here/fix_predict.py" "$work/pristine" "$work/copy" | tail -1 || { echo "FAIL: files not as predicted"; status=1; }
cmp -s "$work/fixed.out" "$work/again.out" || { echo "FAIL: --fix's report differs from a plain run's over the fixed tree"; status=1; }
[ "$keyword_left" = 0 ] || { echo "FAIL: keyword-space findings left after --fix"; status=1; }
max=${STYLO_MAX_RATIO:-0}
if [ "$max" != 0 ] && [ "$(echo "$ratio > $max" | bc)" = 1 ]; then
  echo "FAIL: ratio $ratio above $max"
  status=1
fi
fi
[ "${ONLY:-}" = linux ] || adoption
exit $status
