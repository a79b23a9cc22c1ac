#include "rules/assignment_rule.h"

#include "rules/warnings.h"
#include "scanner/source_cursor.h"

namespace stylo {

void check_assignment_operator() {
  if (current_char() != '=') return;
  // The lookahead reads the virtual line feed at the end of the line, so an
  // operator split over two lines is never reported.
  const char next = char_at(source_cursor.column + 1);
  switch (next) {
    case '!':
      report_operator_warning("=!", "!=");
      break;
    case '+':
      report_operator_warning("=+", "+=");
      break;
    case '-':
      report_operator_warning("=-", "-=");
      break;
    case '=':
      if (char_at(source_cursor.column + 2) == '!') {
        report_operator_warning("==!", "!=");
        advance();
      }
      break;
    default:
      break;
  }
}

}  // namespace stylo
