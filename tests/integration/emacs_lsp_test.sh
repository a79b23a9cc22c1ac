#!/bin/sh
# Emacs in batch with eglot and contrib/emacs/stylo-lsp.el, a whole session:
# a C file with an `é' and an emoji before findings is opened and Flymake
# must hold stylo's findings as warnings on exactly their text; a line with
# a finding is added; the quick fixes for 'while' (after the é) and '=+'
# (after the emoji) are chosen at the cursor as M-x eglot-code-actions
# offers them, then fix-all (source.fixAll.stylo); the file is saved and
# closed, and M-x eglot-shutdown must give no error, and the server answer
# nothing but the shutdown request (eglot kills the server at once after its
# exit: the server's status, when seen at all, must be 0).
# Batch Emacs runs no idle timers: the test calls what they would call
# (the didChange eglot sends, and Flymake's start).
# Usage: emacs_lsp_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v emacs > /dev/null || { echo "SKIP: emacs is not installed"; exit 77; }
emacs --batch -q --eval '(kill-emacs (if (locate-library "eglot") 0 1))' > /dev/null 2>&1 ||
  { echo "SKIP: eglot is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat > "$work/bin/stylo-lsp" << EOF
#!/bin/sh
"$server" "\$@" 2>> "$work/server.log"
# Written aside and renamed: a wrapper killed while writing leaves no
# status, rather than an empty one.
echo \$? > "$work/status.new" && mv "$work/status.new" "$work/status"
EOF
chmod +x "$work/bin/stylo-lsp"
# A C server found first on PATH, as clangd is on most machines: never run,
# only offered (stylo-lsp.el must not take its place).
printf '#!/bin/sh\nexit 1\n' > "$work/bin/clangd"
chmod +x "$work/bin/clangd"
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/a.c"
cat > "$work/check.el" << 'ELISP'
;; -*- lexical-binding: t -*-
(require 'cl-lib)
(defun say (format-string &rest args)
  (let ((coding-system-for-write 'utf-8-unix))
    (write-region (apply #'format (concat format-string "\n") args) nil (getenv "RESULT") t 'quiet)))
(defun eglot-diagnostics ()
  (sort (cl-remove-if-not (lambda (d) (eq (flymake-diagnostic-backend d) 'eglot-flymake-backend))
                          (flymake-diagnostics))
        (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
(defun show (what count)
  (with-timeout (10 nil)
    (while (/= (length (eglot-diagnostics)) count)
      (accept-process-output nil 0.01)))
  (say "%s: %d" what (length (eglot-diagnostics)))
  (dolist (d (eglot-diagnostics))
    (say "%d %S%s" (line-number-at-pos (flymake-diagnostic-beg d))
         (buffer-substring-no-properties (flymake-diagnostic-beg d) (flymake-diagnostic-end d))
         (if (eq (flymake-diagnostic-type d) 'eglot-warning) "" (format " %s" (flymake-diagnostic-type d))))))
(defun changed ()
  ;; What eglot's and Flymake's idle timers would do after an edit.
  (eglot--signal-textDocument/didChange)
  (flymake-start))
(defun choose (text title &optional kind)
  ;; M-x eglot-code-actions with point at TEXT, TITLE picked from its menu.
  (goto-char (point-min))
  (search-forward text)
  (goto-char (match-beginning 0))
  (let ((offered nil) (last-nonmenu-event ?\r))
    (cl-letf (((symbol-function 'completing-read)
               (lambda (_prompt items &rest _)
                 (setq offered (mapcar #'car items))
                 title)))
      (condition-case err
          (progn
            (if kind
                (eglot-code-actions (point-min) (point-max) kind t)
              (eglot-code-actions (point) nil nil t))
            (if (or kind (member title offered))
                (say "applied: %s" title)
              (say "not offered: %s (only %S)" title offered)))
        (error (say "error: %S" err)))))
  (changed))
(find-file "a.c")
;; What eglot-ensure would run: clangd, not stylo-lsp.
(say "unasked: %s" (file-name-nondirectory (car (nth 3 (eglot--guess-contact)))))
;; M-x eglot: asked, with clangd first; stylo-lsp chosen.
(apply #'eglot (cl-letf (((symbol-function 'completing-read)
                          (lambda (_prompt choices &rest _)
                            (say "offered: %s" (mapconcat #'identity choices " "))
                            "stylo-lsp")))
                 (eglot--guess-contact t)))
(show "opened" 5)
(goto-char (point-min))
(forward-line 5)
(insert "  switch(x) {}\n")
(changed)
(show "edited" 6)
(choose "while(" "Insert a space after 'while'")
(choose "=+" "Change to '+='")
(show "quick fixes" 4)
(choose "if(" "Fix all stylo keyword findings" "source.fixAll.stylo")
(show "fixed all" 1)
(dolist (line (split-string (buffer-substring-no-properties (point-min) (point-max)) "\n"))
  (say "|%s" line))
(let ((server (eglot-current-server)))
  (save-buffer)
  (kill-buffer)
  (condition-case err
      (progn (eglot-shutdown server nil nil t) (say "shut down"))
    (error (say "eglot-shutdown: %S" err)))
  ;; The server's answers from the shutdown request on: that request's
  ;; answer alone, with no error (a notification is never answered).
  (with-current-buffer (jsonrpc-events-buffer server)
    (goto-char (point-min))
    (when (search-forward ":method \"shutdown\"" nil t)
      (while (re-search-forward "^\\[server-reply\\] ([^)]*)\\( ERROR\\)?" nil t)
        (say "answered after shutdown%s" (or (match-string 1) ""))))))
(kill-emacs 0)
ELISP
cd "$work" || exit 1
PATH="$work/bin:$PATH" RESULT="$work/out" timeout 60 emacs --batch -q -l "$root/contrib/emacs/stylo-lsp.el" -l check.el \
  > "$work/log" 2>&1
expected="unasked: clangd
offered: clangd stylo-lsp
opened: 5
3 \"if(\"
4 \"while(\"
4 \"=-\"
5 \"for(\"
5 \"=+\"
edited: 6
3 \"if(\"
4 \"while(\"
4 \"=-\"
5 \"for(\"
5 \"=+\"
6 \"switch(\"
applied: Insert a space after 'while'
applied: Change to '+='
quick fixes: 4
3 \"if(\"
4 \"=-\"
5 \"for(\"
6 \"switch(\"
applied: Fix all stylo keyword findings
fixed all: 1
4 \"=-\"
|int f(int x)
|{
|  if (x) return 1;
|  /* \303\251 */ while (x) x=-1;
|  /* \360\237\230\200 */ for (;;) x+=1;
|  switch (x) {}
|  return 0;
|}
|
shut down
answered after shutdown"
fail=0
if [ "$(cat "$work/out")" != "$(printf '%b' "$expected")" ]; then
  echo "FAIL: eglot saw:"
  cat "$work/out"
  fail=1
fi
if [ "$(cat "$work/a.c")" != "$(printf '%b' "$expected" | sed -n 's/^|//p')" ]; then
  echo "FAIL: the file saved holds:"
  cat "$work/a.c"
  fail=1
fi
# The client kills the server just after the exit, often before the
# server's own end has been seen; a status that was seen must be 0.
if [ -f "$work/status" ] && [ "$(cat "$work/status")" != 0 ]; then
  echo "FAIL: the server ended with status $(cat "$work/status")"
  fail=1
fi
if [ $fail != 0 ]; then
  cat "$work/log" "$work/server.log" 2> /dev/null
  exit 1
fi
echo "eglot: diagnostics, an edit, quick fixes, fix-all, close and eglot-shutdown with no error"
