#pragma once
/// Edits as whole lines of the protocol, so that no client can misplace
/// them. Clients count a line's characters their own way (some count the
/// UTF-16 units they are given as characters, some as bytes), so a column
/// may land a few bytes off on a line with a non-ASCII character before it.
/// A line's start, and the start of the next line, are the same in every
/// count: an edit that replaces a whole line, its line end included, from
/// (line, 0) to (line + 1, 0), needs no column at all.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace stylo::lsp {

/// One replacement of the document's bytes [begin, end) by `text`.
struct byte_edit {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

/// A line as the protocol counts lines (ended by CR LF, LF or a lone CR):
/// its text is [begin, end), its line end [end, next), empty for a last
/// line without one.
struct line_span {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

/// The line that holds the byte at `offset` (the last line for the text's
/// end).
line_span line_at(std::string_view text, std::size_t offset);

/// Whole-line replacements that make `edits` (ascending, not overlapping)
/// in `text`: [begin, next) is one or more whole lines, with their line ends,
/// and `text` what they become, line ends kept as they were. One per changed
/// line; edits on the same line give one.
std::vector<byte_edit> whole_line_edits(std::string_view text, std::span<const byte_edit> edits);

}  // namespace stylo::lsp
