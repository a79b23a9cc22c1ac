#include "scanner/file_scan.h"

#include "rules/assignment_rule.h"
#include "rules/keyword_rule.h"
#include "scanner/char_classes.h"
#include "scanner/fast_scan.h"
#include "scanner/source_cursor.h"

namespace stylo {

bool use_plain_scan = false;

namespace {

check_outcome scan_opened(finding_sink& sink) {
  cursor_state& c = source_cursor;
  reset_cursor();
  c.sink = &sink;
  if (use_plain_scan) {
    scan_file_plain();
  } else {
    scan_file_fast();
  }
  c.sink = nullptr;
  close_source();
  return c.read_failed ? check_outcome::read_failed : check_outcome::checked;
}

}  // namespace

check_outcome check_file(std::string_view name, finding_sink& sink) {
  switch (open_source(name)) {
    case open_status::opened:
      return scan_opened(sink);
    case open_status::cannot_open:
      return check_outcome::cannot_open;
    case open_status::read_failed:
      break;
  }
  close_source();
  return check_outcome::read_failed;
}

check_outcome check_input(std::string_view name, platform::input_handle input, finding_sink& sink) {
  cursor_state& c = source_cursor;
  close_source();
  c.file_name = name;
  if (!open_input(c.input, input, false)) return check_outcome::read_failed;
  return scan_opened(sink);
}

check_outcome check_text(std::string_view name, std::string_view text, finding_sink& sink) {
  cursor_state& c = source_cursor;
  close_source();
  c.file_name = name;
  if (!load_text(c.input, text)) return check_outcome::read_failed;
  return scan_opened(sink);
}

void scan_file_plain() {
  while (!source_cursor.end_flag) {
    const char c = current_char();
    if (is_digit(c) || is_identifier_start(c)) {
      // The character that ended the word is examined next, unmoved.
      scan_word();
      continue;
    }
    switch (c) {
      case '\t': case '\n': case ' ': case ';': case '{': case '}':
        break;
      case '"': case '\'':
        skip_to(c);
        break;
      case '#':
        skip_to('\n');
        break;
      case '/':
        // A '/' that opens no comment is not an operator the rules look at.
        if (char_at(source_cursor.column + 1) == '*') {
          skip_block_comment();
        } else if (char_at(source_cursor.column + 1) == '/') {
          skip_to('\n');
        }
        break;
      default:
        check_assignment_operator();
        break;
    }
    advance();
  }
}

void scan_word() {
  // A word never runs past the end of its line (the virtual line feed is no
  // word character), so it is a view of the line: no copy, no allocation.
  const std::size_t first = source_cursor.column;
  while (is_word_char(current_char())) advance();
  check_keyword_parenthesis(source_cursor.line_buffer.substr(first, source_cursor.column - first));
}

void skip_to(char delimiter) {
  cursor_state& c = source_cursor;
  advance();
  // Once the input has ended, advance() only circles within the last line;
  // end_flag is what stops a skip that the file never closed.
  while (!c.end_flag) {
    if (c.column >= c.line_buffer.size()) return;  // the end of the line closes the skip
    const char ch = current_char();
    if (ch == delimiter) return;
    ++c.column;
    if (ch == '\\') advance();  // takes the next character, or the line end, with it
  }
}

void skip_block_comment() {
  advance();
  advance();
  while (!source_cursor.end_flag &&
         !(current_char() == '*' && char_at(source_cursor.column + 1) == '/')) {
    advance();
  }
  if (!source_cursor.end_flag) advance();
}

}  // namespace stylo
