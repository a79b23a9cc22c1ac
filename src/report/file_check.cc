#include "report/file_check.h"

namespace stylo::report {
namespace {

class keeping_sink final : public finding_sink {
 public:
  explicit keeping_sink(file_check& out) : out_(out) {}
  void take(const finding& found) override {
    if (out_.findings.empty() || out_.findings.back().line != found.line) out_.line_texts.emplace_back(found.line_text);
    out_.findings.push_back({found.rule, found.line, found.column, found.end_column, out_.line_texts.size() - 1,
                             std::string(found.subject), std::string(found.suggested), std::string(found.message),
                             found.fix});
  }

 private:
  file_check& out_;
};

}  // namespace

std::size_t file_check::held_bytes() const {
  std::size_t bytes = sizeof *this + name.capacity() + findings.capacity() * sizeof(kept_finding) +
                      line_texts.capacity() * sizeof(std::string);
  for (const std::string& text : line_texts) bytes += text.capacity();
  for (const kept_finding& each : findings) bytes += each.message.capacity();
  return bytes;
}

void file_check::run(checker& with) {
  keeping_sink keep(*this);
  outcome = with.check_file(name, keep);
}

void file_check::replay(finding_sink& sink) const {
  for (const kept_finding& each : findings) {
    sink.take({each.rule, name, each.line, each.column, each.end_column, line_texts[each.line_text], each.subject,
               each.suggested, each.message, each.fix});
  }
}

}  // namespace stylo::report
