// gitlab: GitLab's Code Quality report (the Code Climate issue format), a
// JSON array with one object per finding, for `artifacts: reports:
// codequality`. The path is the name with any leading "./" dropped, as the
// merge-request widget matches it against the repository's paths.

#include "report/json_text.h"
#include "report/report_format.h"

namespace stylo::report {
namespace {

std::string_view without_dot_slash(std::string_view name) {
  while (name.starts_with("./")) {
    name.remove_prefix(2);
    while (name.starts_with('/')) name.remove_prefix(1);
  }
  return name;
}

class gitlab_format final : public report_format {
 public:
  explicit gitlab_format(std::string& out) : out_(out) {}

  bool shows_fingerprints() const override { return true; }

  void begin() override { out_ += "["; }

  void add(const reported_finding& reported) override {
    out_ += first_ ? "\n" : ",\n";
    first_ = false;
    out_ += "{\"type\":\"issue\",\"description\":";
    append_json_string(out_, reported.found.message);
    out_ += ",\"check_name\":";
    append_json_string(out_, reported.rule.id);
    out_ += ",\"categories\":[\"Style\"],\"fingerprint\":";
    append_json_string(out_, reported.fingerprint);
    out_ += ",\"severity\":\"minor\",\"location\":{\"path\":";
    append_json_string(out_, without_dot_slash(reported.found.file_name));
    out_ += ",\"lines\":{\"begin\":";
    append_number(out_, reported.found.line);
    out_ += "}}}";
  }

  void end() override { out_ += first_ ? "]\n" : "\n]\n"; }

 private:
  std::string& out_;
  bool first_ = true;
};

}  // namespace

std::unique_ptr<report_format> make_gitlab_format(std::string& out) {
  return std::make_unique<gitlab_format>(out);
}

}  // namespace stylo::report
