;;; stylo-lsp.el --- stylo's findings as you type, through eglot  -*- lexical-binding: t -*-

;;; Commentary:

;; Runs stylo-lsp for C buffers with eglot (Emacs 29 has it built in; on
;; Emacs 28, the eglot package).  Findings show in Flymake as warnings;
;; M-x eglot-code-actions offers the fixes.  Use: (load "/path/to/stylo-lsp.el")
;; and M-x eglot in a C buffer, or add `eglot-ensure' to `c-mode-hook'.

;;; Code:

(require 'eglot)

(add-to-list 'eglot-server-programs '((c-mode c-ts-mode c++-mode) . ("stylo-lsp")))

(provide 'stylo-lsp)
;;; stylo-lsp.el ends here
