#pragma once
/// Reads a unified diff (git diff, git format-patch, diff -u, and the diffs
/// of other version control systems) for the lines it adds: for each file
/// named on a "+++" line, the new side's line numbers of its "+" lines. A
/// leading "b/" is taken off the name (git's prefix, as patch -p1 does);
/// "/dev/null" (a file deleted) is skipped; a name git quoted ("b/a\"b.c",
/// octal escapes for bytes outside ASCII) is unquoted; what diff -u puts
/// after a tab (the file's time) is not part of the name. Everything outside
/// the hunks (mail headers, "diff --git", index and rename lines, a
/// signature) is passed over.

#include <string>
#include <string_view>

#include "report/changed_lines.h"

namespace stylo::report {

/// Adds the patch's added lines to `into`. Returns an error, one line
/// without line end, for a hunk header that cannot be read; else empty.
std::string read_patch(std::string_view patch, changed_files& into);

/// The name of a "+++ " or "--- " line, the marker taken off: unquoted,
/// its time cut off, without a line end. False when a quoted name does not
/// end its quote.
bool patch_name(std::string_view text, std::string& name);

}  // namespace stylo::report
