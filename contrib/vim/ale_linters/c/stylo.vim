" stylo-lsp as an ALE linter for C: stylo's findings as warnings while you
" type, and its fixes through :ALECodeAction (the menu also offers "Fix all
" stylo keyword findings"). Use: add contrib/vim to 'runtimepath' (or copy
" ale_linters/c/stylo.vim into ~/.vim/ale_linters/c/), and name it among
" your C linters, e.g.  let g:ale_linters = {'c': ['clangd', 'stylo']}
"
" ALE takes the server's columns, counted in UTF-16, for bytes: after an
" 'é' or an emoji on the same line a finding shows a column or two early.
" The fixes still give the right text.

call ale#Set('c_stylo_lsp_executable', 'stylo-lsp')

call ale#linter#Define('c', {
\   'name': 'stylo',
\   'lsp': 'stdio',
\   'executable': {b -> ale#Var(b, 'c_stylo_lsp_executable')},
\   'command': '%e',
\   'project_root': {b -> fnamemodify(bufname(b), ':p:h')},
\})
