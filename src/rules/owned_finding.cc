#include "rules/owned_finding.h"

#include <deque>
#include <mutex>

#include "rules/rule_catalog.h"
#include "rules/warnings.h"

namespace stylo {
namespace {

// The texts of one thing a rule looks for (a keyword, an operator), as the
// rules write them, kept for the whole run.
struct constant_texts {
  std::string_view subject, suggested;
  std::string message;
};

// Takes the one finding a rule makes on a made-up line: its message.
class message_catcher final : public finding_sink {
 public:
  void take(const finding& found) override { message = found.message; }
  std::string message;
};

// Every message the rules can write, made once by the rules themselves, so
// that a kept finding's text is theirs exactly.
struct rule_texts {
  std::array<constant_texts, control_keywords.size() + reversed_operators.size()> all;
  rule_texts() {
    std::size_t k = 0;
    for (std::string_view keyword : control_keywords) {
      message_catcher catcher;
      const std::string line = std::string(keyword) + "(";
      report_keyword_warning(catcher, {"", 1, line, 0}, keyword.size(), keyword);
      all[k++] = {keyword, {}, std::move(catcher.message)};
    }
    for (const misspelling& m : reversed_operators) {
      message_catcher catcher;
      report_operator_warning(catcher, {"", 1, m.found, 0}, 0, m);
      all[k++] = {m.found, m.suggested, std::move(catcher.message)};
    }
  }
};

const rule_texts& texts() {
  static const rule_texts made;
  return made;
}

// A text no table above holds (no rule makes one today): kept once, for the
// whole run, under a lock, since any thread may keep findings.
std::string_view kept_elsewhere(std::string_view text) {
  static std::mutex guard;
  static std::deque<std::string> kept;
  const std::lock_guard<std::mutex> lock(guard);
  for (const std::string& t : kept) {
    if (t == text) return t;
  }
  return kept.emplace_back(text);
}

}  // namespace

const finding_fix* owned_finding::certain_fix() const {
  for (const finding_fix& f : fixes) {
    if (f.certainty == fix_certainty::certain) return &f;
  }
  return nullptr;
}

finding owned_finding::as_finding(std::string_view file_name, std::string_view line_text) const {
  const finding_fix* certain = certain_fix();
  return {rule,      file_name, line,    column,
          end_column, line_text, subject, suggested,
          message,   certain ? std::optional<fix_edit>(certain->edit) : std::nullopt,
          begin - (column - 1)};
}

owned_finding own(const finding& found) {
  owned_finding kept{found.rule,
                     found.line_offset + found.column - 1,
                     found.line_offset + found.end_column - 1,
                     found.line,
                     found.column,
                     found.end_column,
                     {},
                     {},
                     {},
                     fixes_of(found)};
  for (const constant_texts& t : texts().all) {
    if (t.subject == found.subject && t.suggested == found.suggested && t.message == found.message) {
      kept.subject = t.subject;
      kept.suggested = t.suggested;
      kept.message = t.message;
      return kept;
    }
  }
  kept.subject = kept_elsewhere(found.subject);
  kept.suggested = kept_elsewhere(found.suggested);
  kept.message = kept_elsewhere(found.message);
  return kept;
}

}  // namespace stylo
