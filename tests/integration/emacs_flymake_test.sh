#!/bin/sh
# Flymake with contrib/emacs/stylo-flymake.el in a batch Emacs: a C buffer
# with an `é' and an emoji before findings is checked, edited (a line with
# a new finding added) and checked again; each time every finding must
# cover exactly its text (the keyword and its parenthesis, or the
# operator), which a byte column taken for a character column would not.
# Another backend runs beside it and keeps its own diagnostic. The fixes:
# the keyword of the line at point (point staying on its text), then every
# keyword of the buffer, the operators left, and a second fix-all changing
# nothing; the text saved must be exact. Flymake restarted while a check
# runs must get no report from it (nor an error). Then eglot
# starts managing the buffer (with stylo-lsp as its server), which sets
# Flymake's backends to its own alone: stylo's must be put back and report
# beside eglot's. Without stylo-report, the backend must say where it
# looked. Emacs runs in a Latin-1 locale, whose coding it would otherwise
# use for the text sent.
# Usage: emacs_flymake_test.sh <source tree> <stylo-report> [<stylo-lsp>]
root=$1
report=$2
server=${3:-}
command -v emacs > /dev/null || { echo "SKIP: emacs is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$report" "$work/bin/stylo-report"
with_eglot=nil
if [ -n "$server" ] && emacs --batch -q --eval '(kill-emacs (if (locate-library "eglot") 0 1))' > /dev/null 2>&1; then
  ln -s "$server" "$work/bin/stylo-lsp"
  with_eglot=t
fi
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/check.el" << ELISP
;; -*- lexical-binding: t -*-
(defvar with-eglot $with_eglot)
ELISP
cat >> "$work/check.el" << 'ELISP'
(require 'cl-lib)
(defun say (format-string &rest args)
  (let ((coding-system-for-write 'utf-8-unix))
    (write-region (apply #'format (concat format-string "\n") args) nil (getenv "RESULT") t 'quiet)))
;; Another backend, as a compiler's or a server's would be: one note on line 1.
(defun other-backend (report-fn &rest _)
  (funcall report-fn (list (flymake-make-diagnostic (current-buffer) 1 4 :note "other"))))
(defun of-backend (backend)
  (sort (cl-remove-if-not (lambda (d) (eq (flymake-diagnostic-backend d) backend)) (flymake-diagnostics))
        (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
(defun show (what count)
  (flymake-start)
  ;; Flymake reads the backend's answer from a process sentinel.
  (with-timeout (10 (say "%s: no check within 10 s" what))
    (while (or (/= (length (of-backend 'stylo-flymake)) count) (process-live-p stylo-flymake--process))
      (accept-process-output nil 0.02)))
  (say "%s: %d, other %d" what (length (of-backend 'stylo-flymake)) (length (of-backend 'other-backend)))
  (dolist (d (of-backend 'stylo-flymake))
    (let ((beg (flymake-diagnostic-beg d)))
      ;; Columns in characters, as Flymake's positions are (not display
      ;; columns, where an emoji takes two).
      (say "%d:%d %s %S %s" (line-number-at-pos beg) (1+ (- beg (save-excursion (goto-char beg) (line-beginning-position))))
           (flymake-diagnostic-type d)
           (buffer-substring-no-properties beg (flymake-diagnostic-end d))
           (car (last (split-string (flymake-diagnostic-text d))))))))
(find-file "a.c")
;; Emacs's own backends for C run gcc or make on the file; one that fails
;; while another reports can end the session with an error, whatever the
;; backends under test do: only those take part.
(c-mode)
(setq-local flymake-diagnostic-functions nil)
(add-hook 'flymake-diagnostic-functions #'other-backend nil t)
(stylo-flymake-setup)
(show "opened" 5)
(goto-char (point-min))
(forward-line 5)
(insert "  /* \u00e9\U0001F600 */ switch(x) x==!1;\n")
(show "edited" 7)
;; The fixes: the keyword of the line at point (after the é), point kept on
;; its text; then every keyword left; the operators stay.
(goto-char (point-min))
(search-forward "x=-1")
(goto-char (match-beginning 0))
(stylo-flymake-fix-line)
(say "fixed the line, point on %S" (buffer-substring-no-properties (point) (+ (point) 4)))
(show "line fixed" 6)
(stylo-flymake-fix)
(show "all fixed" 3)
(let ((tick (buffer-chars-modified-tick)))
  (stylo-flymake-fix)
  (say "fixed again: %s" (if (= tick (buffer-chars-modified-tick)) "unchanged" "changed")))
(dolist (line (split-string (buffer-substring-no-properties (point-min) (point-max)) "\n"))
  (say "|%s" line))
(save-buffer)
;; Flymake restarted while a check runs, as eglot restarts it when it starts
;; managing the buffer: the check's end must not report to it.
(flymake-start)
(let ((flymake-start-on-flymake-mode nil))
  (flymake-mode -1)
  (flymake-mode 1))
(with-timeout (10 (say "restarted: the check did not end within 10 s"))
  (while (process-live-p stylo-flymake--process)
    (accept-process-output nil 0.02)))
(accept-process-output nil 0.1)
(say "restarted while checking: %S" (flymake-running-backends))
(when with-eglot
  (require 'eglot)
  (let ((eglot-server-programs '((c-mode . ("stylo-lsp")))))
    (apply #'eglot (eglot--guess-contact)))
  (with-timeout (10 (say "eglot: no diagnostics within 10 s"))
    (while (/= (length (of-backend 'eglot-flymake-backend)) 3)
      (flymake-start)
      (accept-process-output nil 0.05)))
  (say "eglot's backends: %S" flymake-diagnostic-functions)
  (show "beside eglot" 3)
  (say "eglot: %d" (length (of-backend 'eglot-flymake-backend)))
  (eglot-shutdown (eglot-current-server)))
(let ((exec-path '("/nowhere/bin" "/elsewhere")))
  (condition-case err
      (progn (stylo-flymake #'ignore) (say "no error without stylo-report"))
    (error (say "without stylo-report: %s" (error-message-string err)))))
(kill-emacs 0)
ELISP
cd "$work" || exit 1
PATH="$work/bin:$PATH" RESULT="$work/out" LANG=fr_FR.ISO-8859-1 LC_ALL=fr_FR.ISO-8859-1 timeout 60 \
  emacs --batch -q -l "$root/contrib/emacs/stylo-flymake.el" -l "$work/check.el" > "$work/log" 2>&1
findings='3:3 :warning "if(" [keyword-space]
4:11 :warning "while(" [keyword-space]
4:21 :warning "=-" [reversed-operator]
5:11 :warning "for(" [keyword-space]
5:20 :warning "=+" [reversed-operator]'
edited="$findings
6:12 :warning \"switch(\" [keyword-space]
6:23 :warning \"==!\" [reversed-operator]"
operators='4:22 :warning "=-" [reversed-operator]
5:21 :warning "=+" [reversed-operator]
6:24 :warning "==!" [reversed-operator]'
fixed=$(printf 'int f(int x)\n{\n  if (x) return 1;\n  /* \303\251 */ while (x) x=-1;\n  /* \360\237\230\200 */ for (;;) x=+1;\n  /* \303\251\360\237\230\200 */ switch (x) x==!1;\n  return 0;\n}\n')
expected="opened: 5, other 1
$findings
edited: 7, other 1
$edited
fixed the line, point on \"x=-1\"
line fixed: 6, other 1
3:3 :warning \"if(\" [keyword-space]
4:22 :warning \"=-\" [reversed-operator]
5:11 :warning \"for(\" [keyword-space]
5:20 :warning \"=+\" [reversed-operator]
6:12 :warning \"switch(\" [keyword-space]
6:23 :warning \"==!\" [reversed-operator]
all fixed: 3, other 1
$operators
fixed again: unchanged
$(printf '%s\n' "$fixed" | sed 's/^/|/')
|
restarted while checking: nil"
if [ $with_eglot = t ]; then
  expected="$expected
eglot's backends: (stylo-flymake eglot-flymake-backend)
beside eglot: 3, other 0
$operators
eglot: 3"
fi
expected="$expected
without stylo-report: stylo-report was not found on exec-path (/nowhere/bin:/elsewhere)"
if [ "$(cat "$work/out")" != "$expected" ]; then
  echo "FAIL: Flymake holds:"
  cat "$work/out" "$work/log"
  exit 1
fi
if [ "$(cat "$work/a.c")" != "$fixed" ]; then
  echo "FAIL: the file saved after the fixes holds:"
  cat "$work/a.c"
  exit 1
fi
[ $with_eglot = t ] || echo "note: eglot or stylo-lsp missing: the run beside eglot was left out"
echo "Flymake shows stylo's findings on their text, after non-ASCII letters too, beside other backends and eglot"
