#include "report/file_check.h"

namespace stylo::report {
namespace {

class keeping_sink final : public finding_sink {
 public:
  keeping_sink(file_check& out, std::size_t keep_at_most) : out_(out), room_(keep_at_most) {}
  void take(const finding& found) override {
    ++out_.found;
    out_.fixable = out_.fixable || found.fix.has_value();
    if (out_.dropped) return;
    const bool new_line = out_.findings.empty() || out_.findings.back().line != found.line;
    const std::size_t bytes =
        sizeof(owned_finding) + (new_line ? sizeof(std::string) + found.line_text.size() : 0);
    if (bytes > room_) {
      // Nothing kept, and the memory given back at once: the report checks
      // this file again when its turn comes.
      out_.dropped = true;
      out_.kept_bytes = 0;
      std::vector<owned_finding>().swap(out_.findings);
      std::vector<std::string>().swap(out_.line_texts);
      return;
    }
    room_ -= bytes;
    out_.kept_bytes += bytes;
    if (new_line) out_.line_texts.emplace_back(found.line_text);
    out_.findings.push_back(own(found));
  }

 private:
  file_check& out_;
  std::size_t room_;  ///< bytes the file may still keep
};

}  // namespace

std::size_t file_check::held_bytes() const { return sizeof *this + name.capacity() + kept_bytes; }

void file_check::run(checker& with, std::size_t keep_at_most) {
  keeping_sink keep(*this, keep_at_most);
  outcome = with.check_file(name, keep);
}

void file_check::replay(finding_sink& sink) const {
  std::size_t line_text = 0;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const owned_finding& each = findings[i];
    if (i > 0 && findings[i - 1].line != each.line) ++line_text;
    sink.take(each.as_finding(name, line_texts[line_text]));
  }
}

}  // namespace stylo::report
