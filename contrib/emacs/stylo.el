;;; stylo.el --- Read stylo's warnings in compilation-mode  -*- lexical-binding: t -*-

;;; Commentary:

;; stylo writes  <file>(<line>): warning: <message>  with the file name exactly
;; as it was given.  Emacs's own patterns read such a line only when the name
;; has no blank (the `edg-1' rule takes the file as non-blank text before
;; "(<line>): "), so they skip "my dir/a (2).c(2): warning: ..." altogether,
;; and they split a name that itself holds "(<digits>): warning: " at the
;; first such text.  This adds one pattern, `stylo', ahead of the others: the
;; file is everything up to the LAST "(<line>): warning: " of a line that ends
;; as every stylo warning does, with "  [QVS]", so lines of other programs
;; are left to their own patterns.  Each match is a warning.
;;
;; Use: (load "/path/to/stylo.el"), or put the file on `load-path' and
;; (require 'stylo); then M-x compile with a stylo command, such as
;;   git ls-files -z -- '*.c' '*.h' | tr '\0' '\n' | stylo --file-list=-

;;; Code:

(require 'compile)

(add-to-list 'compilation-error-regexp-alist-alist
             '(stylo "^\\(.+\\)(\\([0-9]+\\)): warning: .*  \\[QVS\\]$" 1 2 nil 1))
;; First in the list: a rule is not tried on text an earlier rule has matched,
;; and `edg-1' would read the same lines wrong.
(add-to-list 'compilation-error-regexp-alist 'stylo)

(provide 'stylo)

;;; stylo.el ends here
