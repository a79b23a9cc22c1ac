#!/usr/bin/env bash
# The whole test suite built once with AddressSanitizer,
# UndefinedBehaviorSanitizer and line coverage (g++ and gcov, summed by
# gcovr): any sanitizer report is fatal, and the run fails below
# STYLO_MIN_COVERAGE percent of src/'s lines (default 94). One build serves
# both, since the same tests run for each.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages g++ gcovr libgtest-dev cmake strace nlohmann-json3-dev
ensure_npm

minimum="${STYLO_MIN_COVERAGE:-94}"
# stylo-report checks on several threads: their counts are added atomically,
# or two adding at once lose counts (gcov then reads negative ones).
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g -O0 --coverage -fprofile-update=atomic"
rm -rf build-check
cmake -S . -B build-check -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"
cmake --build build-check -j2
# The protocol client's packages, so that its test runs here too: whole
# sessions that end as an editor ends them, which no other test of the
# suite does through the program itself (and so the only one to count the
# server's main).
mkdir -p build-check/lsp-node
cp tests/lsp_client/package.json tests/lsp_client/package-lock.json build-check/lsp-node/
(cd build-check/lsp-node && npm ci --no-audit --no-fund --loglevel=error)
# A report ends the process with this status, so no report can pass as a
# test's expected status 1.
export ASAN_OPTIONS="exitcode=86:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
# The randomized cases run a tenth of their rounds here (they run whole in
# the main suite): at -O0 with the sanitizers, one of them alone took six
# minutes.
export STYLO_TEST_ROUNDS_PERCENT=10
# The write cases that set a process's limits so tight that the coverage
# counts and the sanitizers' own files cannot be written run in the main
# suite, not here.
export STYLO_TEST_INSTRUMENTED=1
# LeakSanitizer cannot work in a process traced by strace: the tests that
# inject faults with strace run without it (valgrind checks those for leaks).
# They are found by their use of strace in the end-to-end tests.
names=$(awk '/^TEST\(Cli, /{name=$2; sub(/\).*/, "", name)} /strace -f/ && name {print name}' tests/cli_test.cc |
  sort -u | paste -sd'|')
traced="Cli\\.(${names})\$"
# Neovim kills a server that has not ended soon after :qa, and the
# test wants it to end by itself: a sanitized build's exit (the leak check,
# the coverage counts written) takes longer. Its lifecycle is checked on
# the release build, in the suite and in .ci/lsp.sh.
run_ctest --test-dir build-check --output-on-failure -j2 -E "$traced|^integration\\.neovim_lsp\$"
ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}" \
  run_ctest --test-dir build-check --output-on-failure -R "$traced"

gcovr --root . --filter 'src/' --object-directory build-check \
  --exclude-directories 'build-check/CMakeFiles/[0-9].*' \
  --txt build-check/coverage.txt --json-summary build-check/coverage.json \
  --fail-under-line "$minimum" --print-summary
grep -v '100%' build-check/coverage.txt || true
