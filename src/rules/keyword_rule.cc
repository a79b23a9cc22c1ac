#include "rules/keyword_rule.h"

#include <array>

#include "rules/warnings.h"
#include "scanner/source_cursor.h"

namespace stylo {

bool is_control_keyword(std::string_view word) {
  static constexpr std::array<std::string_view, 4> keyword_table{"if", "switch", "for", "while"};
  for (std::string_view keyword : keyword_table) {
    if (word == keyword) return true;
  }
  return false;
}

void check_keyword_parenthesis(std::string_view word) {
  // Only the very next character counts: a blank, a tab or a line end
  // between the keyword and '(' is the wanted style.
  if (current_char() == '(' && is_control_keyword(word)) report_keyword_warning(word);
}

}  // namespace stylo
