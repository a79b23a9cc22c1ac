#!/usr/bin/env bash
# Packages contrib/vscode-extension for VS Code.
#
#   package-vscode.sh [TARGET STYLO-LSP]...
#
# Each pair makes dist/stylo-lsp-<version>-<TARGET>.vsix (vsce package
# --target, one package a platform, as the marketplace takes them), which
# carries STYLO-LSP, a server built for that platform, as server/stylo-lsp
# (server/stylo-lsp.exe for win32-*): the extension runs it unless the
# setting stylo.path names another. TARGET is a VS Code platform:
# linux-x64, linux-arm64, win32-x64 are those the release builds. Without
# arguments it makes dist/stylo-lsp-<version>.vsix, which carries no server
# and runs stylo-lsp from PATH.
#
# The version is that of the release's other artifacts (see
# cmake/PackageVersion.cmake); the extension's own version, in the
# package.json it carries, is project()'s in CMakeLists.txt (1.0 as 1.0.0).
#
# Two runs on one commit give the same bytes: the packages, vsce among them,
# are those of the committed package-lock.json (npm ci); vsce's zip, whose
# times and order are those of the moment, is written again with the names
# sorted, every time SOURCE_DATE_EPOCH (by default the time of the last
# commit) and the modes 0644. The work is done in a scratch copy; only the
# .vsix is kept.
#
# Needs node, npm, cmake, zip and unzip.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD
umask 022
export LC_ALL=C TZ=UTC
. "$root/.ci/lib.sh"
fail_prefix=package-vscode
for tool in node npm cmake zip unzip; do
  command -v "$tool" > /dev/null || fail "$tool is missing"
done
[ $(($# % 2)) = 0 ] || fail "usage: package-vscode.sh [TARGET STYLO-LSP]..."
# The machine each target's server must be built for, as file(1) names it.
machine_of() {
  case $1 in
    linux-x64 | alpine-x64) echo 'ELF 64-bit.*x86-64' ;;
    linux-arm64 | alpine-arm64) echo 'ELF 64-bit.*(aarch64|ARM aarch64)' ;;
    win32-x64) echo 'PE32\+ executable.*x86-64' ;;
    *) return 1 ;;
  esac
}
pairs=("$@")
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  target=${pairs[i]} server=${pairs[i + 1]}
  pattern=$(machine_of "$target") || fail "$target: not a platform the release builds (linux-x64, linux-arm64, win32-x64)"
  case $server in /*) ;; *) server=$caller/$server ;; esac
  pairs[i + 1]=$server
  [ -f "$server" ] || fail "$target: no server at $server"
  if command -v file > /dev/null; then
    file -b "$server" | grep -qE "$pattern" || fail "$target: $server is not a program for it: $(file -b "$server")"
  fi
done

read -r release_version version < <(cmake -DSTYLO_SOURCE_DIR="$root" -P cmake/PackageVersion.cmake) ||
  fail "cmake/PackageVersion.cmake failed"
# An extension's version has three numbers.
extension_version=$release_version
while [ "$(tr -cd . <<< "$extension_version" | wc -c)" -lt 2 ]; do extension_version=$extension_version.0; done
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2> /dev/null) ||
    fail "not in a git checkout: set SOURCE_DATE_EPOCH to the release's time (seconds since 1970)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/extension"
cp contrib/vscode-extension/package.json contrib/vscode-extension/package-lock.json \
  contrib/vscode-extension/extension.js "$work/extension/"
cp LICENSE "$work/extension/LICENSE"
cd "$work/extension"
# No install scripts and no optional packages: vsce's keychain and signing
# helpers, which packaging does not use, would build or fetch native code.
npm ci --no-audit --no-fund --loglevel=error --ignore-scripts --omit=optional > "$work/npm.log" 2>&1 ||
  fail "npm ci failed: $(cat "$work/npm.log")"
node -e '
  const fs = require("fs");
  const manifest = JSON.parse(fs.readFileSync("package.json", "utf8"));
  manifest.version = process.argv[1];
  fs.writeFileSync("package.json", JSON.stringify(manifest, null, 2) + "\n");
' "$extension_version"
# package <name> [TARGET SERVER]: vsce's package of the extension (with the
# server in server/ for a target), written again reproducibly as
# dist/<name>.vsix.
package() {
  local name=$1 target=${2:-} server=${3:-}
  local extension=$work/extension-$name
  rm -rf "$extension" "$work/stage" "$work/vsce.vsix"
  cp -R "$work/extension" "$extension"
  local options=()
  if [ -n "$target" ]; then
    mkdir "$extension/server"
    if [ "${target%%-*}" = win32 ]; then
      cp "$server" "$extension/server/stylo-lsp.exe"
    else
      cp "$server" "$extension/server/stylo-lsp"
    fi
    options=(--target "$target")
  fi
  (cd "$extension" && node_modules/.bin/vsce package --allow-missing-repository "${options[@]}" -o "$work/vsce.vsix") \
    > "$work/vsce.log" 2>&1 || fail "vsce package ${target:-(every platform)} failed: $(cat "$work/vsce.log")"

  # zip stores local times: TZ is UTC above. -X leaves out the owner and the
  # extra time fields, -D the directory entries. The server keeps its
  # execute bit, which VS Code restores when it unpacks the extension.
  mkdir "$work/stage"
  unzip -q "$work/vsce.vsix" -d "$work/stage"
  (
    cd "$work/stage"
    find . -type d -exec chmod 0755 {} +
    find . -type f -exec chmod 0644 {} +
    find . -type f -path './extension/server/*' -exec chmod 0755 {} +
    find . -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    mkdir -p "$root/dist"
    local vsix=$root/dist/$name.vsix
    rm -f "$vsix"
    find . -type f | sed 's|^\./||' | sort | zip -q -X -D -9 "$vsix" -@
    unzip -tq "$vsix" > /dev/null || fail "$vsix does not test as a zip"
  ) || exit 1
  echo "dist/$name.vsix"
}

if [ ${#pairs[@]} = 0 ]; then
  package "stylo-lsp-$version"
fi
for ((i = 0; i < ${#pairs[@]}; i += 2)); do
  package "stylo-lsp-$version-${pairs[i]}" "${pairs[i]}" "${pairs[i + 1]}"
done
