#!/bin/sh
# Runs the README's two recipes for large trees (xargs -P over pieces of the
# list, streaming; and split into pieces joined in order) on a git tree of
# many files with awkward names and many warnings each, and checks them
# against one run of the whole-tree recipe: the streaming one must give every
# line whole, the same lines, each file's in the same order; the split one
# exactly the same output. A failing stylo must fail both. Given
# stylo-report, also the CI matrix recipe: each shard's SARIF, together,
# holds every result of one run over the whole tree, each once.
# Usage: parallel_recipe_test.sh <source dir> <built stylo> [<built stylo-report>]
set -u
. "$(dirname "$0")/lib.sh"
src=$1
stylo_bin=$2
report_bin=${3:-}
readme=$src/docs/ci.md

for tool in git xargs split; do
  command -v $tool >/dev/null || skip "$tool is not installed"
done

whole_tree="git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' | stylo --file-list=-"
streaming="git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' |
  xargs -d '\\n' -n 500 -P 4 sh -c 'printf \"%s\\n\" \"\$@\" | stylo --file-list=-' _"
in_order="dir=\$(mktemp -d) &&
  git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' > \"\$dir/list\" &&
  split -n l/4 \"\$dir/list\" \"\$dir/piece.\" &&
  printf '%s\\n' \"\$dir\"/piece.* | xargs -d '\\n' -P 4 -I{} sh -c 'stylo --file-list=\"\$1\" > \"\$1.out\" 2>&1' _ {}
status=\$?; cat \"\$dir\"/piece.*.out; rm -r \"\$dir\"; [ \"\$status\" -eq 0 ]"
# One shard of four, as a CI matrix job runs it (the YAML line of docs/ci.md,
# its matrix value set by the test).
shard="    run: git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' | awk -v n=4 -v i=\${{ matrix.shard }} 'NR % n == i' | stylo-report --format=sarif --output=stylo.sarif --file-list=-"
# The recipes run here are those docs/ci.md shows, line for line.
printf '%s\n%s\n%s\n%s\n' "$whole_tree" "$streaming" "$in_order" "$shard" | while IFS= read -r line; do
  grep -qxF -- "$line" "$readme" || echo "$line"
done > "${TMPDIR:-/tmp}/stylo_parallel_missing.$$"
while IFS= read -r line; do fail "docs/ci.md does not show: $line"; done < "${TMPDIR:-/tmp}/stylo_parallel_missing.$$"
rm -f "${TMPDIR:-/tmp}/stylo_parallel_missing.$$"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tree"
# stylo as the recipes call it; with STYLO_TEST_FAIL set, every run fails
# after its work, as a stylo that hit a read error would.
cat > "$work/bin/stylo" <<SH
#!/bin/sh
"$stylo_bin" "\$@"
status=\$?
[ -z "\${STYLO_TEST_FAIL:-}" ] || exit 1
exit \$status
SH
chmod +x "$work/bin/stylo"
PATH=$work/bin:$PATH
export GIT_CONFIG_NOSYSTEM=1 HOME="$work" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

# 1,500 files of 28 warnings each: three pieces of 500 names for xargs -n 500
# and four for split, so that several processes write at the same time.
cd "$work/tree" || exit 1
git init -q -b main . || exit 1
text=$(printf 'if(a) x=-1;\nwhile(b) y=+2;\nz==!w;\nfor(;;) switch(c) {}\n%.0s' 1 2 3 4)
i=0
while [ $i -lt 1500 ]; do
  case $((i % 5)) in
    0) name="dir $((i % 7))/f ($i).c" ;;
    1) name="x($i): warning: y ($i).h" ;;
    2) name="quo'te $i.c" ;;
    3) name="(p)/b\\s-$i.c" ;;
    4) name="plain$i.c" ;;
  esac
  mkdir -p "$(dirname "$name")"
  printf '%s\n' "$text" > "$name"
  i=$((i + 1))
done
printf 'if (a)\n' > 'gone (1).c'
git add . && git commit -q -m tree || exit 1
rm 'gone (1).c' # still listed: stylo says it cannot open it

one=$(sh -c "$whole_tree" 2>&1)
[ "$(printf '%s\n' "$one" | wc -l)" -eq 42001 ] || fail "one run gave $(printf '%s\n' "$one" | wc -l) lines, wanted 42001"

# by_file: the lines sorted by file name only, stably, so each file's lines
# keep their order; the file is all before the last "(<line>): warning: ".
tab=$(printf '\t')
by_file() {
  printf '%s\n' "$1" | sed -E "s/^(.*)\(([0-9]+)\): warning: .*/\1$tab&/; t; s/^/message$tab/" |
    LC_ALL=C sort -s -t "$tab" -k1,1
}

out=$(sh -c "$streaming" 2>&1)
status=$?
[ "$status" = 0 ] || fail "streaming: status $status"
if [ "$(by_file "$out")" != "$(by_file "$one")" ]; then
  fail "streaming: not the lines of one run, each file's in order"
  by_file "$out" > "$work/got"
  by_file "$one" > "$work/want"
  diff "$work/want" "$work/got" | head -n 10
fi
[ "$out" != "$one" ] || echo "note: the streaming run came out in the order of one run this time"

out=$(sh -c "$in_order" 2>&1)
status=$?
[ "$status" = 0 ] || fail "split and joined: status $status"
[ "$out" = "$one" ] || fail "split and joined: not the output of one run"

for recipe in "$streaming" "$in_order"; do
  STYLO_TEST_FAIL=1 sh -c "$recipe" > /dev/null 2>&1 && fail "a failing stylo leaves this recipe's status 0: $recipe"
done

if [ -n "$report_bin" ] && command -v python3 >/dev/null; then
  ln -s "$report_bin" "$work/bin/stylo-report"
  command=$(printf '%s\n' "$shard" | sed 's/^    run: //')
  git ls-files -z -- '*.c' '*.h' | tr '\0' '\n' | stylo-report --format=sarif --output="$work/whole.sarif" --file-list=- 2>/dev/null
  rm -rf "$work/shards" && mkdir "$work/shards"
  for i in 0 1 2 3; do
    sh -c "$(printf '%s\n' "$command" | sed "s/\${{ matrix.shard }}/$i/")" 2>/dev/null
    [ -f stylo.sarif ] && mv stylo.sarif "$work/shards/$i.sarif" || fail "shard $i wrote no SARIF"
  done
  python3 - "$work" <<'PY' || fail "the shards' SARIF is not one run's"
import json, sys
work = sys.argv[1]
def results(path):
    with open(path, encoding="utf-8") as f:
        run = json.load(f)["runs"][0]
    return [(r["ruleId"], r["locations"][0]["physicalLocation"]["artifactLocation"]["uri"],
             r["locations"][0]["physicalLocation"]["region"]["startLine"],
             r["locations"][0]["physicalLocation"]["region"]["startColumn"]) for r in run["results"]]
shards = [results(f"{work}/shards/{i}.sarif") for i in range(4)]
whole = results(f"{work}/whole.sarif")
joined = sorted(r for shard in shards for r in shard)
assert all(shards), "a shard has no results"
assert joined == sorted(whole), f"{len(joined)} results in the shards, {len(whole)} in one run"
files = [{r[1] for r in shard} for shard in shards]
assert sum(len(f) for f in files) == len(set().union(*files)), "a file in two shards"
PY
fi

finish "large-tree recipes: all cases passed"
