#include "rules/assignment_rule.h"

#include "rules/warnings.h"
#include "scanner/source_cursor.h"

namespace stylo {

void check_assignment_operator() {
  if (current_char() != '=') return;
  // The lookahead reads the virtual line feed at the end of the line, so an
  // operator split over two lines is never reported.
  const char next = char_at(source_cursor.column + 1);
  if (const misspelling m = misspelling_after(next); !m.found.empty()) {
    report_operator_warning(m.found, m.suggested);
  } else if (next == '=' && char_at(source_cursor.column + 2) == '!') {
    report_operator_warning(double_equals_bang.found, double_equals_bang.suggested);
    advance();
  }
}

}  // namespace stylo
