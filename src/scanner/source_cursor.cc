#include "scanner/source_cursor.h"

#include "platform/file_input.h"
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
  const platform::input_handle input = platform::open_for_reading(c.file_name);
  if (input != platform::no_input) {
    open_input(c.input, input, true);
    // The first read happens here so that a directory, which Linux lets us
    // open, counts as a file that cannot be opened.
    if (prime_input(c.input) == read_status::line) return true;
    if (!c.input.not_a_file) fail_parsing(c.file_name);
    close_source();
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
