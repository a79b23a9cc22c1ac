-- stylo-lsp in Neovim's built-in client (0.7 and later): put this file in
-- ~/.config/nvim/plugin/ or source it from init.lua. stylo's findings show
-- as warnings as you type; :lua vim.lsp.buf.code_action() offers the fixes.
local client_id
vim.api.nvim_create_autocmd('FileType', {
  pattern = { 'c', 'cpp' },
  callback = function(args)
    if not (client_id and vim.lsp.get_client_by_id(client_id)) then
      client_id = vim.lsp.start_client({ name = 'stylo', cmd = { 'stylo-lsp' }, root_dir = vim.fn.getcwd() })
    end
    vim.lsp.buf_attach_client(args.buf, client_id)
  end,
})
