#pragma once
/// Positions in a document: byte offsets, as stylo counts columns, and the
/// protocol's line and character.
///
/// The protocol's lines end at CR LF, at LF and at a lone CR; its characters
/// are counted in the encoding the client and the server agreed on at
/// `initialize`: UTF-8 code units (bytes), UTF-16 code units, or UTF-32 ones
/// (code points, which is how Emacs counts a line's characters). A document
/// may hold bytes that are not UTF-8 (a Latin-1 file opened as it is): in
/// UTF-16 each such byte counts as one code unit, as the U+FFFD that a
/// decoder puts in its place would, and as editors that keep the raw bytes
/// count it; in UTF-32 likewise.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace stylo::lsp {

enum class position_encoding { utf8, utf16, utf32 };

/// The protocol's name of an encoding: "utf-8", "utf-16", "utf-32".
std::string_view name_of(position_encoding encoding);

struct position {
  std::uint64_t line = 0;
  std::uint64_t character = 0;
  friend bool operator==(const position&, const position&) = default;
};

/// The length of the UTF-8 sequence that starts `bytes` when it is a whole,
/// valid one (1 to 4), or 0 for a byte that starts no valid sequence (or
/// for no byte): stylo-report's reading of UTF-8 (text/utf8_text.h).
std::size_t utf8_sequence_length(std::string_view bytes);

/// How many code units of `encoding` the bytes of `text` make.
std::uint64_t units_in(std::string_view text, position_encoding encoding);

/// The byte offset within `line` (a line's text, without its line end) at
/// which `units` code units end. Past the line's end: the line's length. In
/// the middle of a character (half a surrogate pair): that character's start.
std::size_t offset_in_line(std::string_view line, std::uint64_t units, position_encoding encoding);

/// The byte offset of a protocol position in `text`. A line past the last one
/// gives the text's end; a character past its line's end gives the line's end.
std::size_t offset_of(std::string_view text, position at, position_encoding encoding);

/// Byte offsets to protocol positions, walking the text forward: finding
/// after finding costs only the bytes between them. An offset before the
/// previous one starts the walk again from the top.
class position_walker {
 public:
  position_walker(std::string_view text, position_encoding encoding);
  position at(std::size_t offset);

 private:
  std::string_view text_;
  position_encoding encoding_;
  bool has_cr_;
  std::size_t scanned_ = 0;     ///< every line end before it has been counted
  std::uint64_t line_ = 0;      ///< the protocol line that `line_start_` starts
  std::size_t line_start_ = 0;
  std::size_t counted_to_ = 0;  ///< bytes of the line measured so far ...
  std::uint64_t units_ = 0;     ///< ... and the code units they make
};

}  // namespace stylo::lsp
