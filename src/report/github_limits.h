#pragma once
/// What GitHub shows of a report, and what stylo-report does about the rest.
///
/// A workflow step's warning annotations stop at 10 (and a job's at 50):
/// beyond that, the github format also writes every finding to the step's
/// job summary (the file that $GITHUB_STEP_SUMMARY names, which GitHub
/// shows up to 1 MiB), and ends with one notice that gives the count and
/// where to see them all. Code scanning takes at most 25,000 results of one
/// SARIF run: above that a warning on standard error says so and what to
/// do, and the report is still written whole.

#include <cstdint>
#include <string>
#include <string_view>

#include "report/report_format.h"

namespace stylo::report {

inline constexpr std::uint64_t github_step_warnings = 10;
inline constexpr std::uint64_t github_summary_bytes = std::uint64_t{1} << 20;
inline constexpr std::uint64_t code_scanning_results = 25000;

/// The job summary of a github report, gathered as the findings come (at
/// most what the summary shows, so memory stays bounded), written at the end
/// only when the annotations cannot show every finding.
class github_summary {
 public:
  /// `summary_file`: where the summary goes, empty when there is none (a run
  /// outside GitHub Actions).
  explicit github_summary(std::string summary_file);

  void add(const reported_finding& reported);

  /// Appends the summary to its file when there are more findings than a
  /// step annotates, and the closing notice to `report` (the workflow
  /// commands); nothing otherwise.
  void finish(std::string& report);

  /// The summary's text as it stands (for the tests).
  const std::string& text() const { return text_; }

 private:
  std::string file_;
  std::string text_;
  std::uint64_t findings_ = 0;
  std::uint64_t shown_ = 0;  ///< findings that fitted in the summary
};

/// The warning for a SARIF report of `results` results, or empty when code
/// scanning takes them all.
std::string code_scanning_warning(std::uint64_t results);

}  // namespace stylo::report
