#!/usr/bin/env bash
# stylo-report's checks beyond the test suite (whose end-to-end tests parse
# every JSON and XML format back, with python3 and xmllint):
# - Microsoft's SARIF validator (npm @microsoft/sarif-multitool) with
#   GitHub's upload rules, no error and no warning allowed;
# - streaming: 4 million findings in every format within 16 MiB peak RSS.
# Expects build/ from .ci/run (it builds it when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/lib.sh
ensure_packages cmake g++ libgtest-dev nlohmann-json3-dev python3 nodejs time
ensure_npm

if [ ! -x build/stylo-report ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
fi
report=$PWD/build/stylo-report

step "SARIF validator"
tools=${STYLO_CI_TOOLS:-$HOME/.cache/stylo-ci}/sarif-multitool
if [ ! -d "$tools/node_modules/@microsoft/sarif-multitool" ]; then
  mkdir -p "$tools"
  npm install --prefix "$tools" --no-audit --no-fund --loglevel=error @microsoft/sarif-multitool@5.7.0
fi
multitool=$(cd "$tools" && node -p "require('@microsoft/sarif-multitool')")
# npm may leave the package's own install step (chmod u+x) undone.
chmod u+x "$multitool"
STYLO_SARIF_MULTITOOL=$multitool sh tests/integration/sarif_validator_test.sh "$PWD" "$report"

step "4 million findings within 16 MiB"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# 2 million lines, each unlike the others, with two findings each.
python3 -c "
import sys
out = sys.stdout
for i in range(2000000):
    out.write('if(a%d) x=-%d;\n' % (i, i))
" > "$work/many.c"
for format in gcc sarif github gitlab checkstyle junit json; do
  status=0
  /usr/bin/time -f '%M' -o "$work/rss" "$report" --format=$format "$work/many.c" > "$work/out" || status=$?
  [ "$status" -eq 1 ] || fail "$format: exit status $status, wanted 1"
  rss=$(tail -n 1 "$work/rss")
  findings=$(case $format in
    sarif) grep -c '^{"ruleId"' "$work/out" ;;
    gitlab) grep -c '^{"type"' "$work/out" ;;
    checkstyle) grep -c '^<error ' "$work/out" ;;
    junit) grep -c 'warning: ' "$work/out" ;;
    github) grep -c '^::warning ' "$work/out" ;;
    *) wc -l < "$work/out" ;;
  esac)
  echo "$format: $findings findings, peak RSS $rss KiB"
  [ "$findings" -eq 4000000 ] || fail "$format: $findings findings, wanted 4000000"
  # Past what GitHub shows, one closing notice says how many there are.
  [ "$format" != github ] || [ "$(grep -c '^::notice' "$work/out")" -eq 1 ] || fail "github: not one closing notice"
  [ "$rss" -le 16384 ] || fail "$format: peak RSS $rss KiB, over 16 MiB"
done
echo "stylo-report checks passed"
