#include "lsp/findings.h"

namespace stylo::lsp {
namespace {

class keeping_sink final : public finding_sink {
 public:
  explicit keeping_sink(std::vector<owned_finding>& out) : out_(out) {}
  void take(const finding& found) override { out_.push_back(own(found)); }

 private:
  std::vector<owned_finding>& out_;
};

}  // namespace

bool find_in(checker& with, std::string_view text, std::vector<owned_finding>& findings) {
  findings.clear();
  keeping_sink sink(findings);
  return with.check_text("", text, sink) == check_outcome::checked;
}

}  // namespace stylo::lsp
