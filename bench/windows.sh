#!/usr/bin/env bash
# Times stylo.exe under wine against the Linux build on one large file, side
# by side in one run, and checks that the two write the same warnings (CR LF
# against LF). Prints the best of RUNS runs of each and their ratio; with
# STYLO_MAX_RATIO set, fails when the ratio is above it.
#
#   bash bench/windows.sh                 # builds build/ and build-windows/ if need be
#   RUNS=9 STYLO_MAX_RATIO=1.5 bash bench/windows.sh
#
# The file is a generated C-like corpus (bench/make_corpus.py), 48 MB
# repeated to about 720 MB, so that wine's start (about 0.1 s) weighs little.
# The two programs take turns, so that a change in the machine's load
# weighs on both.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}
runs=${RUNS:-5}
wine=${STYLO_WINE:-/usr/lib/wine/wine64}
export WINEDEBUG=-all
mkdir -p "$work"

if [ ! -x "$root/build/stylo" ]; then
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build" -j2 --target stylo >/dev/null
fi
if [ ! -f "$root/build-windows/stylo.exe" ]; then
  cmake -S "$root" -B "$root/build-windows" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake" -DSTYLO_BUILD_TESTS=OFF >/dev/null
  cmake --build "$root/build-windows" -j2 --target stylo >/dev/null
fi

file="$work/large-720.c"
if [ ! -f "$file" ]; then
  rm -rf "$work/corpus-small"
  python3 "$here/make_corpus.py" "$work/corpus-small" 2000 >/dev/null
  find "$work/corpus-small" -type f | sort | xargs cat > "$work/one.c"
  for _ in $(seq 16); do cat "$work/one.c"; done > "$file"
  rm -rf "$work/corpus-small" "$work/one.c"
fi

# The wine server is started once and kept, as on a Windows machine the
# system is already running. It must hold no pipe of its caller open.
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true

elapsed_ns() { # elapsed_ns <command...>: its wall time in nanoseconds, output dropped
  local start end
  start=$(date +%s%N)
  "$@" > /dev/null
  end=$(date +%s%N)
  echo $((end - start))
}

"$root/build/stylo" "$file" > "$work/linux.out"
"$wine" "$root/build-windows/stylo.exe" "$file" > "$work/windows.out"
if ! sed 's/\r$//' "$work/windows.out" | cmp -s - "$work/linux.out"; then
  echo "FAIL: stylo.exe does not write the warnings of the Linux build" >&2
  exit 1
fi
if grep -qv $'\r$' "$work/windows.out"; then
  echo "FAIL: a line of stylo.exe does not end in CR LF" >&2
  exit 1
fi

linux_ns= windows_ns=
for _ in $(seq "$runs"); do
  t=$(elapsed_ns "$root/build/stylo" "$file")
  if [ -z "$linux_ns" ] || [ "$t" -lt "$linux_ns" ]; then linux_ns=$t; fi
  t=$(elapsed_ns "$wine" "$root/build-windows/stylo.exe" "$file")
  if [ -z "$windows_ns" ] || [ "$t" -lt "$windows_ns" ]; then windows_ns=$t; fi
done
linux=$(echo "scale=3; $linux_ns / 1000000000" | bc)
windows=$(echo "scale=3; $windows_ns / 1000000000" | bc)
ratio=$(echo "scale=2; $windows / $linux" | bc)
size=$(stat -c %s "$file")
warnings=$(grep -c '' "$work/linux.out")
printf '%-34s %10s %10s\n' "one file, $((size / 1000000)) MB, $warnings warnings" "seconds" "MB/s"
printf '%-34s %10s %10.0f\n' "Linux build" "$linux" "$(echo "$size / $linux / 1000000" | bc -l)"
printf '%-34s %10s %10.0f\n' "stylo.exe under wine" "$windows" "$(echo "$size / $windows / 1000000" | bc -l)"
echo "ratio (wine / Linux): ${ratio}x; output identical but for CR LF"
if [ -n "${STYLO_MAX_RATIO:-}" ] && [ "$(echo "$ratio > $STYLO_MAX_RATIO" | bc)" = 1 ]; then
  echo "FAIL: stylo.exe under wine takes ${ratio}x the Linux build's time (limit ${STYLO_MAX_RATIO}x)" >&2
  exit 1
fi
