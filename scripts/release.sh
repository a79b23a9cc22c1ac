#!/usr/bin/env bash
# Builds every release artifact from the sources into dist/:
#
#   stylo_<version>-1_amd64.deb, stylo_<version>-1_arm64.deb
#                        Debian packages (cpack), the arm64 one cross-built
#   stylo-<version>-linux-x86_64.tar.gz
#                        the statically linked programs and their manual
#                        pages, laid out as installed (bin/, share/man/man1/),
#                        for any x86-64 Linux
#   stylo-<version>-windows-x86_64.zip
#                        the programs (.exe), cross-built with mingw-w64, and
#                        their manual pages as HTML
#   stylo-lsp-<version>-<platform>.vsix
#                        the VS Code extension for linux-x64, linux-arm64 and
#                        win32-x64, each carrying the release's stylo-lsp for
#                        it (scripts/package-vscode.sh)
#   SHA256SUMS           the checksums of the seven
#
# The archives take whatever `cmake --install` installs, and each carries
# LICENSE and a README for users (packaging/README-linux.md,
# packaging/README-windows.txt). The builds go to build-release/, made
# afresh. SOURCE_DATE_EPOCH (by default the time of the last commit) fixes the
# version text, the times in the archives and their order, so that two runs
# on one commit give the same bytes.
#
# <version> is project()'s in CMakeLists.txt when the commit is the release
# (tagged v<version>), and names the commit otherwise (see
# cmake/PackageVersion.cmake).
#
#   bash scripts/release.sh         the artifacts of the commit checked out
#   bash scripts/release.sh --tag   makes the release: tags the commit
#                                   v<version> (annotated) where that tag is
#                                   missing, then builds its artifacts
#
# Needs: cmake, g++, g++-aarch64-linux-gnu, g++-mingw-w64-x86-64, dpkg-dev,
# groff, zip, unzip, gzip, binutils, node and npm (for the extension); git for
# --tag.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
umask 022
export LC_ALL=C TZ=UTC

tag=
case "${1:-}" in
  --tag) tag=1 ;;
  '') ;;
  *)
    echo "usage: bash scripts/release.sh [--tag]" >&2
    exit 2
    ;;
esac

fail() {
  echo "release: $*" >&2
  exit 1
}
step() { echo "== $*"; }

for tool in cmake cpack g++ aarch64-linux-gnu-g++ x86_64-w64-mingw32-g++-posix dpkg-shlibdeps \
  groff zip unzip gzip readelf node npm; do
  command -v "$tool" > /dev/null || fail "$tool is missing (see the list of tools at the top of $0)"
done
groff -Thtml < /dev/null > /dev/null 2>&1 || fail "groff cannot write HTML: install the Debian package groff"

read -r release_version version < <(cmake -DSTYLO_SOURCE_DIR="$root" -P cmake/PackageVersion.cmake) ||
  fail "cmake/PackageVersion.cmake failed"

# The release is the commit tagged v<version>, from an unchanged tree. The
# Debian changelog must already have the release's entry, or its package
# cannot be made: checked before the tag is.
if [ -n "$tag" ]; then
  release_tag=v$release_version
  [ -z "$(git status --porcelain --untracked-files=no)" ] || fail "the tree has uncommitted changes: commit them first"
  head -n 1 packaging/debian/changelog | grep -qF "stylo ($release_version-1) " ||
    fail "packaging/debian/changelog does not begin with the entry of $release_version-1"
  if tagged=$(git rev-parse -q --verify "refs/tags/$release_tag^{commit}"); then
    [ "$tagged" = "$(git rev-parse HEAD)" ] ||
      fail "$release_tag is already commit $(git rev-parse --short "$tagged"): for a new release, raise the version in CMakeLists.txt's project() and add its entry to packaging/debian/changelog"
    [ "$(git cat-file -t "refs/tags/$release_tag")" = tag ] ||
      fail "$release_tag is a lightweight tag: make it annotated (git tag -a -f $release_tag)"
  else
    git tag -a "$release_tag" -m "stylo $release_version"
    echo "tagged $(git rev-parse --short HEAD) $release_tag"
  fi
  read -r release_version version < <(cmake -DSTYLO_SOURCE_DIR="$root" -P cmake/PackageVersion.cmake)
  [ "$version" = "$release_version" ] || fail "tagged $release_tag, but the version is $version"
fi
[ "$version" = "$release_version" ] ||
  echo "release: this commit is not the release v$release_version: the artifacts are version $version"
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

# configure <name> <cmake options...>: a Release build of the programs, without
# the tests.
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

# build <name>: builds everything that is installed (the default target,
# which the tests are not part of here).
build() {
  cmake --build "$work/$1" -j2 >> "$work/$1.log" 2>&1 || fail "building $1 failed: see $work/$1.log"
}

# readme <source> <destination>: the users' README, with the archive's
# version in place of @VERSION@ and the release's of @RELEASE@.
readme() {
  sed -e "s/@VERSION@/$version/g" -e "s/@RELEASE@/$release_version/g" "$1" > "$2"
}

# settle <directory>: every time SOURCE_DATE_EPOCH, every mode 0755 for a
# directory or a program (in bin/ or a .exe), 0644 for any other file.
settle() {
  find "$1" -type d -exec chmod 0755 {} +
  find "$1" -type f -exec chmod 0644 {} +
  find "$1" -type f \( -path '*/bin/*' -o -name '*.exe' \) -exec chmod 0755 {} +
  find "$1" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

step "Debian package, amd64"
configure amd64
build amd64
deb amd64

step "Debian package, arm64 (cross-built)"
configure arm64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64-linux-gnu.cmake"
build arm64
deb arm64

step "static Linux programs, x86-64"
# -static, not -static-pie: the programs then need no loader and no library
# of the system they run on, glibc-based or not. The archive's top folder is
# an installation prefix, so that one tar command installs it under ~/.local.
configure static -DCMAKE_EXE_LINKER_FLAGS=-static
build static
linux=stylo-$version-linux-x86_64
rm -rf "$work/linux-stage"
cmake --install "$work/static" --prefix "$work/linux-stage/$linux" --strip >> "$work/static.log"
for program in "$work/linux-stage/$linux"/bin/*; do
  ! readelf -d "$program" | grep -q 'Dynamic section' || fail "${program##*/} has a dynamic section"
done
readme "$root/packaging/README-linux.md" "$work/linux-stage/$linux/README.md"
cp "$root/LICENSE" "$work/linux-stage/$linux/"
settle "$work/linux-stage"
tar -C "$work/linux-stage" --sort=name --owner=0 --group=0 --numeric-owner --format=gnu \
  --mtime="@$SOURCE_DATE_EPOCH" -cf - "$linux" | gzip -9n > "$dist/$linux.tar.gz"

step "Windows programs, x86-64 (cross-built)"
# The time in the programs' headers is SOURCE_DATE_EPOCH: the linker takes it
# from the environment. The zip holds the programs side by side, with each
# manual page as HTML, which a Windows user can open.
configure windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake"
build windows
rm -rf "$work/windows-install" "$work/windows-stage"
cmake --install "$work/windows" --prefix "$work/windows-install" --strip >> "$work/windows.log"
windows=stylo-$version-windows-x86_64
mkdir -p "$work/windows-stage/$windows"
cp "$work/windows-install"/bin/* "$work/windows-stage/$windows/"
for page in "$work/windows-install"/share/man/man1/*.1; do
  name=${page##*/}
  groff -ww -man -Thtml "$page" > "$work/windows-stage/$windows/${name%.1}.html" 2> "$work/groff.err" ||
    fail "groff $name failed: $(cat "$work/groff.err")"
  [ ! -s "$work/groff.err" ] || fail "groff warns on $name: $(cat "$work/groff.err")"
done
readme "$root/packaging/README-windows.txt" "$work/windows-stage/$windows/README.txt"
cp "$root/LICENSE" "$work/windows-stage/$windows/"
settle "$work/windows-stage"
# zip stores local times: TZ is UTC above. -X leaves out the owner and the
# extra time fields, -D the directory entries; names go in sorted.
(cd "$work/windows-stage" && find "$windows" -type f | sort | zip -q -X -D -9 "$dist/$windows.zip" -@)

step "VS Code extension, one package a platform"
# Each carries the release's own stylo-lsp for its platform: the tarball's,
# the arm64 package's and the zip's.
rm -rf "$work/arm64-package"
dpkg-deb -x "$dist/stylo_$version-1_arm64.deb" "$work/arm64-package"
bash "$root/scripts/package-vscode.sh" linux-x64 "$work/linux-stage/$linux/bin/stylo-lsp" \
  linux-arm64 "$work/arm64-package/usr/bin/stylo-lsp" win32-x64 "$work/windows-stage/$windows/stylo-lsp.exe" \
  > "$work/vscode.log" 2>&1 || fail "scripts/package-vscode.sh failed: $(tail -n 20 "$work/vscode.log")"

step "checksums"
(cd "$dist" && sha256sum -- *.deb *.tar.gz *.zip *.vsix > SHA256SUMS)
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not check"
ls -l "$dist"
