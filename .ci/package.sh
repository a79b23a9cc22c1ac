#!/usr/bin/env bash
# CI, after .ci/run has built build/: installation (prefix, DESTDIR, a prefix
# set at configure time), the manual page, the Debian package, and the
# integration tests with every tool they need present. Installs what it needs
# with apt-get only when it is missing; exits non-zero on the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
step() { echo "== $*"; }

apt_updated=
need() { # need <command> <Debian package>
  command -v "$1" >/dev/null && return
  echo "$1 is missing: installing $2"
  if [ -z "$apt_updated" ]; then
    apt-get update -qq
    apt_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$2" >/dev/null
  command -v "$1" >/dev/null || fail "$2 did not provide $1"
}
need groff groff-base
need man man-db
need col bsdextrautils
need dpkg-deb dpkg
need dpkg-shlibdeps dpkg-dev
need strip binutils
need git git
need make make
need node nodejs
need vim vim
need emacs emacs-nox

if [ ! -x build/stylo ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
build/stylo examples/demo.c > "$tmp/expected.out"
[ -s "$tmp/expected.out" ] || fail "build/stylo finds nothing in examples/demo.c"

# check_tree <root>: the root holds exactly the program and its manual page,
# the program works, and the page is the one in the source tree.
check_tree() {
  local root=$1 listed
  listed=$(cd "$root" && find . -type f -o -type l | sort)
  [ "$listed" = "$(printf '%s\n' ./bin/stylo ./share/man/man1/stylo.1)" ] ||
    fail "$root holds other files than bin/stylo and share/man/man1/stylo.1:
$listed"
  "$root/bin/stylo" examples/demo.c > "$tmp/got.out"
  cmp -s "$tmp/expected.out" "$tmp/got.out" || fail "$root/bin/stylo does not give the warnings of build/stylo"
  cmp -s man/stylo.1 "$root/share/man/man1/stylo.1" || fail "$root/share/man/man1/stylo.1 is not man/stylo.1"
}

step "cmake --install with --prefix"
cmake --install build --prefix "$tmp/prefix" > /dev/null
check_tree "$tmp/prefix"
grep -v -e '/bin/stylo$' -e '/share/man/man1/stylo.1$' build/install_manifest.txt &&
  fail "the install manifest lists other files"

step "cmake --install with DESTDIR"
configured_prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' build/CMakeCache.txt)
DESTDIR="$tmp/stage" cmake --install build > /dev/null
check_tree "$tmp/stage$configured_prefix"

step "CMAKE_INSTALL_PREFIX at configure time, without the tests (no GoogleTest needed)"
cmake -S . -B "$tmp/build-notests" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX="$tmp/configured" > /dev/null
cmake --build "$tmp/build-notests" -j2 > /dev/null
cmake --install "$tmp/build-notests" > /dev/null
check_tree "$tmp/configured"

step "manual page"
groff -ww -man -Tutf8 man/stylo.1 > /dev/null 2> "$tmp/groff.err" || fail "groff failed"
[ ! -s "$tmp/groff.err" ] || fail "groff warns: $(cat "$tmp/groff.err")"
MANWIDTH=1000 man -l "$tmp/prefix/share/man/man1/stylo.1" 2> "$tmp/man.err" | col -b > "$tmp/man.txt"
[ ! -s "$tmp/man.err" ] || fail "man -l warns: $(cat "$tmp/man.err")"
MANPATH="$tmp/prefix/share/man" man -w stylo | grep -qx "$tmp/prefix/share/man/man1/stylo.1" ||
  fail "man does not find the installed page"
for section in NAME SYNOPSIS DESCRIPTION OPTIONS OUTPUT DIAGNOSTICS 'EXIT STATUS' EXAMPLES; do
  grep -qx "$section" "$tmp/man.txt" || fail "the manual page has no $section section"
done
# Every message the program can write on standard error, as its source writes
# it, is told in the manual page and in the README.
grep -rhoE 'write_error_line\(\{"(Unable|Failed)[^"]*' src | sed 's/^[^"]*"//' | sort -u \
  > "$tmp/messages"
[ "$(wc -l < "$tmp/messages")" -eq 4 ] || fail "expected four messages in src/, found: $(cat "$tmp/messages")"
while IFS= read -r message; do
  grep -qF -- "$message" "$tmp/man.txt" || fail "the manual page does not tell: $message"
  grep -qF -- "$message" README.md || fail "README.md does not tell: $message"
done < "$tmp/messages"
# The output format in the page is that of real warnings, with their file,
# line and words replaced by the page's placeholders.
sed -E -e 's/^examples\/demo\.c\([0-9]+\)/file(line)/' \
  -e "s/entre '[a-z]+' et/entre 'keyword' et/" \
  -e "s/warning: '[^']+' devrait probablement etre '[^']+'/warning: 'found' devrait probablement etre 'suggested'/" \
  "$tmp/expected.out" | sort -u > "$tmp/formats"
[ "$(wc -l < "$tmp/formats")" -eq 2 ] || fail "examples/demo.c does not show both kinds of warning"
while IFS= read -r format; do
  grep -qxF -- "       $format" "$tmp/man.txt" || fail "the manual page does not show the format: $format"
done < "$tmp/formats"

step "Debian package"
rm -f build/stylo_*.deb
(cd build && cpack -G DEB > /dev/null)
debs=(build/stylo_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single build/stylo_*.deb"; fi
deb=${debs[0]}
dpkg-deb -I "$deb"
dpkg-deb -c "$deb"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort > "$tmp/deb.files"
[ "$(cat "$tmp/deb.files")" = "$(printf '%s\n' ./usr/bin/stylo ./usr/share/man/man1/stylo.1)" ] ||
  fail "the package holds other files than /usr/bin/stylo and /usr/share/man/man1/stylo.1"
[ "$(dpkg-deb -f "$deb" Package)" = stylo ] || fail "package name"
dpkg-deb -f "$deb" Maintainer | grep -qE '^[^<>]+ <[^<>@ ]+@[^<>@ ]+>$' || fail "maintainer is not 'name <address>'"
[ "$(dpkg-deb -f "$deb" Description | head -n 1)" = "fast checker of coding style for C source text" ] ||
  fail "description synopsis"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -gt 2 ] || fail "the description has no long text"
depends=$(dpkg-deb -f "$deb" Depends)
[ "$(printf '%s\n' "$depends" | tr ',' '\n' | sed -E 's/^ *([^ ]+).*/\1/' | sort | tr '\n' ' ')" = "libc6 libstdc++6 " ] ||
  fail "Depends names other packages than libc6 and libstdc++6: $depends"
dpkg-deb -x "$deb" "$tmp/deb"
check_tree "$tmp/deb/usr"
# The hand-written Depends must cover what dpkg-shlibdeps finds in the
# packaged program; libgcc-s1 comes in through libstdc++6.
mkdir -p "$tmp/shlibs/debian"
touch "$tmp/shlibs/debian/control"
found=$(cd "$tmp/shlibs" && dpkg-shlibdeps -O "$tmp/deb/usr/bin/stylo" 2> /dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$found" ] || fail "dpkg-shlibdeps found nothing"
echo "dpkg-shlibdeps finds: $found"
while IFS= read -r dep; do
  name=$(printf '%s' "$dep" | sed -E 's/^ *([^ ]+).*/\1/')
  need_version=$(printf '%s' "$dep" | sed -nE 's/.*\(>= ([^)]+)\).*/\1/p')
  ours=$(printf '%s\n' "$depends" | tr ',' '\n' | awk -v n="$name" '$1 == n')
  if [ -z "$ours" ]; then
    [ "$name" = libgcc-s1 ] && dpkg-query -W -f='${Depends}' libstdc++6 | grep -q libgcc-s1 && continue
    fail "Depends lacks $dep"
  fi
  [ -z "$need_version" ] && continue
  our_version=$(printf '%s' "$ours" | sed -nE 's/.*\(>= ([^)]+)\).*/\1/p')
  dpkg --compare-versions "${our_version:-0}" ge "$need_version" || fail "Depends has $ours, the program needs $dep"
done < <(printf '%s\n' "$found" | tr ',' '\n')

step "integration tests, with git, make, node, vim and emacs present"
cmake -S . -B build > /dev/null
ctest --test-dir build --output-on-failure -R '^integration\.' | tee "$tmp/ctest.out"
! grep -q 'Skipped' "$tmp/ctest.out" || fail "an integration test was skipped"
[ "$(grep -c ' Passed ' "$tmp/ctest.out")" -eq 7 ] || fail "not all seven integration tests ran"

echo "package checks passed"
