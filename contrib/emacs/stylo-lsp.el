;;; stylo-lsp.el --- stylo-lsp as a choice for eglot in C buffers  -*- lexical-binding: t -*-

;;; Commentary:

;; Offers stylo-lsp to eglot (Emacs 29 has it built in; on Emacs 28, the
;; eglot package) for C buffers, as one more choice after the C servers,
;; not in their place.  eglot runs a single server for a buffer, so
;; stylo-lsp under eglot means no clangd there: M-x eglot asks which to
;; run when both are installed (clangd first), and `eglot-ensure' takes
;; the first one installed.  To have stylo's findings beside clangd's, use
;; stylo-flymake.el instead, which eglot's own Flymake runs beside it.
;;
;; Use: (load "/path/to/stylo-lsp.el"), then M-x eglot in a C buffer and
;; choose stylo-lsp.  Findings show in Flymake as warnings;
;; M-x eglot-code-actions offers the fixes.

;;; Code:

(require 'eglot)

(defvar stylo-lsp-other-servers '("clangd" "ccls")
  "The C servers eglot is offered before stylo-lsp, in this order.")

(add-to-list 'eglot-server-programs
             `((c-mode c-ts-mode c++-mode c++-ts-mode)
               . ,(eglot-alternatives (append stylo-lsp-other-servers '("stylo-lsp")))))

(provide 'stylo-lsp)
;;; stylo-lsp.el ends here
