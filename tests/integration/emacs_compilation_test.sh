#!/bin/sh
# Loads contrib/emacs/stylo.el in a batch Emacs, puts the built stylo's real
# output (warnings and its message on standard error, as M-x compile shows
# them) in a compilation-mode buffer, and reads each line's compilation-message
# property: the file, line and type it gives, and that compile-goto-error
# lands on that line of that file. The names hold blanks, parentheses and text
# that looks like a warning; the message about a missing file is no error.
# Usage: emacs_compilation_test.sh <source dir> <built stylo>
set -u
src=$1
stylo_bin=$2

command -v emacs >/dev/null || { echo "SKIP: emacs is not installed, so stylo.el is not tested"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree/my dir" "$work/tree/sp ace/(1)" "$work/tree/dir"
cd "$work/tree" || exit 1

printf 'x=+1;\n' > plain.c
printf 'if(a)\n' > 'a(2).c'
printf 'int x;\nif(a) x=-1;\n' > 'my dir/a (2).c'
printf 'a==!b;\n' > 'x(3): warning: y (4).c'
printf '\n\nfor(;;) {}\nswitch(c) {}\n' > 'sp ace/(1)/f(9).h'
printf 'while(b)\n' > 'dir/x(3): warning: y.c'
printf 'plain.c\na(2).c\nmy dir/a (2).c\ngone.c\nx(3): warning: y (4).c\nsp ace/(1)/f(9).h\ndir/x(3): warning: y.c\n' |
  "$stylo_bin" --file-list=- > "$work/out" 2>&1
# One line per output line: what compilation-mode reads from it.
want="plain.c|1|warning
a(2).c|1|warning
my dir/a (2).c|2|warning
my dir/a (2).c|2|warning
none
x(3): warning: y (4).c|1|warning
sp ace/(1)/f(9).h|3|warning
sp ace/(1)/f(9).h|4|warning
dir/x(3): warning: y.c|1|warning"

cat > "$work/walk.el" <<'ELISP'
;; -*- lexical-binding: t -*-
(require 'compile)
(let ((dir default-directory) (lines nil))
  (with-current-buffer (get-buffer-create "*stylo*")
    (insert-file-contents (expand-file-name "../out" dir))
    (setq default-directory dir)
    (compilation-mode)
    (compilation--ensure-parse (point-max))
    (goto-char (point-min))
    (while (not (eobp))
      (let* ((at (next-single-property-change (point) 'compilation-message nil (line-end-position)))
             (msg (or (get-text-property (point) 'compilation-message)
                      (and (< at (line-end-position)) (get-text-property at 'compilation-message)))))
        (push
         (if (not msg)
             "none"
           (let* ((loc (compilation--message->loc msg))
                  (file (caar (compilation--loc->file-struct loc)))
                  (line (compilation--loc->line loc))
                  (type (nth (compilation--message->type msg) '("info" "warning" "error")))
                  (there (if (not (file-exists-p (expand-file-name file dir)))
                             "a file that does not exist"
                           (save-excursion
                             (goto-char (or (and (get-text-property (point) 'compilation-message) (point)) at))
                             (compile-goto-error)
                             (prog1 (format "%s:%d" (file-relative-name buffer-file-name dir) (line-number-at-pos))
                               (set-buffer "*stylo*"))))))
             (if (equal there (format "%s:%d" file line))
                 (format "%s|%d|%s" file line type)
               (format "%s|%d|%s, but compile-goto-error leads to %s" file line type there))))
         lines))
      (forward-line 1)))
  (with-temp-file (expand-file-name "../got" dir)
    (insert (mapconcat #'identity (nreverse lines) "\n") "\n")))
ELISP
emacs --batch -Q -l "$src/contrib/emacs/stylo.el" -l "$work/walk.el" > "$work/emacs.out" 2>&1
got=$(cat "$work/got" 2>/dev/null) || { echo "FAIL: Emacs wrote nothing"; cat "$work/emacs.out"; exit 1; }
if [ "$got" != "$want" ]; then
  printf 'FAIL: for the lines\n%s\ncompilation-mode read\n%s\nwanted\n%s\n' "$(cat "$work/out")" "$got" "$want"
  exit 1
fi
echo "emacs stylo.el: $(printf '%s\n' "$want" | wc -l) lines read as wanted"
