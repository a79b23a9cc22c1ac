#pragma once
/// stylo's own output: each finding as one warning line, in the form
/// compilers use,
///   file(line): warning: message
/// written and flushed as soon as it is found.

#include "rules/finding.h"

namespace stylo {

/// Writes each finding as its warning line on standard output. A line that
/// cannot be written ends the run with status 1 (see `write_output_line`).
class warning_line_sink final : public finding_sink {
 public:
  void take(const finding& found) override;
};

}  // namespace stylo
