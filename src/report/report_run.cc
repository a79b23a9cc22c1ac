#include "report/report_run.h"

#include <memory>
#include <optional>

#include "platform/processors.h"
#include "report/check_pool.h"
#include "report/file_check.h"

#include "platform/directory_listing.h"
#include "platform/file_input.h"
#include "platform/text_output.h"
#include "report/baseline.h"
#include "report/directory_walk.h"
#include "report/finding_reporter.h"
#include "report/options.h"
#include "report/report_format.h"
#include "report/report_output.h"
#include "report/tool_identity.h"
#include "core/check.h"
#include "scanner/line_reader.h"

namespace stylo::report {
namespace {

void write_error_line(const std::string& text) {
  platform::write_all(platform::output_stream::standard_error, text + std::string(platform::line_end));
}

std::string quoted(std::string_view name) {
  std::string q = "'";
  q += name;
  q += '\'';
  return q;
}

// Files checked at once, and what may wait for its turn: a few files per
// thread, and about 1 MiB of findings per thread, so that memory stays
// near the threads' read buffers however large the tree.
constexpr std::size_t files_waiting_per_thread = 8;
constexpr std::size_t held_bytes_per_thread = std::size_t{1} << 20;

// One run over every input, in order. With one job each file is checked
// where it is named and its findings go straight to the report; with more,
// files go to a pool of threads and their results are taken in the order
// given, so that the report, the messages and the exit status are the same.
class report_run {
 public:
  report_run(const options& given, report_format& format, report_output& output, const baseline* known,
             unsigned jobs)
      : given_(given), output_(output), reporter_(format, known, &output) {
    if (jobs > 1) {
      pool_.emplace(jobs, files_waiting_per_thread * jobs, held_bytes_per_thread * jobs);
    }
  }

  // Each returns false when the run must end at once: a failed read or write.
  bool check_input(const input& each) {
    switch (each.what) {
      case input::kind::name:
        return platform::is_directory(each.name) ? check_directory(each.name) : check_file_named(each.name);
      case input::kind::file_list:
        return check_list(each.name);
      case input::kind::text:
        return check_standard_input();
    }
    return true;
  }

  /// Takes every result still waiting. False as for `check_input`.
  bool finish() { return take_waiting(); }

  bool trouble() const { return trouble_; }
  std::uint64_t reported() const { return reporter_.reported(); }

 private:
  // What a check's outcome means for the report and the run.
  bool after_check(check_outcome outcome) {
    switch (outcome) {
      case check_outcome::checked:
        reporter_.end_file();
        break;
      case check_outcome::cannot_open:
        reporter_.cannot_open();
        write_error_line("Unable to open file " + quoted(reporter_.name()));
        trouble_ = true;
        break;
      case check_outcome::read_failed:
        write_error_line("Failed while parsing " + quoted(reporter_.name()));
        return false;
    }
    output_.flush_if_full();
    return !output_.failed();
  }

  bool check_file_named(const std::string& name) {
    if (!pool_) {
      reporter_.start_file(name);
      return after_check(checker_.check_file(name, reporter_));
    }
    // Results already done go out at once: the report streams, and what
    // waits stays small.
    while (!pool_->has_room() || pool_->next_ready()) {
      if (pool_->empty()) break;
      if (!take_one()) return false;
    }
    pool_->add(name);
    return true;
  }

  // The next result, in order, into the report.
  bool take_one() {
    const std::unique_ptr<file_check> done = pool_->take_next();
    reporter_.start_file(done->name);
    done->replay(reporter_);
    return after_check(done->outcome);
  }

  // Every result still waiting, before something that is not a file in
  // the pool (a message, standard input) takes its place in the order.
  bool take_waiting() {
    while (pool_ && !pool_->empty()) {
      if (!take_one()) return false;
    }
    return true;
  }

  bool check_directory(const std::string& name) {
    return walk_directory(name, {[this](const std::string& file) { return check_file_named(file); },
                                 [this](const std::string& directory) {
                                   if (!take_waiting()) return false;
                                   reporter_.start_file(directory);
                                   reporter_.cannot_open();
                                   write_error_line("Unable to open directory " + quoted(directory));
                                   trouble_ = true;
                                   return true;
                                 }});
  }

  bool check_list(const std::string& list_name) {
    if (list_name == "-") {
      if (!open_input(list_, platform::standard_input(), false)) {
        if (!take_waiting()) return false;
        write_error_line("Failed while parsing " + quoted(list_name));
        return false;
      }
    } else {
      switch (open_file(list_, list_name)) {
        case open_status::opened:
          break;
        case open_status::cannot_open:
          if (!take_waiting()) return false;
          write_error_line("Unable to open file list " + quoted(list_name));
          trouble_ = true;
          return true;
        case open_status::read_failed:
          close_input(list_);
          if (!take_waiting()) return false;
          write_error_line("Failed while parsing " + quoted(list_name));
          return false;
      }
    }
    std::string_view line;
    for (;;) {
      switch (read_line(list_, line)) {
        case read_status::line:
          if (!check_file_named(std::string(line))) {
            close_input(list_);
            return false;
          }
          continue;
        case read_status::end:
          close_input(list_);
          return true;
        case read_status::error:
          close_input(list_);
          if (!take_waiting()) return false;
          write_error_line("Failed while parsing " + quoted(list_name));
          return false;
      }
    }
  }

  bool check_standard_input() {
    if (!take_waiting()) return false;
    std::string text;
    const platform::input_handle input = platform::standard_input();
    char block[64 * 1024];
    for (;;) {
      const platform::block_read read = platform::read_block(input, block, sizeof block);
      if (read.outcome == platform::read_outcome::data) {
        text.append(block, read.length);
      } else if (read.outcome == platform::read_outcome::end) {
        break;
      } else {
        write_error_line("Failed while parsing '-'");
        return false;
      }
    }
    reporter_.start_file(given_.stdin_name);
    return after_check(checker_.check_text(given_.stdin_name, text, reporter_));
  }

  const options& given_;
  report_output& output_;
  finding_reporter reporter_;
  line_reader list_;
  checker checker_;  // for one job, and for standard input
  std::optional<check_pool> pool_;
  bool trouble_ = false;
};

int usage_error(const std::string& error) {
  write_error_line("stylo-report: " + error + " (see stylo-report --help)");
  return 2;
}

}  // namespace

int run_report(const std::vector<std::string>& arguments) {
  options given;
  if (const std::string error = parse_options(arguments, given); !error.empty()) return usage_error(error);
  if (given.help || given.version) {
    // Text for a reader, in the system's lines, as the messages are; the
    // report itself is data, the same bytes on every system.
    const std::string text = given.help ? help_text() : "stylo-report " + std::string(tool_version) + "\n";
    std::string lines;
    for (const char c : text) {
      if (c == '\n') {
        lines += platform::line_end;
      } else {
        lines += c;
      }
    }
    return platform::write_all(platform::output_stream::standard_output, lines) == 0 ? 0 : 2;
  }
  std::optional<baseline> known;
  if (!given.baseline.empty()) {
    known.emplace();
    if (const std::string error = known->load(given.baseline); !error.empty()) {
      write_error_line(error);
      return 2;
    }
  }
  report_output output;
  if (const int error = output.open(given.output); error != 0) {
    write_error_line("Unable to write the report to " + output.destination() + ": " + platform::describe_error(error));
    return 2;
  }
  const std::unique_ptr<report_format> format = make_format(given.format, output.text());
  const unsigned jobs = given.jobs != 0 ? given.jobs : platform::usable_processors();
  report_run run(given, *format, output, known ? &*known : nullptr, jobs);
  format->begin();
  for (std::size_t i = 0; i <= given.inputs.size(); ++i) {
    if (!(i < given.inputs.size() ? run.check_input(given.inputs[i]) : run.finish())) {
      const int error = output.error();
      output.abandon();
      if (error != 0) {
        write_error_line("Failed while writing the report to " + output.destination() + ": " +
                         platform::describe_error(error));
      }
      return 2;
    }
  }
  format->end();
  if (const int error = output.finish(); error != 0) {
    write_error_line("Failed while writing the report to " + output.destination() + ": " +
                     platform::describe_error(error));
    return 2;
  }
  if (run.trouble()) return 2;
  return run.reported() > 0 ? 1 : 0;
}

}  // namespace stylo::report
