#!/usr/bin/env bash
# The other platforms, built with cross compilers and tested on this Linux
# x86-64 machine (the generic POSIX layer has its own stage, portable.sh):
# - Windows x86-64 (mingw-w64): the unit tests (stylo's and stylo-lsp's)
#   under wine, the end-to-end tests of the native build run against
#   stylo.exe and stylo-report.exe under wine (every line of text must end in
#   CR LF; a report is the same bytes as on Linux) and the DLLs they import
#   (.ci/timing.sh times stylo.exe, alone, after every stage);
# - ARM64 Linux: the unit tests under qemu, and the end-to-end tests against
#   the ARM programs under qemu.
# Both are built as the release builds them (scripts/release.sh --build), with
# the tests, into build-windows/ and build-arm64/: .ci/release.sh packages
# these very builds, .ci/lsp.sh and .ci/timing.sh run their programs.
# Uses build/ from .ci/run for the end-to-end tests (building what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages cmake g++ strace binutils bc python3 googletest \
  g++-mingw-w64-x86-64 wine64 g++-aarch64-linux-gnu qemu-user

[ -f build/CMakeCache.txt ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j2 --target stylo_cli_tests stylo_report_cli_tests

step "Windows x86-64: build"
release_build windows build-windows
# Only DLLs that every Windows has: the C++ and GCC runtimes are linked in.
for program in stylo.exe stylo-report.exe stylo-lsp.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p build-windows/$program | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort)
  echo "$program imports: $(echo $dlls)"
  for dll in $dlls; do
    case "$dll" in
      kernel32.dll | msvcrt.dll | shell32.dll | user32.dll | advapi32.dll | ntdll.dll | api-ms-win-*.dll) ;;
      *) fail "$program needs $dll, which Windows does not ship" ;;
    esac
  done
done

# The manifest that lets names past 260 characters open is in the program.
grep -qa '<longPathAware[^>]*>true<' build-windows/stylo.exe || fail "stylo.exe carries no long-path manifest"

# One wine server for every run, started with none of our pipes open, so
# that no run waits for it to let go of its output.
export WINEDEBUG=-all LC_ALL=C.UTF-8
wine=/usr/lib/wine/wine64
wineserver -p </dev/null >/dev/null 2>&1 || true
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT

# Under wine and qemu the randomized cases run a tenth of their rounds, and
# the widest tables in part: they run whole natively (the main suite, the
# generic POSIX one above), and an emulator takes ten times as long.
export STYLO_TEST_ROUNDS_PERCENT=10
step "Windows x86-64: unit tests under wine"
[ -f build-windows/tests/stylo_lsp_tests.exe ] || fail "stylo-lsp's tests were not built for Windows"
run_ctest --test-dir build-windows --output-on-failure -j2

step "Windows x86-64: end-to-end tests against stylo.exe under wine"
STYLO_TEST_BINARY="$PWD/build-windows/stylo.exe" STYLO_TEST_WRAPPER="$wine" STYLO_TEST_SYSTEM=windows \
  build/tests/stylo_cli_tests

step "Windows x86-64: end-to-end tests against stylo-report.exe under wine"
STYLO_TEST_REPORT_BINARY="$PWD/build-windows/stylo-report.exe" STYLO_TEST_WRAPPER="$wine" STYLO_TEST_SYSTEM=windows \
  build/tests/stylo_report_cli_tests

step "ARM64 Linux: build"
release_build arm64 build-arm64
[ "$(readelf -h build-arm64/stylo | sed -n 's/^ *Machine: *//p')" = AArch64 ] || fail "build-arm64/stylo is not an ARM64 program"

step "ARM64 Linux: unit tests under qemu"
[ -f build-arm64/tests/stylo_lsp_tests ] || fail "stylo-lsp's tests were not built for ARM64"
run_ctest --test-dir build-arm64 --output-on-failure -j2

step "ARM64 Linux: end-to-end tests against the ARM64 programs under qemu"
qemu="qemu-aarch64 -L /usr/aarch64-linux-gnu"
STYLO_TEST_BINARY="$PWD/build-arm64/stylo" STYLO_TEST_WRAPPER="$qemu" build/tests/stylo_cli_tests
STYLO_TEST_REPORT_BINARY="$PWD/build-arm64/stylo-report" STYLO_TEST_WRAPPER="$qemu" build/tests/stylo_report_cli_tests

echo "cross checks passed"
