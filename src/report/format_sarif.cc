// sarif: SARIF 2.1.0, one run, as GitHub code scanning and other SARIF
// readers take it: the tool with its version and rules (each with its
// short and full descriptions and its help, in text and Markdown, which
// GitHub code scanning shows beside a finding); each finding as a
// result with its rule, level, message, location (the file as a URI that
// keeps every byte of its name, see file_uri.h; columns in UTF-16 code
// units, as declared by columnKind) and partial fingerprint "stylo/v1";
// files that cannot be opened as tool execution notifications.
//
// The results are written as they come. The notifications come after them
// in the file, so they are held until the end: one name each, never a
// finding.

#include <vector>

#include "platform/text_output.h"
#include "report/file_uri.h"
#include "report/github_limits.h"
#include "report/json_text.h"
#include "report/report_format.h"
#include "report/tool_identity.h"

namespace stylo::report {
namespace {

void append_text_object(std::string& out, std::string_view key, std::string_view text) {
  out += '"';
  out += key;
  out += "\":{\"text\":";
  append_json_string(out, text);
  out += '}';
}

class sarif_format final : public report_format {
 public:
  explicit sarif_format(std::string& out) : out_(out) {}

  bool shows_fingerprints() const override { return true; }

  void begin() override {
    out_ +=
        "{\n"
        "\"$schema\":\"https://json.schemastore.org/sarif-2.1.0.json\",\n"
        "\"version\":\"2.1.0\",\n"
        "\"runs\":[{\n"
        "\"tool\":{\"driver\":{\"name\":\"stylo\",\"version\":";
    append_json_string(out_, tool_version);
    out_ += ",\"informationUri\":";
    append_json_string(out_, tool_information_uri);
    out_ += ",\"rules\":[";
    for (std::size_t i = 0; i < rule_catalog.size(); ++i) {
      const rule_info& rule = rule_catalog[i];
      out_ += i == 0 ? "\n{\"id\":" : ",\n{\"id\":";
      append_json_string(out_, rule.id);
      out_ += ",\"name\":";
      append_json_string(out_, rule.name);
      out_ += ',';
      append_text_object(out_, "shortDescription", rule.summary);
      out_ += ',';
      append_text_object(out_, "fullDescription", rule.description);
      out_ += ",\"help\":{\"text\":";
      append_json_string(out_, rule.help);
      out_ += ",\"markdown\":";
      append_json_string(out_, rule.help_markdown);
      out_ += '}';
      out_ += ",\"defaultConfiguration\":{\"level\":\"warning\"},\"properties\":{\"tags\":[\"style\"]}}";
    }
    out_ +=
        "]}},\n"
        "\"columnKind\":\"utf16CodeUnits\",\n"
        "\"results\":[";
  }

  void add(const reported_finding& reported) override {
    ++results_;
    out_ += first_result_ ? "\n{\"ruleId\":" : ",\n{\"ruleId\":";
    first_result_ = false;
    append_json_string(out_, reported.rule.id);
    out_ += ",\"ruleIndex\":";
    append_number(out_, reported.rule_index);
    out_ += ",\"level\":\"warning\",";
    append_text_object(out_, "message", reported.found.message);
    out_ += ",\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":";
    append_json_string(out_, reported.uri);
    out_ += "},\"region\":{\"startLine\":";
    append_number(out_, reported.found.line);
    out_ += ",\"startColumn\":";
    append_number(out_, reported.column_utf16);
    out_ += ",\"endColumn\":";
    append_number(out_, reported.end_column_utf16);
    out_ += "}}}],\"partialFingerprints\":{\"stylo/v1\":";
    append_json_string(out_, reported.fingerprint);
    out_ += "}}";
  }

  void cannot_open(std::string_view name, std::string_view) override { unopened_.emplace_back(name); }

  void end() override {
    out_ += first_result_ ? "],\n" : "\n],\n";
    out_ += "\"invocations\":[{\"executionSuccessful\":";
    out_ += unopened_.empty() ? "true" : "false";
    if (!unopened_.empty()) {
      out_ += ",\"toolExecutionNotifications\":[";
      bool first = true;
      for (const std::string& name : unopened_) {
        out_ += first ? "\n{" : ",\n{";
        first = false;
        out_ += "\"level\":\"error\",\"descriptor\":{\"id\":\"cannot-open\"},";
        append_text_object(out_, "message", "Unable to open file '" + name + "'.");
        if (!name.empty()) {
          out_ += ",\"locations\":[{\"physicalLocation\":{\"artifactLocation\":{\"uri\":";
          append_json_string(out_, file_uri(name));
          out_ += "}}}]";
        }
        out_ += '}';
      }
      out_ += "\n]";
    }
    out_ += "}]\n}]\n}\n";
    if (const std::string warning = code_scanning_warning(results_); !warning.empty()) {
      platform::write_all(platform::output_stream::standard_error, warning + std::string(platform::line_end));
    }
  }

 private:
  std::string& out_;
  bool first_result_ = true;
  std::uint64_t results_ = 0;  ///< for GitHub's bound on them
  std::vector<std::string> unopened_;
};

}  // namespace

std::unique_ptr<report_format> make_sarif_format(std::string& out) { return std::make_unique<sarif_format>(out); }

}  // namespace stylo::report
