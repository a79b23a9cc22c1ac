#pragma once
/// The keyword-parenthesis rule: "if", "switch", "for" and "while" must not
/// be written directly against their opening parenthesis.

#include <array>
#include <string_view>

namespace stylo {

/// Reports `word` if it is one of the four keywords and the cursor, which
/// stands on the character after the word, is on '('. Never moves the cursor.
void check_keyword_parenthesis(std::string_view word);

/// The control keywords the rule looks for; no other word counts.
inline constexpr std::array<std::string_view, 4> keyword_table{"if", "switch", "for", "while"};

/// True for the four control keywords, compared whole and case-sensitively.
inline bool is_control_keyword(std::string_view word) {
  for (std::string_view keyword : keyword_table) {
    if (word == keyword) return true;
  }
  return false;
}

}  // namespace stylo
