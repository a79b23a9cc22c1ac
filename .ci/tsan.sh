#!/usr/bin/env bash
# stylo-report's threads under ThreadSanitizer: checkers on four threads in
# memory and the report's pipeline with fake jobs (the unit tests), then
# stylo-report at -j4 on a generated tree of some 400 files with names that
# cannot be opened and a file list that cannot be opened among them (a
# message that waits its turn in the pipeline), its report
# held to -j1's byte for byte in two formats, and --fix over the same
# tree. Any report is fatal. A few minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages g++ libgtest-dev cmake nlohmann-json3-dev python3

flags="-fsanitize=thread -fno-omit-frame-pointer -g -O1"
rm -rf build-tsan
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build build-tsan -j2 --target stylo-report stylo_tests stylo_fix_tests
export TSAN_OPTIONS="halt_on_error=1:exitcode=86:second_deadlock_stack=1"

build-tsan/tests/stylo_tests --gtest_filter='FileScan.CheckersOnThreadsShareNothing'
build-tsan/tests/stylo_fix_tests --gtest_filter='OrderedPipeline.*'

root=$PWD
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make_corpus.py "$work/tree" 400 >/dev/null
(cd "$work" && find tree -type f | LC_ALL=C sort) > "$work/list.txt"
printf 'tree/missing.c\ntree\n\n' >> "$work/list.txt"
cd "$work"
for format in gcc sarif; do
  status=0
  "$OLDPWD/build-tsan/stylo-report" -j1 --format=$format --file-list=list.txt --file-list=no-list.txt tree > one.out 2> one.err || status=$?
  [ "$status" -eq 2 ] || { echo "tsan: -j1 ended with $status, not 2"; exit 1; }
  status=0
  "$OLDPWD/build-tsan/stylo-report" -j4 --format=$format --file-list=list.txt --file-list=no-list.txt tree > four.out 2> four.err || status=$?
  [ "$status" -eq 2 ] || { echo "tsan: -j4 ended with $status, not 2 (86: a ThreadSanitizer report)"; cat four.err; exit 1; }
  cmp one.out four.out && cmp one.err four.err
  echo "tsan: $format at -j4 as at -j1 ($(wc -c < four.out) bytes), no report"
done

# --fix puts its files in place in batches, on a thread of its own and a
# few renaming threads: the same fixed tree and report as one at a time.
status=0
for jobs in 1 4; do
  cp -a tree "fix$jobs"
  (cd "fix$jobs" && "$root/build-tsan/stylo-report" -j$jobs --fix . > "../fix$jobs.out" 2> "../fix$jobs.err") || status=$?
  [ "$status" -le 1 ] || { echo "tsan: --fix -j$jobs ended with $status (86: a ThreadSanitizer report)"; cat "fix$jobs.err"; exit 1; }
done
diff -r fix1 fix4 && cmp fix1.out fix4.out && cmp fix1.err fix4.err
echo "tsan: --fix at -j4 as at -j1 ($(tail -n 1 fix4.err)), no report"
