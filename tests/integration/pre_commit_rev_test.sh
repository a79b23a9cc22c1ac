#!/bin/sh
# The README's pre-commit example pins `rev:` to a commit, since stylo is
# published without tags. A user who copies it gets exactly that commit's
# hooks, so the id must be a commit of this repository's history (an
# ancestor of HEAD, not a placeholder or a commit of some local branch),
# and that commit must define every hook id the example names, with the
# scripts the hooks run. The check is first held to a table of revs it
# must reject, so that it cannot pass by checking nothing.
# Usage: pre_commit_rev_test.sh <source dir>
src=$1
command -v git > /dev/null || { echo "SKIP: git is not installed"; exit 77; }
git -C "$src" rev-parse --git-dir > /dev/null 2>&1 ||
  { echo "SKIP: $src is not a git work tree (an archive of the sources), so it has no history to hold the rev to"; exit 77; }

. "$(dirname "$0")/lib.sh"

readme=$src/README.md
revs=$(sed -n 's/^ *rev: *\([^ #]*\).*$/\1/p' "$readme")
[ "$(printf '%s\n' "$revs" | grep -c .)" = 1 ] || { echo "FAIL: the README has not one rev: line but: $revs"; exit 1; }
rev=$revs
ids=$(sed -n '/^repos:$/,/^```$/s/^ *- id: *\([^ #]*\).*$/\1/p' "$readme")
[ -n "$ids" ] || { echo "FAIL: the README's pre-commit example names no hook id"; exit 1; }

# verdict <rev>: nothing when the rev is one a user can pin, else why not.
verdict() {
  case $1 in
    *[!0-9a-f]* | '') echo "not a full commit id: '$1'"; return ;;
  esac
  [ ${#1} = 40 ] || { echo "not a full commit id (${#1} digits): $1"; return; }
  [ "$(git -C "$src" cat-file -t "$1" 2> /dev/null)" = commit ] || { echo "not a commit of this repository: $1"; return; }
  git -C "$src" merge-base --is-ancestor "$1" HEAD 2> /dev/null || { echo "not in the history of HEAD: $1"; return; }
  hooks=$(git -C "$src" show "$1:.pre-commit-hooks.yaml" 2> /dev/null) || { echo "$1 has no .pre-commit-hooks.yaml"; return; }
  for id in $ids; do
    printf '%s\n' "$hooks" | grep -qx -- "- id: $id" || { echo "$1 defines no hook '$id'"; return; }
  done
  for entry in $(printf '%s\n' "$hooks" | sed -n 's/^ *entry: *\([^ ]*\).*$/\1/p'); do
    git -C "$src" cat-file -e "$1:$entry" 2> /dev/null || { echo "$1 has no $entry, which a hook runs"; return; }
  done
}

# A shallow clone may not hold the commit at all: that says nothing of the
# README, so the test is skipped rather than failed.
if [ "$(git -C "$src" rev-parse --is-shallow-repository)" = true ] && ! git -C "$src" cat-file -e "$rev" 2> /dev/null; then
  echo "SKIP: this clone is shallow and does not hold $rev; fetch the history (git fetch --unshallow) to check it"
  exit 77
fi

# Revs the check must reject: the placeholder the README once had, a tree
# and not a commit, the first commit (before the hooks existed), an
# abbreviated id, and a commit that exists here but outside HEAD's history.
root_commit=$(git -C "$src" rev-list --max-parents=0 HEAD | tail -n 1)
tree=$(git -C "$src" rev-parse "HEAD^{tree}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
objects=$(cd "$src" && cd "$(git rev-parse --git-common-dir)" && pwd)/objects
outside=$(GIT_OBJECT_DIRECTORY="$work" GIT_ALTERNATE_OBJECT_DIRECTORIES="$objects" \
  GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t \
  git -C "$src" commit-tree -m "a commit no branch holds" "$tree")
while read -r bad why; do
  got=$(GIT_OBJECT_DIRECTORY="$work" GIT_ALTERNATE_OBJECT_DIRECTORIES="$objects" verdict "$bad")
  case $got in
    *"$why"*) ;;
    *) fail "the check takes $bad, which is $why, for: '${got:-a good rev}'" ;;
  esac
done << EOF
0123456789abcdef0123456789abcdef01234567 not a commit of this repository
$tree not a commit of this repository
$root_commit has no .pre-commit-hooks.yaml
$(printf '%.12s' "$rev") not a full commit id
$outside not in the history of HEAD
EOF

why=$(verdict "$rev")
[ -z "$why" ] || fail "the README's pre-commit rev: $why"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s); docs/release.md says how to move the rev forward"
  exit 1
fi
echo "the README's pre-commit rev $rev is a commit of the history, with the hooks $(echo $ids)"
