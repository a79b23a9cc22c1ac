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
#   BASELINE=/old/stylo-report bash bench/fix.sh   # also another build's --fix, side by side in each run
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
baseline=${BASELINE:-}

# Runs a command under /usr/bin/time into the file $1: "wall user system".
# The last line only: a command that ends with a status other than 0 (some
# findings were left) has time say so on a line before it.
timed() {
  local out=$1; shift
  /usr/bin/time -f "%e %U %S" -o "$out.raw" "$@" || true
  tail -n 1 "$out.raw" > "$out"
}
# "wall cpu" of a time file.
wall_cpu() { local w u s; read -r w u s < "$1"; echo "$w $(echo "$u + $s" | bc)"; }

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
  fix_wall= fix_cpu= sed_wall= sed_cpu= base_wall= base_cpu=
  for run in $(seq "$runs"); do
    rm -rf "$work/adopt-fix" "$work/adopt-sed" "$work/adopt-base"
    cp -a "$work/adoption" "$work/adopt-fix" && cp -a "$work/adoption" "$work/adopt-sed" && sync
    timed "$work/time-fix" "$report" --fix "$work/adopt-fix" > /dev/null 2> "$work/adopt-summary"
    sync
    (cd "$work/adopt-sed" && find . -name '*.c' -print0 | timed "$work/time-sed" \
      xargs -0 sed -i -e 's/\bif(/if (/g' -e 's/\bwhile(/while (/g')
    read -r fw fc < <(wall_cpu "$work/time-fix")
    read -r sw sc < <(wall_cpu "$work/time-sed")
    line="adoption run $run: --fix ${fw}s wall ${fc}s CPU; xargs sed -i ${sw}s wall ${sc}s CPU"
    if [ -n "$baseline" ]; then
      cp -a "$work/adoption" "$work/adopt-base" && sync
      timed "$work/time-base" "$baseline" --fix "$work/adopt-base" > /dev/null 2> /dev/null
      read -r bw bc < <(wall_cpu "$work/time-base")
      line="$line; baseline --fix ${bw}s wall ${bc}s CPU"
      if [ -z "$base_wall" ] || [ "$(echo "$bw < $base_wall" | bc)" = 1 ]; then base_wall=$bw base_cpu=$bc; fi
      rm -rf "$work/adopt-base"
    fi
    echo "$line"
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
  if [ -n "$baseline" ]; then
    echo "adoption, baseline --fix ${base_wall}s (${base_cpu}s CPU): ratio $(echo "scale=2; $base_wall / $sed_wall" | bc)"
  fi
}

status=0
if [ "${ONLY:-}" != adoption ]; then
if [ ! -d "$work/pristine" ]; then
  echo "== extracting the .c and .h files of /usr/src/linux-source-6.1.tar.xz"
  rm -rf "$work/extract" && mkdir -p "$work/extract"
  tar -C "$work/extract" -xf /usr/src/linux-source-6.1.tar.xz --wildcards '*.c' '*.h'
  mv "$work/extract"/* "$work/pristine" && rmdir "$work/extract"
fi

best_plain= best_fix= best_base=
for run in $(seq "$runs"); do
  # The copy is made untimed; it leaves the tree in the page cache for both.
  # Written out before the timing: a tree just copied is 1.3 GB of dirty
  # pages, which the first fsync of --fix would otherwise wait for.
  line="run $run:"
  if [ -n "$baseline" ]; then
    rm -rf "$work/copy" && cp -a "$work/pristine" "$work/copy" && sync
    (cd "$work/copy" && timed "$work/time-bplain" "$baseline" . > /dev/null)
    (cd "$work/copy" && timed "$work/time-bfix" "$baseline" --fix . > /dev/null 2>&1)
    read -r bpw bpc < <(wall_cpu "$work/time-bplain")
    read -r bfw bfc < <(wall_cpu "$work/time-bfix")
    line="$line baseline: plain report ${bpw}s wall ${bpc}s CPU, --fix ${bfw}s wall ${bfc}s CPU;"
    if [ -z "$best_base" ] || [ "$(echo "$bfw < $best_base" | bc)" = 1 ]; then best_base=$bfw best_base_plain=$bpw; fi
  fi
  rm -rf "$work/copy" && cp -a "$work/pristine" "$work/copy" && sync
  cd "$work/copy"
  timed "$work/time-plain" "$report" . > "$work/plain.out"
  timed "$work/time-fixrun" "$report" --fix . > "$work/fixed.out" 2> "$work/summary"
  cd "$work"
  read -r plain plain_cpu < <(wall_cpu "$work/time-plain")
  read -r fix fix_cpu < <(wall_cpu "$work/time-fixrun")
  echo "$line plain report ${plain}s wall ${plain_cpu}s CPU, --fix ${fix}s wall ${fix_cpu}s CPU"
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
if [ -n "$baseline" ]; then
  echo "baseline, minimum wall time: plain report ${best_base_plain}s, --fix ${best_base}s:" \
       "ratio $(echo "scale=2; $best_base / $best_base_plain" | bc)"
fi
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
