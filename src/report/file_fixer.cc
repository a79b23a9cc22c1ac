#include "report/file_fixer.h"

#include "rules/fixes.h"
#include "core/check.h"

namespace stylo::report {

void file_fixer::edit_collector::take(const finding& found) {
  ++findings;
  if (found.fix && (lines == nullptr || lines->contains(found.line))) edits.push_back(*found.fix);
}

void file_fixer::edit_collector::clear() {
  edits.clear();
  findings = 0;
}

file_fixer::result file_fixer::fix_held(std::string_view name) {
  collector_.clear();
  if (checker_.check_text(name, original_, collector_) != check_outcome::checked) return {status::read_failed};
  if (collector_.edits.empty()) return {collector_.findings == 0 ? status::nothing_found : status::nothing_to_fix};
  fixed_ = apply_fixes(original_, collector_.edits);
  return {status::fixed, collector_.edits.size()};
}

file_fixer::result file_fixer::fix_text(std::string_view name, std::string text) {
  original_ = std::move(text);
  collector_.lines = lines_of(changes_, std::string(name));
  return fix_held(name);
}

}  // namespace stylo::report
