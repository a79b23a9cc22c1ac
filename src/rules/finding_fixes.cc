// The fixes of a finding: which readings of it the rules can offer, and how
// sure each is. The scan's finding carries the certain fix; the readings
// only an author can choose between are worked out here, from the finding's
// line, when a finding is kept, so the scan itself never spends on them.

#include "rules/owned_finding.h"
#include "rules/rule_catalog.h"

namespace stylo {
namespace {

bool closes_another_operator(char before) { return std::string_view("!<>=+-*/%&|^").find(before) != std::string_view::npos; }

bool would_make_a_finding(char after) { return std::string_view("=!+-").find(after) != std::string_view::npos; }

const misspelling* misspelling_named(std::string_view found) {
  for (const misspelling& m : reversed_operators) {
    if (m.found == found) return &m;
  }
  return nullptr;
}

}  // namespace

finding_fixes fixes_of(const finding& found) {
  finding_fixes fixes;
  const std::uint64_t begin = found.line_offset + found.column - 1;
  if (found.fix) {
    fixes.add({fix_certainty::certain,
               found.rule == rule_id::keyword_space ? fix_kind::blank_before_parenthesis : fix_kind::operator_swapped,
               *found.fix});
  }
  if (found.rule != rule_id::reversed_operator) return fixes;
  const misspelling* m = misspelling_named(found.subject);
  if (m == nullptr) return fixes;
  // The bytes around the operator, from its line: the line's start and end
  // are a line end or the file's ends, neither of which joins an operator.
  const std::string_view line = found.line_text;
  const std::size_t first = found.column - 1, past = found.end_column - 1;
  const bool swap_is_sound = (first == 0 || first > line.size() || !closes_another_operator(line[first - 1])) &&
                             (past >= line.size() || !would_make_a_finding(line[past]));
  if (swap_is_sound) {
    fixes.add({fix_certainty::suggestion, fix_kind::operator_swapped, {begin, m->found.size(), m->suggested}});
  }
  fixes.add({fix_certainty::suggestion, fix_kind::blank_inside_operator, {begin + m->found.size() - 1, 0, " "}});
  return fixes;
}

std::string fix_title(const owned_finding& found, const finding_fix& f) {
  switch (f.kind) {
    case fix_kind::blank_before_parenthesis:
      return "Insert a space after '" + std::string(found.subject) + "'";
    case fix_kind::operator_swapped:
      return "Change to '" + std::string(f.edit.text) + "'";
    case fix_kind::blank_inside_operator:
      break;
  }
  const std::string_view op = found.subject;
  return "Insert a space: '" + std::string(op.substr(0, op.size() - 1)) + " " + op.back() + "'";
}

}  // namespace stylo
