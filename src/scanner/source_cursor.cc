#include "scanner/source_cursor.h"

namespace stylo {

cursor_state source_cursor;

bool read_next_line() {
  cursor_state& c = source_cursor;
  if (c.input.met_end) {
    c.end_flag = true;
    return false;
  }
  ++c.line_number;
  c.column = 0;
  switch (read_line(c.input, c.line_buffer)) {
    case read_status::line:
      return true;
    case read_status::end:
      c.line_buffer = {};
      c.end_flag = true;
      return false;
    case read_status::error:
      break;
  }
  c.line_buffer = {};
  c.read_failed = true;
  c.end_flag = true;
  return false;
}

open_status open_source(std::string_view name) {
  cursor_state& c = source_cursor;
  close_source();
  c.file_name = name;
  return open_file(c.input, name);
}

void close_source() { close_input(source_cursor.input); }

void reset_cursor() {
  cursor_state& c = source_cursor;
  c.end_flag = false;
  c.read_failed = false;
  c.line_number = 0;
  c.line_buffer = {};
  c.column = 0;
}

}  // namespace stylo
