// json: JSON Lines, one object per finding:
//   {"file":"src/a.c","uri":"src/a.c","line":3,"column":5,"end_column":8,
//    "rule":"keyword-space","message":"...","fingerprint":"0123456789abcdef"}
// "file" is the name as given, U+FFFD standing for any byte that is not
// UTF-8; "uri" keeps every byte (file_uri.h). Columns count bytes, as gcc's.

#include "report/json_text.h"
#include "report/report_format.h"

namespace stylo::report {
namespace {

class json_format final : public report_format {
 public:
  explicit json_format(std::string& out) : out_(out) {}

  bool shows_fingerprints() const override { return true; }

  void add(const reported_finding& reported) override {
    out_ += "{\"file\":";
    append_json_string(out_, reported.found.file_name);
    out_ += ",\"uri\":";
    append_json_string(out_, reported.uri);
    out_ += ",\"line\":";
    append_number(out_, reported.found.line);
    out_ += ",\"column\":";
    append_number(out_, reported.found.column);
    out_ += ",\"end_column\":";
    append_number(out_, reported.found.end_column);
    out_ += ",\"rule\":";
    append_json_string(out_, reported.rule.id);
    out_ += ",\"message\":";
    append_json_string(out_, reported.found.message);
    out_ += ",\"fingerprint\":";
    append_json_string(out_, reported.fingerprint);
    out_ += "}\n";
  }

 private:
  std::string& out_;
};

}  // namespace

std::unique_ptr<report_format> make_json_format(std::string& out) { return std::make_unique<json_format>(out); }

}  // namespace stylo::report
