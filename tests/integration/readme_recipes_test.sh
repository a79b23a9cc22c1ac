#!/bin/sh
# Runs README commands that no other test runs, taken from the README as
# it stands: the Fixing recipe for an old tree (review the diff, fix, make
# a baseline), in a git repository made here, which must leave the diff
# outside the work tree, so that `git add -A` does not commit it; and the
# install command for the tarball of a self-built release, whose name holds
# the commit, on an archive laid out as the release lays it out.
# Usage: readme_recipes_test.sh <source dir> <built stylo-report>
src=$1
report_bin=$2
readme=$src/README.md
for tool in git tar gzip; do
  command -v $tool > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

. "$(dirname "$0")/lib.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/home"
ln -s "$report_bin" "$work/bin/stylo-report"
# less as a pipe would run it: the text written out.
printf '#!/bin/sh\ncat "$@"\n' > "$work/bin/less"
chmod +x "$work/bin/less"
export GIT_CONFIG_NOSYSTEM=1 HOME="$work/home" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

# The Fixing recipe: the ```sh block that writes the --diff.
fixing=$(awk '/^```sh$/ { on = 1; block = ""; next } on && /^```$/ { on = 0; if (block ~ /--diff/) { printf "%s", block; exit } next }
  on { block = block $0 "\n" }' "$readme")
[ -n "$fixing" ] || fail "the README has no Fixing recipe with --diff"
git init -q -b main "$work/tree/repo" || exit 1
cd "$work/tree/repo" || exit 1
printf 'int f(int x)\n{\n  if(x) x=-1;\n  while(x) {}\n}\n' > 'a (1).c'
printf 'int g(void);\n' > b.h
git add -A && git commit -qm old || exit 1
out=$(PATH="$work/bin:$PATH" bash -c "$fixing" 2>&1)
status=$?
[ "$status" = 0 ] || fail "the Fixing recipe: status $status: $out"
[ -s "$work/tree/stylo.diff" ] || fail "the Fixing recipe wrote no diff beside the work tree"
grep -q '^+  if (x) x=-1;$' "$work/tree/stylo.diff" 2> /dev/null || fail "the diff does not fix a (1).c: $(cat "$work/tree/stylo.diff")"
[ "$(cat 'a (1).c')" = "$(printf 'int f(int x)\n{\n  if (x) x=-1;\n  while (x) {}\n}')" ] || fail "the recipe did not fix a (1).c: $(cat 'a (1).c')"
git add -A
[ "$(git diff --cached --name-only | sort)" = "$(printf '%s\n' 'a (1).c' stylo-baseline.json)" ] ||
  fail "git add -A after the recipe stages: $(git diff --cached --name-only)"
grep -q '"rule":"reversed-operator"' stylo-baseline.json || fail "the baseline does not hold the operator left: $(cat stylo-baseline.json)"
PATH="$work/bin:$PATH" stylo-report --baseline=stylo-baseline.json 'a (1).c' > /dev/null ||
  fail "the baseline does not hold what the fixed tree reports"

# The tarball of a self-built release: the README's command for any version.
install=$(sed -n 's/^ *\(mkdir -p ~\/\.local && tar -xzf stylo-\*-linux-x86_64\.tar\.gz .*\)$/\1/p' "$readme")
[ -n "$install" ] || fail "the README gives no install command for a self-built release's tarball"
name=stylo-1.0+git20990101.000000.abcdef0-linux-x86_64
mkdir -p "$work/dist/$name/bin" "$work/dist/$name/share/man/man1"
cp "$report_bin" "$work/dist/$name/bin/stylo-report"
cp "$src/man/stylo-report.1" "$work/dist/$name/share/man/man1/"
cp "$src/LICENSE" "$work/dist/$name/"
printf 'users README\n' > "$work/dist/$name/README.md"
(cd "$work/dist" && tar -czf "$name.tar.gz" "$name" && rm -r "$name") || exit 1
rm -rf "$work/home/.local"
(cd "$work/dist" && bash -c "$install") || fail "the install command failed: $install"
[ "$(cd "$work/home/.local" 2> /dev/null && find . -type f | sort)" = "$(printf '%s\n' ./bin/stylo-report ./share/man/man1/stylo-report.1)" ] ||
  fail "the install command put in ~/.local: $(cd "$work/home/.local" && find . -type f)"
"$work/home/.local/bin/stylo-report" --help > /dev/null || fail "the installed stylo-report does not run"

finish "README recipes: fixing an old tree (the diff outside the tree), a self-built release's tarball installed"
