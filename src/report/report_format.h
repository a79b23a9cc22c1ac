#pragma once
/// A report format: what each format writes at the start, for each file
/// checked, for each finding, for a file that cannot be opened, and at the
/// end. Every format appends its text to one string, which the program
/// writes out in blocks as it goes: nothing is held back per finding.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "report/options.h"
#include "rules/finding.h"
#include "rules/rule_catalog.h"

namespace stylo::report {

/// One finding with what the formats add to it.
struct reported_finding {
  const finding& found;
  const rule_info& rule;
  std::size_t rule_index;        ///< in rule_catalog
  std::string_view uri;          ///< see file_uri.h
  std::uint64_t column_utf16;    ///< the finding's columns in UTF-16 code units
  std::uint64_t end_column_utf16;
  std::string_view fingerprint;  ///< 16 hex digits; empty when not made
};

class report_format {
 public:
  virtual ~report_format() = default;
  /// Whether the format shows fingerprints (they are made only then, or
  /// for a baseline).
  virtual bool shows_fingerprints() const { return false; }
  virtual void begin() {}
  /// A file was opened; its findings follow, then `end_file`.
  virtual void begin_file(std::string_view name, std::string_view uri) {
    (void)name;
    (void)uri;
  }
  virtual void add(const reported_finding& reported) = 0;
  virtual void end_file() {}
  /// A file that cannot be opened (also: a directory that cannot be read).
  virtual void cannot_open(std::string_view name, std::string_view uri) {
    (void)name;
    (void)uri;
  }
  virtual void end() {}
};

/// The format `name`, appending to `out`.
std::unique_ptr<report_format> make_format(format_name name, std::string& out);

// One per format, each in its own file.
std::unique_ptr<report_format> make_gcc_format(std::string& out);
std::unique_ptr<report_format> make_sarif_format(std::string& out);
std::unique_ptr<report_format> make_github_format(std::string& out);
std::unique_ptr<report_format> make_gitlab_format(std::string& out);
std::unique_ptr<report_format> make_checkstyle_format(std::string& out);
std::unique_ptr<report_format> make_junit_format(std::string& out);
std::unique_ptr<report_format> make_json_format(std::string& out);

/// The number in decimal, appended.
void append_number(std::string& out, std::uint64_t number);

}  // namespace stylo::report
