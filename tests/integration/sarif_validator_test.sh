#!/bin/sh
# Runs Microsoft's SARIF validator, with GitHub code scanning's upload rules
# (--rule-kind "Gh;Sarif"), over stylo-report's SARIF for: findings on
# lines with text outside ASCII, names with every kind of hard byte, an
# absolute name and one with "..", files that cannot be opened, and no
# finding at all. Any error or warning fails.
# Usage: sarif_validator_test.sh <source dir> <built stylo-report>
# The validator is $STYLO_SARIF_MULTITOOL, or the one that node finds from
# the npm package @microsoft/sarif-multitool; without one, the test is
# skipped (77). .ci/report.sh installs it.
set -u
. "$(dirname "$0")/lib.sh"
src=$1
report=$2
multitool=${STYLO_SARIF_MULTITOOL:-$(node -p "require('@microsoft/sarif-multitool')" 2>/dev/null)}
if [ -z "$multitool" ] || [ ! -x "$multitool" ]; then
  skip "the SARIF validator (npm @microsoft/sarif-multitool) is not installed"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir -p names outside
for name in 'a b.c' 'q"u'\''o\te.c' 'p%20#&<>:,;=?@[].c' "$(printf 'caf\303\251 \360\237\230\200.c')" \
  "$(printf 'bad\377\303(.c')" "$(printf 'c\001\037\t\r.c')" "$(printf 'n\nl.c')" '-x.c'; do
  printf 'if(x)\n' > "names/$name"
done
printf '/* \303\251\360\237\230\200\377 */ while(x) y=-1;\n' > names/wide.c
printf 'x==!y;\n' > outside/o.c

# case <file> <stylo-report arguments>...
case_() {
  out=$1
  shift
  "$report" --format=sarif --output="$out" "$@" 2>/dev/null
  [ -s "$out" ] || fail "$out: no report written for: $*"
}
case_ names.sarif names
case_ examples.sarif "$src/examples"
case_ paths.sarif "$work/outside/o.c" ../"$(basename "$work")"/outside/o.c ./names/wide.c
case_ unopened.sarif names/wide.c missing.c '' "$(printf 'gone\377 %%.c')"
case_ empty.sarif names/a\ b.c --baseline=names.sarif

for file in *.sarif; do
  output=$("$multitool" validate --rule-kind "Gh;Sarif" "$work/$file" 2>&1)
  status=$?
  if [ $status -ne 0 ] || printf '%s\n' "$output" | grep -E ': (error|warning) ' > /dev/null; then
    fail "$file: status $status
$output"
  fi
done
finish "SARIF validator: $(ls *.sarif | wc -l) reports, no error and no warning"
