#!/usr/bin/env bash
# Times stylo.exe under wine against the Linux build on one large file, side
# by side in one run, and checks that the two write the same warnings (CR LF
# against LF). Prints the best of RUNS runs of each, in wall time and in
# processor time (user and system), and their ratios; with STYLO_MAX_RATIO
# set, fails when the processor-time ratio is above it.
#
#   bash bench/windows.sh                 # builds build/ and build-windows/ if need be
#   RUNS=9 STYLO_MAX_RATIO=1.5 bash bench/windows.sh
#
# The file is a generated C-like corpus (bench/make_corpus.py), 48 MB
# repeated to about 1.4 GB, so that wine's start weighs little: it takes
# about 0.12 s, against 0.3 s for the Linux build over half that file. The
# start alone (a one-line file) is timed and printed too.
# The two programs take turns, so that a change in the machine's load
# weighs on both. The limit is on processor time: wine's server, a process
# of its own, does part of the work that Windows' kernel would, and waits
# for a core whenever something else runs, which stretches wine's wall time
# but not the work the program does.
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

file="$work/large-1440.c"
if [ ! -f "$file" ]; then
  rm -rf "$work/corpus-small"
  python3 "$here/make_corpus.py" "$work/corpus-small" 2000 >/dev/null
  find "$work/corpus-small" -type f | sort | xargs cat > "$work/one.c"
  for _ in $(seq 32); do cat "$work/one.c"; done > "$file"
  rm -rf "$work/corpus-small" "$work/one.c"
fi

# The wine server is started once and kept, as on a Windows machine the
# system is already running. It must hold no pipe of its caller open.
wineserver -p </dev/null >/dev/null 2>&1 || true  # already running is fine
"$wine" cmd /c exit </dev/null >/dev/null 2>&1 || true

timed() { # timed <command...>: "wall processor" in milliseconds, output dropped
  local TIMEFORMAT='%3R %3U %3S' line wall user sys
  line=$({ time "$@" > /dev/null; } 2>&1 | tail -n 1)
  read -r wall user sys <<< "$line"
  echo "$(echo "($wall * 1000) / 1" | bc) $(echo "(($user + $sys) * 1000) / 1" | bc)"
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

best() { # best <current best> <new>: the smaller, the first time the new
  if [ -z "$1" ] || [ "$2" -lt "$1" ]; then echo "$2"; else echo "$1"; fi
}
linux_wall= linux_cpu= windows_wall= windows_cpu=
for _ in $(seq "$runs"); do
  read -r wall cpu <<< "$(timed "$root/build/stylo" "$file")"
  linux_wall=$(best "$linux_wall" "$wall") linux_cpu=$(best "$linux_cpu" "$cpu")
  read -r wall cpu <<< "$(timed "$wine" "$root/build-windows/stylo.exe" "$file")"
  windows_wall=$(best "$windows_wall" "$wall") windows_cpu=$(best "$windows_cpu" "$cpu")
done
printf 'int x;\n' > "$work/one-line.c"
linux_start= windows_start=
for _ in $(seq "$runs"); do
  read -r wall cpu <<< "$(timed "$root/build/stylo" "$work/one-line.c")"
  linux_start=$(best "$linux_start" "$wall")
  read -r wall cpu <<< "$(timed "$wine" "$root/build-windows/stylo.exe" "$work/one-line.c")"
  windows_start=$(best "$windows_start" "$wall")
done
seconds() { echo "scale=3; $1 / 1000" | bc; }
size=$(stat -c %s "$file")
warnings=$(grep -c '' "$work/linux.out")
wall_ratio=$(echo "scale=2; $windows_wall / $linux_wall" | bc)
cpu_ratio=$(echo "scale=2; $windows_cpu / $linux_cpu" | bc)
printf '%-34s %10s %10s %10s\n' "one file, $((size / 1000000)) MB, $warnings warnings" "wall s" "MB/s" "processor s"
printf '%-34s %10s %10.0f %10s\n' "Linux build" "$(seconds "$linux_wall")" \
  "$(echo "$size / $linux_wall / 1000" | bc -l)" "$(seconds "$linux_cpu")"
printf '%-34s %10s %10.0f %10s\n' "stylo.exe under wine" "$(seconds "$windows_wall")" \
  "$(echo "$size / $windows_wall / 1000" | bc -l)" "$(seconds "$windows_cpu")"
printf '%-34s %10s %10s %10s\n' "a one-line file (the start)" "" "" ""
printf '%-34s %10s\n' "Linux build" "$(seconds "$linux_start")" "stylo.exe under wine" "$(seconds "$windows_start")"
echo "ratio (wine / Linux): ${wall_ratio}x wall, ${cpu_ratio}x processor; output identical but for CR LF"
if [ -n "${STYLO_MAX_RATIO:-}" ] && [ "$(echo "$cpu_ratio > $STYLO_MAX_RATIO" | bc)" = 1 ]; then
  echo "FAIL: stylo.exe under wine takes ${cpu_ratio}x the Linux build's processor time (limit ${STYLO_MAX_RATIO}x)" >&2
  exit 1
fi
