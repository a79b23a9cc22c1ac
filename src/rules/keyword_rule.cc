#include "rules/keyword_rule.h"

#include "rules/warnings.h"
#include "scanner/source_cursor.h"

namespace stylo {

void check_keyword_parenthesis(std::string_view word) {
  // Only the very next character counts: a blank, a tab or a line end
  // between the keyword and '(' is the wanted style.
  if (current_char() == '(' && is_control_keyword(word)) report_keyword_warning(word);
}

}  // namespace stylo
