#!/bin/sh
# Neovim's built-in client with contrib/neovim/stylo-lsp.lua, headless, a
# whole session: a C file with an `é' and an emoji before findings is opened
# and its diagnostics must be warnings from stylo covering exactly their
# text; a line with a finding is added; the quick fixes for 'while' (after
# the é) and '=+' (after the emoji) and then fix-all (source.fixAll.stylo)
# are asked for at the cursor, as :lua vim.lsp.buf.code_action() asks (naming
# every diagnostic of the line), and must come first, the operator's with
# nothing preferred; they are applied; the file is written and closed,
# and :qa shuts the server down, which must end by itself with status 0
# while Neovim waits for it. On a line with four emoji before two 'if(',
# the first action offered at the first must fix it. Then, without
# stylo-lsp on PATH, two C files
# opened must give one line that says so and where it looked, and no error.
# Usage: neovim_lsp_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v nvim > /dev/null || { echo "SKIP: nvim is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# The server's own exit status, written only if it ends while the client
# still waits for it (a client that gives up kills this script first).
cat > "$work/bin/stylo-lsp" << EOF
#!/bin/sh
"$server" "\$@" 2>> "$work/server.log"
# Written aside and renamed: a wrapper killed while writing leaves no
# status, rather than an empty one.
echo \$? > "$work/status.new" && mv "$work/status.new" "$work/status"
EOF
chmod +x "$work/bin/stylo-lsp"
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/check.lua" << 'LUA'
local out = {}
local function say(s) table.insert(out, s) end
local function finish()
  vim.fn.writefile(out, vim.env.RESULT)
  vim.cmd('qa!')
end
-- Waits until the buffer holds `count` diagnostics; says what it holds.
local function diagnostics(what, count)
  vim.wait(10000, function() return #vim.diagnostic.get(0) == count end, 10)
  local ds = vim.diagnostic.get(0)
  table.sort(ds, function(a, b) return a.lnum < b.lnum or (a.lnum == b.lnum and a.col < b.col) end)
  say(what .. ': ' .. #ds)
  for _, d in ipairs(ds) do
    local line = vim.api.nvim_buf_get_lines(0, d.lnum, d.lnum + 1, false)[1] or ''
    -- A warning from stylo says nothing more; anything else says what it is.
    local other = (d.severity == vim.diagnostic.severity.WARN and d.source == 'stylo') and ''
      or string.format(' (severity %s, source %s)', d.severity, d.source)
    say(string.format('%d %q%s', d.lnum + 1, line:sub(d.col + 1, d.end_col), other))
  end
end
local client
if not vim.wait(10000, function()
  client = vim.lsp.get_active_clients()[1]
  return client ~= nil and client.initialized and #vim.diagnostic.get(0) > 0
end, 10) then
  say('no client or no diagnostics')
  return finish()
end
-- The actions offered with the cursor at the first character of `text`,
-- as :lua vim.lsp.buf.code_action() asks for them; applies the one titled.
local function apply(text, title, only)
  vim.fn.cursor(1, 1)
  vim.fn.search(text, 'c')
  local params = vim.lsp.util.make_range_params()
  params.context = { diagnostics = vim.lsp.diagnostic.get_line_diagnostics(), only = only }
  local answers = vim.lsp.buf_request_sync(0, 'textDocument/codeAction', params, 5000) or {}
  -- The line's diagnostics are all named: the menu must still start with
  -- the finding under the cursor, and prefer nothing else.
  for _, answer in pairs(answers) do
    local first, preferred = (answer.result or {})[1], {}
    for _, action in ipairs(answer.result or {}) do
      if action.isPreferred then table.insert(preferred, action.title) end
    end
    say(string.format('first: %s; preferred: %s', first and first.title or 'none', table.concat(preferred, ', ')))
  end
  for _, answer in pairs(answers) do
    for _, action in ipairs(answer.result or {}) do
      if action.title == title then
        vim.lsp.util.apply_workspace_edit(action.edit, client.offset_encoding)
        return say('applied: ' .. title)
      end
    end
  end
  say('not offered: ' .. title)
end
diagnostics('opened', 5)
vim.api.nvim_buf_set_lines(0, 5, 5, false, { '  switch(x) {}' })
diagnostics('edited', 6)
apply('while(', "Insert a space after 'while'")
apply('=+', "Change to '+='")
diagnostics('quick fixes', 4)
apply('if(', 'Fix all stylo keyword findings', { 'source.fixAll.stylo' })
diagnostics('fixed all', 1)
for _, line in ipairs(vim.api.nvim_buf_get_lines(0, 0, -1, false)) do say('|' .. line) end
vim.fn.writefile(out, vim.env.RESULT)
vim.cmd('write')
vim.cmd('bdelete')
vim.cmd('qa')
LUA
cd "$work" || exit 1
PATH="$work/bin:$PATH" RESULT="$work/result" timeout 60 nvim --headless --clean --cmd 'filetype on' \
  --cmd "source $root/contrib/neovim/stylo-lsp.lua" a.c -c "luafile check.lua" > "$work/nvim.log" 2>&1
nvim_status=$?
expected="opened: 5
3 \"if(\"
4 \"while(\"
4 \"=-\"
5 \"for(\"
5 \"=+\"
edited: 6
3 \"if(\"
4 \"while(\"
4 \"=-\"
5 \"for(\"
5 \"=+\"
6 \"switch(\"
first: Insert a space after 'while'; preferred: Insert a space after 'while'
applied: Insert a space after 'while'
first: Change to '+='; preferred: 
applied: Change to '+='
quick fixes: 4
3 \"if(\"
4 \"=-\"
5 \"for(\"
6 \"switch(\"
first: Fix all stylo keyword findings; preferred: 
applied: Fix all stylo keyword findings
fixed all: 1
4 \"=-\"
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
  echo "FAIL: Neovim saw:"
  cat "$work/result" 2> /dev/null
  fail=1
fi
if [ "$(cat "$work/a.c")" != "$(printf '%b' "$expected" | sed -n 's/^|//p')" ]; then
  echo "FAIL: the file written holds:"
  cat "$work/a.c"
  fail=1
fi
if [ "$nvim_status" != 0 ]; then
  echo "FAIL: nvim ended with status $nvim_status"
  fail=1
fi
if [ "$(cat "$work/status" 2> /dev/null)" != 0 ]; then
  echo "FAIL: the server did not end by itself with status 0 while Neovim waited (status: $(cat "$work/status" 2> /dev/null || echo none))"
  fail=1
fi

# Four emoji before two keywords: Neovim 0.7 names the line's diagnostics
# with byte columns, which taken for UTF-16 land on the second keyword. With
# the cursor on the first, the menu's first action (as vim.ui.select gets
# it) must fix the first.
printf 'int g(int a, int b)\n{\n  /* \360\237\230\200\360\237\230\200\360\237\230\200\360\237\230\200 */ if(a) if(b) a=0;\n}\n' > "$work/m.c"
cat > "$work/menu.lua" << 'LUA'
vim.wait(10000, function() return #vim.diagnostic.get(0) == 2 end, 10)
vim.ui.select = function(items, _, on_choice) on_choice(items[1], 1) end
vim.fn.cursor(3, 1)
vim.fn.search('if(', 'c')
vim.lsp.buf.code_action()
vim.wait(5000, function() return vim.api.nvim_buf_get_lines(0, 2, 3, false)[1]:find('if (', 1, true) ~= nil end, 10)
vim.fn.writefile(vim.api.nvim_buf_get_lines(0, 2, 3, false), vim.env.RESULT)
vim.cmd('qa!')
LUA
PATH="$work/bin:$PATH" RESULT="$work/menu" timeout 60 nvim --headless --clean --cmd 'filetype on' \
  --cmd "source $root/contrib/neovim/stylo-lsp.lua" m.c -c "luafile menu.lua" > "$work/menu.log" 2>&1
if [ "$(cat "$work/menu" 2> /dev/null)" != "$(printf '  /* \360\237\230\200\360\237\230\200\360\237\230\200\360\237\230\200 */ if (a) if(b) a=0;')" ]; then
  echo "FAIL: the first action offered at the first 'if(' after four emoji made:"
  cat "$work/menu" "$work/menu.log" 2> /dev/null
  fail=1
fi

# Without the server: one message, naming PATH, for two C files; nothing
# else written, and Neovim ends well.
mkdir "$work/empty"
cp a.c b.c
timeout 60 env PATH="$work/empty" "$(command -v nvim)" --headless --clean --cmd 'filetype on' \
  --cmd "source $root/contrib/neovim/stylo-lsp.lua" a.c -c 'edit b.c' \
  -c "call writefile(split(execute('messages'), '\\n'), '$work/messages')" -c 'qa!' > "$work/missing.log" 2>&1
missing_status=$?
grep -v '^$' "$work/messages" | grep -v '"[ab]\.c"' > "$work/said"
if [ "$missing_status" != 0 ] ||
   [ "$(cat "$work/said")" != "stylo-lsp was not found: no 'stylo-lsp' in PATH ($work/empty); install it, or set vim.g.stylo_lsp_cmd" ] ||
   grep -q 'Error\|client_id' "$work/missing.log"; then
  echo "FAIL: without stylo-lsp, Neovim (status $missing_status) said:"
  cat "$work/messages" "$work/missing.log"
  fail=1
fi
if [ $fail != 0 ]; then
  cat "$work/nvim.log" "$work/server.log" 2> /dev/null
  exit 1
fi
echo "Neovim: diagnostics, an edit, quick fixes, fix-all, close and shutdown (status 0); without the server, one line"
