#include "scanner/source_cursor.h"

namespace stylo {

bool read_next_line(cursor_state& c) {
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

open_status open_source(cursor_state& c, std::string_view name) {
  close_source(c);
  c.file_name = name;
  return open_file(c.input, name);
}

void close_source(cursor_state& c) { close_input(c.input); }

void reset_cursor(cursor_state& c) {
  c.end_flag = false;
  c.read_failed = false;
  c.line_number = 0;
  c.line_buffer = {};
  c.column = 0;
}

}  // namespace stylo
