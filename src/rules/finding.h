#pragma once
/// A finding as data: what the rules hand to the program, which chooses how
/// to write it (stylo's warning lines, a report format, an editor's
/// diagnostics). Findings flow one way: the scan finds, a rule makes the
/// finding, the program's sink takes it. Nothing here writes or exits.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace stylo {

/// The two rules. Their ids, names and descriptions are in rule_catalog.h.
enum class rule_id { keyword_space, reversed_operator };

/// One change to a text: the `length` bytes at `offset` replaced by `text`
/// (an insertion where `length` is 0). The offset counts the file's own
/// bytes, as read from it: a CR LF is two bytes, and nothing is translated.
struct fix_edit {
  std::uint64_t offset;
  std::size_t length;
  std::string_view text;  ///< a constant of the rule's: valid for the whole run
};

/// One finding, as the scan hands it over. Every view is valid only during
/// the sink's `take` call: the scan makes findings by the million and copies
/// nothing for them. A program that keeps findings beyond the call keeps
/// them as `owned_finding` (rules/owned_finding.h).
struct finding {
  rule_id rule;
  std::string_view file_name;  ///< exactly as given
  /// The line, counted as stylo counts lines: ended by a line feed only (a
  /// lone carriage return is an ordinary byte), from 1.
  std::uint64_t line;
  /// The byte where the finding starts, from 1: the keyword's first
  /// character, or the '=' that the operator rule looked at.
  std::size_t column;
  /// The byte one past the finding's last one, from 1: past the '(' after a
  /// keyword, past "=-" or "==!" for an operator.
  std::size_t end_column;
  /// The whole line, without its line end (no line feed, and no carriage
  /// return right before it).
  std::string_view line_text;
  /// The keyword ("while"), or the operator found ("=-", "==!").
  std::string_view subject;
  /// The operator suggested ("-=", "!="); empty for a keyword.
  std::string_view suggested;
  /// The warning's text, as stylo writes it after "warning: ".
  std::string_view message;
  /// The edit that removes the finding where what was meant is certain (a
  /// keyword: one blank before its parenthesis); none where only the author
  /// knows (an operator: reversed, or a blank missing?).
  std::optional<fix_edit> fix;
  /// The file's offset of the line's first byte: with `column`, where the
  /// finding is in the file's bytes.
  std::uint64_t line_offset;
};

/// Where the rules hand their findings, in the order found: file by file,
/// line by line, left to right.
class finding_sink {
 public:
  virtual void take(const finding& found) = 0;

 protected:
  ~finding_sink() = default;
};

}  // namespace stylo
