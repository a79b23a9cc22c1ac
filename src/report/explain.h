#pragma once
/// `stylo-report --explain=RULE`: a rule's help, in English, as a SARIF
/// report's rule carries it and the manual's RULES section gives it.

#include <string>
#include <string_view>

namespace stylo::report {

/// The help of the rule `name` (its id, "keyword-space", or its SARIF
/// name, "KeywordSpace"), with '\n' line ends; empty for no such rule.
std::string explanation_of(std::string_view name);

/// Writes the help of the rule `name` to standard output: status 0. For a
/// name that is no rule's, one line on standard error that lists the rules'
/// ids: status 2. A failed write: status 2.
int explain_rule(std::string_view name);

}  // namespace stylo::report
