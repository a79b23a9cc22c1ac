#pragma once
/// The keyword-parenthesis rule: "if", "switch", "for" and "while" must not
/// be written directly against their opening parenthesis.

#include <string_view>

namespace stylo {

/// Reports `word` if it is one of the four keywords and the cursor, which
/// stands on the character after the word, is on '('. Never moves the cursor.
void check_keyword_parenthesis(std::string_view word);

/// True for the four control keywords, compared case-sensitively.
inline bool is_control_keyword(std::string_view word) {
  return word == "if" || word == "switch" || word == "for" || word == "while";
}

}  // namespace stylo
