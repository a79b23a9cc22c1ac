#include "report/explain.h"

#include "platform/text_output.h"
#include "rules/rule_catalog.h"

namespace stylo::report {

std::string explanation_of(std::string_view name) {
  const rule_info* rule = rule_named(name);
  if (rule == nullptr) return {};
  std::string text(rule->id);
  text.append(" (").append(rule->name).append(")\n").append(rule->summary).append("\n\n");
  text.append(rule->help);
  return text;
}

int explain_rule(std::string_view name) {
  const std::string text = explanation_of(name);
  if (text.empty()) {
    std::string rules;
    for (const rule_info& rule : rule_catalog) {
      rules.append(rules.empty() ? "" : ", ").append(rule.id);
    }
    const std::string problem =
        "stylo-report: no rule '" + std::string(name) + "' to explain (the rules: " + rules + ")\n";
    platform::write_all(platform::output_stream::standard_error, platform::in_system_lines(problem));
    return 2;
  }
  return platform::write_all(platform::output_stream::standard_output, platform::in_system_lines(text)) == 0 ? 0 : 2;
}

}  // namespace stylo::report
