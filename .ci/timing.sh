#!/usr/bin/env bash
# stylo.exe under wine against the Linux build on one large file, which must
# stay within 1.5x. .ci/run runs this alone, once every other stage has
# ended: two programs timed side by side must not take turns with a
# compiler for the cores. Uses the builds that .ci/run and .ci/cross.sh
# made (bench/windows.sh builds what is missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages cmake g++ g++-mingw-w64-x86-64 wine64 bc python3

export WINEDEBUG=-all
trap 'wineserver -k </dev/null >/dev/null 2>&1 || true' EXIT
echo "== Windows x86-64: one large file, against the Linux build (at $SECONDS s)"
RUNS=7 STYLO_MAX_RATIO=1.5 bash bench/windows.sh
