#!/bin/sh
# Runs the pre-commit hooks' entries (stylo, which checks, stylo-fix, and
# stylo-changes and stylo-fix-changes, which do the same for the staged lines
# only) as
# the pre-commit framework does: from the top of the checked repository, with
# the hook repository's entry script followed by the names of the files to
# check as arguments; then the README's example through pre-commit itself
# (without pre-commit, the test reports itself skipped, with the reason).
# Usage: pre_commit_test.sh <source dir> <built stylo-report>
set -u
. "$(dirname "$0")/lib.sh"
src=$1
stylo_bin=$2
hooks=$src/.pre-commit-hooks.yaml

# Each hook: its id, its entry script and its language, in order.
hooks_listed=$(awk '/^- id:/ { id = $3 } /^ *entry:/ { entry = $2 } /^ *language:/ { print id, entry, $2 }' "$hooks")
[ "$(printf '%s\n' "$hooks_listed" | cut -d' ' -f1 | tr '\n' ' ')" = "stylo stylo-fix stylo-changes stylo-fix-changes " ] ||
  { echo "FAIL: the hooks are '$hooks_listed', not stylo, stylo-fix, stylo-changes and stylo-fix-changes"; exit 1; }
while read -r id entry language; do
  [ "$language" = script ] || fail "$id: the hook's language is '$language', not script"
  [ -x "$src/$entry" ] || fail "$id: $src/$entry is not an executable script"
  case $id in stylo) entry_check=$entry ;; stylo-fix) entry_fix=$entry ;; esac
  case $id in *changes) grep -A1 "^- id: $id\$" "$hooks" >/dev/null &&
    [ "$(sed -n "/^- id: $id\$/,/^ *entry:/s/^ *entry: //p" "$hooks")" = "$entry --changed-since=HEAD" ] ||
    fail "$id: its entry is not $entry --changed-since=HEAD" ;; esac
done <<EOF_HOOKS
$hooks_listed
EOF_HOOKS
[ "$(grep -c '^ *types: \[c\]$' "$hooks")" = 4 ] || fail "the hooks are not limited to C files"
entry=$entry_check
[ "$failures" -eq 0 ] || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/repo/my dir"
ln -s "$stylo_bin" "$work/bin/stylo-report"
PATH=$work/bin:$PATH
cd "$work/repo" || exit 1

nl='
'
printf 'if (a) x -= 1;\n' > 'clean.c'
printf 'while (b) {}\n' > 'my dir/clean (1).h'
printf 'int f(void) {\n  if(a) x=-1;\n}\n' > 'my dir/a (2).c'
printf 'y=+1;\n' > "odd${nl}name.c"
printf 'z=!1;\n' > ./--file-list=x.c

kw_if=":2:3: warning: (style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  [QVS] [keyword-space]"
op_minus=":2:10: warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS] [reversed-operator]"
op_plus=":1:2: warning: '=+' devrait probablement etre '+='; sinon, ajoutez un espace entre.  [QVS] [reversed-operator]"
op_not=":1:2: warning: '=!' devrait probablement etre '!='; sinon, ajoutez un espace entre.  [QVS] [reversed-operator]"

# check <what> <expected status> <expected output> <file>...
check() {
  what=$1 want_status=$2 want_out=$3
  shift 3
  out=$("$src/$entry" "$@" 2>&1)
  status=$?
  [ "$status" = "$want_status" ] || fail "$what: status $status, wanted $want_status"
  [ "$out" = "$want_out" ] || fail "$what: output
$out
wanted
$want_out"
}

check "clean files, names with blanks and parentheses" 0 "" clean.c 'my dir/clean (1).h'
check "no file at all" 0 ""
check "warnings fail the hook and are shown" 1 \
  "my dir/a (2).c$kw_if${nl}my dir/a (2).c$op_minus" clean.c 'my dir/a (2).c' 'my dir/clean (1).h'
check "a name that looks like the list option" 1 "--file-list=x.c$op_not" '--file-list=x.c'
check "a name holding a line feed" 1 "odd${nl}name.c$op_plus" clean.c "odd${nl}name.c"
check "a file that cannot be opened fails the hook" 2 "Unable to open file 'gone.c'" clean.c gone.c

# The hook's args: options before the names, a value apart or attached;
# a name that begins with '-' after them is still a name.
printf '{"fingerprint":"0000000000000000"}\n' > base.json
check "args: an option with its value apart, then a name like an option" 1 "--file-list=x.c$op_not" \
  --baseline base.json -j 2 --file-list=x.c
check "args: a format, then names" 1 "::warning file=odd%0Aname.c,line=1,col=2,endColumn=4,title=reversed-operator::'=+' devrait probablement etre '+='; sinon, ajoutez un espace entre.  [QVS]" \
  --format=github clean.c "odd${nl}name.c"
check "args only, no file staged" 0 "" --format=github
check "the staged lines before the first commit: every line is new" 1 \
  "my dir/a (2).c$kw_if${nl}my dir/a (2).c$op_minus" --changed-since=HEAD 'my dir/a (2).c'
check "an option that is wrong is stylo-report's usage error" 2 \
  "stylo-report: unknown format 'nope' (gcc, sarif, github, gitlab, checkstyle, junit or json) (see stylo-report --help)" \
  --format=nope clean.c

# The fixing hook: the keyword's blank put in, the operators reported.
cp 'my dir/a (2).c' 'my dir/b (3).c'
entry=$entry_fix
check "the fix hook, a file fixed and an operator left" 1 \
  "my dir/b (3).c:2:11: warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS] [reversed-operator]${nl}stylo-report: fixed 1 finding in 1 file, 1 finding left" \
  clean.c 'my dir/b (3).c'
[ "$(cat 'my dir/b (3).c')" = "int f(void) {${nl}  if (a) x=-1;${nl}}" ] || fail "the fix hook did not fix 'my dir/b (3).c'"
check "the fix hook, nothing to fix" 0 "stylo-report: fixed 0 findings in 0 files, 0 findings left" clean.c
check "the fix hook, no file at all" 0 ""

# The README's example, run by the pre-commit framework itself where it is
# installed: the hooks taken from a repository that has no tag, pinned by
# the commit `pre-commit autoupdate --freeze` finds.
if command -v pre-commit >/dev/null && command -v git >/dev/null; then
  export GIT_CONFIG_NOSYSTEM=1 HOME="$work" PRE_COMMIT_HOME="$work/cache" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t \
    GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t
  mkdir -p "$work/hooks/scripts" "$work/user"
  cp "$hooks" "$work/hooks/" && cp "$src/$entry_check" "$src/$entry_fix" "$work/hooks/scripts/"
  (cd "$work/hooks" && git init -q && git add -A && git commit -qm hooks) || fail "the hook repository"
  readme_rev=$(sed -n 's/^    rev: \([0-9a-f]*\) .*/\1/p' "$src/README.md")
  [ ${#readme_rev} = 40 ] || fail "the README's example pins no full commit id: '$readme_rev'"
  cd "$work/user" || exit 1
  git init -q
  sed -n '/^repos:$/,/^```$/p' "$src/README.md" | sed '$d' |
    sed "s|https://example.org/stylo.git|file://$work/hooks|" > .pre-commit-config.yaml
  printf 'int f(void) {\n  if(a) x=-1;\n  while(b) {}\n}\n' > a.c
  git add -A
  pre-commit autoupdate --freeze > autoupdate.log 2>&1 || fail "pre-commit autoupdate --freeze: $(cat autoupdate.log)"
  frozen=$(git -C "$work/hooks" rev-parse HEAD)
  grep -q "rev: $frozen" .pre-commit-config.yaml || fail "autoupdate --freeze did not pin $frozen: $(cat .pre-commit-config.yaml)"
  git add -A
  pre-commit run --all-files > run.log 2>&1
  [ $? = 1 ] || fail "pre-commit run: not failed: $(cat run.log)"
  [ "$(cat a.c)" = "int f(void) {${nl}  if (a) x=-1;${nl}  while (b) {}${nl}}" ] || fail "stylo-fix did not fix a.c: $(cat a.c)"
  grep -q "a.c:2:11: warning: '=-'" run.log || fail "the operator left is not shown: $(cat run.log)"
  grep -q "files were modified by this hook" run.log || fail "pre-commit did not see the fixes: $(cat run.log)"

  # The hooks for the staged change only, with args, on a file with an old
  # finding (line 2), a staged new line (3) and an unstaged one (12): only
  # line 3 is checked and fixed; the rest stays as it was.
  mkdir "$work/changes" && cd "$work/changes" || exit 1
  git init -q
  cat > .pre-commit-config.yaml <<EOF_CONFIG
repos:
  - repo: file://$work/hooks
    rev: $frozen
    hooks:
      - id: stylo-changes
        args: [--format=gcc, -j, "1"]
      - id: stylo-fix-changes
        args: [--jobs=1]
EOF_CONFIG
  old='int f(void) {\n  if(a) x=-1;\n'
  tail='  a = 4;\n  a = 5;\n  a = 6;\n  a = 7;\n  a = 8;\n  a = 9;\n  a = 10;\n}\n'
  printf "$old$tail" > old.c
  git add -A && git commit -qm old || fail "the commit of old.c"
  printf "$old  while(b) y=-2;\n$tail" > old.c
  git add old.c
  printf "$old  while(b) y=-2;\n$tail  for(;;) z=+3;\n" > old.c
  pre-commit run stylo-changes > changes.log 2>&1
  [ $? = 1 ] || fail "stylo-changes: not failed: $(cat changes.log)"
  grep -q "^old.c:3:3: warning: (style) Devrait mettre un espace entre 'while'" changes.log &&
    grep -q "^old.c:3:13: warning: '=-'" changes.log ||
    fail "stylo-changes: the staged line's findings not shown: $(cat changes.log)"
  [ "$(grep -c '^old.c:' changes.log)" = 2 ] || fail "stylo-changes: findings not on the staged line: $(cat changes.log)"
  pre-commit run stylo-fix-changes > fix-changes.log 2>&1
  [ $? = 1 ] || fail "stylo-fix-changes: not failed: $(cat fix-changes.log)"
  [ "$(cat old.c)" = "$(printf "$old  while (b) y=-2;\n$tail  for(;;) z=+3;")" ] ||
    fail "stylo-fix-changes: old.c is not the staged line fixed, all else kept: $(cat old.c)"
  grep -q "^old.c:3:14: warning: '=-'" fix-changes.log && [ "$(grep -c '^old.c:' fix-changes.log)" = 1 ] ||
    fail "stylo-fix-changes: not the staged line's operator alone: $(cat fix-changes.log)"
  cd "$work/repo" || exit 1
fi

# Without pre-commit the README's example did not run: the test is then
# skipped, not passed, once the entries have passed.
[ "$failures" -ne 0 ] || { command -v pre-commit > /dev/null && command -v git > /dev/null; } ||
  skip "pre-commit (or git) is not installed: the hooks' entries passed, the README's example was not run through pre-commit"
finish "pre-commit hook entry: all cases passed"
