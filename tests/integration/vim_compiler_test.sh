#!/bin/sh
# Runs the Vim compiler plugin as a user does, in a headless Vim: for each
# file, :edit it, :compiler stylo, :make, and check the quickfix list (file,
# line, type, message) read from the built stylo's real output. The names hold
# blanks, parentheses, a quote, text that looks like a warning, and the list
# option; a file that is not on disk gives stylo's message, which must not
# become an entry with a file and line.
# Usage: vim_compiler_test.sh <source dir> <built stylo>
set -u
src=$1
stylo_bin=$2

command -v vim >/dev/null || { echo "SKIP: vim is not installed, so the Vim compiler plugin is not tested"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tree/my dir" "$work/tree/sp ace/(1)"
ln -s "$stylo_bin" "$work/bin/stylo"
cd "$work/tree" || exit 1

kw() { printf "%s|%s|w|(style) Devrait mettre un espace entre '%s' et la parenthese. [guide 80]  [QVS]" "$1" "$2" "$3"; }
op() { printf "%s|%s|w|'%s' devrait probablement etre '%s'; sinon, ajoutez un espace entre.  [QVS]" "$1" "$2" "$3" "$4"; }

# One file per case: its name, its text, and the quickfix entries wanted.
printf 'int x;\nif(a) x=-1;\n' > 'my dir/a (2).c'
printf '\n\n\nwhile(b) {}\n' > "it's (1).c"
printf 'a==!b;\n' > 'x(3): warning: y (4).c'
printf 'for(;;) {}\nswitch(c) {}\n' > 'sp ace/(1)/f(9).h'
printf 'z=!1;\n' > ./--file-list=x.c
printf 'if (a) x -= 1;\n' > clean.c
# gone.c is not on disk: stylo says "Unable to open file", which is no entry.
names="my dir/a (2).c
it's (1).c
x(3): warning: y (4).c
sp ace/(1)/f(9).h
--file-list=x.c
clean.c
gone.c"
want="$(kw 'my dir/a (2).c' 2 if)
$(op 'my dir/a (2).c' 2 =- -=)
$(kw "it's (1).c" 4 while)
$(op 'x(3): warning: y (4).c' 1 ==! !=)
$(kw 'sp ace/(1)/f(9).h' 1 for)
$(kw 'sp ace/(1)/f(9).h' 2 switch)
$(op '--file-list=x.c' 1 =! !=)
message: Unable to open file '.../gone.c'"

printf '%s\n' "$names" > "$work/names"
cat > "$work/run.vim" <<VIM
let &runtimepath = '$src/contrib/vim,' . &runtimepath
let \$PATH = '$work/bin:' . \$PATH
let s:out = []
for s:name in readfile('$work/names')
  execute 'edit' fnameescape(s:name =~ '^-' ? './' . s:name : s:name)
  compiler stylo
  silent make!
  for s:e in getqflist()
    " entries with a file and line, as the list shows them; others as text
    if s:e.valid
      call add(s:out, printf('%s|%d|%s|%s', fnamemodify(bufname(s:e.bufnr), ':.'), s:e.lnum, s:e.type, s:e.text))
    elseif s:e.text =~# "^Unable to open file '/.*/gone\\\\.c'\$"
      call add(s:out, "message: Unable to open file '.../gone.c'")
    else
      call add(s:out, 'unexpected text: ' . s:e.text)
    endif
  endfor
endfor
call writefile(s:out, '$work/got')
qall!
VIM
vim -Nu NONE -i NONE -es -S "$work/run.vim" < /dev/null > "$work/vim.out" 2>&1
got=$(cat "$work/got" 2>/dev/null) || { echo "FAIL: Vim wrote no quickfix list"; cat "$work/vim.out"; exit 1; }
if [ "$got" != "$want" ]; then
  printf 'FAIL: quickfix list\n%s\nwanted\n%s\n' "$got" "$want"
  exit 1
fi
echo "vim compiler plugin: $(printf '%s\n' "$want" | wc -l) quickfix entries as wanted"
