#!/usr/bin/env bash
# Line coverage of src/ by the whole test suite (gcov, summed by gcovr).
# Fails below STYLO_MIN_COVERAGE percent (default 95).
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages gcovr libgtest-dev cmake g++ strace

minimum="${STYLO_MIN_COVERAGE:-95}"
rm -rf build-coverage
cmake -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="--coverage -O0" \
  -DCMAKE_EXE_LINKER_FLAGS="--coverage"
cmake --build build-coverage -j2
ctest --test-dir build-coverage --output-on-failure
gcovr --root . --filter 'src/' --object-directory build-coverage \
  --exclude-directories 'build-coverage/CMakeFiles/[0-9].*' \
  --txt build-coverage/coverage.txt --json-summary build-coverage/coverage.json \
  --fail-under-line "$minimum" --print-summary
grep -v '100%' build-coverage/coverage.txt || true
