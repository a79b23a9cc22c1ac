#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer and UndefinedBehaviorSanitizer
# (clang++), any report being fatal.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages clang-14 libclang-rt-14-dev libgtest-dev cmake strace

flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14 \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$flags"
cmake --build build-asan -j2
# A report ends the process with this status, so no report can pass as a
# test's expected status 1.
export ASAN_OPTIONS="exitcode=86:detect_leaks=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=86"
# LeakSanitizer cannot work in a process traced by strace: the tests that
# inject faults with strace run without it (valgrind checks those for leaks).
# They are found by their use of strace in the end-to-end tests.
names=$(awk '/^TEST\(Cli, /{name=$2; sub(/\).*/, "", name)} /strace -f/ && name {print name}' tests/cli_test.cc |
  sort -u | paste -sd'|')
traced="Cli\\.(${names})\$"
ctest --test-dir build-asan --output-on-failure -E "$traced"
ASAN_OPTIONS="${ASAN_OPTIONS/detect_leaks=1/detect_leaks=0}" \
  ctest --test-dir build-asan --output-on-failure -R "$traced"
