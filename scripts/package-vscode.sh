#!/usr/bin/env bash
# Packages contrib/vscode-extension as dist/stylo-lsp-<version>.vsix with
# @vscode/vsce from npm, in a scratch copy (its node_modules are not kept).
# Needs node and npm.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
version=$(sed -nE 's/^project\(stylo VERSION ([0-9.]+)[ )].*/\1/p' CMakeLists.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r contrib/vscode-extension/. "$work/"
cp LICENSE "$work/LICENSE"
cd "$work"
npm install --no-audit --no-fund --loglevel=error --omit=dev
mkdir -p "$root/dist"
npx --yes @vscode/vsce@2 package --allow-missing-repository -o "$root/dist/stylo-lsp-$version.vsix" \
  2>&1 | grep -v '^ *$' || true
[ -f "$root/dist/stylo-lsp-$version.vsix" ] || { echo "package-vscode: no .vsix was made" >&2; exit 1; }
echo "dist/stylo-lsp-$version.vsix"
