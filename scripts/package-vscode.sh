#!/usr/bin/env bash
# Packages contrib/vscode-extension as dist/stylo-lsp-<version>.vsix, the
# version being that of the release's other artifacts (see
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
cd "$(dirname "$0")/.."
root=$PWD
umask 022
export LC_ALL=C TZ=UTC
. "$root/.ci/lib.sh"
fail_prefix=package-vscode
for tool in node npm cmake zip unzip; do
  command -v "$tool" > /dev/null || fail "$tool is missing"
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
node_modules/.bin/vsce package --allow-missing-repository -o "$work/vsce.vsix" > "$work/vsce.log" 2>&1 ||
  fail "vsce package failed: $(cat "$work/vsce.log")"

# zip stores local times: TZ is UTC above. -X leaves out the owner and the
# extra time fields, -D the directory entries.
mkdir "$work/stage"
unzip -q "$work/vsce.vsix" -d "$work/stage"
cd "$work/stage"
find . -type d -exec chmod 0755 {} +
find . -type f -exec chmod 0644 {} +
find . -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
mkdir -p "$root/dist"
vsix=$root/dist/stylo-lsp-$version.vsix
rm -f "$vsix"
find . -type f | sed 's|^\./||' | sort | zip -q -X -D -9 "$vsix" -@
unzip -tq "$vsix" > /dev/null || fail "$vsix does not test as a zip"
echo "dist/stylo-lsp-$version.vsix"
