#!/bin/sh
# Vim with ALE set up exactly as the README says: its ~/.vimrc lines, taken
# from the README (the checkout's path put in), in a fresh home, and Vim
# run in a terminal (tmux), as a user runs it. The file opened must get
# stylo's diagnostics and signs with no command; then fix-all is chosen
# from :ALECodeAction's actions, which ALE applies from a callback, and the
# diagnostics and signs must follow the fixed text with no key pressed and
# no cursor moved.
# Usage: vim_ale_readme_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
for tool in vim tmux; do
  command -v $tool > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
[ -d /usr/share/vim/vimfiles/pack/dist-bundle/opt/ale ] ||
  { echo "SKIP: ALE is not installed as Debian's optional package (vim-ale)"; exit 77; }
work=$(mktemp -d)
session=stylo-ale-$$
trap 'tmux -L "$session" kill-server 2> /dev/null; rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/home"
ln -s "$server" "$work/bin/stylo-lsp"

# The README's vimrc block, with the checkout's path for /path/to/stylo.
awk '/^ *```vim$/ { on = 1; next } on && /^ *```/ { exit } on' "$root/README.md" | sed 's/^ *//' |
  sed "s|/path/to/stylo|$root|" > "$work/home/.vimrc"
grep -qx 'packadd! ale' "$work/home/.vimrc" || { echo "FAIL: the README's vimrc lines: $(cat "$work/home/.vimrc")"; exit 1; }

printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  for(;;) x=+1;\n}\n' > "$work/a.c"
# The test's own hook, sourced after the vimrc: what ALE holds (diagnostics,
# signs), written each time ALE has set its results. Not from a timer: Vim
# looks for changes after any callback, a timer's too, which would hide
# what the user sees.
cat > "$work/probe.vim" << 'VIM'
function! Dump() abort
  let l:info = get(get(g:, 'ale_buffer_info', {}), bufnr(''), {})
  let l:signs = sign_getplaced(bufnr(''), {'group': '*'})[0].signs
  call writefile([printf('%d diagnostics, %d signs, tick %d', len(get(l:info, 'loclist', [])),
  \ len(filter(l:signs, 'v:val.name =~# "^ALE"')), b:changedtick)], $HOME . '/../state')
  call writefile([reltimestr(reltime()) . ' ' . readfile($HOME . '/../state')[0]], $HOME . '/../history', 'a')
endfunction
autocmd User ALELintPost call Dump()
VIM

# wait_for <file> <pattern>: up to 15 s for the file's line to match.
wait_for() {
  i=0
  while [ $i -lt 300 ]; do
    grep -q -- "$2" "$work/$1" 2> /dev/null && return 0
    sleep 0.05
    i=$((i + 1))
  done
  return 1
}

fail=0
tmux -L "$session" new-session -d -s "$session" -x 120 -y 30 \
  "cd '$work' && env -i HOME='$work/home' TERM=xterm PATH='$work/bin:$PATH' vim -i NONE -S probe.vim a.c" ||
  { echo "FAIL: tmux did not start Vim"; exit 1; }
if ! wait_for state '^5 diagnostics, 3 signs'; then
  echo "FAIL: on opening, ALE holds: $(cat "$work/state" 2> /dev/null)"
  fail=1
else
  # :ALECodeAction with the cursor on 'if(': ALE lists the actions and
  # reads the number typed, inside the callback that got them.
  tmux -L "$session" send-keys -t "$session" ':call cursor(3, 3)' Enter ':ALECodeAction' Enter
  i=0
  until tmux -L "$session" capture-pane -p -t "$session" | grep -q 'Type number'; do
    i=$((i + 1))
    [ $i -lt 300 ] || break
    sleep 0.05
  done
  number=$(tmux -L "$session" capture-pane -p -t "$session" | sed -n 's/^\([0-9]*\)) Fix all stylo keyword findings$/\1/p')
  if [ -z "$number" ]; then
    echo "FAIL: :ALECodeAction does not offer fix-all:"
    tmux -L "$session" capture-pane -p -t "$session"
    fail=1
  else
    tmux -L "$session" send-keys -t "$session" "$number" Enter
    if ! wait_for state '^2 diagnostics, 2 signs'; then
      echo "FAIL: after fix-all, with no key pressed, ALE still holds: $(cat "$work/state")"
      fail=1
    fi
  fi
fi
tmux -L "$session" send-keys -t "$session" Escape ':wq' Enter
i=0
while tmux -L "$session" has-session -t "$session" 2> /dev/null && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
expected=$(printf 'int f(int x)\n{\n  if (x) return 1;\n  /* \303\251 */ while (x) x=-1;\n  for (;;) x=+1;\n}')
if [ "$(cat "$work/a.c")" != "$expected" ]; then
  echo "FAIL: the file written holds:"
  cat "$work/a.c"
  fail=1
fi
[ $fail = 0 ] || cat "$work/history"; [ $fail = 0 ] || exit 1
echo "Vim with ALE, set up as the README says: diagnostics and signs, refreshed after fix-all with no key"
