#include "scanner/file_scan.h"

#include "rules/assignment_rule.h"
#include "rules/keyword_rule.h"
#include "rules/warnings.h"
#include "scanner/char_classes.h"

namespace stylo {
namespace {

// The assignment rule on the character under the cursor. Moves the cursor
// only after "==!", onto the second '=', so that the "=!" inside it is not
// reported a second time.
void check_operator_at(cursor_state& c) {
  if (current_char(c) != '=') return;
  const misspelling m = misspelling_after(char_at(c, c.column + 1), char_at(c, c.column + 2));
  if (m.found.empty()) return;
  report_operator_warning(*c.sink, c.line(), c.column, m);
  if (m.found.size() == 3) advance(c);
}

}  // namespace

void scan_file_plain(cursor_state& c) {
  while (!c.end_flag) {
    const char ch = current_char(c);
    if (is_digit(ch) || is_identifier_start(ch)) {
      // The character that ended the word is examined next, unmoved.
      scan_word(c);
      continue;
    }
    switch (ch) {
      case '\t': case '\n': case ' ': case ';': case '{': case '}':
        break;
      case '"': case '\'':
        skip_to(c, ch);
        break;
      case '#':
        skip_to(c, '\n');
        break;
      case '/':
        // A '/' that opens no comment is not an operator the rules look at.
        if (char_at(c, c.column + 1) == '*') {
          skip_block_comment(c);
        } else if (char_at(c, c.column + 1) == '/') {
          skip_to(c, '\n');
        }
        break;
      default:
        check_operator_at(c);
        break;
    }
    advance(c);
  }
}

void scan_word(cursor_state& c) {
  // A word never runs past the end of its line (the virtual line feed is no
  // word character), so it is a view of the line: no copy, no allocation.
  const std::size_t first = c.column;
  while (is_word_char(current_char(c))) advance(c);
  const std::string_view word = c.line_buffer.substr(first, c.column - first);
  if (keyword_against_parenthesis(word, current_char(c))) report_keyword_warning(*c.sink, c.line(), c.column, word);
}

void skip_to(cursor_state& c, char delimiter) {
  advance(c);
  // Once the input has ended, advance() only circles within the last line;
  // end_flag is what stops a skip that the file never closed.
  while (!c.end_flag) {
    if (c.column >= c.line_buffer.size()) return;  // the end of the line closes the skip
    const char ch = current_char(c);
    if (ch == delimiter) return;
    ++c.column;
    if (ch == '\\') advance(c);  // takes the next character, or the line end, with it
  }
}

void skip_block_comment(cursor_state& c) {
  advance(c);
  advance(c);
  while (!c.end_flag && !(current_char(c) == '*' && char_at(c, c.column + 1) == '/')) {
    advance(c);
  }
  if (!c.end_flag) advance(c);
}

}  // namespace stylo
