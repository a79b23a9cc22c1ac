#!/usr/bin/env bash
# The quick gate, before any long stage: the Release build of everything
# (the tests included) and the whole test suite, so that a broken build or a
# failing test ends the run in minutes. The stages after it use this build/.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages cmake g++ libgtest-dev nlohmann-json3-dev libxml2-utils python3

step "build"
# With the release's flags (see release_cxxflags in .ci/lib.sh): every
# compiler run of the release stage's amd64 and static builds is one made
# here, which the compiler cache then gives it.
CXXFLAGS="$release_cxxflags" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release ${compiler_cache:+"$compiler_cache"}
cmake --build build -j2
step "the test suite"
run_ctest --test-dir build --output-on-failure -j2
