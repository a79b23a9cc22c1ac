#pragma once
/// The keyword-parenthesis rule: "if", "switch", "for" and "while" must not
/// be written directly against their opening parenthesis.

#include <string_view>

#include "rules/rule_catalog.h"

namespace stylo {

/// True for the control keywords, compared whole and case-sensitively.
constexpr bool is_control_keyword(std::string_view word) {
  for (std::string_view keyword : control_keywords) {
    if (word == keyword) return true;
  }
  return false;
}

/// Whether a whole `word` the scan collected, followed directly by the byte
/// `next` ('\n' at the end of its line), is a finding. Only the very next
/// byte counts: a blank, a tab or a line end before '(' is the wanted style.
constexpr bool keyword_against_parenthesis(std::string_view word, char next) {
  return next == '(' && is_control_keyword(word);
}

}  // namespace stylo
