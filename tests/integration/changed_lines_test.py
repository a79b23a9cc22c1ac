#!/usr/bin/env python3
"""stylo-report --changed-since and --changed-lines on a git repository made
here, from a table of changes: each file's base text and its text after the
change, every line marked old or new. What must be reported comes from the
rule model: a line "if(k) {}" has a keyword-space finding at column 1, a
line "y=-1;" a reversed-operator finding at column 2, and a finding counts
on a new line only. The --fix and --diff results come from the same model
(a new "if(k) {}" becomes "if (k) {}", nothing else changes).

Usage: changed_lines_test.py <built stylo-report>
"""
import os
import shutil
import subprocess
import sys
import tempfile

REPORT = os.path.abspath(sys.argv[1])
K, O = "if(k) {}", "y=-1;"  # a keyword finding, an operator finding
FINDING = {K: (1, "keyword-space"), O: (2, "reversed-operator")}
FIXED = {K: "if (k) {}"}
GIT_ENV = dict(os.environ, GIT_AUTHOR_NAME="t", GIT_AUTHOR_EMAIL="t@t.invalid", GIT_COMMITTER_NAME="t",
               GIT_COMMITTER_EMAIL="t@t.invalid", GIT_CONFIG_NOSYSTEM="1", HOME="/nonexistent",
               LC_ALL="C")
failures = []


def c(n):
    return "int c%d = %d;" % (n, n)


def old(*lines):
    return [(line, False) for line in lines]


def new(*lines):
    return [(line, True) for line in lines]


def git(cwd, *args, check=True, **kw):
    return subprocess.run(["git", "-c", "init.defaultBranch=main", *args], cwd=cwd, env=GIT_ENV, check=check,
                          capture_output=True, **kw)


def text_of(lines, end="\n"):
    return "".join(line + end for line, _ in lines)


# The table: a name, its text on main at the branch point (None: absent),
# its committed text on the branch, and its text in the work tree with what
# is staged or not (None: absent). Each text a list of (line, new?).
# "stage": the work tree's change is staged; "untracked": not added.
BASE_A = [c(1), K, c(3), c(4), c(5), c(6), c(7), c(8), c(9), c(10)]
REN = [c(21), c(22), K, c(24), c(25), c(26), c(27), c(28), c(29), c(30)]
FILES = {
    # lines changed, added and deleted; the old finding on line 2 stays old
    "a.c": dict(base=BASE_A,
                branch=old(c(1), K, c(3), c(4)) + new(O) + old(c(6), c(7)) + new(K) + old(c(8), c(9))),
    # two lines moved from the top to the end
    "moved.c": dict(base=[K, O, c(3), c(4), c(5), c(6), c(7), c(8)],
                    branch=old(c(3), c(4), c(5), c(6), c(7), c(8)) + new(K, O)),
    # a rename with an edit: only the edited line counts
    "ren_new.c": dict(base=None, renamed_from="ren_old.c",
                      branch=old(*REN[:6]) + new(O) + old(*REN[7:])),
    # new files: committed, and a header
    "new.c": dict(base=None, branch=new(c(1), K, O)),
    "inc/new.h": dict(base=None, branch=new(c(60), K, c(61))),
    # a deleted file has nothing to report (unlike any new file, or git
    # would take the two for a rename)
    "del.c": dict(base=[O, c(90), c(91), c(92)], branch=None),
    # not C: changed, never checked without a NAME
    "notes.txt": dict(base=[c(1)], branch=old(c(1)) + new(K)),
    # CR LF line ends; and a lone CR, an ordinary byte inside a line
    "crlf.c": dict(base=[c(1), K, c(3)], branch=old(c(1), K) + new(K) + old(c(3)), end="\r\n"),
    "lone_cr.c": dict(base=[c(1), "int q = 1;\r" + K, c(3)], branch=old(c(1), "int q = 1;\r" + K) + new(K) +
                      old(c(3))),
    # names that need care: a blank, a quote, a letter outside ASCII, a dash
    "sp ace.c": dict(base=[c(1)], branch=old(c(1)) + new(K)),
    'qu"ote.c': dict(base=[c(1)], branch=old(c(1)) + new(O)),
    "\u00e9t\u00e9.c": dict(base=[c(1)], branch=old(c(1)) + new(K)),
    "-dash.c": dict(base=[c(1)], branch=old(c(1)) + new(K)),
    # in a subdirectory
    "sub/s.c": dict(base=[K, c(2)], branch=old(K) + new(O) + old(c(2))),
    "sub/deeper/d.c": dict(base=None, branch=new(K)),
    # work tree only: staged, unstaged, untracked, ignored
    "st.c": dict(base=[c(1), K], branch=old(c(1), K), work=old(c(1), K) + new(K), stage=True),
    "us.c": dict(base=[c(1), K], branch=old(c(1), K), work=new(O) + old(c(1), K)),
    "un.c": dict(base=None, branch=None, work=new(K, O), untracked=True),
    "ign.c": dict(base=None, branch=None, work=old(K, O), untracked=True),
    # changed on main after the branch point: not the branch's change
    "m.c": dict(base=[c(1)], branch=old(c(1)), main_after=[c(1), K]),
}


def final(history):
    if "work" in history:
        return history["work"]
    return history["branch"]


def write(root, name, lines, end="\n"):
    path = os.path.join(root, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(text_of(lines, end).encode())


def make_repository(root):
    git(root, "init", "-q")
    write(root, ".gitignore", old("ign.c"))
    for name, history in FILES.items():
        if history["base"] is not None:
            write(root, name, old(*history["base"]), history.get("end", "\n"))
    write(root, "ren_old.c", old(*REN))
    git(root, "add", "-A")
    git(root, "commit", "-qm", "base")
    git(root, "branch", "topic")
    # main moves on after the branch point
    for name, history in FILES.items():
        if "main_after" in history:
            write(root, name, old(*history["main_after"]))
    git(root, "commit", "-qam", "main after")
    git(root, "checkout", "-q", "topic")
    for name, history in FILES.items():
        if history.get("renamed_from"):
            git(root, "mv", history["renamed_from"], name)
        if history["branch"] is None:
            if history["base"] is not None:
                git(root, "rm", "-q", "--", name)
            continue
        write(root, name, history["branch"], history.get("end", "\n"))
    git(root, "add", "-A")
    git(root, "commit", "-qm", "topic")
    for name, history in FILES.items():
        if "work" in history:
            write(root, name, history["work"], history.get("end", "\n"))
            if history.get("stage"):
                git(root, "add", "--", name)


def expected(names, prefix="", only=None, committed_only=False):
    """The findings the model gives: (name as seen from `prefix`, line, column, rule)."""
    got = set()
    for name, history in FILES.items():
        lines = history["branch"] if committed_only else final(history)
        if lines is None or name == "ign.c":
            continue
        if only is not None and not only(name):
            continue
        if only is None and not name.endswith((".c", ".h")):
            continue
        for number, (line, is_new) in enumerate(lines, 1):
            key = line.split("\r")[-1]
            if is_new and key in FINDING:
                column, rule = FINDING[key]
                if line != key:
                    column += len(line) - len(key)
                got.add((os.path.relpath(name, prefix or "."), number, column, rule))
    return got


def findings(output):
    got = set()
    for line in output.decode().splitlines():
        head, _, rest = line.partition(": warning: ")
        name, number, column = head.rsplit(":", 2)
        got.add((name, int(number), int(column), rest.rsplit("[", 1)[1].rstrip("]")))
    return got


def run(cwd, *args, env=None, stdin=None):
    return subprocess.run([REPORT, *args], cwd=cwd, capture_output=True, env=env or GIT_ENV, input=stdin)


def compare(what, result, want, status=None):
    got = findings(result.stdout)
    want_status = status if status is not None else (1 if want else 0)
    if result.returncode != want_status:
        failures.append("%s: status %d, wanted %d: %s" % (what, result.returncode, want_status, result.stderr.decode()))
    if got != want:
        failures.append("%s:\n  missing %s\n  not wanted %s" % (what, sorted(want - got), sorted(got - want)))


def main():
    work = tempfile.mkdtemp()
    try:
        repo = os.path.join(work, "repo")
        os.mkdir(repo)
        make_repository(repo)
        sub = os.path.join(repo, "sub")
        compare("from the root", run(repo, "--changed-since=main"), expected(FILES))
        compare("from a subdirectory", run(sub, "--changed-since=main"), expected(FILES, prefix="sub"))
        compare("a subdirectory's own NAME", run(sub, "--changed-since=main", "."),
                expected(FILES, prefix="sub", only=lambda n: n.startswith("sub/")))
        compare("NAMEs: a directory above, a file with a dash, a file not C",
                run(sub, "--changed-since=main", "-j", "3", "--", "../inc", "../-dash.c", "../notes.txt"),
                expected(FILES, prefix="sub", only=lambda n: n.startswith("inc/") or n in ("-dash.c", "notes.txt")))
        compare("a NAME with nothing changed", run(repo, "--changed-since=main", "m.c"), set())
        compare("the branch against itself: the work tree's change only", run(repo, "--changed-since=HEAD"),
                {f for f in expected(FILES) if f[0] in ("st.c", "us.c", "un.c")})

        # --diff: the fixes of new lines only, for git apply
        diff = run(repo, "--changed-since=main", "--diff")
        if diff.returncode != 1:
            failures.append("--diff: status %d: %s" % (diff.returncode, diff.stderr.decode()))
        check = git(repo, "apply", "--check", "-", input=diff.stdout, check=False)
        if check.returncode != 0:
            failures.append("--diff does not apply: " + check.stderr.decode())
        applied = os.path.join(work, "applied")
        shutil.copytree(repo, applied, symlinks=True)
        git(applied, "apply", "-", input=diff.stdout, check=False)
        fixed_model(applied, "--diff applied")

        # --changed-lines from git format-patch (the branch's commit alone)
        clean = os.path.join(work, "clean")
        git(work, "clone", "-q", "-b", "topic", repo, clean)
        patch = git(clean, "format-patch", "-1", "--stdout").stdout
        compare("--changed-lines=- from git format-patch", run(clean, "--changed-lines=-", stdin=patch),
                expected(FILES, committed_only=True))
        with open(os.path.join(work, "p.patch"), "wb") as f:
            f.write(patch)
        compare("--changed-lines=FILE, NAMEs", run(clean, "--changed-lines=" + os.path.join(work, "p.patch"), "sub"),
                expected(FILES, only=lambda n: n.startswith("sub/"), committed_only=True))
        # --baseline: made from the whole tree at the branch point; a finding
        # is left out when a finding of the same rule, line text, column and
        # occurrence in its whole file was there (the fingerprint's model)
        git(clean, "checkout", "-q", "topic~1")
        base_report = run(clean, "--format=json", ".")
        with open(os.path.join(work, "base.json"), "wb") as f:
            f.write(base_report.stdout)
        compare("--baseline from the branch point", run(repo, "--changed-since=main",
                                                        "--baseline=" + os.path.join(work, "base.json")),
                {f for f in expected(FILES) if not in_base(f)})
        # ... and from diff -u, no git at all
        plain = os.path.join(work, "plain")
        os.makedirs(os.path.join(plain, "old dir"))
        os.makedirs(os.path.join(plain, "new dir"))
        write(plain, "old dir/a.c", old(*BASE_A))
        write(plain, "new dir/a.c", FILES["a.c"]["branch"])
        udiff = subprocess.run(["diff", "-u", "old dir/a.c", "new dir/a.c"], cwd=plain, capture_output=True).stdout
        compare("--changed-lines from diff -u", run(plain, "--changed-lines=-", stdin=udiff, env={"PATH": "/nonexistent"}),
                {("new dir/a.c",) + f[1:] for f in expected({"a.c": FILES["a.c"]}) if f[0] == "a.c"})

        # Errors: status 2, one line that says what to do
        errors(work, repo)
        github_limits(work)

        # --fix last: it changes the work tree
        fix = run(repo, "--changed-since=main", "--fix")
        if fix.returncode != 1:
            failures.append("--fix: status %d: %s" % (fix.returncode, fix.stderr.decode()))
        fixed_model(repo, "--fix")
        compare("after --fix, what is left", run(repo, "--changed-since=main"),
                {f for f in expected(FILES) if f[3] != "keyword-space"})
    finally:
        shutil.rmtree(work)
    for failure in failures:
        print("FAIL: " + failure)
    if failures:
        return 1
    print("changed lines: all cases passed")
    return 0


def occurrences(lines):
    """Each finding of `lines` by (line number) -> (rule, line text, column, occurrence)."""
    seen, keys = {}, {}
    for number, line in enumerate(lines, 1):
        key = line.split("\r")[-1]
        if key in FINDING:
            column, rule = FINDING[key]
            column += len(line) - len(key)
            ident = (rule, line, column)
            keys[number] = ident + (seen.get(ident, 0),)
            seen[ident] = seen.get(ident, 0) + 1
    return keys


def in_base(found):
    name, number = found[0], found[1]
    history = FILES[name]
    if history["base"] is None:
        return False
    return occurrences([line for line, _ in final(history)])[number] in occurrences(history["base"]).values()


def fixed_model(root, what):
    """Every file as the model has it fixed: new K lines fixed, every other byte as it was."""
    for name, history in FILES.items():
        lines = final(history)
        if lines is None:
            continue
        checked = name.endswith((".c", ".h")) and name != "ign.c"
        want = [(FIXED.get(line, line) if is_new and checked else line, is_new) for line, is_new in lines]
        with open(os.path.join(root, name), "rb") as f:
            got = f.read()
        if got != text_of(want, history.get("end", "\n")).encode():
            failures.append("%s: %s is not as the model fixes it: %r" % (what, name, got))


def github_limits(work):
    """Past GitHub's limits, through the program: the job summary and the notice; the SARIF warning."""
    many = os.path.join(work, "limits")
    os.mkdir(many)
    write(many, "many.c", old(*[O] * 25001))
    summary = os.path.join(work, "summary.md")
    result = run(many, "--format=github", "many.c", env=dict(GIT_ENV, GITHUB_STEP_SUMMARY=summary))
    last = result.stdout.decode().splitlines()[-1]
    if not last.startswith("::notice title=stylo::25001 findings") or "job summary" not in last:
        failures.append("github: the closing notice is %r" % last)
    with open(summary, "rb") as f:
        written = f.read()
    if not 1 << 19 < len(written) <= 1 << 20 or b"many.c:1:2: reversed-operator" not in written:
        failures.append("github: the summary holds %d bytes" % len(written))
    result = run(many, "--format=sarif", "many.c")
    import json
    results = json.loads(result.stdout)["runs"][0]["results"]
    said = result.stderr.decode().splitlines()
    if result.returncode != 1 or len(results) != 25001 or len(said) != 1 or "25001 results" not in said[0]:
        failures.append("sarif past 25,000: status %d, %d results, %r" % (result.returncode, len(results), said))


def errors(work, repo):
    cases = []
    cases.append(("an unknown revision", run(repo, "--changed-since=no-such-branch"), "unknown revision 'no-such-branch'"))
    outside = os.path.join(work, "outside")
    os.mkdir(outside)
    cases.append(("not a work tree", run(outside, "--changed-since=main"), "needs a git work tree"))
    empty_path = dict(GIT_ENV, PATH=os.path.join(work, "no-bin"))
    cases.append(("git not found", run(repo, "--changed-since=main", env=empty_path), "git was not found"))
    shallow = os.path.join(work, "shallow")
    git(work, "clone", "-q", "--depth", "1", "-b", "topic", "file://" + repo, shallow)
    git(shallow, "fetch", "-q", "--depth", "1", "origin", "main:main")
    cases.append(("a shallow clone without the merge base", run(shallow, "--changed-since=main"),
                  "git fetch --unshallow"))
    cases.append(("--changed-lines, no such patch", run(repo, "--changed-lines=" + os.path.join(work, "none")),
                  "Unable to open the patch"))
    for what, result, said in cases:
        lines = result.stderr.decode().splitlines()
        if result.returncode != 2 or len(lines) != 1 or said not in lines[0] or result.stdout:
            failures.append("%s: status %d, %r, wanted 2 and one line with %r" % (what, result.returncode, lines, said))


if __name__ == "__main__":
    sys.exit(main())
