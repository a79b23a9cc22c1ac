// gcc: "file:line:column: warning: message [rule-id]", the form that editors
// and compiler-output parsers read with no set-up. The name is written as
// given and the column counts bytes, as GCC's -fdiagnostics-column-unit=byte
// and Clang do.

#include "report/report_format.h"

namespace stylo::report {
namespace {

class gcc_format final : public report_format {
 public:
  explicit gcc_format(std::string& out) : out_(out) {}

  void add(const reported_finding& reported) override {
    out_ += reported.found.file_name;
    out_ += ':';
    append_number(out_, reported.found.line);
    out_ += ':';
    append_number(out_, reported.found.column);
    out_ += ": warning: ";
    out_ += reported.found.message;
    out_ += " [";
    out_ += reported.rule.id;
    out_ += "]\n";
  }

 private:
  std::string& out_;
};

}  // namespace

std::unique_ptr<report_format> make_gcc_format(std::string& out) { return std::make_unique<gcc_format>(out); }

}  // namespace stylo::report
