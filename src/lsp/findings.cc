#include "lsp/findings.h"

#include <cstring>
#include <string>
#include <deque>

#include "scanner/file_scan.h"

namespace stylo::lsp {
namespace {

// The few texts findings carry (four keywords, four operators and their
// messages), kept once for the whole run: a finding then costs no
// allocation of its own, and the views it holds outlive the check.
std::string_view kept(std::string_view text) {
  static std::deque<std::string> texts;
  for (const std::string& t : texts) {
    if (t == text) return t;
  }
  return texts.emplace_back(text);
}

// Turns stylo's lines (ended by LF only) and byte columns into offsets of
// the document, walking forward from line to line as the findings come.
class locating_sink final : public finding_sink {
 public:
  locating_sink(std::string_view text, std::vector<located_finding>& out) : text_(text), out_(out) {}

  void take(const finding& found) override {
    while (line_ < found.line) {
      const void* lf = std::memchr(text_.data() + line_start_, '\n', text_.size() - line_start_);
      // stylo cites no line past the text's last one; should it, the
      // finding goes to the end rather than out of bounds.
      line_start_ = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) + 1 : text_.size();
      ++line_;
    }
    const std::size_t begin = std::min(line_start_ + found.column - 1, text_.size());
    const std::size_t end = std::min(line_start_ + found.end_column - 1, text_.size());
    out_.push_back(
        {found.rule, begin, end, kept(found.subject), kept(found.suggested), kept(found.message), found.fix});
  }

 private:
  std::string_view text_;
  std::vector<located_finding>& out_;
  std::uint64_t line_ = 1;
  std::size_t line_start_ = 0;
};

}  // namespace

bool find_in(std::string_view text, std::vector<located_finding>& findings) {
  findings.clear();
  locating_sink sink(text, findings);
  return check_text("", text, sink) == check_outcome::checked;
}

}  // namespace stylo::lsp
