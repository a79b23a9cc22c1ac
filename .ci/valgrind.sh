#!/usr/bin/env bash
# The end-to-end tests with the program run under valgrind's memcheck: any
# invalid access, use of an uninitialised value or leak makes the run exit
# with status 99 and print to standard error, and so fails the test that
# made it.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages valgrind libgtest-dev cmake g++ strace

cmake -S . -B build-valgrind -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-valgrind -j2 --target stylo stylo_cli_tests
STYLO_TEST_WRAPPER="valgrind -q --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible" \
  ./build-valgrind/tests/stylo_cli_tests
