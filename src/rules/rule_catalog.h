#pragma once
/// The rules' facts, in one table: what each rule is called, what it says
/// about itself, and the words and operators it looks for. Everything else
/// that knows a rule's words (the scan's keyword lookup, the byte searches'
/// letter tables, a report's rule list, an editor's diagnostic codes and
/// quick fixes) takes them from here, or is checked against this table when
/// it is compiled.
///
/// Adding a rule:
///  1. Add its id at the end of `rule_id` (rules/finding.h) and its entry,
///     in the same place, to `rule_catalog` below: a stable id, a name,
///     the texts, and its keywords or operators if it has any.
///  2. Write the check as a function of the line's text and a position
///     (rules/keyword_rule.h and rules/assignment_rule.h are the pattern),
///     and its message in rules/warnings.cc: the finding's certain fix, if
///     it has one, goes there; suggestions an editor offers go in
///     rules/finding_fixes.cc.
///  3. Call it from the plain scan (scanner/file_scan.cc), the reference;
///     then teach the fast scan (scanner/fast_scan.cc) and its byte
///     searches (scanner/byte_search.h) the bytes where it can fire. The
///     static_asserts there fail the build until the searches stop at every
///     keyword ending and operator listed here.
///  4. Extend the tables in tests/rules_test.cc; the differential tests and
///     the fuzzer then hold every scan to the plain one.

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "rules/finding.h"

namespace stylo {

/// An operator the reversed-operator rule reports, and the one it suggests
/// instead.
struct misspelling {
  std::string_view found;
  std::string_view suggested;
};

/// The control keywords that may not touch their '('; no other word counts.
inline constexpr std::array<std::string_view, 4> control_keywords{"if", "switch", "for", "while"};

/// The reversed operators: '=' and one sign, and "==!".
inline constexpr std::array<misspelling, 4> reversed_operators{{
    {"=!", "!="},
    {"=+", "+="},
    {"=-", "-="},
    {"==!", "!="},
}};

struct rule_info {
  rule_id rule;
  std::string_view id;           ///< stable, short, lower case: "keyword-space"
  std::string_view name;         ///< the same in PascalCase, for SARIF: "KeywordSpace"
  std::string_view summary;      ///< one sentence
  std::string_view description;  ///< one paragraph: why it matters, how to silence it
  std::span<const std::string_view> keywords;  ///< the words it finds against a '(', if any
  std::span<const misspelling> operators;      ///< the operators it finds, if any
};

inline constexpr std::array<rule_info, 2> rule_catalog{{
    {rule_id::keyword_space, "keyword-space", "KeywordSpace",
     "A control keyword is written directly against its opening parenthesis.",
     "The control keywords if, switch, for and while take a blank before their opening parenthesis, "
     "so that a statement never reads like a function call: write 'if (x)', not 'if(x)'. "
     "A blank, a tab or a line end between the keyword and the parenthesis silences the finding.",
     control_keywords, {}},
    {rule_id::reversed_operator, "reversed-operator", "ReversedOperator",
     "An '=' directly before '!', '+' or '-' is probably a reversed '!=', '+=' or '-='.",
     "'x=-1' compiles whether '-=' or '= -' was meant, and the two do different things; '==!' is likewise "
     "a probable '!='. If the compound operator was meant, swap the two signs ('x -= 1'); if not, put a "
     "blank between them ('x = -1'), which silences the finding and shows the reader which was meant.",
     {}, reversed_operators},
}};

// The table is indexed by rule_id.
static_assert([] {
  for (std::size_t i = 0; i < rule_catalog.size(); ++i) {
    if (rule_catalog[i].rule != static_cast<rule_id>(i)) return false;
  }
  return true;
}());

constexpr const rule_info& info_of(rule_id rule) { return rule_catalog[static_cast<std::size_t>(rule)]; }

/// The longest control keyword: how far back from a '(' a word can matter.
inline constexpr std::size_t longest_keyword =
    std::max_element(control_keywords.begin(), control_keywords.end(),
                     [](std::string_view a, std::string_view b) { return a.size() < b.size(); })
        ->size();

/// The last two letters of each keyword, in the table's order: the bytes a
/// search looks at before a '('. Every keyword has at least two.
inline constexpr std::array<std::array<char, 2>, control_keywords.size()> keyword_endings = [] {
  std::array<std::array<char, 2>, control_keywords.size()> endings{};
  for (std::size_t k = 0; k < control_keywords.size(); ++k) {
    const std::string_view word = control_keywords[k];
    endings[k] = {word[word.size() - 2], word[word.size() - 1]};
  }
  return endings;
}();
static_assert(std::all_of(control_keywords.begin(), control_keywords.end(),
                          [](std::string_view word) { return word.size() >= 2; }),
              "the searches find a keyword by the two letters before its '('");

/// True for `found` written as `a` followed by one byte of `signs`, or as
/// `three`: what the byte searches stop at after an '='.
constexpr bool operators_are(std::string_view signs, std::string_view three) {
  if (reversed_operators.size() != signs.size() + 1) return false;
  std::size_t k = 0;
  for (const char sign : signs) {
    const misspelling& m = reversed_operators[k++];
    if (m.found.size() != 2 || m.found[0] != '=' || m.found[1] != sign) return false;
  }
  return reversed_operators[k].found == three;
}

}  // namespace stylo
