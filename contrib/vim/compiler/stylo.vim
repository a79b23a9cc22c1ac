" Vim compiler file for stylo, the checker of coding style for C source text.
" Use:  :compiler stylo  then  :make  fills the quickfix list with stylo's
" warnings for the current file, each of type warning (the "w" of "warning"
" is read by %t).
"
" stylo writes  <file>(<line>): warning: <message>  with the file name exactly
" as it was given, so the name may hold blanks, parentheses, even text such as
" "x(3): warning: y". The message holds parentheses and quotes too. The file is
" therefore everything up to the LAST "(<digits>): warning: " on the line:
" Vim's %f takes the shortest text before "(", so a look-ahead turns down any
" split after which another "(<digits>): warning: " still follows. Lines that
" do not match (stylo's messages on standard error, such as "Unable to open
" file") stay in the list as plain text.

if exists('current_compiler')
  finish
endif
let current_compiler = 'stylo'

if exists(':CompilerSet') != 2
  command -nargs=* CompilerSet setlocal <args>
endif

let s:cpo_save = &cpo
set cpo&vim

" %:p:S is the full name, quoted for the shell (blanks, parentheses and quotes
" included); being full, it never starts with --file-list=, which stylo would take
" for the option that names a list.
CompilerSet makeprg=stylo\ %:p:S
CompilerSet errorformat=%f(%l):\ %tarning:\ %\\%%(%.%#(%\\d%\\+):\ warning:\ %\\)%\\@!%m

let &cpo = s:cpo_save
unlet s:cpo_save
