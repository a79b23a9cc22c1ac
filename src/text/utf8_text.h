#pragma once
/// UTF-8 as the companion programs meet it (stylo-report's names and lines,
/// stylo-lsp's documents): bytes, most of them UTF-8, some not. A byte that
/// starts no well-formed UTF-8 sequence (a stray continuation byte, an
/// overlong form, a surrogate, past U+10FFFF, a sequence cut short) counts
/// as one character of its own, which text formats show as U+FFFD and which
/// is one UTF-16 code unit, as editors that keep the raw bytes count it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace stylo {

/// The length (1-4) of the well-formed UTF-8 sequence at `text[at]`, or 0
/// when the byte there starts none.
std::size_t utf8_sequence_length(std::string_view text, std::size_t at);

/// The code point of the well-formed sequence of `length` bytes at `text[at]`.
char32_t utf8_code_point(std::string_view text, std::size_t at, std::size_t length);

/// One character of a text: the bytes it takes and the UTF-16 code units
/// it makes (2 outside the Basic Multilingual Plane; 1 for a byte that
/// starts no well-formed sequence, a character of its own).
struct utf16_character {
  std::size_t bytes;
  std::uint64_t units;
};

/// The character at `text[at]`, `at` within the text. Every count of UTF-16
/// code units (a report's columns, an editor's positions) walks with it.
inline utf16_character utf16_character_at(std::string_view text, std::size_t at) {
  if (static_cast<unsigned char>(text[at]) < 0x80) return {1, 1};
  const std::size_t length = utf8_sequence_length(text, at);
  if (length == 0) return {1, 1};
  return {length, length == 4 ? 2u : 1u};
}

/// U+FFFD, the replacement character, in UTF-8.
inline constexpr std::string_view replacement_character = "\xEF\xBF\xBD";

/// The column, counted from 1 in UTF-16 code units, of the byte at
/// `byte_column` (counted from 1) of `line`: what editors, GitHub and SARIF
/// readers count. A character outside the Basic Multilingual Plane counts
/// two, a byte that is not UTF-8 one (as the U+FFFD that stands for it).
std::uint64_t utf16_column(std::string_view line, std::size_t byte_column);

/// The UTF-16 code units of the characters in bytes [from, to) of `text`,
/// `from` on a character's start; each byte past the text counts one.
std::uint64_t utf16_units_between(std::string_view text, std::size_t from, std::size_t to);

/// `utf16_column` for findings in the order found: several findings on one
/// line (which may be very long) go on counting from the one before, so a
/// line is counted through once, not once per finding.
class utf16_columns {
 public:
  std::uint64_t column(std::uint64_t line_number, std::string_view line, std::size_t byte_column);
  void new_file() { line_number_ = 0; }

 private:
  std::uint64_t line_number_ = 0;  ///< 0: nothing counted yet
  std::size_t byte_column_ = 1;
  std::uint64_t units_column_ = 1;
};

}  // namespace stylo
