#!/bin/sh
# Vim with ALE and contrib/vim/ale_linters/c/stylo.vim, in Vim's own batch
# mode, a whole session: a C file with an `é' and an emoji before findings
# is opened and linted; a line with a finding is added; the quick fix for
# 'while' (after the é) is chosen with the cursor where ALE shows that
# finding, and the one for '=+' (after the emoji) with the cursor on its
# real text, where ALE asks for actions two columns off; then "Fix all stylo
# keyword findings" on the real text of the 'for(' after the emoji; each
# from what :ALECodeAction's menu offers and applied as ALE applies it; the
# file is written and closed, and ALE stops the server (it sends no
# shutdown: it ends the job).
#
# ALE takes the server's UTF-16 columns for bytes, so it shows findings a
# byte early after the é and two after the emoji (" while" for "while(");
# that is ALE's own reading, and the text wanted says so. The fixes must
# still give the right text.
# Usage: vim_ale_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v vim > /dev/null || { echo "SKIP: vim is not installed"; exit 77; }
# ALE where Debian's vim-ale puts it, or where STYLO_ALE_DIR says.
ale=${STYLO_ALE_DIR:-/usr/share/vim-ale}
[ -f "$ale/plugin/ale.vim" ] || { echo "SKIP: ALE is not installed (vim-ale)"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$server" "$work/bin/stylo-lsp"
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/vimrc" << VIM
set nocompatible encoding=utf-8
let &runtimepath = '$ale,$root/contrib/vim,' . &runtimepath
filetype plugin on
let g:ale_linters = {'c': ['stylo']}
let g:ale_linters_explicit = 1
" The test lints when it wants to, not on ALE's timers.
let g:ale_lint_on_enter = 0
let g:ale_lint_on_text_changed = 'never'
let g:ale_lint_on_insert_leave = 0
let g:ale_lint_on_save = 0
let g:ale_set_signs = 0
let g:ale_set_highlights = 0
let g:ale_echo_cursor = 0
let g:ale_virtualtext_cursor = 'disabled'
VIM
cat > "$work/check.vim" << 'VIM'
let s:out = []
function! s:Diagnostics() abort
  return get(get(g:ale_buffer_info, bufnr(''), {}), 'loclist', [])
endfunction
" Lints and waits (channel callbacks run during :sleep) until the buffer
" holds `count` diagnostics; says what they cover.
function! s:Show(what, count) abort
  ALELint
  let l:waited = 0
  while (len(s:Diagnostics()) != a:count || ale#engine#IsCheckingBuffer(bufnr(''))) && l:waited < 10000
    sleep 10m
    let l:waited += 10
  endwhile
  call add(s:out, a:what . ': ' . len(s:Diagnostics()))
  for l:d in s:Diagnostics()
    call add(s:out, printf('%d "%s"', l:d.lnum, strpart(getline(l:d.lnum), l:d.col - 1, l:d.end_col - l:d.col + 1)))
  endfor
endfunction
function! s:Menu(data, items) abort
  let s:offered = [a:data, a:items]
endfunction
" :ALECodeAction with the cursor at `where`: a text to find, or [line, n],
" the nth diagnostic on that line where ALE puts it (as :ALENext would go
" to it); the action titled is applied.
function! s:Choose(where, title) abort
  call cursor(1, 1)
  if type(a:where) == v:t_string
    call search('\V' . a:where, 'c')
  else
    let l:on_line = filter(copy(s:Diagnostics()), 'v:val.lnum == a:where[0]')
    call cursor(a:where[0], l:on_line[a:where[1]].col)
  endif
  let s:offered = v:null
  call ale#codefix#Execute(0, function('s:Menu'))
  let l:waited = 0
  while s:offered is v:null && l:waited < 10000
    sleep 10m
    let l:waited += 10
  endwhile
  if s:offered is v:null
    call add(s:out, 'no answer for ' . a:title)
    return
  endif
  let l:titles = map(copy(s:offered[1]), 'v:val[1].title')
  let l:at = index(l:titles, a:title)
  if l:at < 0
    call add(s:out, 'not offered: ' . a:title . ' (only ' . string(l:titles) . ')')
    return
  endif
  call ale#codefix#ApplyLSPCodeAction(s:offered[0], s:offered[1][l:at][1])
  call add(s:out, 'applied: ' . a:title)
endfunction
call s:Show('opened', 5)
call append(5, '  switch(x) {}')
call s:Show('edited', 6)
call s:Choose([4, 0], "Insert a space after 'while'")
call s:Choose('=+', "Change to '+='")
call s:Show('quick fixes', 4)
call s:Choose('for(', 'Fix all stylo keyword findings')
call s:Show('fixed all', 1)
for s:line in getline(1, '$')
  call add(s:out, '|' . s:line)
endfor
call writefile(s:out, $RESULT)
write
bdelete
ALEStopAllLSPs
qall
VIM
cd "$work" || exit 1
PATH="$work/bin:$PATH" RESULT="$work/result" timeout 60 vim -Nu "$work/vimrc" -i NONE -es \
  -c 'source check.vim' a.c < /dev/null > "$work/vim.log" 2>&1
expected="opened: 5
3 \"if(\"
4 \" while\"
4 \"x=\"
5 \"/ fo\"
5 \" x\"
edited: 6
3 \"if(\"
4 \" while\"
4 \"x=\"
5 \"/ fo\"
5 \" x\"
6 \"switch(\"
applied: Insert a space after 'while'
applied: Change to '+='
quick fixes: 4
3 \"if(\"
4 \"x=\"
5 \"/ fo\"
6 \"switch(\"
applied: Fix all stylo keyword findings
fixed all: 1
4 \"x=\"
|int f(int x)
|{
|  if (x) return 1;
|  /* \303\251 */ while (x) x=-1;
|  /* \360\237\230\200 */ for (;;) x+=1;
|  switch (x) {}
|  return 0;
|}"
fail=0
if [ "$(cat "$work/result" 2> /dev/null)" != "$(printf '%b' "$expected")" ]; then
  echo "FAIL: ALE saw:"
  cat "$work/result" 2> /dev/null
  fail=1
fi
if [ "$(cat "$work/a.c")" != "$(printf '%b' "$expected" | sed -n 's/^|//p')" ]; then
  echo "FAIL: the file written holds:"
  cat "$work/a.c"
  fail=1
fi
if [ $fail != 0 ]; then
  cat "$work/vim.log"
  exit 1
fi
echo "ALE: diagnostics, an edit, quick fixes, fix-all, close and the server stopped"
