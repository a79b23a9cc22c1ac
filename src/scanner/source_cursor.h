#pragma once
/// The source cursor: the file under check seen as a sequence of characters,
/// one line at a time, with the line number that warnings cite.
///
/// Each line reads as its characters followed by one virtual line feed, so a
/// lookahead past the end of a line yields '\n' and never reaches into the
/// next line. There is one cursor for the whole run, reused file after file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/finding.h"
#include "scanner/line_reader.h"

namespace stylo {

struct cursor_state {
  /// Exactly as given on the command line or in the list; the caller's text,
  /// which outlives the check.
  std::string_view file_name;
  line_reader input;            ///< the open source file
  std::string_view line_buffer; ///< the current line, without its line end
  /// 0 before the first line. 64 bits, so that no file is long enough to
  /// make it wrap and cite a wrong line.
  std::uint64_t line_number = 0;
  std::size_t column = 0;       ///< index into `line_buffer`, up to its length
  bool end_flag = false;        ///< the input of the current file is exhausted
  /// A read failed short of the end when the next line was wanted: the scan
  /// ends there (with `end_flag`), and the check says so to its caller.
  bool read_failed = false;
  finding_sink* sink = nullptr; ///< where the rules hand their findings
};

/// The one cursor of the process.
extern cursor_state source_cursor;

/// The character at `index` of the current line, or '\n' at and past its end.
inline char char_at(std::size_t index) {
  return index < source_cursor.line_buffer.size() ? source_cursor.line_buffer[index] : '\n';
}

inline char current_char() { return char_at(source_cursor.column); }

/// Reads the next line into the cursor. Returns false, with `end_flag` set,
/// when there is none. A read error sets `read_failed` too, and leaves an
/// empty line, so that nothing more is found in the file.
bool read_next_line();

/// Moves one character forward, past the virtual line feed onto the next
/// line. Returns false when that crossing found no further line; once the
/// input has ended, a move past the end of the line goes back to column 0
/// of the same line.
inline bool advance() {
  ++source_cursor.column;
  if (source_cursor.column <= source_cursor.line_buffer.size()) return true;
  source_cursor.column = 0;
  return read_next_line();
}

/// Opens `name` as the cursor's input, closing the previous one. The caller
/// says what an outcome other than `opened` means to its user.
open_status open_source(std::string_view name);

/// Closes the cursor's input.
void close_source();

/// Prepares the cursor for the start of a newly opened file: before line 1,
/// on an empty line, so that the first `advance()` reads line 1.
void reset_cursor();

}  // namespace stylo
