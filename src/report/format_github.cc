// github: GitHub Actions workflow commands, one line each, which the runner
// turns into annotations on the code with no matcher file:
//   ::warning file=NAME,line=L,col=C,endColumn=E,title=RULE::MESSAGE
// Escaped as GitHub documents: '%', CR and LF in the message; also ':' and
// ',' in the properties. Columns count UTF-16 code units, as GitHub does.

#include <cstdlib>

#include "report/github_limits.h"
#include "report/report_format.h"

namespace stylo::report {
namespace {

bool needs_escape(char c, bool property) {
  return c == '%' || c == '\r' || c == '\n' || (property && (c == ':' || c == ','));
}

void append_escaped(std::string& out, std::string_view text, bool property) {
  while (!text.empty()) {
    // Most text needs no escape: it goes in runs, not byte by byte.
    std::size_t plain = 0;
    while (plain < text.size() && !needs_escape(text[plain], property)) ++plain;
    out.append(text.substr(0, plain));
    if (plain == text.size()) return;
    const char c = text[plain];
    text.remove_prefix(plain + 1);
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      case ':':
        out += property ? "%3A" : ":";
        break;
      case ',':
        out += property ? "%2C" : ",";
        break;
      default:
        out += c;
    }
  }
}

class github_format final : public report_format {
 public:
  explicit github_format(std::string& out) : out_(out), summary_(summary_file()) {}

  void add(const reported_finding& reported) override {
    summary_.add(reported);
    out_ += "::warning file=";
    append_escaped(out_, reported.found.file_name, true);
    out_ += ",line=";
    append_number(out_, reported.found.line);
    out_ += ",col=";
    append_number(out_, reported.column_utf16);
    out_ += ",endColumn=";
    append_number(out_, reported.end_column_utf16);
    out_ += ",title=";
    append_escaped(out_, reported.rule.id, true);
    out_ += "::";
    append_escaped(out_, reported.found.message, false);
    out_ += '\n';
  }

  void cannot_open(std::string_view name, std::string_view) override {
    out_ += "::error title=cannot-open::";
    append_escaped(out_, "Unable to open file '", false);
    append_escaped(out_, name, false);
    out_ += "'\n";
  }

  void end() override { summary_.finish(out_); }

 private:
  static std::string summary_file() {
    const char* name = std::getenv("GITHUB_STEP_SUMMARY");
    return name != nullptr ? name : "";
  }

  std::string& out_;
  github_summary summary_;
};

}  // namespace

std::unique_ptr<report_format> make_github_format(std::string& out) {
  return std::make_unique<github_format>(out);
}

}  // namespace stylo::report
