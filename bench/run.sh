#!/usr/bin/env bash
# Measures stylo against reading the same files with cat, side by side in
# one run, and checks that its output is byte for byte that of stylo_plain,
# the same program with the character-at-a-time scan.
#
#   bash bench/run.sh            # corpus in $STYLO_BENCH_DIR (default /tmp/stylo-bench)
#   RUNS=9 bash bench/run.sh     # more runs of each command (the minimum is kept)
#   bash bench/run.sh --against REV
#                                # REV's build (a commit, branch or tag) and this
#                                # tree's, taking turns: both times and their ratio,
#                                # and a copy of REV's build as a control
#   INSTRUCTIONS=1 bash bench/run.sh --against REV
#                                # the instructions each build executes too (valgrind)
#
# The corpus is every .c and .h file of the Linux 6.1 source tree (Debian's
# linux-source-6.1, installed with apt-get when missing); where it cannot be
# had, a generated corpus of C-like text stands in.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
work=${STYLO_BENCH_DIR:-/tmp/stylo-bench}
runs=${RUNS:-5}
against=
case "${1:-}" in
  --against) against=${2:?--against needs a revision} ;;
  --against=*) against=${1#--against=} ;;
  "") ;;
  *) echo "usage: bash bench/run.sh [--against REV]" >&2; exit 2 ;;
esac
mkdir -p "$work"

if [ -n "${INSTRUCTIONS:-}" ] && ! command -v valgrind >/dev/null; then
  apt-get install -y -qq valgrind >/dev/null
fi
if [ ! -x /usr/bin/time ]; then
  apt-get install -y -qq time >/dev/null  # GNU time measures the peak memory
fi

echo "== building (Release)"
cmake -S "$root" -B "$root/build-bench" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build-bench" -j2 --target stylo stylo_plain read_floor >/dev/null

if [ -n "$against" ]; then
  # The other revision's files are taken from git, not checked out: the
  # repository and its worktrees are left as they are. One build per commit
  # is kept in the corpus directory.
  commit=$(git -C "$root" rev-parse --verify "$against^{commit}")
  other="$work/against/$commit"
  echo "== building $against ($commit, Release) in $other"
  if [ ! -x "$other/build/stylo" ]; then
    rm -rf "$other" && mkdir -p "$other/src"
    git -C "$root" archive "$commit" | tar -x -C "$other/src"
    cmake -S "$other/src" -B "$other/build" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF >/dev/null
    cmake --build "$other/build" -j2 --target stylo >/dev/null
  fi
fi

echo "== preparing the corpus in $work"
tree="$work/tree"
if [ ! -f "$work/tree.list" ]; then
  tarball=/usr/src/linux-source-6.1.tar.xz
  if [ ! -f "$tarball" ] && command -v apt-get >/dev/null && [ "$(id -u)" = 0 ]; then
    apt-get install -y -qq linux-source-6.1 >/dev/null 2>&1 || true
  fi
  rm -rf "$tree" && mkdir -p "$tree"
  if [ -f "$tarball" ] && tar -C "$tree" -xf "$tarball" --wildcards '*.c' '*.h'; then
    echo "corpus: the Linux 6.1 tree"
    echo "linux-6.1" > "$work/corpus.name"
  else
    echo "corpus: generated (the Linux tree could not be had)"
    python3 "$here/make_corpus.py" "$tree"
    echo "generated" > "$work/corpus.name"
  fi
  (cd "$tree" && find . -type f \( -name '*.c' -o -name '*.h' \) | LC_ALL=C sort) > "$work/tree.list"
  (cd "$tree" && xargs -d '\n' cat < "$work/tree.list") > "$work/all.c"
  # Lines of 64 and 256 MiB: words and operators, one line feed at the end.
  for mib in 64 256; do
    python3 -c "
import sys
piece = b'value = compute(a, b) + other_name * 3; '
size = $mib << 20
sys.stdout.buffer.write((piece * (size // len(piece) + 1))[:size] + b' if(x)\n')
" > "$work/line$mib.c"
  done
fi

if [ ! -f "$work/lines200k.c" ]; then
  # 1000 lines of 200 KB: each read holds about one line end.
  python3 -c "
import sys
piece = b'value = compute(a, b) + other_name * 3; '
sys.stdout.buffer.write(((piece * 5000)[:200000] + b'\\n') * 1000)
" > "$work/lines200k.c"
fi

cd "$tree"
if [ -n "$against" ]; then
  echo "== $against against this tree ($runs runs of each, taking turns)"
  exec python3 "$here/against.py" --runs "$runs" --rev "$against" --theirs "$other/build/stylo" \
    --ours "$root/build-bench/stylo" --floor "$root/build-bench/read_floor" --list "$work/tree.list" \
    --file "$work/all.c" --long_lines "$work/lines200k.c" --line "$work/line256.c" \
    ${INSTRUCTIONS:+--instructions}
fi

echo "== measuring ($runs runs of each, alternating; minimum wall time kept)"
python3 "$here/measure.py" --runs "$runs" --corpus "$(cat "$work/corpus.name")" \
  --stylo "$root/build-bench/stylo" --plain "$root/build-bench/stylo_plain" --floor "$root/build-bench/read_floor" \
  --list "$work/tree.list" --file "$work/all.c" --short_line "$work/line64.c" --line "$work/line256.c"
