#!/bin/sh
# Runs the README's CI recipes for a change, each taken from the README as
# it stands, in a clone whose topic branch adds findings to a tree that had
# some already: GitHub's step (base_ref main), GitLab's script line (the
# merge request's diff base), Jenkins' sh line and the --changed-lines pipe
# of git diff. Each must report the three findings the branch adds, none of
# the two the tree had, and exit as its CI system needs (1, or 0 for
# Jenkins, which lets findings through to its report).
# Usage: readme_changed_recipes_test.sh <source dir> <built stylo-report>
src=$1
report_bin=$2
readme=$src/README.md
command -v git > /dev/null || { echo "SKIP: git is not installed"; exit 77; }
"$report_bin" --help 2>&1 | grep -q -- '--changed-since' ||
  { echo "SKIP: this stylo-report has no --changed-since, which the README's CI recipes use"; exit 77; }

. "$(dirname "$0")/lib.sh"

github=$(sed -n 's/^  run: \(stylo-report --format=github --changed-since=.*\)$/\1/p' "$readme")
gitlab=$(sed -n 's/^    - \(stylo-report --format=gitlab .*--changed-since=.*\)$/\1/p' "$readme")
jenkins=$(sed -n "s/^sh '\\(stylo-report --format=checkstyle .*--changed-since=.*\\)'\$/\\1/p" "$readme")
patch_pipe=$(grep -x 'git diff origin/main\.\.\. | stylo-report --changed-lines=-' "$readme")
for recipe in github gitlab jenkins patch_pipe; do
  eval "[ -n \"\$$recipe\" ]" || fail "the README has no $recipe recipe with --changed-since or --changed-lines"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin"
ln -s "$report_bin" "$work/bin/stylo-report"
export PATH="$work/bin:$PATH" GIT_CONFIG_NOSYSTEM=1 HOME="$work" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t \
  GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

# main: two old findings. topic: a line with two new ones in a.c, and a
# new file with one; main then moves on with a finding of its own.
git init -q -b main "$work/upstream" || exit 1
cd "$work/upstream" || exit 1
printf 'int f(int x)\n{\n  if(x) return 1;\n  x=+1;\n  return x;\n}\n' > a.c
git add -A && git commit -qm base || exit 1
git checkout -q -b topic
printf 'int f(int x)\n{\n  if(x) return 1;\n  x=+1;\n  while(x) x=-1;\n  return x;\n}\n' > a.c
printf 'void g(void) { for(;;) {} }\n' > 'b file.c'
git add -A && git commit -qm topic || exit 1
git checkout -q main
printf 'switch(y) {}\n' > c.c
git add -A && git commit -qm later || exit 1
git clone -q -b topic "$work/upstream" "$work/clone" || exit 1
cd "$work/clone" || exit 1
base=$(git merge-base origin/main HEAD)

# run <what> <wanted status> <command>: its standard output in $work/out.
run() {
  bash -c "$3" > "$work/out" 2> "$work/err"
  status=$?
  [ "$status" = "$2" ] || fail "$1: status $status, wanted $2: $(cat "$work/err")"
}

run github 1 "$(printf '%s\n' "$github" | sed 's/\${{ github.base_ref }}/main/')"
[ "$(grep -c '^::warning ' "$work/out")" = 3 ] &&
  grep -q '^::warning file=a.c,line=5,col=3,.*title=keyword-space' "$work/out" &&
  grep -q '^::warning file=a.c,line=5,col=13,.*title=reversed-operator' "$work/out" &&
  grep -q '^::warning file=b file.c,line=1,col=16,.*title=keyword-space' "$work/out" ||
  fail "github: $(cat "$work/out")"

rm -f gl-code-quality.json
run gitlab 1 "CI_MERGE_REQUEST_DIFF_BASE_SHA=$base; $gitlab"
[ "$(grep -o '"check_name"' gl-code-quality.json 2> /dev/null | wc -l)" = 3 ] ||
  fail "gitlab: the report holds: $(cat gl-code-quality.json 2> /dev/null)"

rm -f stylo-checkstyle.xml
run jenkins 0 "$jenkins"
[ "$(grep -c '<error line=' stylo-checkstyle.xml 2> /dev/null)" = 3 ] && ! grep -q '<error line="3"' stylo-checkstyle.xml ||
  fail "jenkins: the report holds: $(cat stylo-checkstyle.xml 2> /dev/null)"

run "git diff | --changed-lines" 1 "set -o pipefail; $patch_pipe"
[ "$(cut -d: -f1-3 "$work/out")" = "$(printf 'a.c:5:3\na.c:5:13\nb file.c:1:16')" ] ||
  fail "git diff | --changed-lines: $(cat "$work/out")"

finish "README recipes for a change: GitHub, GitLab, Jenkins and a patch report only what the branch adds"
