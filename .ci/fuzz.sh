#!/usr/bin/env bash
# A bounded run of each fuzz target from the seed corpus in fuzz/corpus.
# Any crash, hang (over 10 s for one input), sanitizer report or broken
# check fails the step; the input that did it is kept in build-fuzz/findings.
# STYLO_FUZZ_SECONDS sets the time per target (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages clang-14 libclang-rt-14-dev cmake nlohmann-json3-dev

seconds="${STYLO_FUZZ_SECONDS:-60}"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DSTYLO_BUILD_TESTS=OFF -DSTYLO_BUILD_FUZZERS=ON
cmake --build build-fuzz -j2

root="$PWD"
mkdir -p build-fuzz/findings
status=0
for target in scan list lsp report; do
  # New inputs go to a scratch corpus; the seeds in the repository are only read.
  work="$root/build-fuzz/corpus-$target"
  mkdir -p "$work"
  log="$root/build-fuzz/$target.log"
  # The language server's seeds include a message nested fifty thousand deep
  # (deep enough to overflow the stack of any walk that recurses): its
  # inputs may be as long as that seed, and the mutations of it.
  limits=()
  if [ "$target" = lsp ]; then limits=(-max_len=131072); fi
  echo "fuzzing $target for ${seconds}s"
  if "$root/build-fuzz/stylo_${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "${limits[@]}" \
       -print_final_stats=1 -artifact_prefix="$root/build-fuzz/findings/$target-" \
       "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target fuzzer: $runs executions in ${seconds}s, no finding"
  else
    status=1
    echo "$target fuzzer: FINDING"
    tail -n 60 "$log"
  fi
done
if compgen -G "build-fuzz/findings/*" >/dev/null; then
  echo "inputs that failed:"
  ls -l build-fuzz/findings
  status=1
fi
exit $status
