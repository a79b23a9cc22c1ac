-- stylo-lsp in Neovim's built-in client (0.7 and later): put this file in
-- ~/.config/nvim/plugin/ or source it from init.lua. stylo's findings show
-- as warnings as you type, beside any other server's; :lua
-- vim.lsp.buf.code_action() offers the fixes. The program run is
-- vim.g.stylo_lsp_cmd if set (a name looked up on PATH, or a path), else
-- stylo-lsp from PATH.
local client_id
local told = false

-- The program to run, or nil and why it cannot be run: said once, in one
-- line, rather than as the client's own error for a nil client.
local function server_command()
  local cmd = vim.g.stylo_lsp_cmd or 'stylo-lsp'
  if vim.fn.executable(cmd) == 1 then
    return cmd
  end
  if cmd:find('/', 1, true) then
    return nil, string.format("stylo-lsp was not found: '%s' is not an executable file", cmd)
  end
  return nil, string.format("stylo-lsp was not found: no '%s' in PATH (%s); install it, or set vim.g.stylo_lsp_cmd",
    cmd, vim.env.PATH or '')
end

vim.api.nvim_create_autocmd('FileType', {
  pattern = { 'c', 'cpp' },
  callback = function(args)
    if not (client_id and vim.lsp.get_client_by_id(client_id)) then
      local cmd, why = server_command()
      if not cmd then
        if not told then
          told = true
          vim.notify(why, vim.log.levels.WARN)
        end
        return
      end
      client_id = vim.lsp.start_client({ name = 'stylo', cmd = { cmd }, root_dir = vim.fn.getcwd() })
      if not client_id then
        return
      end
    end
    vim.lsp.buf_attach_client(args.buf, client_id)
  end,
})
