" stylo-lsp as an ALE linter for C: stylo's findings as warnings while you
" type, and its fixes through :ALECodeAction (the menu also offers "Fix all
" stylo keyword findings"). Use, in ~/.vimrc (Debian's vim-ale is an
" optional package, and a vimrc of your own leaves file types off):
"   packadd! ale
"   filetype plugin on
"   set runtimepath+=/path/to/stylo/contrib/vim
"   let g:ale_linters = {'c': ['clangd', 'stylo']}
" (or copy ale_linters/c/stylo.vim into ~/.vim/ale_linters/c/). The signs
" follow a fix because ALE lints on each change (g:ale_lint_on_text_changed,
" 'normal' by default): with it 'never', they wait for the next lint.
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

