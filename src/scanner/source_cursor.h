#pragma once
/// The source cursor: the file under check seen as a sequence of characters,
/// one line at a time, with the line number that warnings cite.
///
/// Each line reads as its characters followed by one virtual line feed, so a
/// lookahead past the end of a line yields '\n' and never reaches into the
/// next line. A cursor belongs to whoever checks files with it (one per
/// thread, one per document) and is reused file after file, so that its
/// reader's buffer is allocated once.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rules/finding.h"
#include "rules/warnings.h"
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
  finding_sink* sink = nullptr; ///< where the rules hand their findings; set for a scan

  cursor_state() = default;
  cursor_state(const cursor_state&) = delete;
  cursor_state& operator=(const cursor_state&) = delete;
  ~cursor_state() { release_input(input); }

  /// The line the cursor is on, for a finding on it.
  finding_line line() const { return {file_name, line_number, line_buffer, input_offset(input, line_buffer.data())}; }
};

/// The character at `index` of the current line, or '\n' at and past its end.
inline char char_at(const cursor_state& c, std::size_t index) {
  return index < c.line_buffer.size() ? c.line_buffer[index] : '\n';
}

inline char current_char(const cursor_state& c) { return char_at(c, c.column); }

/// Reads the next line into the cursor. Returns false, with `end_flag` set,
/// when there is none. A read error sets `read_failed` too, and leaves an
/// empty line, so that nothing more is found in the file.
bool read_next_line(cursor_state& c);

/// Moves one character forward, past the virtual line feed onto the next
/// line. Returns false when that crossing found no further line; once the
/// input has ended, a move past the end of the line goes back to column 0
/// of the same line.
inline bool advance(cursor_state& c) {
  ++c.column;
  if (c.column <= c.line_buffer.size()) return true;
  c.column = 0;
  return read_next_line(c);
}

/// Opens `name` as the cursor's input, closing the previous one. The caller
/// says what an outcome other than `opened` means to its user.
open_status open_source(cursor_state& c, std::string_view name);

/// Closes the cursor's input.
void close_source(cursor_state& c);

/// Prepares the cursor for the start of a newly opened file: before line 1,
/// on an empty line, so that the first `advance()` reads line 1.
void reset_cursor(cursor_state& c);

}  // namespace stylo
