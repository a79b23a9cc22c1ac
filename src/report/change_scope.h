#pragma once
/// Which changed files a run checks, and by what name: the changed files
/// named relative to the current directory (where NAMEs are given, and the
/// files are opened), restricted to the NAMEs when there are some (a NAME
/// is a file, or a directory holding files at any depth), else to every
/// changed .c and .h file. A file whose change adds no line is left out:
/// nothing in it can count, so it is not even read.

#include <string>
#include <vector>

#include "report/changed_lines.h"
#include "report/options.h"

namespace stylo::report {

/// `changes`: by name relative to `top`; `prefix`: the current directory
/// relative to `top`, "" or ending in '/'. `top` may be empty when no
/// absolute NAME needs it. Fills `selected`, by name relative to the
/// current directory.
void select_changes(const changed_files& changes, const std::string& top, const std::string& prefix,
                    const std::vector<std::string>& names, changed_files& selected);

/// The change of --changed-since (asked of git) or --changed-lines (read
/// from the patch), selected by the NAMEs of `given`. Returns an error, one
/// line that says what to do, or empty.
std::string find_changes(const options& given, changed_files& selected);

}  // namespace stylo::report
