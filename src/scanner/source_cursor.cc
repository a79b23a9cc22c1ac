#include "scanner/source_cursor.h"

#include "scanner/console_output.h"

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
  fail_parsing(c.file_name);
}

bool open_source(std::string_view name) {
  cursor_state& c = source_cursor;
  close_source();
  c.file_name.assign(name);
  switch (open_file(c.input, c.file_name)) {
    case open_status::opened:
      return true;
    case open_status::cannot_open:
      break;
    case open_status::read_failed:
      fail_parsing(c.file_name);
  }
  write_error_line({"Unable to open file '", c.file_name, "'"});
  return false;
}

void close_source() { close_input(source_cursor.input); }

void reset_cursor() {
  cursor_state& c = source_cursor;
  c.end_flag = false;
  c.line_number = 0;
  c.line_buffer = {};
  c.column = 0;
}

}  // namespace stylo
