;;; stylo-lsp-mode.el --- stylo's findings as you type, through lsp-mode  -*- lexical-binding: t -*-

;;; Commentary:

;; Registers stylo-lsp with lsp-mode for C buffers, as an add-on: it runs
;; beside the C server you already use (clangd, ccls), not instead of it.
;; Findings show in Flycheck (or Flymake) as warnings; M-x
;; lsp-execute-code-action offers the fixes, and
;; M-x lsp-execute-code-action-by-kind with source.fixAll.stylo fixes every
;; keyword.  Use: (load "/path/to/stylo-lsp-mode.el") after lsp-mode is
;; loaded, then M-x lsp in a C buffer (or `lsp-deferred' in `c-mode-hook').
;;
;; lsp-mode 8 counts a line's columns in Emacs's characters, code points,
;; whatever the server says; the client asks stylo-lsp to count the same way
;; (UTF-32 positions), so that findings land on their text after an emoji and
;; a change typed after one is read where it was made.

;;; Code:

(require 'lsp-mode)

(lsp-register-client
 (make-lsp-client :new-connection (lsp-stdio-connection "stylo-lsp")
                  :activation-fn (lsp-activate-on "c")
                  :add-on? t
                  :custom-capabilities '((general . ((positionEncodings . ["utf-32"]))))
                  :server-id 'stylo))

(provide 'stylo-lsp-mode)
;;; stylo-lsp-mode.el ends here
