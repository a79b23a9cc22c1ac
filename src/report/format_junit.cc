// junit: JUnit XML, which test-report dashboards read (Jenkins' junit step,
// GitLab's `artifacts: reports: junit`). One test case per file checked,
// named by the file; a file with findings fails, its <failure> holding one
// gcc-style line per finding; a file that cannot be opened is an <error>.
// The counts that some writers put on <testsuite> are left out: they are
// known only at the end, and the readers count the test cases themselves.

#include "report/report_format.h"
#include "report/xml_text.h"

namespace stylo::report {
namespace {

class junit_format final : public report_format {
 public:
  explicit junit_format(std::string& out) : out_(out) {}

  void begin() override {
    out_ += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"stylo\">\n<testsuite name=\"stylo\">\n";
  }

  void begin_file(std::string_view name, std::string_view) override {
    open_test_case(name);
    failing_ = false;
  }

  void add(const reported_finding& reported) override {
    if (!failing_) {
      out_ += ">\n<failure type=\"stylo\" message=\"";
      append_xml_text(out_, "style findings in " + std::string(reported.found.file_name));
      out_ += "\">";
      failing_ = true;
    }
    std::string line(reported.found.file_name);
    line += ':';
    append_number(line, reported.found.line);
    line += ':';
    append_number(line, reported.found.column);
    line += ": warning: ";
    line += reported.found.message;
    line += " [";
    line += reported.rule.id;
    line += "]";
    append_xml_text(out_, line);
    out_ += '\n';
  }

  void end_file() override { out_ += failing_ ? "</failure>\n</testcase>\n" : "/>\n"; }

  void cannot_open(std::string_view name, std::string_view) override {
    open_test_case(name);
    out_ += ">\n<error type=\"cannot-open\" message=\"";
    append_xml_text(out_, "Unable to open file '" + std::string(name) + "'");
    out_ += "\"/>\n</testcase>\n";
  }

  void end() override { out_ += "</testsuite>\n</testsuites>\n"; }

 private:
  // "<testcase ...", left open for "/>" or ">".
  void open_test_case(std::string_view name) {
    out_ += "<testcase classname=\"stylo\" name=\"";
    append_xml_text(out_, name);
    out_ += "\" file=\"";
    append_xml_text(out_, name);
    out_ += '"';
  }

  std::string& out_;
  bool failing_ = false;
};

}  // namespace

std::unique_ptr<report_format> make_junit_format(std::string& out) { return std::make_unique<junit_format>(out); }

}  // namespace stylo::report
