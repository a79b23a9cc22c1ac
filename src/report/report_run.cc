#include "report/report_run.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <variant>

#include "core/check.h"
#include "platform/directory_listing.h"
#include "platform/file_input.h"
#include "platform/file_replace.h"
#include "platform/processors.h"
#include "platform/text_output.h"
#include "report/baseline.h"
#include "report/change_scope.h"
#include "report/directory_walk.h"
#include "report/error_line.h"
#include "report/file_check.h"
#include "report/file_commit.h"
#include "report/file_fixer.h"
#include "report/options.h"
#include "report/read_all.h"
#include "report/ordered_pipeline.h"
#include "report/report_format.h"
#include "report/report_output.h"
#include "report/result_report.h"
#include "report/tool_identity.h"
#include "scanner/line_reader.h"

namespace stylo::report {
namespace {

// What may wait for its turn: some files per thread (enough that a thread
// seldom waits for the report, or the report for it), and about 1 MiB of
// findings per thread, so that memory stays near the threads' read buffers
// however large the tree.
constexpr std::size_t files_waiting_per_thread = 32;
// With --fix the report's thread also commits a batch of up to 128 files
// at a time (file_commit.h), a sync and as many renames long: the threads
// go on fixing the files after them meanwhile, within the same bound on
// the bytes held.
constexpr std::size_t files_waiting_per_thread_fixing = 256;
constexpr std::size_t held_bytes_per_thread = std::size_t{1} << 20;

// How many descriptors the jobs' replacements may hold while they wait for
// their turn: the descriptors the process may hold, less those the run
// needs besides (standard streams, the report, a file list, a directory
// walk, each thread's file being read, the files compared at the commit),
// halved for safety; at most what every file waiting could use (the
// pipeline's window and a batch), since a job that finds none left has its
// replacement made at the commit, which costs a sync more.
std::size_t descriptor_budget_size(unsigned jobs) {
  const std::size_t reserve = 16 + 2 * std::size_t{jobs};
  const std::size_t limit = platform::descriptor_limit();
  const std::size_t waiting = files_waiting_per_thread_fixing * jobs + 128;
  return limit > reserve ? std::min(waiting, (limit - reserve) / 2) : 0;
}
// How many replacements a batch commits at once: at most 128, which is
// enough to make one sync serve many files.
std::size_t replacement_budget(unsigned jobs) { return std::min<std::size_t>(128, descriptor_budget_size(jobs)); }

// Something done on the report's thread when its turn comes (a message,
// standard input's check); false when the run must end there.
using report_item = std::function<bool()>;
using file_pipeline = ordered_pipeline<file_check, report_item>;

// One run over every input, in order. Each file is one job (file_check.h):
// with one thread it is run where the file is named; with more, by the
// pipeline (ordered_pipeline.h), whose entries are taken in the order
// given, so that the report, the messages and the exit status are the same
// for any -j. What is not a file's job (a message, standard input) goes
// into the same pipeline as an item, and is done when its turn comes.
// With --fix and --diff the job also fixes the file; --fix's files then
// wait their turn in the commit (file_commit.h), which puts them in place
// a batch at a time before they are reported.
class report_run {
 public:
  /// With `changes`, only the lines they add count, in the report and for
  /// the fixes.
  report_run(const options& given, report_format& format, report_output& output, const baseline* known,
             unsigned jobs, const changed_files* changes)
      : given_(given),
        output_(output),
        results_(format, known, output, changes),
        descriptors_(descriptor_budget_size(jobs)),
        commit_(descriptors_, replacement_budget(jobs)) {
    settings_.fix = given.fix;
    settings_.diff = given.diff;
    settings_.changes = changes;
    fixer_.only_changes(changes);
    settings_.descriptors = given.fix ? &descriptors_ : nullptr;
    const std::size_t waiting = given.fix ? files_waiting_per_thread_fixing : files_waiting_per_thread;
    if (jobs > 1) {
      const job_settings how = settings_;
      pipeline_.emplace(jobs, waiting * jobs, held_bytes_per_thread * jobs, [how](std::size_t keep_at_most) {
        // Each thread's own checker and read buffer, reused for every file.
        auto with = std::make_shared<checker>();
        auto text = std::make_shared<std::string>();
        return [how, keep_at_most, with, text](file_check& job) { job.run(*with, *text, keep_at_most, how); };
      });
    }
  }
  report_run(const report_run&) = delete;
  report_run& operator=(const report_run&) = delete;

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

  bool trouble() const { return results_.trouble(); }
  std::uint64_t reported() const { return results_.reported(); }
  std::uint64_t fixes() const { return results_.fixes(); }
  std::uint64_t files_fixed() const { return results_.files_fixed(); }

  /// Reports every entry still waiting: run by the pipeline, or fixed and
  /// not yet put in place. Call after the last input. False when the run
  /// must end.
  bool finish() {
    while (pipeline_ && !pipeline_->empty()) {
      if (!take(pipeline_->take_next())) return false;
    }
    const bool go_on = commit_.empty() || commit_batch();
    commit_.finish();
    return go_on;
  }

 private:
  bool check_file_named(const std::string& name) {
    if (!not_the_report(name, name)) return false;
    if (!pipeline_ && (given_.fix || given_.diff)) {
      auto job = std::make_unique<file_check>();
      job->name = name;
      job->run(results_.own_checker(), text_, held_bytes_per_thread, settings_);
      return take_result(std::move(job));
    }
    if (!pipeline_) return results_.check_now(name);
    if (!make_room()) return false;
    auto job = std::make_unique<file_check>();
    job->name = name;
    pipeline_->add(std::move(job));
    return true;
  }

  // `item` done in its turn: at once with one thread; with more, when the
  // entries before it have been reported, while the threads go on with the
  // files after it.
  bool in_turn(report_item item) {
    if (!pipeline_) return do_item(item);
    if (!make_room()) return false;
    pipeline_->add_item(std::move(item));
    return true;
  }

  // A run-ending `item`: no input after it is taken, and the run ends once
  // the entries before it are reported and it is done.
  bool end_run(report_item item) {
    if (in_turn(std::move(item))) finish();
    return false;
  }

  // Entries already done go out at once, so that the report streams and
  // what waits stays small; then room for one more.
  bool make_room() {
    while (!pipeline_->empty() && (!pipeline_->has_room() || pipeline_->next_ready())) {
      if (!take(pipeline_->take_next())) return false;
    }
    return true;
  }

  bool take(file_pipeline::entry next) {
    if (auto* job = std::get_if<std::unique_ptr<file_check>>(&next)) return take_result(std::move(*job));
    return do_item(std::get<report_item>(next));
  }

  // The files waiting in the commit come before the item.
  bool do_item(const report_item& item) {
    if (!commit_.empty() && !commit_batch()) return false;
    return item();
  }

  // The next result, in order, into the report; with --fix, into the
  // commit, behind the files waiting there.
  bool take_result(std::unique_ptr<file_check> done) {
    if (given_.fix && (done->fixing == fix_state::fixed || !commit_.empty())) {
      const bool ends_run = done->outcome == check_outcome::read_failed;
      if (done->fixing == fix_state::fixed && commit_.full() && !commit_batch()) return false;
      commit_.add(std::move(done));
      return commit_.full() || ends_run ? commit_batch() : true;
    }
    if (given_.diff && done->fixing == fix_state::fixed) return results_.diff(*done);
    return results_.file(*done, file_commit::outcome::untouched);
  }

  // The files waiting put in place, counted (whatever becomes of the
  // report), then reported in order.
  bool commit_batch() {
    commit_.commit();
    for (const file_commit::entry& each : commit_.entries()) {
      if (each.what == file_commit::outcome::replaced) results_.count_fixes(each.check->fixes);
    }
    bool go_on = true;
    for (file_commit::entry& each : commit_.entries()) {
      if (!go_on) break;
      go_on = results_.file(*each.check, each.what);
    }
    commit_.clear();
    return go_on;
  }

  // Standard input, in its turn. The report must not be written over it,
  // which is known at once.
  bool check_standard_input() {
    const platform::input_handle input = platform::standard_input();
    if (!not_the_report(given_.stdin_name, input)) return false;
    return given_.fix || given_.diff ? in_turn([this] { return fix_standard_input(); })
                                     : in_turn([this] { return check_standard_input_now(); });
  }

  // With --fix, the fixed text goes to standard output (the text as it came
  // when there is nothing to fix), for editors and pipes; with --diff, the
  // diff. Read whole: the fixes are made on the whole text.
  bool fix_standard_input() {
    std::string text;
    if (!read_all(platform::standard_input(), text)) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    const file_fixer::result made = fixer_.fix_text(given_.stdin_name, std::move(text));
    if (made.what == file_fixer::status::read_failed) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    const bool fixed = made.what == file_fixer::status::fixed;
    if (fixed) results_.count_fixes(made.fixes);
    if (given_.diff) {
      if (fixed && !results_.write_diff(stdin_diff_name(), fixer_.original(), fixer_.fixed())) return false;
    } else if (const int error = platform::write_all(platform::output_stream::standard_output,
                                                     fixed ? fixer_.fixed() : fixer_.original());
               error != 0) {
      write_error_line("Failed while writing the fixed text to standard output: " + platform::describe_error(error));
      return false;
    }
    results_.reporter().start_file(given_.stdin_name);
    return results_.checked(results_.own_checker().check_text(
        given_.stdin_name, fixed ? fixer_.fixed() : fixer_.original(), results_.reporter()));
  }

  // Read as a named file is, a block at a time: any size in little memory.
  bool check_standard_input_now() {
    results_.reporter().start_file(given_.stdin_name);
    const check_outcome outcome =
        results_.own_checker().check_input(given_.stdin_name, platform::standard_input(), results_.reporter());
    if (outcome == check_outcome::read_failed) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    return results_.checked(outcome);
  }

  bool check_directory(const std::string& name) {
    return walk_directory(name, {[this](const std::string& file) { return check_file_named(file); },
                                 [this](const std::string& directory) {
                                   return in_turn([this, directory] {
                                     results_.unreadable_directory(directory);
                                     return true;
                                   });
                                 }});
  }

  // A message that ends the run in its turn.
  static report_item ending(std::string message) {
    return [message = std::move(message)] {
      write_error_line(message);
      return false;
    };
  }

  bool check_list(const std::string& list_name) {
    if (list_name == "-") {
      if (!open_input(list_, platform::standard_input(), false)) {
        return end_run(ending("Failed while parsing " + quoted(list_name)));
      }
    } else {
      switch (open_file(list_, list_name)) {
        case open_status::opened:
          break;
        case open_status::cannot_open:
          return in_turn([this, message = "Unable to open file list " + quoted(list_name)] {
            results_.problem(message);
            return true;
          });
        case open_status::read_failed:
          close_input(list_);
          return end_run(ending("Failed while parsing " + quoted(list_name)));
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
          return end_run(ending("Failed while parsing " + quoted(list_name)));
      }
    }
  }

  // A report written over one of its own inputs would destroy the source it
  // reports on: the run ends, and the file stays as it was.
  template <typename Input>
  bool not_the_report(const std::string& name, const Input& input) {
    if (!output_.replaces_a_file()) return true;
    platform::file_facts facts;
    if (platform::facts_of(input, facts) != 0 || !output_.is_file(facts)) return true;
    return end_run(ending("The report " + output_.destination() + " would overwrite " + quoted(name) +
                          ", which it checks: nothing written"));
  }

  // Standard input's name in a diff: as given, without the "./" that
  // `git apply` would not take.
  std::string stdin_diff_name() const {
    std::string_view name = given_.stdin_name;
    while (name.starts_with("./")) name.remove_prefix(2);
    return std::string(name);
  }

  const options& given_;
  report_output& output_;
  result_report results_;
  line_reader list_;
  std::string text_;  // one job's buffer for a file read whole, with one thread
  descriptor_budget descriptors_;
  job_settings settings_;
  file_commit commit_;
  file_fixer fixer_;
  std::optional<file_pipeline> pipeline_;  // last: its threads stop before the rest goes
};

std::string counted(std::uint64_t count, const std::string& what) {
  return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

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
    const int error = platform::write_all(platform::output_stream::standard_output, platform::in_system_lines(text));
    return error == 0 ? 0 : 2;
  }
  // A change's files, each with the lines that count, are the run's inputs.
  std::optional<changed_files> changes;
  if (!given.changed_since.empty() || !given.changed_lines.empty()) {
    changes.emplace();
    if (const std::string error = find_changes(given, *changes); !error.empty()) {
      write_error_line("stylo-report: " + error);
      return 2;
    }
    given.inputs.clear();
    for (const auto& [name, lines] : *changes) given.inputs.push_back({input::kind::name, name});
  }
  std::optional<baseline> known;
  if (!given.baseline.empty()) {
    known.emplace();
    if (const std::string error = known->load(given.baseline); !error.empty()) {
      write_error_line(error);
      return 2;
    }
  }
  // With --diff the diff has standard output; with '-' and --fix, the
  // fixed text has it.
  report_output::stream otherwise = report_output::stream::standard_output;
  if (given.diff) otherwise = report_output::stream::nowhere;
  for (const input& each : given.inputs) {
    if (given.fix && each.what == input::kind::text) otherwise = report_output::stream::standard_error;
  }
  report_output output;
  if (const int error = output.open(given.output, otherwise); error != 0) {
    write_error_line("Unable to write the report to " + output.destination() + ": " + platform::describe_error(error));
    return 2;
  }
  const std::unique_ptr<report_format> format = make_format(given.format, output.text());
  const unsigned jobs = given.jobs != 0 ? given.jobs : platform::usable_processors();
  if (given.fix) {
    // Files are replaced: a signal removes what is under way, and a closed
    // pipe or a full disk ends the run as a failed write, which still says
    // what was fixed.
    platform::install_stopping_handler();
    platform::report_failed_writes_as_errors();
  }
  report_run run(given, *format, output, known ? &*known : nullptr, jobs, changes ? &*changes : nullptr);
  format->begin();
  bool completed = true;
  for (const input& each : given.inputs) {
    completed = run.check_input(each);
    if (!completed) break;
  }
  if (completed) completed = run.finish();
  const auto summary = [&] {
    if (given.fix) {
      write_error_line("stylo-report: fixed " + counted(run.fixes(), "finding") + " in " +
                       counted(run.files_fixed(), "file") + ", " + counted(run.reported(), "finding") + " left");
    }
  };
  if (!completed) {
    const int error = output.error();
    output.abandon();
    if (error != 0) {
      write_error_line("Failed while writing the report to " + output.destination() + ": " +
                       platform::describe_error(error));
    }
    // Files already put in place stay fixed: the run says so.
    if (run.files_fixed() > 0) summary();
    return 2;
  }
  format->end();
  if (const int error = output.finish(); error != 0) {
    write_error_line("Failed while writing the report to " + output.destination() + ": " +
                     platform::describe_error(error));
    summary();
    return 2;
  }
  summary();
  if (run.trouble()) return 2;
  if (given.diff) return run.files_fixed() > 0 ? 1 : 0;
  return run.reported() > 0 ? 1 : 0;
}

}  // namespace stylo::report
