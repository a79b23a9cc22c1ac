#!/bin/sh
# Runs the recipes of docs/ci.md for git trees with stylo-report (whole tree,
# files changed against a branch, the Makefile target, a baseline made from
# the target branch) in a repository made here, with names that hold
# blanks, parentheses, a tab, a double quote, a backslash and UTF-8, and
# checks what each one reports and its exit status; and that a recipe fails
# when git does (no such branch), not only when stylo-report does.
# Usage: git_recipes_test.sh <source dir> <built stylo-report>
set -u
. "$(dirname "$0")/lib.sh"
src=$1
report_bin=$2
readme=$src/docs/ci.md

for tool in git make; do
  command -v $tool >/dev/null || skip "$tool is not installed"
done

pipefail="set -o pipefail"
whole_tree="git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' | stylo-report --file-list=-"
changed="git diff -z --name-only --diff-filter=ACMR origin/main... -- '*.c' '*.h' | tr '\\0' '\\n' | stylo-report --file-list=-"
base1="git worktree add --quiet --detach ../stylo-base origin/main"
base2="(cd ../stylo-base && git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' |"
base3="  stylo-report --file-list=- --format=json --output=\"\$PWD/../stylo-base.json\") || [ \$? -eq 1 ]"
base4="git ls-files -z -- '*.c' '*.h' | tr '\\0' '\\n' | stylo-report --file-list=- --baseline=../stylo-base.json"
# The recipes run here are those docs/ci.md shows, line for line.
for line in "$pipefail" "$whole_tree" "$changed" "$base1" "$base2" "$base3" "$base4"; do
  grep -qxF -- "$line" "$readme" || fail "docs/ci.md does not show: $line"
done
# The README shows the whole-tree recipe too, as docs/ci.md does.
grep -qxF -- "$whole_tree" "$src/README.md" || fail "README.md does not show: $whole_tree"
makefile=$(awk '/^```make$/ { on = 1; next } /^```/ { on = 0 } on' "$readme")
[ -n "$makefile" ] || fail "docs/ci.md has no Makefile target"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
ln -s "$report_bin" "$work/bin/stylo-report"
PATH=$work/bin:$PATH
export GIT_CONFIG_NOSYSTEM=1 HOME="$work" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

tab=$(printf '\t')
# kw <file> <line> <column> <keyword>; op <file> <line> <column> <found> <suggested>
kw() { printf "%s:%s:%s: warning: (style) Devrait mettre un espace entre '%s' et la parenthese. [guide 80]  [QVS] [keyword-space]" "$1" "$2" "$3" "$4"; }
op() { printf "%s:%s:%s: warning: '%s' devrait probablement etre '%s'; sinon, ajoutez un espace entre.  [QVS] [reversed-operator]" "$1" "$2" "$3" "$4" "$5"; }

# run <what> <dir> <expected status> <expected output> <command>
run() {
  what=$1 dir=$2 want_status=$3 want_out=$4
  out=$(cd "$dir" && bash -c "$5" 2>&1)
  status=$?
  [ "$status" = "$want_status" ] || fail "$what: status $status, wanted $want_status"
  [ "$out" = "$want_out" ] || fail "$what: output
$out
wanted
$want_out"
}

# The upstream repository, and a clone of it whose origin/main is the base.
git init -q -b main "$work/upstream" || exit 1
cd "$work/upstream" || exit 1
mkdir -p 'my dir' sub
printf 'if (a) x -= 1;\n' > clean.c
printf 'int f(void);\nwhile(b) {}\n' > 'my dir/b (2).c'
printf 'x=+1;\n' > "sub/t${tab}ab.h"
printf 'y=!z;\n' > 'sub/quo"te.c'
printf 'if(q)\n' > 'sub/back\slash.c'
printf 'for(;;)\n' > 'sub/é.c'
printf 'if(a)\n' > notes.txt
printf 'if (a)\n' > gone.c
printf 'if (a)\n' > old.c
git add . && git commit -q -m base || exit 1
git clone -q "$work/upstream" "$work/clone" || exit 1
cd "$work/clone" || exit 1
printf 'switch(c) {}\n' > untracked.c

base_warnings=$(kw 'my dir/b (2).c' 2 1 while)
base_warnings=$base_warnings'
'$(kw 'sub/back\slash.c' 1 1 if)'
'$(op 'sub/quo"te.c' 1 2 =! !=)'
'$(op "sub/t${tab}ab.h" 1 2 =+ +=)'
'$(kw 'sub/é.c' 1 1 for)
run "whole tree" "$work/clone" 1 "$base_warnings" "$pipefail
$whole_tree"
printf '%s\n' "$makefile" > "$work/clone/Makefile"
run "Makefile target, with findings" "$work/clone" 2 "$base_warnings" "make -s style 2>/dev/null"

# A branch that adds, changes, renames and deletes files.
git checkout -q -b topic
printf 'a=-1;\n' > 'new file (1).c'
printf 'int f(void);\nwhile (b) {}\nx=+1;\n' > 'my dir/b (2).c'
git mv old.c 'renamed (3).c'
printf 'if(r)\n' > 'renamed (3).c'
git rm -q gone.c
git add . ':!untracked.c' ':!Makefile' && git commit -q -m topic || exit 1
new_warnings="$(op 'my dir/b (2).c' 3 2 =+ +=)
$(op 'new file (1).c' 1 2 =- -=)
$(kw 'renamed (3).c' 1 1 if)"
run "changed against a branch" "$work/clone" 1 "$new_warnings" "$pipefail
$changed"
# The findings of the branch against a baseline of the target branch: those
# the branch brings, not those the target has (back\slash, quo"te, ...).
run "baseline from the target branch" "$work/clone" 1 "$new_warnings" "$pipefail
$base1
$base2
$base3
$base4"
# Without the target branch, git fails and so does the recipe.
git clone -q --depth 1 "file://$work/upstream" "$work/shallow" 2>/dev/null || exit 1
git -C "$work/shallow" update-ref -d refs/remotes/origin/main
run "changed against a branch that is not there" "$work/shallow" 128 \
  "fatal: bad revision 'origin/main...'" "$pipefail
$changed"

# A tree without findings passes both the recipe and the Makefile target.
git init -q -b main "$work/clean" || exit 1
cd "$work/clean" || exit 1
printf 'if (a) x -= 1;\n' > 'ok (1).c'
printf 'if(a)\n' > other.txt
git add . && git commit -q -m clean || exit 1
printf '%s\n' "$makefile" > Makefile
run "whole tree, clean" "$work/clean" 0 "" "$pipefail
$whole_tree"
run "Makefile target, clean tree" "$work/clean" 0 "" "make -s style"

finish "git recipes: all cases passed"
