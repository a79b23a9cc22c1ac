#!/usr/bin/env bash
# Builds every release artifact from the sources into dist/:
#
#   stylo_<version>-1_amd64.deb, stylo_<version>-1_arm64.deb
#                        Debian packages (cpack), the arm64 one cross-built
#   stylo-<version>-linux-x86_64.tar.gz
#                        a statically linked program, for any x86-64 Linux
#   stylo-<version>-windows-x86_64.zip
#                        stylo.exe, cross-built with mingw-w64
#   SHA256SUMS           the checksums of the four
#
# Each archive carries LICENSE. The builds go to build-release/, made afresh.
# SOURCE_DATE_EPOCH (by default the time of the last commit) fixes the
# version text, the times in the archives and their order, so that two runs
# on one commit give the same bytes.
#
# Needs: cmake, g++, g++-aarch64-linux-gnu, g++-mingw-w64-x86-64, dpkg-dev,
# groff, zip, gzip, binutils.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
umask 022
export LC_ALL=C TZ=UTC

fail() {
  echo "release: $*" >&2
  exit 1
}
step() { echo "== $*"; }

for tool in cmake cpack g++ aarch64-linux-gnu-g++ x86_64-w64-mingw32-g++-posix dpkg-shlibdeps \
  groff zip gzip readelf; do
  command -v "$tool" > /dev/null || fail "$tool is missing (see the list of tools at the top of $0)"
done
groff -Thtml < /dev/null > /dev/null 2>&1 || fail "groff cannot write HTML: install the Debian package groff"

version=$(sed -nE 's/^project\(stylo VERSION ([0-9.]+)[ )].*/\1/p' CMakeLists.txt)
[ -n "$version" ] || fail "no project(stylo VERSION ...) in CMakeLists.txt"
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2> /dev/null) ||
    fail "not in a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
fi
export SOURCE_DATE_EPOCH
if git rev-parse --git-dir > /dev/null 2>&1 && [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release: warning: the tree has uncommitted changes; the artifacts are not those of $(git rev-parse --short HEAD)" >&2
fi
echo "stylo $version, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH"))"

work=$root/build-release
dist=$root/dist
rm -rf "$work" "$dist"
mkdir -p "$work" "$dist"

# No path of this machine in the programs: the source tree is '.'. CMake adds
# CXXFLAGS to the toolchain files' own flags (which -DCMAKE_CXX_FLAGS would
# replace).
export CXXFLAGS="-ffile-prefix-map=$root=."
unset LDFLAGS

# configure <name> <cmake options...>: a Release build of the program alone.
configure() {
  local name=$1
  shift
  cmake -S "$root" -B "$work/$name" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF "$@" \
    > "$work/$name.log" 2>&1 || fail "configuring $name failed: see $work/$name.log"
}

# deb <name>: the Debian package of a build, made by cpack, into dist/.
deb() {
  local name=$1
  (cd "$work/$name" && cpack -G DEB >> "$work/$name.log" 2>&1) || fail "cpack in $name failed: see $work/$name.log"
  local debs=("$work/$name"/stylo_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package in $work/$name"
  cp "${debs[0]}" "$dist/"
}

# stage <name> <directory> <files...>: a directory for an archive, holding
# the files given, the README and the licence; every time is
# SOURCE_DATE_EPOCH, every mode 0755 for a program or 0644.
stage() {
  local name=$1 dir=$2
  shift 2
  rm -rf "${work:?}/$name"
  mkdir -p "$work/$name/$dir"
  cp "$@" "$root/README.md" "$root/LICENSE" "$work/$name/$dir/"
  find "$work/$name" -type d -exec chmod 0755 {} +
  find "$work/$name" -type f -exec chmod 0644 {} +
  find "$work/$name" -type d -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  find "$work/$name" -type f -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

step "Debian package, amd64"
configure amd64
cmake --build "$work/amd64" -j2 --target stylo >> "$work/amd64.log" 2>&1 || fail "building amd64 failed: see $work/amd64.log"
deb amd64

step "Debian package, arm64 (cross-built)"
configure arm64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64-linux-gnu.cmake"
cmake --build "$work/arm64" -j2 --target stylo >> "$work/arm64.log" 2>&1 || fail "building arm64 failed: see $work/arm64.log"
deb arm64

step "static Linux program, x86-64"
# -static, not -static-pie: the program then needs no loader and no library
# of the system it runs on, glibc-based or not.
configure static -DCMAKE_EXE_LINKER_FLAGS=-static
cmake --build "$work/static" -j2 --target stylo >> "$work/static.log" 2>&1 || fail "building static failed: see $work/static.log"
cmake --install "$work/static" --prefix "$work/static-install" --strip >> "$work/static.log"
program=$work/static-install/bin/stylo
! readelf -d "$program" | grep -q 'Dynamic section' || fail "the static program has a dynamic section"
linux=stylo-$version-linux-x86_64
stage linux-stage "$linux" "$program" "$root/man/stylo.1"
chmod 0755 "$work/linux-stage/$linux/stylo"
tar -C "$work/linux-stage" --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
  --mtime="@$SOURCE_DATE_EPOCH" -cf - "$linux" | gzip -9n > "$dist/$linux.tar.gz"

step "Windows program, x86-64 (cross-built)"
# The time in the program's header is SOURCE_DATE_EPOCH: the linker takes it
# from the environment.
configure windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake"
cmake --build "$work/windows" -j2 --target stylo >> "$work/windows.log" 2>&1 || fail "building windows failed: see $work/windows.log"
cmake --install "$work/windows" --prefix "$work/windows-install" --strip >> "$work/windows.log"
# The manual page as HTML, which a Windows user can open.
groff -ww -man -Thtml "$root/man/stylo.1" > "$work/stylo.html" 2> "$work/groff.err" ||
  fail "groff failed: $(cat "$work/groff.err")"
[ ! -s "$work/groff.err" ] || fail "groff warns: $(cat "$work/groff.err")"
windows=stylo-$version-windows-x86_64
stage windows-stage "$windows" "$work/windows-install/bin/stylo.exe" "$work/stylo.html"
chmod 0755 "$work/windows-stage/$windows/stylo.exe"
# zip stores local times: TZ is UTC above. -X leaves out the owner and the
# extra time fields, -D the directory entries; names go in sorted.
(cd "$work/windows-stage" && find "$windows" -type f | sort | zip -q -X -D -9 "$dist/$windows.zip" -@)

step "checksums"
(cd "$dist" && sha256sum -- *.deb *.tar.gz *.zip > SHA256SUMS)
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
ls -l "$dist"
