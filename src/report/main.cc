// stylo-report: stylo's findings as a report for CI systems and editors.
// See report/report_run.h for what it does and man/stylo-report.1.

#include <new>
#include <string>
#include <vector>

#include "platform/arguments.h"
#include "platform/text_output.h"
#include "report/explain.h"
#include "report/options.h"
#include "report/report_run.h"

int main(int argc, char** argv) {
  try {
    std::vector<std::string> arguments = stylo::platform::program_arguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    // --explain checks nothing: it is answered before any run begins.
    stylo::report::options given;
    if (stylo::report::parse_options(arguments, given).empty() && !given.help && !given.version &&
        !given.explain.empty()) {
      return stylo::report::explain_rule(given.explain);
    }
    return stylo::report::run_report(arguments);
  } catch (const std::bad_alloc&) {
    stylo::platform::write_all(stylo::platform::output_stream::standard_error,
                               "stylo-report: out of memory" + std::string(stylo::platform::line_end));
    return 2;
  }
}
