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
#   bash scripts/release.sh --build <configuration> <directory> [cmake options]
#                                   configures and builds one of the
#                                   release's builds (amd64, arm64, static,
#                                   windows) in <directory>, as this script
#                                   would, and stops; with the options after
#                                   its own (-DSTYLO_BUILD_TESTS=ON, say)
#   --reuse <configuration>=<directory>
#                                   (before --tag or alone, any number of
#                                   times) packages that build, made by
#                                   --build, brought up to date, instead of
#                                   building the configuration afresh: CI
#                                   packages the cross builds its tests ran
#                                   against
#
# Needs: cmake, g++, g++-aarch64-linux-gnu, g++-mingw-w64-x86-64, dpkg-dev,
# groff, zip, unzip, gzip, binutils, node and npm (for the extension); git for
# --tag.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD
umask 022
export LC_ALL=C TZ=UTC
. "$root/.ci/lib.sh"
fail_prefix=release

usage() {
  echo "usage: bash scripts/release.sh [--reuse <configuration>=<directory>]... [--tag]" >&2
  echo "       bash scripts/release.sh --build <configuration> <directory> [cmake options]" >&2
  exit 2
}
# absolute <path>: the path, taken from the caller's directory.
absolute() {
  case $1 in
    /*) echo "$1" ;;
    *) echo "$caller/$1" ;;
  esac
}

# The release's builds: each one's own cmake options (beside those that
# configure() gives all of them), in the array options.
configuration_options() {
  case $1 in
    amd64) options=() ;;
    arm64) options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/aarch64-linux-gnu.cmake") ;;
    # -static, not -static-pie: the programs then need no loader and no
    # library of the system they run on, glibc-based or not.
    static) options=(-DCMAKE_EXE_LINKER_FLAGS=-static) ;;
    windows) options=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/x86_64-w64-mingw32.cmake") ;;
    *) fail "no build named '$1': amd64, arm64, static or windows" ;;
  esac
}

tag=
build_only=
extra_options=()
declare -A reused=()
while [ $# -gt 0 ]; do
  case $1 in
    --tag) tag=1 ;;
    --reuse)
      [ $# -ge 2 ] && [[ $2 == ?*=?* ]] || usage
      configuration_options "${2%%=*}"
      [ -f "$(absolute "${2#*=}")/CMakeCache.txt" ] || fail "--reuse $2: no build there"
      reused[${2%%=*}]=$(cd "$(absolute "${2#*=}")" && pwd)
      shift
      ;;
    --build)
      [ $# -ge 3 ] || usage
      configuration_options "$2"
      build_only=$2
      reused[$2]=$(absolute "$3")
      shift 3
      extra_options=("$@")
      break
      ;;
    *) usage ;;
  esac
  shift
done

if [ -z "$build_only" ]; then
  for tool in cmake cpack g++ aarch64-linux-gnu-g++ x86_64-w64-mingw32-g++-posix dpkg-shlibdeps \
    groff zip unzip gzip readelf node npm; do
    command -v "$tool" > /dev/null || fail "$tool is missing (see the list of tools at the top of $0)"
  done
  groff -Thtml < /dev/null > /dev/null 2>&1 || fail "groff cannot write HTML: install the Debian package groff"
fi

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

# The builds go to build-release/<configuration>, made afresh (but those
# reused), each with its log beside it.
work=$root/build-release
dist=$root/dist
mkdir -p "$work"
if [ -z "$build_only" ]; then
  rm -rf "$dist"
  mkdir -p "$dist"
  for name in amd64 arm64 static windows; do
    [ -n "${reused[$name]:-}" ] || rm -rf "${work:?}/$name"
  done
fi
build_dir() { echo "${reused[$1]:-$work/$1}"; }

# No path of this machine in the programs: the source tree is '.'. CMake adds
# CXXFLAGS to the toolchain files' own flags (which -DCMAKE_CXX_FLAGS would
# replace).
export CXXFLAGS="-ffile-prefix-map=$root=."
unset LDFLAGS

# failed <what> <name>: fails, with the end of the build's log.
failed() {
  fail "$1 $2 failed: see $work/$2.log, which ends with:
$(tail -n 30 "$work/$2.log")"
}

# configure <name>: a Release build of the programs, without the tests (but
# for --build's own options); a reused build is configured again with the
# options it had, once it is known to have the release's flags.
configure() {
  local name=$1 dir
  dir=$(build_dir "$name")
  configuration_options "$name"
  if [ -n "${reused[$name]:-}" ] && [ -z "$build_only" ]; then
    grep -qx 'CMAKE_BUILD_TYPE:STRING=Release' "$dir/CMakeCache.txt" &&
      grep '^CMAKE_CXX_FLAGS:STRING=' "$dir/CMakeCache.txt" | grep -qF -- "$CXXFLAGS" ||
      fail "$dir is not a build of $name made by: bash scripts/release.sh --build $name <directory>"
    cmake -S "$root" -B "$dir" "${options[@]}" > "$work/$name.log" 2>&1 || failed configuring "$name"
  else
    cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSTYLO_BUILD_TESTS=OFF "${options[@]}" \
      "${extra_options[@]}" > "$work/$name.log" 2>&1 || failed configuring "$name"
  fi
}

# deb <name>: the Debian package of a build, made by cpack, into dist/.
deb() {
  local name=$1 dir
  dir=$(build_dir "$name")
  rm -f "$dir"/stylo_*.deb
  (cd "$dir" && cpack -G DEB >> "$work/$name.log" 2>&1) || failed cpack "$name"
  local debs=("$dir"/stylo_*.deb)
  [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package in $dir"
  cp "${debs[0]}" "$dist/"
}

# build <name>: builds the default target: what is installed (and the tests,
# in a build made with them).
build() {
  cmake --build "$(build_dir "$1")" -j2 >> "$work/$1.log" 2>&1 || failed building "$1"
}

if [ -n "$build_only" ]; then
  step "$build_only: build in $(build_dir "$build_only")"
  configure "$build_only"
  build "$build_only"
  exit 0
fi

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
configure arm64
build arm64
deb arm64

step "static Linux programs, x86-64"
# The archive's top folder is an installation prefix, so that one tar
# command installs it under ~/.local.
configure static
build static
linux=stylo-$version-linux-x86_64
rm -rf "$work/linux-stage"
cmake --install "$(build_dir static)" --prefix "$work/linux-stage/$linux" --strip >> "$work/static.log"
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
configure windows
build windows
rm -rf "$work/windows-install" "$work/windows-stage"
cmake --install "$(build_dir windows)" --prefix "$work/windows-install" --strip >> "$work/windows.log"
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
