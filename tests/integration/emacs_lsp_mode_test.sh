#!/bin/sh
# Emacs in batch with lsp-mode and contrib/emacs/stylo-lsp-mode.el, a whole
# session: a C file with an `é' and an emoji before findings is opened and
# its diagnostics read as Flycheck, lsp-mode's front end for them, shows
# them; a line with a finding is added; the quick fix for 'while' (after the
# é) is chosen with the cursor where lsp-mode shows that finding, and the one
# for '=+' (after the emoji) with the cursor on its text, both as M-x
# lsp-execute-code-action offers them; a blank is typed after the emoji, and
# fix-all (source.fixAll.stylo), chosen on the 'for(' after it, rewrites
# that line, so the blank must stay where it was typed; the file is saved
# and closed, and
# M-x lsp-workspace-shutdown must give no error, and the server answer
# nothing but the shutdown request (lsp-mode kills the server at once after
# its exit: the server's status, when seen at all, must be 0).
#
# lsp-mode 8 counts columns in characters whatever the server says;
# stylo-lsp-mode.el has it offer UTF-32 positions, which count the same, so
# every finding must cover exactly its text, after the emoji too.
# Usage: emacs_lsp_mode_test.sh <source tree> <stylo-lsp>
root=$1
server=$2
command -v emacs > /dev/null || { echo "SKIP: emacs is not installed"; exit 77; }
emacs --batch -q --eval '(kill-emacs (if (locate-library "lsp-mode") 0 1))' > /dev/null 2>&1 ||
  { echo "SKIP: lsp-mode is not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/home" "$work/project"
cat > "$work/bin/stylo-lsp" << EOF
#!/bin/sh
"$server" "\$@" 2>> "$work/server.log"
# Written aside and renamed: a wrapper killed while writing leaves no
# status, rather than an empty one.
echo \$? > "$work/status.new" && mv "$work/status.new" "$work/status"
EOF
chmod +x "$work/bin/stylo-lsp"
printf 'int f(int x)\n{\n  if(x) return 1;\n  /* \303\251 */ while(x) x=-1;\n  /* \360\237\230\200 */ for(;;) x=+1;\n  return 0;\n}\n' > "$work/project/a.c"
cat > "$work/check.el" << 'ELISP'
;; -*- lexical-binding: t -*-
(require 'cl-lib)
(require 'lsp-mode)
(require 'flycheck)
;; What a user's package autoloads set up: Flycheck for lsp-mode's findings.
(require 'lsp-diagnostics)
(setq lsp-session-file (expand-file-name "lsp-session" (getenv "HOME"))
      lsp-enabled-clients '(stylo)
      lsp-diagnostics-provider :flycheck
      lsp-enable-snippet nil
      lsp-modeline-workspace-status-enable nil
      lsp-enable-file-watchers nil
      lsp-headerline-breadcrumb-enable nil
      lsp-modeline-code-actions-enable nil
      lsp-modeline-diagnostics-enable nil
      lsp-enable-suggest-server-download nil
      lsp-log-io t)
(load (expand-file-name "contrib/emacs/stylo-lsp-mode.el" (getenv "STYLO_ROOT")))
(defun say (format-string &rest args)
  (let ((coding-system-for-write 'utf-8-unix))
    (write-region (apply #'format (concat format-string "\n") args) nil (getenv "RESULT") t 'quiet)))
(defun diagnostics ()
  ;; What Flycheck, lsp-mode's front end for them, shows: a check (which
  ;; lsp-mode's checker answers at once from the findings it holds), then
  ;; each error's text as Flycheck marks it.
  (flycheck-buffer)
  (sort (mapcar (lambda (e) (flycheck-error-region-for-mode e 'columns)) flycheck-current-errors)
        (lambda (a b) (< (car a) (car b)))))
(defun show (what count)
  (with-timeout (10 nil)
    (while (/= (length (diagnostics)) count)
      (accept-process-output nil 0.01)))
  (say "%s: %d" what (length (diagnostics)))
  (dolist (d (diagnostics))
    (say "%d %S" (line-number-at-pos (car d)) (buffer-substring-no-properties (car d) (cdr d)))))
(defun choose (where title &optional kind)
  ;; M-x lsp-execute-code-action (or -by-kind) with point at WHERE, TITLE
  ;; picked from its menu when it offers one; says which action ran.
  ;; WHERE is a text to find, or (LINE . N): the Nth diagnostic on LINE
  ;; where lsp-mode puts it, as M-x flycheck-next-error would go to it.
  (goto-char (point-min))
  (if (not (if (stringp where)
               (and (search-forward where nil t) (goto-char (match-beginning 0)))
             (let ((on-line (cl-remove-if-not (lambda (d) (= (line-number-at-pos (car d)) (car where)))
                                              (diagnostics))))
               (and (nth (cdr where) on-line) (goto-char (car (nth (cdr where) on-line)))))))
      (say "nowhere to put the cursor: %S" where)
    (cl-letf (((symbol-function 'completing-read)
               (lambda (_prompt items &rest _)
                 (let ((offered (all-completions "" items)))
                   (or (car (member title offered))
                       (progn (say "not offered: %s (only %S)" title offered) (car offered)))))))
      (condition-case err
          (if kind
              (lsp-execute-code-action-by-kind kind)
            (lsp-execute-code-action (lsp--select-action (lsp-code-actions-at-point))))
        (error (say "error: %S" err))))))
(advice-add 'lsp-execute-code-action :before
            (lambda (action) (say "applied: %s" (lsp:code-action-title action))))
(find-file (expand-file-name "project/a.c" (getenv "WORK")))
(lsp-workspace-folders-add default-directory)
(lsp)
(with-timeout (10 (say "no workspace") (kill-emacs 1))
  (while (not (and (lsp-workspaces) (eq (lsp--workspace-status (car (lsp-workspaces))) 'initialized)))
    (accept-process-output nil 0.01)))
(show "opened" 5)
(goto-char (point-min))
(forward-line 5)
(insert "  switch(x) {}\n")
(show "edited" 6)
(choose '(4 . 0) "Insert a space after 'while'")
(choose "=+" "Change to '+='")
(show "quick fixes" 4)
;; A blank typed after the emoji (lsp-mode sends the change as it is made).
(goto-char (point-min))
(search-forward "x+=")
(insert " ")
(choose "for(" "Fix all stylo keyword findings" "source.fixAll.stylo")
(show "fixed all" 1)
(dolist (line (split-string (buffer-substring-no-properties (point-min) (point-max)) "\n"))
  (say "|%s" line))
(let ((workspace (car (lsp-workspaces))))
  (save-buffer)
  (kill-buffer)
  (let ((errors nil))
    (cl-letf* ((message-function (symbol-function 'message))
               ((symbol-function 'message)
                (lambda (format-string &rest args)
                  (when (and format-string (string-match-p "LSP error\\|Timeout\\|Error processing" format-string))
                    (push (apply #'format format-string args) errors))
                  (apply message-function format-string args))))
      (lsp-workspace-shutdown workspace)
      (accept-process-output nil 0.1))
    (say (if errors (format "lsp-workspace-shutdown: %S" errors) "shut down"))))
;; The server's answers from the shutdown request on, as lsp-mode's log of
;; the traffic shows them: that request's answer alone, with no error.
(dolist (buffer (buffer-list))
  (when (string-prefix-p "*lsp-log: stylo" (buffer-name buffer))
    (with-current-buffer buffer
      (goto-char (point-min))
      (when (search-forward "Sending request 'shutdown" nil t)
        (while (re-search-forward "^\\[Trace[^]]*\\] Received response '\\([^ ']+\\).*\nResult: \\(.*\\)" nil t)
          (say "after shutdown, the answer to %s%s" (match-string 1)
               (if (string-match-p "\"code\"" (match-string 2)) ", an error" ""))))))))
(kill-emacs 0)
ELISP
cd "$work/project" || exit 1
PATH="$work/bin:$PATH" HOME="$work/home" WORK="$work" STYLO_ROOT="$root" RESULT="$work/out" \
  timeout 60 emacs --batch -q -l "$work/check.el" > "$work/log" 2>&1
expected="opened: 5
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
|  /* \360\237\230\200 */ for (;;) x+= 1;
|  switch (x) {}
|  return 0;
|}
|
shut down
after shutdown, the answer to shutdown"
fail=0
if [ "$(cat "$work/out")" != "$(printf '%b' "$expected")" ]; then
  echo "FAIL: lsp-mode saw:"
  cat "$work/out"
  fail=1
fi
if [ "$(cat "$work/project/a.c")" != "$(printf '%b' "$expected" | sed -n 's/^|//p')" ]; then
  echo "FAIL: the file saved holds:"
  cat "$work/project/a.c"
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
echo "lsp-mode: diagnostics, an edit, quick fixes, fix-all, close and lsp-workspace-shutdown with no error"
