#!/bin/sh
# Neovim's built-in client with contrib/neovim/stylo-lsp.lua, headless: it
# opens a C file, receives stylo's findings as diagnostics at the right
# place, applies the quick fix "Insert a space after 'if'", and the finding
# goes. Usage: neovim_lsp_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v nvim > /dev/null || { echo "SKIP: nvim is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$server" "$work/bin/stylo-lsp"
printf 'int f(int x)\n{\n  if(x) return 1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/check.lua" << 'LUA'
local out = {}
local function done()
  vim.fn.writefile(out, vim.env.RESULT)
  vim.cmd('qa!')
end
if not vim.wait(10000, function() return #vim.diagnostic.get(0) > 0 end, 20) then
  table.insert(out, 'no diagnostics')
  return done()
end
local d = vim.diagnostic.get(0)[1]
table.insert(out, string.format('%d:%d-%d %s %s', d.lnum, d.col, d.end_col, d.source, d.message))
local params = vim.lsp.util.make_range_params()
params.range = { start = { line = d.lnum, character = d.col }, ['end'] = { line = d.lnum, character = d.col } }
params.context = { diagnostics = {} }
local answers = vim.lsp.buf_request_sync(0, 'textDocument/codeAction', params, 5000) or {}
for _, answer in pairs(answers) do
  for _, action in ipairs(answer.result or {}) do
    if action.title == "Insert a space after 'if'" then
      vim.lsp.util.apply_workspace_edit(action.edit, 'utf-16')
    end
  end
end
vim.wait(10000, function() return #vim.diagnostic.get(0) == 0 end, 20)
table.insert(out, vim.api.nvim_buf_get_lines(0, 2, 3, false)[1])
table.insert(out, 'left: ' .. #vim.diagnostic.get(0))
done()
LUA
cd "$work" || exit 1
PATH="$work/bin:$PATH" RESULT="$work/result" timeout 60 nvim --headless --clean --cmd 'filetype on' \
  --cmd "source $root/contrib/neovim/stylo-lsp.lua" a.c -c "luafile check.lua" > "$work/nvim.log" 2>&1
expected="2:2-5 stylo (style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  [QVS]
  if (x) return 1;
left: 0"
if [ "$(cat "$work/result" 2> /dev/null)" != "$expected" ]; then
  echo "FAIL: Neovim saw:"
  cat "$work/result" "$work/nvim.log" 2> /dev/null
  exit 1
fi
echo "Neovim shows stylo's finding and applies its quick fix"
