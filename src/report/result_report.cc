#include "report/result_report.h"

#include "platform/file_replace.h"
#include "platform/text_output.h"
#include "report/error_line.h"
#include "report/unified_diff.h"

namespace stylo::report {

result_report::result_report(report_format& format, const baseline* known, report_output& output,
                             const changed_files* changes)
    : output_(output), reporter_(format, known, &output) {
  reporter_.only_changes(changes);
}

void result_report::problem(const std::string& text) {
  write_error_line(text);
  trouble_ = true;
}

bool result_report::checked(check_outcome outcome) {
  switch (outcome) {
    case check_outcome::checked:
      reporter_.end_file();
      break;
    case check_outcome::cannot_open:
      reporter_.cannot_open();
      problem("Unable to open file " + quoted(reporter_.name()));
      break;
    case check_outcome::read_failed:
      write_error_line("Failed while parsing " + quoted(reporter_.name()));
      return false;
  }
  output_.flush_if_full();
  return !output_.failed();
}

bool result_report::check_now(const std::string& name) {
  reporter_.start_file(name);
  return checked(checker_.check_file(name, reporter_));
}

void result_report::unreadable_directory(const std::string& name) {
  reporter_.start_file(name);
  reporter_.cannot_open();
  problem("Unable to open directory " + quoted(name));
}

bool result_report::file(file_check& done, file_commit::outcome committed) {
  bool as_it_now_is = false;
  switch (done.fixing) {
    case fix_state::none:
      break;
    case fix_state::descriptor_shortage:
      reporter_.start_file(done.name);
      reporter_.cannot_open();
      problem("Unable to open file " + quoted(done.name) + ": " + platform::describe_error(done.error));
      output_.flush_if_full();
      return !output_.failed();
    case fix_state::not_regular:
      problem("The file " + quoted(done.name) + " is not a regular file: checked, not fixed");
      break;
    case fix_state::not_permitted:
    case fix_state::write_failed:
      problem("Unable to write " + quoted(done.name) + ": " + platform::describe_error(done.error));
      break;
    case fix_state::fixed:
      switch (committed) {
        case file_commit::outcome::untouched:
        case file_commit::outcome::replaced:
          break;
        case file_commit::outcome::changed_meanwhile:
          problem("The file " + quoted(done.name) + " changed while it was being fixed: left as it was");
          as_it_now_is = true;
          break;
        case file_commit::outcome::ours_meanwhile:
          as_it_now_is = true;
          break;
        case file_commit::outcome::write_failed:
          problem("Unable to write " + quoted(done.name) + ": " + platform::describe_error(done.error));
          as_it_now_is = true;
          break;
      }
      break;
  }
  // Too many findings to have kept, or a file left as it was: checked
  // again, straight into the report, now that its turn has come.
  if (as_it_now_is || done.dropped) return check_now(done.name);
  reporter_.start_file(done.name);
  done.replay(reporter_);
  return checked(done.outcome);
}

bool result_report::diff(file_check& done) {
  std::string name;
  switch (names_.name_for(done.name, name)) {
    case diff_names::verdict::outside:
      problem("The file " + quoted(done.name) +
              " is not under the current directory: no diff for it, which would not apply");
      return check_now(done.name);
    case diff_names::verdict::repeated:
      break;
    case diff_names::verdict::use:
      count_fixes(done.fixes);
      if (!write_diff(name, done.original, done.fixed)) return false;
      break;
  }
  std::string().swap(done.original);
  std::string().swap(done.fixed);
  return file(done, file_commit::outcome::untouched);
}

bool result_report::write_diff(const std::string& name, std::string_view original, std::string_view fixed) {
  int error = 0;
  std::string diff;
  const auto spill = [&error](std::string& block) {
    if (error == 0) error = platform::write_all(platform::output_stream::standard_output, block);
    block.clear();
  };
  append_unified_diff(diff, name, original, fixed, spill);
  spill(diff);
  if (error != 0) {
    write_error_line("Failed while writing the diff to standard output: " + platform::describe_error(error));
    return false;
  }
  return true;
}

}  // namespace stylo::report
