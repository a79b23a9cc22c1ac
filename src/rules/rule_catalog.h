#pragma once
/// What each rule is, for reports and manuals: a stable id that never
/// changes between releases, a name, and its descriptions.

#include <array>
#include <string_view>

#include "rules/finding.h"

namespace stylo {

struct rule_info {
  rule_id rule;
  std::string_view id;           ///< stable, short, lower case: "keyword-space"
  std::string_view name;         ///< the same in PascalCase, for SARIF: "KeywordSpace"
  std::string_view summary;      ///< one sentence
  std::string_view description;  ///< one paragraph: why it matters, how to silence it
};

inline constexpr std::array<rule_info, 2> rule_catalog{{
    {rule_id::keyword_space, "keyword-space", "KeywordSpace",
     "A control keyword is written directly against its opening parenthesis.",
     "The control keywords if, switch, for and while take a blank before their opening parenthesis, "
     "so that a statement never reads like a function call: write 'if (x)', not 'if(x)'. "
     "A blank, a tab or a line end between the keyword and the parenthesis silences the finding."},
    {rule_id::reversed_operator, "reversed-operator", "ReversedOperator",
     "An '=' directly before '!', '+' or '-' is probably a reversed '!=', '+=' or '-='.",
     "'x=-1' compiles whether '-=' or '= -' was meant, and the two do different things; '==!' is likewise "
     "a probable '!='. If the compound operator was meant, swap the two signs ('x -= 1'); if not, put a "
     "blank between them ('x = -1'), which silences the finding and shows the reader which was meant."},
}};

inline const rule_info& info_of(rule_id rule) { return rule_catalog[static_cast<std::size_t>(rule)]; }

}  // namespace stylo
