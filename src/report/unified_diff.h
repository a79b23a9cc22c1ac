#pragma once
/// One file's change as a unified diff in git's form, which `git apply` and
/// `patch -p1` both take from the directory the names are relative to.

#include <functional>
#include <string>
#include <string_view>

namespace stylo {

/// Appends to `out` the diff from `old_text` to `new_text` of the file
/// `name`: "diff --git a/NAME b/NAME", "--- a/NAME", "+++ b/NAME", then
/// hunks with three lines of context, hunks whose contexts would touch or
/// overlap merged into one. Lines are ended by a line feed alone: a carriage
/// return is a byte of its line, so CR LF and lone CR files come through
/// exactly. A last line without line feed is followed by "\ No newline at
/// end of file". A name with a control byte, a '"', a '\', DEL or a byte
/// >= 0x80 is quoted as git quotes it. Nothing is appended when the texts
/// are the same.
///
/// A text with NUL bytes gets a text diff too, where git's own diff would
/// call the file binary and show no lines: `git apply` and GNU patch both
/// take the NUL bytes of a hunk as they are (the tests apply one with each).
///
/// With `spill`, `out` is handed to it (to be written and emptied) each
/// time it holds a block, so that the diff of a large file streams.
void append_unified_diff(std::string& out, std::string_view name, std::string_view old_text,
                         std::string_view new_text, const std::function<void(std::string&)>& spill = {});

/// "a/NAME" (with `prefix` "a/") as git writes it in a diff: as it is, or in
/// double quotes with C escapes where the name needs them.
std::string quoted_diff_name(std::string_view prefix, std::string_view name);

}  // namespace stylo
