// checkstyle: Checkstyle's XML report, which Jenkins (recordIssues with the
// checkStyle tool) and review bots read. Every file checked has its <file>
// element, with an <error> per finding; a file that cannot be opened has
// one error of severity "error" and source "stylo.cannot-open". Columns
// count UTF-16 code units, as Checkstyle's own do. XML cannot hold every
// byte of a name: see xml_text.h.

#include "report/report_format.h"
#include "report/xml_text.h"

namespace stylo::report {
namespace {

class checkstyle_format final : public report_format {
 public:
  explicit checkstyle_format(std::string& out) : out_(out) {}

  void begin() override { out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<checkstyle version=\"4.3\">\n"; }

  void begin_file(std::string_view name, std::string_view) override {
    out_ += "<file name=\"";
    append_xml_text(out_, name);
    out_ += "\">\n";
  }

  void add(const reported_finding& reported) override {
    out_ += "<error line=\"";
    append_number(out_, reported.found.line);
    out_ += "\" column=\"";
    append_number(out_, reported.column_utf16);
    out_ += "\" severity=\"warning\" message=\"";
    append_xml_text(out_, reported.found.message);
    out_ += "\" source=\"stylo.";
    out_ += reported.rule.id;
    out_ += "\"/>\n";
  }

  void end_file() override { out_ += "</file>\n"; }

  void cannot_open(std::string_view name, std::string_view) override {
    out_ += "<file name=\"";
    append_xml_text(out_, name);
    out_ += "\">\n<error severity=\"error\" message=\"Unable to open file\" source=\"stylo.cannot-open\"/>\n</file>\n";
  }

  void end() override { out_ += "</checkstyle>\n"; }

 private:
  std::string& out_;
};

}  // namespace

std::unique_ptr<report_format> make_checkstyle_format(std::string& out) {
  return std::make_unique<checkstyle_format>(out);
}

}  // namespace stylo::report
