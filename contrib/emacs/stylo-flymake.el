;;; stylo-flymake.el --- stylo's findings in Flymake, beside any server  -*- lexical-binding: t -*-

;;; Commentary:

;; A Flymake backend, `stylo-flymake', for C buffers: it sends the buffer's
;; text to stylo-report on standard input and shows each finding as a
;; warning on exactly its text, with its rule id.  Flymake runs several
;; backends at once, so stylo's findings show beside those of eglot's server
;; (clangd, say) or any other backend; eglot itself reports through Flymake.
;;
;; stylo-report counts columns in bytes of UTF-8, and Emacs in characters,
;; so after an `é' (two bytes) or an emoji (four) a column taken as it is
;; would land late.  The JSON report gives the byte column where each
;; finding starts and the one just past it; each is turned into the
;; character of the same place in the buffer's line.  The text goes out as
;; UTF-8 whatever the buffer's own coding, so that the bytes counted are the
;; bytes sent.
;;
;; Use: (load "/path/to/stylo-flymake.el"), or put the file on `load-path'
;; and (require 'stylo-flymake); then (add-hook 'c-mode-hook
;; #'stylo-flymake-setup), or M-x stylo-flymake-setup in a C buffer.  When
;; eglot starts managing the buffer, it sets Flymake's backends to its own
;; alone; the backend is then put back beside eglot's.
;;
;; Fixes: M-x stylo-flymake-fix-line puts the blank after each keyword of
;; the line at point, M-x stylo-flymake-fix every one in the buffer.  They
;; are stylo-report's own fixes (its --fix, run on the buffer's text), so
;; they are exactly those the command line makes; an operator is never
;; changed, as only its author knows which of the two readings was meant.

;;; Code:

(require 'flymake)
(require 'json)
(require 'subr-x)

(defvar stylo-flymake-program "stylo-report"
  "The stylo-report program run on the buffer.
A name looked up on `exec-path', or a path.")

(defvar-local stylo-flymake--process nil
  "The stylo-report run for this buffer that is still going, if any.")

(defvar-local stylo-flymake--wanted nil
  "Non-nil where `stylo-flymake-setup' put the backend in the buffer.")

(defun stylo-flymake--character-column (line-text byte-column)
  "The character column in LINE-TEXT of its byte BYTE-COLUMN, both from 1.
The bytes are those of LINE-TEXT in UTF-8, as stylo-report was sent it."
  (let* ((bytes (encode-coding-string line-text 'utf-8-unix t))
         (before (substring bytes 0 (min (length bytes) (max 0 (1- byte-column))))))
    ;; A finding starts and ends on ASCII text, so the bytes before it never
    ;; end inside a character.
    (1+ (length (decode-coding-string before 'utf-8-unix t)))))

(defun stylo-flymake--read-json (text)
  "One JSON object of TEXT as an alist with symbol keys."
  (if (fboundp 'json-parse-string)
      (json-parse-string text :object-type 'alist)
    (let ((json-object-type 'alist)) (json-read-from-string text))))

(defun stylo-flymake--diagnostics (output buffer)
  "Flymake diagnostics of BUFFER from stylo-report's JSON Lines OUTPUT."
  (with-current-buffer buffer
    (save-excursion
      (save-restriction
        (widen)
        (let (diagnostics)
          (dolist (text (split-string output "\n" t))
            (when (string-prefix-p "{" text)
              (let ((finding (stylo-flymake--read-json text)))
                (goto-char (point-min))
                (forward-line (1- (alist-get 'line finding)))
                (let* ((start (point))
                       (line-text (buffer-substring-no-properties start (line-end-position)))
                       ;; Within the line, should the buffer have changed
                       ;; since its text was sent.
                       (column (lambda (key)
                                 (min (line-end-position)
                                      (+ start -1 (stylo-flymake--character-column
                                                   line-text (alist-get key finding)))))))
                  (push (flymake-make-diagnostic
                         buffer (funcall column 'column) (funcall column 'end_column) :warning
                         (format "%s [%s]" (alist-get 'message finding) (alist-get 'rule finding)))
                        diagnostics)))))
          (nreverse diagnostics))))))

(defun stylo-flymake (report-fn &rest _args)
  "Flymake backend: stylo-report on the buffer's text, its findings to REPORT-FN."
  (let ((program (executable-find stylo-flymake-program)))
    (unless program
      (error "%s was not found on exec-path (%s)" stylo-flymake-program
             (mapconcat #'identity exec-path path-separator)))
    (when (process-live-p stylo-flymake--process)
      (kill-process stylo-flymake--process))
    (let* ((source (current-buffer))
           (output (generate-new-buffer " *stylo-flymake*"))
           (process
            (make-process
             :name "stylo-flymake" :noquery t :connection-type 'pipe
             :buffer output
             :coding '(utf-8-unix . utf-8-unix)
             :command (list program "--format=json" "-")
             :sentinel
             (lambda (process _event)
               (when (memq (process-status process) '(exit signal))
                 (unwind-protect
                     ;; Reported only to a Flymake that still waits for it:
                     ;; one restarted meanwhile (as eglot does when it starts
                     ;; managing the buffer) holds no state for this run and
                     ;; would signal an error from this sentinel.
                     (when (and (buffer-live-p source)
                                (eq process (buffer-local-value 'stylo-flymake--process source))
                                (with-current-buffer source
                                  (memq #'stylo-flymake (flymake-running-backends))))
                       (let ((text (with-current-buffer output (buffer-string))))
                         ;; 0: nothing found; 1: findings; anything else
                         ;; (2, a signal) is stylo-report's failure.
                         (if (and (eq (process-status process) 'exit) (memq (process-exit-status process) '(0 1)))
                             (funcall report-fn (stylo-flymake--diagnostics text source))
                           (funcall report-fn :panic
                                    :explanation (format "stylo-report failed (%s): %s" (process-exit-status process)
                                                         (string-trim text))))))
                   (kill-buffer output)))))))
      (setq stylo-flymake--process process)
      (save-restriction
        (widen)
        (process-send-region process (point-min) (point-max)))
      (process-send-eof process))))

(defun stylo-flymake--after-eglot ()
  "Put the backend back where eglot set Flymake's backends to its own."
  (when stylo-flymake--wanted
    (add-hook 'flymake-diagnostic-functions #'stylo-flymake nil t)))

(defun stylo-flymake--fixed-text ()
  "The buffer's whole text with stylo-report's certain fixes made."
  (let ((program (or (executable-find stylo-flymake-program)
                     (user-error "%s was not found on exec-path" stylo-flymake-program)))
        (text (save-restriction (widen) (buffer-substring-no-properties (point-min) (point-max))))
        (errors (make-temp-file "stylo-flymake")))
    (unwind-protect
        (with-temp-buffer
          ;; UTF-8 both ways whatever the locale: the bytes stylo-report
          ;; checks and fixes are those it gives back.
          (let* ((coding-system-for-write 'utf-8-unix)
                 (coding-system-for-read 'utf-8-unix)
                 (status (progn (insert text)
                                (call-process-region (point-min) (point-max) program t (list t errors) nil
                                                     "--fix" "-"))))
            ;; 0: nothing left; 1: findings left (operators).  Anything else
            ;; is a failure, whose output is not the text.
            (unless (memq status '(0 1))
              (error "stylo-report --fix failed (%s): %s" status
                     (with-temp-buffer (insert-file-contents errors) (string-trim (buffer-string)))))
            (buffer-string)))
      (delete-file errors))))

(defun stylo-flymake--replace-region (beg end text)
  "Replace BEG..END with TEXT as one change, keeping point and markers."
  (let ((source (current-buffer)))
    (with-temp-buffer
      (insert text)
      (let ((fixed (current-buffer)))
        (with-current-buffer source
          (save-restriction
            (narrow-to-region beg end)
            (replace-buffer-contents fixed)))))))

;;;###autoload
(defun stylo-flymake-fix ()
  "Put the blank after every keyword stylo finds in the buffer."
  (interactive)
  (let ((fixed (stylo-flymake--fixed-text)))
    (save-restriction
      (widen)
      (unless (string= fixed (buffer-substring-no-properties (point-min) (point-max)))
        (stylo-flymake--replace-region (point-min) (point-max) fixed)))))

;;;###autoload
(defun stylo-flymake-fix-line ()
  "Put the blank after each keyword stylo finds on the line at point."
  (interactive)
  (let* ((fixed-lines (split-string (stylo-flymake--fixed-text) "\n"))
         (line (save-restriction (widen) (line-number-at-pos)))
         (wanted (nth (1- line) fixed-lines)))
    ;; A fix only puts blanks inside a line: the lines stay the same ones.
    (unless (= (length fixed-lines)
               (save-restriction (widen) (length (split-string (buffer-string) "\n"))))
      (error "stylo-report --fix changed the number of lines"))
    (unless (string= wanted (buffer-substring-no-properties (line-beginning-position) (line-end-position)))
      (stylo-flymake--replace-region (line-beginning-position) (line-end-position) wanted))))

;;;###autoload
(defun stylo-flymake-setup ()
  "Check this buffer with stylo in Flymake, beside its other backends."
  (interactive)
  (setq stylo-flymake--wanted t)
  (add-hook 'flymake-diagnostic-functions #'stylo-flymake nil t)
  (add-hook 'eglot-managed-mode-hook #'stylo-flymake--after-eglot)
  (flymake-mode 1))

(provide 'stylo-flymake)
;;; stylo-flymake.el ends here
