#!/bin/sh
# Flycheck with contrib/emacs/stylo-flycheck.el in a batch Emacs: a C buffer
# with an `é' and an emoji before findings is checked, edited (a line with a
# new finding added) and checked again; each time every finding must cover
# exactly its text (the keyword and its parenthesis, or the operator), which
# a byte column taken for a character column would not. Emacs runs in a
# Latin-1 locale, whose coding it would otherwise use for the text sent.
# Usage: emacs_flycheck_test.sh <source tree> <stylo-report>
root=$1
report=$2
command -v emacs > /dev/null || { echo "SKIP: emacs is not installed"; exit 77; }
emacs --batch -q --eval '(kill-emacs (if (locate-library "flycheck") 0 1))' > /dev/null 2>&1 ||
  { echo "SKIP: flycheck is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$report" "$work/bin/stylo-report"
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/check.el" << 'ELISP'
;; -*- lexical-binding: t -*-
(defun check-and-show (what)
  (flycheck-buffer)
  ;; Flycheck reads the checker's output from a process filter and sentinel.
  (with-timeout (10 (princ (format "%s: no check within 10 s\n" what)))
    (while (not (memq flycheck-last-status-change '(finished errored suspicious)))
      (accept-process-output nil 0.02)))
  (princ (format "%s: %s, %d\n" what flycheck-last-status-change (length flycheck-current-errors)))
  (dolist (e (sort (copy-sequence flycheck-current-errors) (function flycheck-error-<)))
    (let ((region (flycheck-error-region-for-mode e 'columns)))
      (princ (format "%d:%d %s %s %S\n" (flycheck-error-line e) (flycheck-error-column e)
                     (flycheck-error-level e) (flycheck-error-id e)
                     (buffer-substring-no-properties (car region) (cdr region)))))))
(find-file "a.c")
(c-mode)
(setq flycheck-checkers '(stylo))
(flycheck-mode 1)
(check-and-show "opened")
(goto-char (point-min))
(forward-line 5)
(insert "  /* \u00e9\U0001F600 */ switch(x) x==!1;\n")
(check-and-show "edited")
(kill-emacs 0)
ELISP
cd "$work" || exit 1
PATH="$work/bin:$PATH" LANG=fr_FR.ISO-8859-1 LC_ALL=fr_FR.ISO-8859-1 timeout 60 emacs --batch -q -l "$root/contrib/emacs/stylo-flycheck.el" \
  -l "$work/check.el" > "$work/out" 2> "$work/log"
expected='opened: finished, 5
3:3 warning keyword-space "if("
4:11 warning keyword-space "while("
4:21 warning reversed-operator "=-"
5:11 warning keyword-space "for("
5:20 warning reversed-operator "=+"
edited: finished, 7
3:3 warning keyword-space "if("
4:11 warning keyword-space "while("
4:21 warning reversed-operator "=-"
5:11 warning keyword-space "for("
5:20 warning reversed-operator "=+"
6:12 warning keyword-space "switch("
6:23 warning reversed-operator "==!"'
if [ "$(cat "$work/out")" != "$expected" ]; then
  echo "FAIL: Flycheck holds:"
  cat "$work/out" "$work/log"
  exit 1
fi
echo "Flycheck shows stylo's findings on their text, after non-ASCII letters too"
