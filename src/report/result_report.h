#pragma once
/// How one result goes into the report, on the report's thread and in its
/// turn: the messages a file's check or fix gave rise to, on standard
/// error, then its findings, as a plain check of the file as it now is
/// would report them; with --diff, the diff first. A file whose findings
/// were too many to keep, or that was left as it was, is checked again,
/// straight into the report. It also keeps what the run's summary and exit
/// status need: whether anything went wrong, and the fixes made.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/check.h"
#include "report/baseline.h"
#include "report/changed_lines.h"
#include "report/diff_name.h"
#include "report/file_check.h"
#include "report/file_commit.h"
#include "report/finding_reporter.h"
#include "report/report_format.h"
#include "report/report_output.h"

namespace stylo::report {

class result_report {
 public:
  /// With `changes`, only the findings on the lines they add count.
  result_report(report_format& format, const baseline* known, report_output& output, const changed_files* changes);
  result_report(const result_report&) = delete;
  result_report& operator=(const result_report&) = delete;

  /// A job's result; with --fix, as its commit left the file. False when
  /// the run must end: a failed read or write.
  bool file(file_check& done, file_commit::outcome committed);
  /// With --diff, a fixed file: its diff written, under the name that
  /// applies from here, then its result.
  bool diff(file_check& done);
  /// The file `name` checked now, straight into the report.
  bool check_now(const std::string& name);
  /// What a check (of `reporter()`'s file) ended with, for the report and
  /// the run.
  bool checked(check_outcome outcome);
  /// A directory of the walk that cannot be read.
  void unreadable_directory(const std::string& name);

  /// Writes the diff of `original` and `fixed` to standard output as it is
  /// made, a block at a time.
  bool write_diff(const std::string& name, std::string_view original, std::string_view fixed);

  /// A message for something that goes wrong without ending the run: the
  /// exit status will say so.
  void problem(const std::string& text);
  /// A file's fixes, made or put in place.
  void count_fixes(std::uint64_t fixes) {
    fixes_ += fixes;
    ++files_fixed_;
  }

  finding_reporter& reporter() { return reporter_; }
  checker& own_checker() { return checker_; }

  bool trouble() const { return trouble_; }
  std::uint64_t reported() const { return reporter_.reported(); }
  std::uint64_t fixes() const { return fixes_; }
  std::uint64_t files_fixed() const { return files_fixed_; }

 private:
  report_output& output_;
  finding_reporter reporter_;
  checker checker_;  ///< for the files checked again, and those checked in place
  diff_names names_;
  std::uint64_t fixes_ = 0, files_fixed_ = 0;
  bool trouble_ = false;
};

}  // namespace stylo::report
