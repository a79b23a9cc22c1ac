#!/usr/bin/env bash
# stylo-report --changed-since=main against `git diff` alone for the same
# revisions, on a git repository of the whole Linux 6.1 tree with a branch
# that changes 100 .c files (a line changed, a line added, each with a
# finding, in every one of them). Both run in turn, RUNS times, in one run of
# this script; the minimum wall time of each is kept and their ratio printed.
# The report is also checked: exactly the findings the branch added.
#
#   bash bench/changed.sh                              # repository in $STYLO_BENCH_DIR/changed (default /tmp/stylo-bench/changed)
#   RUNS=9 STYLO_MAX_RATIO=2 bash bench/changed.sh     # fail above this ratio
#   PREPARE_ONLY=1 bash bench/changed.sh               # build the repository, time nothing
#   STYLO_REPORT=build/stylo-report bash bench/changed.sh  # time a stylo-report already built
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}/changed
runs=${RUNS:-7}
repo=$work/linux
mkdir -p "$work"
git_() { git -c user.name=bench -c user.email=bench@example.invalid -c init.defaultBranch=main "$@"; }

if [ ! -f "$work/ready" ]; then
  echo "== making a git repository of /usr/src/linux-source-6.1.tar.xz (once)"
  rm -rf "$repo" "$work/extract" && mkdir -p "$work/extract"
  tar -C "$work/extract" -xf /usr/src/linux-source-6.1.tar.xz
  mv "$work/extract"/* "$repo" && rmdir "$work/extract"
  cd "$repo"
  # Debian's packaging ignores everything at the top of the tree; the
  # kernel's own repository does not.
  sed -i '/^# Debian packaging: ignore everything/,$d' .gitignore
  git_ init -q .
  git_ add -A . && git_ commit -q -m 'Linux 6.1'
  git_ checkout -q -b change
  # Every 300th .c file of the sorted list: 100 files all over the tree.
  # In each, its last line changed (a blank added at its end) and two lines
  # added after it, one finding of each rule in them.
  git ls-files -z '*.c' | sort -z | awk 'BEGIN { RS = "\0"; ORS = "\0" } NR % 300 == 0 && n < 100 { print; n++ }' > "$work/files"
  while IFS= read -r -d '' f; do
    awk '{ if (NR > 1) print last; last = $0 } END { print last " "; print "int stylo_bench_end =-1;"; print "static void stylo_bench(void) { if(1) {} }" }' "$f" > "$f.new"
    mv "$f.new" "$f"
  done < "$work/files"
  git_ commit -q -a -m 'A change of 100 files'
  touch "$work/ready"
fi
[ -n "${PREPARE_ONLY:-}" ] && exit 0

report=${STYLO_REPORT:-}
if [ -z "$report" ]; then
  echo "== building (Release)"
  cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build-bench" -j2 --target stylo-report >/dev/null
  report=$root/build-bench/stylo-report
fi

cd "$repo"
files=$(tr -cd '\0' < "$work/files" | wc -c)
base=$(git merge-base main HEAD)
git status --porcelain >/dev/null  # the index refreshed once, untimed, for both
now() { date +%s.%N; }
best_git= best_report=
for run in $(seq "$runs"); do
  start=$(now); git diff --no-color "$base" > "$work/git.out"; gd=$(echo "$(now) - $start" | bc)
  start=$(now); "$report" --changed-since=main > "$work/report.out" || true; rp=$(echo "$(now) - $start" | bc)
  echo "run $run: git diff ${gd}s, stylo-report --changed-since=main ${rp}s"
  if [ -z "$best_git" ] || [ "$(echo "$gd < $best_git" | bc)" = 1 ]; then best_git=$gd; fi
  if [ -z "$best_report" ] || [ "$(echo "$rp < $best_report" | bc)" = 1 ]; then best_report=$rp; fi
done
ratio=$(echo "scale=2; $best_report / $best_git" | bc)
found=$(wc -l < "$work/report.out")
kw=$(grep -c '\[keyword-space\]$' "$work/report.out" || true)
op=$(grep -c '\[reversed-operator\]$' "$work/report.out" || true)
echo "files changed: $files; findings reported: $found ($kw keyword-space, $op reversed-operator)"
echo "minimum wall time: git diff ${best_git}s, --changed-since=main ${best_report}s: ratio $ratio"
status=0
[ "$kw" = "$files" ] && [ "$op" = "$files" ] && [ "$found" = $((2 * files)) ] ||
  { echo "FAIL: wanted one finding of each rule in each of the $files files"; status=1; }
max=${STYLO_MAX_RATIO:-0}
if [ "$max" != 0 ] && [ "$(echo "$ratio > $max" | bc)" = 1 ]; then
  echo "FAIL: ratio $ratio above $max"; status=1
fi
exit $status
