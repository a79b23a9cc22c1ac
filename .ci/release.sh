#!/usr/bin/env bash
# CI, after .ci/run has built build/: makes the release with
# scripts/release.sh and checks what it made. The version must be the
# release's on the tagged commit only, and any other commit's must sort
# after it and name the commit. Both Debian packages must be clean under
# lintian; the checksums must check; each archive must hold exactly what
# `cmake --install` installs, the licence and the users' README; the tarball
# must install with its README's command on a fresh account, and the zip
# README's cmd recipe must pass a name outside ASCII to stylo.exe under wine;
# the static programs must need no library, and stylo give, byte for byte, the
# output of build/stylo; each program (one for each page in man/) must be in
# each archive and do its job on its own platform (arm64 under qemu, Windows
# under wine, the static one alone in a chroot). The VS Code extension must
# be a .vsix that VS Code can read, holding the extension, its language
# client and project()'s version. A second run must give the same bytes.
# Exits non-zero on the first failure.
#
# The Windows and ARM64 programs packaged are those of build-windows/ and
# build-arm64/, which .ci/cross.sh built with scripts/release.sh --build and
# tested (built here when missing). The second run builds the Windows
# programs again from nothing, in another directory and without the compiler
# cache, and packages the other builds again: the same bytes then show that
# a build depends on nothing but the commit (not on the time, the directory
# or what else the build holds), and the packaging likewise.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh

ensure_packages cmake g++ g++-aarch64-linux-gnu g++-mingw-w64-x86-64 dpkg-dev groff zip unzip \
  binutils file lintian qemu-user wine64 python3 nlohmann-json3-dev
ensure_npm

if [ ! -x build/stylo ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

step "scripts/release.sh, with the cross stage's Windows and ARM64 builds"
for name in windows arm64; do
  [ -f "build-$name/CMakeCache.txt" ] || release_build "$name" "build-$name"
done
# The compiler cache, if any: the static build's compiler runs are the
# amd64 one's.
CMAKE_CXX_COMPILER_LAUNCHER=${compiler_cache:+ccache} \
  bash scripts/release.sh --reuse windows=build-windows --reuse arm64=build-arm64
read -r release_version version < <(cmake -P cmake/PackageVersion.cmake)
linux=stylo-$version-linux-x86_64
windows=stylo-$version-windows-x86_64
# The VS Code extension: one package a platform, each with its own server.
vsix_targets="linux-x64 linux-arm64 win32-x64"
[ "$(cd dist && ls | sort)" = "$( (printf '%s\n' SHA256SUMS "$linux.tar.gz" "$windows.zip" \
  "stylo_$version-1_amd64.deb" "stylo_$version-1_arm64.deb" &&
  for target in $vsix_targets; do echo "stylo-lsp-$version-$target.vsix"; done) | sort)" ] ||
  fail "dist/ does not hold exactly the seven artifacts and SHA256SUMS: $(ls dist)"
# The programs: one for each manual page in man/ (stylo and its companions).
programs=$(cd man && ls -- *.1 | sed 's/\.1$//' | sort)
[ -n "$programs" ] && grep -qx stylo <<< "$programs" || fail "man/ has no stylo.1"

step "version"
# The release is the commit tagged v<version>; any other commit's packages
# follow it and name the commit. Both cases, on a clone where the commit is
# tagged and then followed by another, and as git archives without git.
if git describe --exact-match --match "v$release_version" HEAD > /dev/null 2>&1 &&
  [ -z "$(git status --porcelain --untracked-files=no)" ]; then
  [ "$version" = "$release_version" ] || fail "the tagged commit gives version $version, not $release_version"
else
  expected=$release_version+git$(date -u -d "@$(git log -1 --format=%ct)" +%Y%m%d.%H%M%S).$(git rev-parse --short=7 HEAD)
  [ "$version" = "$expected" ] || fail "this commit gives version $version, not $expected"
fi
package_version() { # package_version <tree>: the version cmake/PackageVersion.cmake gives it
  cmake -DSTYLO_SOURCE_DIR="$1" -P cmake/PackageVersion.cmake | cut -d' ' -f2
}
git clone -q --no-hardlinks . "$tmp/clone"
clone_git() { git -C "$tmp/clone" -c user.name=CI -c user.email=ci@example.org "$@"; }
clone_git tag -f -a "v$release_version" -m "stylo $release_version" HEAD > /dev/null
mkdir "$tmp/archive-release" "$tmp/archive-later"
clone_git archive HEAD | tar -x -C "$tmp/archive-release"
later_time=$(($(clone_git log -1 --format=%ct) + 60))
GIT_COMMITTER_DATE="@$later_time +0000" clone_git commit -q --allow-empty -m later
later=$release_version+git$(date -u -d "@$later_time" +%Y%m%d.%H%M%S).$(clone_git rev-parse --short=7 HEAD)
clone_git archive HEAD | tar -x -C "$tmp/archive-later"
for tree in clone archive-release archive-later; do
  echo "$tree: $(package_version "$tmp/$tree")"
done
[ "$(package_version "$tmp/archive-release")" = "$release_version" ] || fail "the archive of the tagged commit is not the release"
[ "$(package_version "$tmp/clone")" = "$later" ] || fail "the commit after the release does not give version $later"
[ "$(package_version "$tmp/archive-later")" = "$later" ] || fail "the archive of the commit after the release does not give version $later"
dpkg --compare-versions "$later-1" gt "$release_version-1" || fail "$later-1 does not sort after $release_version-1"
# The repository is published without its tags: the README's pre-commit
# example pins a commit (tests/integration/pre_commit_test.sh runs it).
grep -qE "^ +rev: [0-9a-f]{40}( |\$)" README.md || fail "the README's pre-commit example does not pin a full commit id"

step "checksums"
(cd dist && sha256sum -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
[ "$(sed 's/^[0-9a-f]*  //' dist/SHA256SUMS | sort)" = "$(cd dist && ls | grep -vx SHA256SUMS | sort)" ] ||
  fail "SHA256SUMS does not list the five artifacts: $(cat dist/SHA256SUMS)"

# What build/stylo writes, its messages and its status, for one run, in a
# directory named after the run: the reference the other programs must meet.
# The inputs: examples/, and a list of many C files (this tree's and the
# system's headers) with a missing file and an empty name among them.
(git ls-files -- '*.c' '*.h' && find /usr/include -name '*.[ch]' | sort && printf '%s\n' no/such/file.c '') \
  > "$tmp/list"
[ "$(wc -l < "$tmp/list")" -gt 1000 ] || fail "the file list is short: $(wc -l < "$tmp/list") names"
run_all() { # run_all <directory> <program...>
  local out=$1
  shift
  mkdir -p "$out"
  for example in examples/*.c; do
    "$@" "$example" >> "$out/stdout" 2>> "$out/stderr" || echo "$example: status $?" >> "$out/status"
  done
  "$@" --file-list="$tmp/list" >> "$out/stdout" 2>> "$out/stderr" || echo "list: status $?" >> "$out/status"
  "$@" --file-list=- < "$tmp/list" >> "$out/stdout" 2>> "$out/stderr" || echo "list on stdin: status $?" >> "$out/status"
  touch "$out/status"
}
same_as_build() { # same_as_build <directory> <what>
  local out
  for out in stdout stderr status; do
    cmp "$tmp/build/$out" "$1/$out" || fail "$2 does not give the $out of build/stylo"
  done
}
run_all "$tmp/build" build/stylo
[ -s "$tmp/build/stdout" ] || fail "build/stylo finds nothing"
grep -q 'no/such/file.c' "$tmp/build/stderr" || fail "build/stylo does not report the missing file"
build/stylo examples/demo.c > "$tmp/demo.out"
[ -s "$tmp/demo.out" ] || fail "build/stylo finds nothing in examples/demo.c"

# check_runs <platform> <program> <path> [runner...]: the program, run at
# <path> by the runner (qemu, wine, chroot; none for a native one), does its
# job on examples/demo.c: stylo writes build/stylo's warnings (in CR LF on
# windows), stylo-lsp publishes them as diagnostics over a whole session,
# stylo-report writes them with their columns and rule ids (its lines end in
# LF everywhere) and exits with 1, for findings. Every program of man/ needs
# its case here.
check_runs() {
  local platform=$1 program=$2 path=$3
  shift 3
  case $program in
    stylo)
      "$@" "$path" examples/demo.c > "$tmp/runs.out" || fail "$platform $program does not run"
      if [ "$platform" = windows ]; then
        sed 's/$/\r/' "$tmp/demo.out" | cmp -s - "$tmp/runs.out" || fail "$platform $program does not give the warnings of build/stylo"
      else
        cmp -s "$tmp/demo.out" "$tmp/runs.out" || fail "$platform $program does not give the warnings of build/stylo"
      fi
      ;;
    stylo-lsp)
      python3 .ci/lsp_session.py examples/demo.c "$tmp/demo.out" "$@" "$path" ||
        fail "$platform $program does not publish stylo's findings over a session"
      ;;
    stylo-report)
      local status=0
      "$@" "$path" --format=gcc examples/demo.c > "$tmp/runs.out" || status=$?
      [ "$status" -eq 1 ] || fail "$platform $program exits with $status, not 1, on findings"
      sed -E 's/^(.*):([0-9]+):[0-9]+: warning: (.*) \[[a-z-]+\]$/\1(\2): warning: \3/' "$tmp/runs.out" |
        cmp -s "$tmp/demo.out" - || fail "$platform $program does not report the findings of build/stylo: $(cat "$tmp/runs.out")"
      ;;
    *) fail "no check that $program runs: add its case to check_runs in $0" ;;
  esac
}

step "Debian packages"
for arch in amd64 arm64; do
  deb=dist/stylo_$version-1_$arch.deb
  lintian "$deb" > "$tmp/lintian.out" 2> "$tmp/lintian.err" ||
    fail "lintian $deb: $(cat "$tmp/lintian.out" "$tmp/lintian.err")"
  [ ! -s "$tmp/lintian.out" ] || fail "lintian $deb: $(cat "$tmp/lintian.out")"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb is not for $arch"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "$deb is not version $version-1"
  dpkg-deb -c "$deb" | awk '{ print $1, $2, $6 }' > "$tmp/$arch.contents"
  dpkg-deb -x "$deb" "$tmp/$arch"
  cmp -s "$tmp/$arch/usr/share/doc/stylo/copyright" "$tmp/amd64/usr/share/doc/stylo/copyright" ||
    fail "the copyright files of the two packages differ"
done
cmp -s "$tmp/amd64.contents" "$tmp/arm64.contents" ||
  fail "the two packages do not hold the same files"
for program in $programs; do
  for arch in amd64 arm64; do
    [ -f "$tmp/$arch/usr/bin/$program" ] || fail "the $arch package has no $program"
    file "$tmp/$arch/usr/bin/$program" | grep -q ', stripped' || fail "the $arch package's $program is not stripped"
    gzip -dc "$tmp/$arch/usr/share/man/man1/$program.1.gz" | cmp -s "man/$program.1" - ||
      fail "the $arch package's manual page of $program is not man/$program.1"
  done
  file "$tmp/arm64/usr/bin/$program" | grep -q 'ARM aarch64' || fail "the arm64 package's $program is not an ARM64 program"
  check_runs amd64 "$program" "$tmp/amd64/usr/bin/$program"
  check_runs arm64 "$program" "$tmp/arm64/usr/bin/$program" qemu-aarch64 -L /usr/aarch64-linux-gnu
done
dpkg-deb -f "dist/stylo_$version-1_arm64.deb" Depends | tr ',' '\n' | sed -E 's/^ *([^ ]+).*/\1/' | sort |
  tr '\n' ' ' | grep -qx 'libc6 libgcc-s1 libstdc++6 ' || fail "the arm64 Depends names other packages than the C and C++ runtimes"

# What `cmake --install` installs, the archives must hold: every program and
# every manual page.
cmake --install build --prefix "$tmp/installed" > /dev/null
installed=$(cd "$tmp/installed" && find . -type f | sed 's|^\./||' | sort)
[ "$installed" = "$(for program in $programs; do printf '%s\n' "bin/$program" "share/man/man1/$program.1"; done | sort)" ] ||
  fail "cmake --install build does not install exactly the programs of man/ and their pages: $installed"
readme() { # readme <source>: the users' README as release.sh fills it in
  sed -e "s/@VERSION@/$version/g" -e "s/@RELEASE@/$release_version/g" "$1"
}

step "static Linux programs"
tar tzf "dist/$linux.tar.gz" | grep -v '/$' > "$tmp/tar.list"
[ "$(cat "$tmp/tar.list")" = "$( (printf '%s\n' LICENSE README.md && echo "$installed") | sed "s|^|$linux/|" | sort)" ] ||
  fail "$linux.tar.gz holds: $(cat "$tmp/tar.list")"
tar -C "$tmp" -xzf "dist/$linux.tar.gz"
cmp -s LICENSE "$tmp/$linux/LICENSE" || fail "the tarball's LICENSE is not LICENSE"
readme packaging/README-linux.md | cmp -s - "$tmp/$linux/README.md" || fail "the tarball's README.md is not packaging/README-linux.md"
for program in $programs; do
  static=$tmp/$linux/bin/$program
  readelf -d "$static" > "$tmp/readelf.out" 2>&1
  grep -qx 'There is no dynamic section in this file.' "$tmp/readelf.out" ||
    fail "the static $program has a dynamic section: $(head -n 5 "$tmp/readelf.out")"
  readelf -h "$static" | grep -qE 'Type: +EXEC' || fail "the static $program is not a plain (non-PIE) executable"
  file "$static" | grep -q 'x86-64' || fail "the static $program is not an x86-64 program"
  cmp -s "man/$program.1" "$tmp/$linux/share/man/man1/$program.1" || fail "the tarball's $program.1 is not man/$program.1"
  # With nothing else in its root: no loader, no library, no locale files.
  if [ "$(id -u)" = 0 ]; then
    rm -rf "$tmp/root"
    mkdir -p "$tmp/root/examples"
    cp "$static" "$tmp/root/$program"
    cp examples/demo.c "$tmp/root/examples/"
    check_runs "static (alone in a chroot)" "$program" "/$program" chroot "$tmp/root"
  else
    check_runs static "$program" "$static"
  fi
done
[ "$(id -u)" = 0 ] || echo "not root: the static programs are not run alone in a chroot"
run_all "$tmp/static-run" "$tmp/$linux/bin/stylo"
same_as_build "$tmp/static-run" "the static program"
# The README's install command, on an account made from /etc/skel, in the
# directory holding the archive; then, in a new login shell, stylo and its
# manual are found.
install_command=$(grep -E '^mkdir -p ~/\.local && tar ' "$tmp/$linux/README.md")
sed 's/^ *//' README.md > "$tmp/readme.lines"
grep -qxF -- "${install_command//"$version"/$release_version}" "$tmp/readme.lines" ||
  fail "README.md's Install does not give the tarball README's command: $install_command"
home=$tmp/home
mkdir "$home"
cp -R /etc/skel/. "$home/"
fresh_login() { (cd "$1" && env -i HOME="$home" TERM=dumb MANPAGER=cat bash -lc "$2"); }
fresh_login dist "$install_command" || fail "the README's install command failed: $install_command"
[ "$(cd "$home/.local" && find . -type f | sed 's|^\./||' | sort)" = "$installed" ] ||
  fail "the install command did not put in ~/.local exactly what cmake --install installs"
for program in $programs; do
  fresh_login "$PWD" "command -v $program" > "$tmp/found" || true
  [ "$(cat "$tmp/found")" = "$home/.local/bin/$program" ] || fail "a new login does not find $program in ~/.local/bin: $(cat "$tmp/found")"
  fresh_login "$PWD" "man -w $program" > "$tmp/found" 2>&1 || true
  [ "$(cat "$tmp/found")" = "$home/.local/share/man/man1/$program.1" ] ||
    fail "man does not find $program's page in ~/.local: $(cat "$tmp/found")"
done
fresh_login "$PWD" 'stylo examples/demo.c' | cmp -s - <(build/stylo examples/demo.c) ||
  fail "the installed stylo does not give the warnings of build/stylo"
fresh_login "$PWD" 'man stylo' > "$tmp/man.out" 2> /dev/null || fail "man stylo failed"
grep -q 'EXIT STATUS' "$tmp/man.out" || fail "man stylo does not show the manual"

step "Windows zip"
unzip -Z1 "dist/$windows.zip" > "$tmp/zip.list"
[ "$(cat "$tmp/zip.list")" = "$( (printf '%s\n' LICENSE README.txt && echo "$installed" |
  sed -E -e 's|^bin/(.*)|\1.exe|' -e 's|^share/man/man1/(.*)\.1$|\1.html|') | sed "s|^|$windows/|" | sort)" ] ||
  fail "$windows.zip holds: $(cat "$tmp/zip.list")"
unzip -l "dist/$windows.zip"
unzip -q -d "$tmp" "dist/$windows.zip"
cmp -s LICENSE "$tmp/$windows/LICENSE" || fail "the zip's LICENSE is not LICENSE"
readme packaging/README-windows.txt | cmp -s - "$tmp/$windows/README.txt" || fail "the zip's README.txt is not packaging/README-windows.txt"
# Windows ends lines with CR LF; the text is otherwise that of build/stylo.
for program in $programs; do
  file "$tmp/$windows/$program.exe" | grep -q 'PE32+ executable (console) x86-64' ||
    fail "$program.exe is not a Windows x86-64 console program"
  # No DLL but Windows' own, as the zip's README promises (the list of .ci/cross.sh).
  x86_64-w64-mingw32-objdump -p "$tmp/$windows/$program.exe" | sed -n 's/^\s*DLL Name: //p' | tr A-Z a-z > "$tmp/dlls"
  [ -s "$tmp/dlls" ] || fail "objdump finds no DLL that $program.exe imports"
  ! grep -vE '^(kernel32|msvcrt|shell32|user32|advapi32|ntdll|api-ms-win-.*)\.dll$' "$tmp/dlls" > "$tmp/dlls.other" ||
    fail "$program.exe needs DLLs that Windows does not ship: $(cat "$tmp/dlls.other")"
  grep -q "<title>$(tr a-z A-Z <<< "$program")</title>" "$tmp/$windows/$program.html" ||
    fail "$program.html is not the manual page of $program"
  grep -q 'EXIT STATUS' "$tmp/$windows/$program.html" || fail "$program.html lacks the manual's sections"
  WINEDEBUG=-all check_runs windows "$program" "$tmp/$windows/$program.exe" /usr/lib/wine/wine64
done
# The README's cmd recipe, as typed into a console (script gives wine one, as
# wide as the lines), with the zip's folder on PATH, in a folder holding a
# file whose name is not ASCII.
cmd_recipe=$(sed -n 's/^ *\(chcp 65001 .*\)$/\1/p' "$tmp/$windows/README.txt")
[ -n "$cmd_recipe" ] || fail "the zip's README has no cmd recipe beginning with chcp 65001"
mkdir "$tmp/cmd"
cp examples/demo.c "$tmp/cmd/démo ünï.c"
windows_path() { printf 'Z:%s' "$1" | tr / '\\'; }
(cd "$tmp/cmd" && WINEDEBUG=-all WINEPATH=$(windows_path "$tmp/$windows") \
  script -qec "stty cols 500; /usr/lib/wine/wine64 cmd /c '$cmd_recipe'" /dev/null) |
  sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' > "$tmp/cmd.out" || fail "cmd /c '$cmd_recipe' failed under wine"
build/stylo "$tmp/cmd/démo ünï.c" | sed "s|^$tmp/cmd/||" | while IFS= read -r line; do
  printf '%s\\%s\n' "$(windows_path "$tmp/cmd")" "$line"
done |
  cmp - "$tmp/cmd.out" || fail "the cmd recipe under wine does not check the file named démo ünï.c: $(cat "$tmp/cmd.out")"

step "VS Code extension"
# Zips as VS Code reads them: the manifests at the top, the extension under
# extension/ with its language client and the server of its platform (the
# very program of the release's tarball, package or zip, still executable),
# nothing else; project()'s version; the platform in the manifest.
extension_version=$release_version
while [ "$(tr -cd . <<< "$extension_version" | wc -c)" -lt 2 ]; do extension_version=$extension_version.0; done
for target in $vsix_targets; do
  vsix=stylo-lsp-$version-$target.vsix
  case $target in
    linux-x64) server=extension/server/stylo-lsp released=$tmp/$linux/bin/stylo-lsp ;;
    linux-arm64) server=extension/server/stylo-lsp released=$tmp/arm64/usr/bin/stylo-lsp ;;
    win32-x64) server=extension/server/stylo-lsp.exe released=$tmp/$windows/stylo-lsp.exe ;;
  esac
  unzip -tq "dist/$vsix" > /dev/null || fail "$vsix is not a sound zip"
  unzip -Z1 "dist/$vsix" > "$tmp/vsix.list"
  for entry in extension.vsixmanifest '[Content_Types].xml' extension/package.json extension/extension.js \
    extension/LICENSE.txt extension/node_modules/vscode-languageclient/package.json "$server"; do
    grep -qxF -- "$entry" "$tmp/vsix.list" || fail "$vsix has no $entry"
  done
  ! grep -vE '^(extension\.vsixmanifest|\[Content_Types\]\.xml|extension/.+)$' "$tmp/vsix.list" > "$tmp/vsix.other" ||
    fail "$vsix holds more: $(cat "$tmp/vsix.other")"
  ! grep -E '^extension/node_modules/@vscode/vsce/' "$tmp/vsix.list" > /dev/null || fail "$vsix holds vsce, which only makes it"
  [ "$(grep -c '^extension/server/' "$tmp/vsix.list")" = 1 ] || fail "$vsix holds another server beside $server"
  unzip -Z "dist/$vsix" "$server" | grep -q '^-rwx' || fail "$vsix's $server is not executable"
  rm -rf "$tmp/vsix"
  unzip -q -d "$tmp/vsix" "dist/$vsix"
  cmp -s "$released" "$tmp/vsix/$server" || fail "$vsix's $server is not the release's stylo-lsp for $target"
  cmp -s contrib/vscode-extension/extension.js "$tmp/vsix/extension/extension.js" ||
    fail "$vsix's extension.js is not contrib/vscode-extension/extension.js"
  cmp -s LICENSE "$tmp/vsix/extension/LICENSE.txt" || fail "$vsix's LICENSE.txt is not LICENSE"
  node -e 'const m = require(process.argv[1]); if (m.version !== process.argv[2] || m.name !== "stylo-lsp") process.exit(1)' \
    "$tmp/vsix/extension/package.json" "$extension_version" || fail "$vsix's package.json is not stylo-lsp $extension_version"
  grep -qE "<Identity [^>]*Id=\"stylo-lsp\" Version=\"${extension_version//./\\.}\" [^>]*TargetPlatform=\"$target\"" \
    "$tmp/vsix/extension.vsixmanifest" || fail "$vsix's extension.vsixmanifest is not that of stylo-lsp $extension_version for $target"
  node .ci/vsix_load.js "$tmp/vsix/extension" || fail "$vsix's extension does not load"
done

step "a second run gives the same bytes, the Windows programs built again"
mkdir "$tmp/first"
cp dist/* "$tmp/first/"
env -u CMAKE_CXX_COMPILER_LAUNCHER bash scripts/release.sh --reuse arm64=build-arm64 \
  --reuse amd64=build-release/amd64 --reuse static=build-release/static > "$tmp/second.log" 2>&1 ||
  fail "the second run failed: $(tail -n 20 "$tmp/second.log")"
! grep -q '^CMAKE_CXX_COMPILER_LAUNCHER:[^=]*=.' build-release/windows/CMakeCache.txt ||
  fail "the second Windows build went through a compiler cache"
for artifact in "$tmp"/first/*; do
  cmp "$artifact" "dist/${artifact##*/}" || fail "${artifact##*/} differs between two runs on one commit"
done

echo "release checks passed"
