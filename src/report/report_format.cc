#include "report/report_format.h"

#include <charconv>

namespace stylo::report {

std::unique_ptr<report_format> make_format(format_name name, std::string& out) {
  switch (name) {
    case format_name::gcc:
      return make_gcc_format(out);
    case format_name::sarif:
      return make_sarif_format(out);
    case format_name::github:
      return make_github_format(out);
    case format_name::gitlab:
      return make_gitlab_format(out);
    case format_name::checkstyle:
      return make_checkstyle_format(out);
    case format_name::junit:
      return make_junit_format(out);
    case format_name::json:
      return make_json_format(out);
  }
  return make_gcc_format(out);
}

void append_number(std::string& out, std::uint64_t number) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, number);
  out.append(digits, result.ptr);
}

}  // namespace stylo::report
