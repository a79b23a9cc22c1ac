#pragma once
/// The lines a branch adds, as its pull request shows them, asked of git:
/// the "+" lines of `git diff` from the merge base of a revision and HEAD
/// to the work tree (staged and unstaged changes alike, renames found, so
/// that a renamed file counts only the lines its edit added; every file
/// diffed as text), and every line of the untracked files that are not
/// ignored. git runs as a child process with its arguments as a vector.

#include <string>

#include "report/changed_lines.h"

namespace stylo::report {

struct git_changes {
  changed_files files;  ///< by name relative to the top of the work tree
  std::string top;      ///< the top of the work tree, as git gives it
  std::string prefix;   ///< the current directory from the top: "" or "sub/dir/"
};

/// Fills `changes` with what changed since the merge base of `revision` and
/// HEAD. Returns an error, one line that says what to do, or empty.
std::string changes_since(const std::string& revision, git_changes& changes);

}  // namespace stylo::report
