#!/usr/bin/env bash
# The generic POSIX layer (macOS, the BSDs), selected on Linux with
# STYLO_PORTABLE_POSIX: the whole suite, fault injection included, and no
# call to a function that only Linux has.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages cmake g++ libgtest-dev nlohmann-json3-dev strace binutils python3

step "generic POSIX layer: build"
# Only the platform layer differs from build/'s: the compiler cache hands
# back the rest as build/ compiled it.
CXXFLAGS="$release_cxxflags" cmake -S . -B build-portable -DCMAKE_BUILD_TYPE=Release -DSTYLO_PORTABLE_POSIX=ON ${compiler_cache:+"$compiler_cache"} > /dev/null
cmake --build build-portable -j2
linux_only=$(nm -D --undefined-only build-portable/stylo | grep -wE 'mremap|madvise|memrchr|pipe2|memfd_create' || true)
[ -z "$linux_only" ] || fail "the generic POSIX build calls Linux-only functions: $linux_only"

step "generic POSIX layer: the whole suite"
run_ctest --test-dir build-portable --output-on-failure -j2
echo "generic POSIX checks passed"
