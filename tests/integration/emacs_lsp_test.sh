#!/bin/sh
# Emacs in batch with eglot and contrib/emacs/stylo-lsp.el: stylo's findings
# reach Flymake as warnings on the right text.
# Usage: emacs_lsp_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v emacs > /dev/null || { echo "SKIP: emacs is not installed"; exit 77; }
emacs --batch -q --eval '(require (quote eglot))' > /dev/null 2>&1 ||
  { echo "SKIP: eglot is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$server" "$work/bin/stylo-lsp"
printf 'int f(int x)\n{\n  x=-1;\n  while(x) x++;\n}\n' > "$work/a.c"
cd "$work" || exit 1
PATH="$work/bin:$PATH" timeout 60 emacs --batch -q -l "$root/contrib/emacs/stylo-lsp.el" \
  --eval '(progn
  (find-file "a.c")
  (apply (function eglot) (eglot--guess-contact))
  (let ((tries 0))
    (while (and (< tries 200)
                (not (cl-some (lambda (d) (eq (flymake-diagnostic-backend d) (quote eglot-flymake-backend)))
                              (flymake-diagnostics))))
      (accept-process-output nil 0.05)
      (setq tries (1+ tries))))
  (dolist (d (sort (flymake-diagnostics) (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
    (princ (format "%s %S %s\n" (flymake-diagnostic-type d)
                   (buffer-substring-no-properties (flymake-diagnostic-beg d) (flymake-diagnostic-end d))
                   (flymake-diagnostic-text d))))
  (kill-emacs 0))' > "$work/out" 2> "$work/log"
expected="eglot-warning \"=-\" stylo [reversed-operator]: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]
eglot-warning \"while(\" stylo [keyword-space]: (style) Devrait mettre un espace entre 'while' et la parenthese. [guide 80]  [QVS]"
if [ "$(cat "$work/out")" != "$expected" ]; then
  echo "FAIL: Flymake holds:"
  cat "$work/out" "$work/log"
  exit 1
fi
echo "eglot puts stylo's findings into Flymake"
