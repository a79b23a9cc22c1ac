#pragma once
/// The stylo-report program: checks every input in order, hands each
/// finding to the chosen format, and turns what happened into the exit
/// status:
///
///   0  nothing reported
///   1  findings reported
///   2  a usage error, a list, file or directory that cannot be opened, a
///      baseline that cannot be used, a failed read or a failed write
///
/// Each failure says so in one line on standard error. The report is still
/// written, whole, for what was checked, except after a failed read or
/// write, which ends the run at once (with --output, the file is then left
/// as it was).

#include <string>
#include <vector>

namespace stylo::report {

/// Takes the arguments without the program's name; returns the exit status.
int run_report(const std::vector<std::string>& arguments);

}  // namespace stylo::report
