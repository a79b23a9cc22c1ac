;;; stylo-flycheck.el --- stylo's findings in Flycheck  -*- lexical-binding: t -*-

;;; Commentary:

;; A Flycheck checker, `stylo', for C buffers: it sends the buffer's text to
;; stylo-report on standard input and shows each finding as a warning, from
;; its first character to the last, with its rule id.
;;
;; stylo-report counts columns in bytes of UTF-8, and Flycheck counts them in
;; characters, so after an `é' (two bytes) or an emoji (four) a column taken
;; as it is would land late.  The parser reads the JSON format, which gives
;; the column where each finding starts and the one just past it, and turns each byte column
;; into the character column of the same place in the buffer's line.  The
;; text goes out as UTF-8 whatever the buffer's own coding, so that the bytes
;; counted are the bytes sent.
;;
;; Use: (load "/path/to/stylo-flycheck.el") after Flycheck is loaded, or put
;; the file on `load-path' and (require 'stylo-flycheck); then
;; M-x flycheck-mode in a C buffer (or `global-flycheck-mode').  The checker
;; comes first for C buffers; with another C checker too, chain them with
;; `flycheck-add-next-checker'.

;;; Code:

(require 'flycheck)
(require 'json)

(defun stylo-flycheck--character-column (line-text byte-column)
  "The character column in LINE-TEXT of its byte BYTE-COLUMN, both from 1.
The bytes are those of LINE-TEXT in UTF-8, as stylo-report was sent it."
  (let* ((bytes (encode-coding-string line-text 'utf-8-unix t))
         (before (substring bytes 0 (min (length bytes) (max 0 (1- byte-column))))))
    ;; A finding starts and ends on ASCII text, so the bytes before it never
    ;; end inside a character.
    (1+ (length (decode-coding-string before 'utf-8-unix t)))))

(defun stylo-flycheck--line-text (buffer line)
  "The text of line LINE (from 1) of BUFFER, without its end."
  (with-current-buffer buffer
    (save-excursion
      (save-restriction
        (widen)
        (goto-char (point-min))
        (forward-line (1- line))
        (buffer-substring-no-properties (point) (line-end-position))))))

(defun stylo-flycheck--read-json (text)
  "One JSON object of TEXT as an alist with symbol keys."
  (if (fboundp 'json-parse-string)
      (json-parse-string text :object-type 'alist)
    (let ((json-object-type 'alist)) (json-read-from-string text))))

(defun stylo-flycheck-parse (output checker buffer)
  "Flycheck errors from stylo-report's JSON Lines OUTPUT for BUFFER.
CHECKER is the checker that ran."
  (let (errors)
    (dolist (text (split-string output "\n" t))
      (when (string-prefix-p "{" text)
        (let* ((finding (stylo-flycheck--read-json text))
               (line (alist-get 'line finding))
               (line-text (stylo-flycheck--line-text buffer line)))
          (push (flycheck-error-new-at
                 line
                 (stylo-flycheck--character-column line-text (alist-get 'column finding))
                 'warning
                 (alist-get 'message finding)
                 :end-column (stylo-flycheck--character-column line-text (alist-get 'end_column finding))
                 :id (alist-get 'rule finding)
                 :checker checker
                 :buffer buffer)
                errors))))
    (nreverse errors)))

(flycheck-define-checker stylo
  "stylo's two rules (a keyword straight before its parenthesis, and a
reversed operator such as `=-'), with stylo-report."
  :command ("stylo-report" "--format=json" "-")
  :standard-input t
  :error-parser stylo-flycheck-parse
  :modes (c-mode c-ts-mode))

;; The text sent and the report read back are UTF-8, whatever the locale or
;; the buffer's coding: the columns are counted in it.
(add-to-list 'process-coding-system-alist '("stylo-report\\(\\.exe\\)?\\'" . (utf-8-unix . utf-8-unix)))

(add-to-list 'flycheck-checkers 'stylo)

(provide 'stylo-flycheck)
;;; stylo-flycheck.el ends here
