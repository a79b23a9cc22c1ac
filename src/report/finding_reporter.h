#pragma once
/// The sink the scan hands findings to, file by file: it gives each finding
/// its columns in UTF-16 and its fingerprint, leaves out those the baseline
/// holds, and passes the rest to the format. It also tells the format where
/// each file begins and ends, or that it could not be opened.

#include <cstdint>
#include <optional>
#include <string>

#include "report/baseline.h"
#include "report/changed_lines.h"
#include "report/fingerprint.h"
#include "report/report_format.h"
#include "report/report_output.h"
#include "text/utf8_text.h"
#include "rules/finding.h"

namespace stylo::report {

class finding_reporter final : public finding_sink {
 public:
  /// `known`: the baseline, or nullptr. `output`, if given, is offered the
  /// format's text after each finding, to write out a full block.
  finding_reporter(report_format& format, const baseline* known, report_output* output);

  /// Only the findings on the lines of a change count (nullptr: all do).
  void only_changes(const changed_files* changes) { changes_ = changes; }

  /// The file whose findings come next.
  void start_file(const std::string& name);
  void take(const finding& found) override;
  /// The file was checked to its end.
  void end_file();
  /// The file (or directory) could not be opened.
  void cannot_open();

  const std::string& name() const { return name_; }
  std::uint64_t reported() const { return reported_; }

 private:
  void begin_file();

  report_format& format_;
  const baseline* known_;
  report_output* output_;
  std::optional<fingerprinter> fingerprints_;
  const changed_files* changes_ = nullptr;
  const line_set* lines_ = nullptr;  ///< the lines of this file that count; nullptr: all
  utf16_columns columns_;
  std::string name_, uri_;
  bool file_begun_ = false;
  std::uint64_t reported_ = 0;
};

}  // namespace stylo::report
