#!/usr/bin/env bash
# Valgrind's memcheck on the end-to-end tests, with the program run under it
# (any invalid access, use of an uninitialised value or leak makes the run
# exit with status 99 and print to standard error, and so fails the test that
# made it), and on the unit tests, the scanners' vector loads included.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages valgrind libgtest-dev nlohmann-json3-dev libxml2-utils python3 cmake g++ strace

cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-valgrind -j2 --target stylo stylo_cli_tests stylo_tests stylo-report stylo_report_cli_tests
memcheck="valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible"
# The randomized cases a tenth of their rounds, and the widest tables in
# part, as under the sanitizers: they run whole natively.
export STYLO_TEST_ROUNDS_PERCENT=10
# The write cases that leave a process almost no descriptor or file size
# run natively only: valgrind needs descriptors and files of its own.
export STYLO_TEST_INSTRUMENTED=1
STYLO_TEST_WRAPPER="$memcheck" ./build-valgrind/tests/stylo_cli_tests
STYLO_TEST_WRAPPER="$memcheck" ./build-valgrind/tests/stylo_report_cli_tests
$memcheck ./build-valgrind/tests/stylo_tests --gtest_death_test_style=threadsafe
