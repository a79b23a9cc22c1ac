#include "report/report_run.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "core/check.h"
#include "platform/directory_listing.h"
#include "platform/file_input.h"
#include "platform/file_replace.h"
#include "platform/processors.h"
#include "platform/text_output.h"
#include "report/baseline.h"
#include "report/change_scope.h"
#include "report/check_pool.h"
#include "report/directory_walk.h"
#include "report/file_check.h"
#include "report/diff_name.h"
#include "report/file_commit.h"
#include "report/file_fixer.h"
#include "report/finding_reporter.h"
#include "report/options.h"
#include "report/report_format.h"
#include "report/report_output.h"
#include "report/tool_identity.h"
#include "report/unified_diff.h"
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

// How many replacements may wait open for their turn: the descriptors the
// process may hold, less those the run needs besides (standard streams,
// the report, a file list, a directory walk, each thread's file being
// read, the file compared at the commit), halved for safety; at most 128,
// which is enough to make one sync serve many files.
// The jobs' replacements may hold as many as every file waiting could use
// (the pool's window and a batch), within that same half: a job that finds
// none left has its replacement made at the commit, which costs a sync
// more.
std::size_t descriptor_budget_size(unsigned jobs) {
  const std::size_t reserve = 16 + 2 * std::size_t{jobs};
  const std::size_t limit = platform::descriptor_limit();
  const std::size_t waiting = files_waiting_per_thread_fixing * jobs + 128;
  return limit > reserve ? std::min(waiting, (limit - reserve) / 2) : 0;
}
std::size_t replacement_budget(unsigned jobs) { return std::min<std::size_t>(128, descriptor_budget_size(jobs)); }

// One run over every input, in order. Each file is one job (file_check.h):
// with one thread it is run where the file is named; with more, by the
// pool (check_pool.h), whose results are taken in the order given, so that
// the report, the messages and the exit status are the same for any -j.
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
        reporter_(format, known, &output),
        descriptors_(descriptor_budget_size(jobs)),
        commit_(descriptors_, replacement_budget(jobs)) {
    settings_.fix = given.fix;
    settings_.diff = given.diff;
    settings_.changes = changes;
    reporter_.only_changes(changes);
    fixer_.only_changes(changes);
    settings_.descriptors = given.fix ? &descriptors_ : nullptr;
    const std::size_t waiting = given.fix ? files_waiting_per_thread_fixing : files_waiting_per_thread;
    if (jobs > 1) pool_.emplace(jobs, waiting * jobs, held_bytes_per_thread * jobs, settings_);
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
        return given_.fix || given_.diff ? fix_standard_input() : check_standard_input();
    }
    return true;
  }

  bool trouble() const { return trouble_; }
  std::uint64_t reported() const { return reporter_.reported(); }
  std::uint64_t fixes() const { return fixes_; }
  std::uint64_t files_fixed() const { return files_fixed_; }

  /// Reports every file still waiting: checked by the pool, or fixed and
  /// not yet put in place. Call after the last input. False when the run
  /// must end.
  bool finish() { return take_waiting(); }

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
    if (!not_the_report(name, name)) return false;
    if (!pool_ && (given_.fix || given_.diff)) {
      auto job = std::make_unique<file_check>();
      job->name = name;
      job->run(checker_, text_, held_bytes_per_thread, settings_);
      return take_result(std::move(job));
    }
    if (!pool_) {
      reporter_.start_file(name);
      return after_check(checker_.check_file(name, reporter_));
    }
    // Results already done go out at once: the report streams, and what
    // waits stays small.
    while (!pool_->has_room() || pool_->next_ready()) {
      if (pool_->empty()) break;
      if (!take_result(pool_->take_next())) return false;
    }
    pool_->add(name);
    return true;
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
    if (given_.diff && done->fixing == fix_state::fixed) return report_diff(*done);
    return report_check(*done, file_commit::outcome::untouched);
  }

  // Every file still waiting reported, before something that is not a file
  // of the pool (a message, standard input) takes its place in the order.
  bool take_waiting() {
    while (pool_ && !pool_->empty()) {
      if (!take_result(pool_->take_next())) return false;
    }
    return commit_.empty() || commit_batch();
  }

  // The files waiting put in place, counted (whatever becomes of the
  // report), then reported in order.
  bool commit_batch() {
    commit_.commit();
    for (const file_commit::entry& each : commit_.entries()) {
      if (each.what == file_commit::outcome::replaced) count_fixes(*each.check);
    }
    bool go_on = true;
    for (file_commit::entry& each : commit_.entries()) {
      if (!go_on) break;
      go_on = report_check(*each.check, each.what);
    }
    commit_.clear();
    return go_on;
  }

  // A file's result reported: its messages, then its findings, as a plain
  // check of the file as it now is would report them.
  bool report_check(file_check& done, file_commit::outcome committed) {
    reporter_.start_file(done.name);
    bool as_it_now_is = false;
    switch (done.fixing) {
      case fix_state::none:
        break;
      case fix_state::descriptor_shortage:
        reporter_.cannot_open();
        write_error_line("Unable to open file " + quoted(done.name) + ": " + platform::describe_error(done.error));
        trouble_ = true;
        output_.flush_if_full();
        return !output_.failed();
      case fix_state::not_regular:
        write_error_line("The file " + quoted(done.name) + " is not a regular file: checked, not fixed");
        trouble_ = true;
        break;
      case fix_state::not_permitted:
      case fix_state::write_failed:
        write_error_line("Unable to write " + quoted(done.name) + ": " + platform::describe_error(done.error));
        trouble_ = true;
        break;
      case fix_state::fixed:
        switch (committed) {
          case file_commit::outcome::untouched:
          case file_commit::outcome::replaced:
            break;
          case file_commit::outcome::changed_meanwhile:
            write_error_line("The file " + quoted(done.name) + " changed while it was being fixed: left as it was");
            trouble_ = true;
            as_it_now_is = true;
            break;
          case file_commit::outcome::ours_meanwhile:
            as_it_now_is = true;
            break;
          case file_commit::outcome::write_failed:
            write_error_line("Unable to write " + quoted(done.name) + ": " + platform::describe_error(done.error));
            trouble_ = true;
            as_it_now_is = true;
            break;
        }
        break;
    }
    // Too many findings to have kept, or a file left as it was: checked
    // again, straight into the report, now that its turn has come.
    if (as_it_now_is || done.dropped) return after_check(checker_.check_file(done.name, reporter_));
    done.replay(reporter_);
    return after_check(done.outcome);
  }

  // With --diff: the diff written, under the name that applies from here,
  // then the fixed text's findings reported.
  bool report_diff(file_check& done) {
    std::string name;
    switch (names_.name_for(done.name, name)) {
      case diff_names::verdict::outside:
        write_error_line("The file " + quoted(done.name) +
                         " is not under the current directory: no diff for it, which would not apply");
        trouble_ = true;
        reporter_.start_file(done.name);
        return after_check(checker_.check_file(done.name, reporter_));
      case diff_names::verdict::repeated:
        break;
      case diff_names::verdict::use:
        count_fixes(done);
        if (!write_diff(name, done.original, done.fixed)) return false;
        break;
    }
    std::string().swap(done.original);
    std::string().swap(done.fixed);
    return report_check(done, file_commit::outcome::untouched);
  }

  void count_fixes(const file_check& done) {
    fixes_ += done.fixes;
    ++files_fixed_;
  }
  void count_fixes(const file_fixer::result& made) {
    fixes_ += made.fixes;
    ++files_fixed_;
  }

  // Written as it is made, a block at a time.
  bool write_diff(const std::string& name, std::string_view original, std::string_view fixed) {
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

  // With --fix, the fixed text goes to standard output (the text as it came
  // when there is nothing to fix), for editors and pipes; with --diff, the
  // diff. Read whole: the fixes are made on the whole text.
  bool fix_standard_input() {
    if (!take_waiting()) return false;  // the files before it come first
    const platform::input_handle input = platform::standard_input();
    if (!not_the_report(given_.stdin_name, input)) return false;
    std::string text;
    if (!read_all(input, text)) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    const file_fixer::result made = fixer_.fix_text(given_.stdin_name, std::move(text));
    if (made.what == file_fixer::status::read_failed) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    const bool fixed = made.what == file_fixer::status::fixed;
    if (fixed) count_fixes(made);
    if (given_.diff) {
      if (fixed && !write_diff(stdin_diff_name(), fixer_.original(), fixer_.fixed())) return false;
    } else if (const int error = platform::write_all(platform::output_stream::standard_output,
                                                     fixed ? fixer_.fixed() : fixer_.original());
               error != 0) {
      write_error_line("Failed while writing the fixed text to standard output: " + platform::describe_error(error));
      return false;
    }
    reporter_.start_file(given_.stdin_name);
    return after_check(checker_.check_text(given_.stdin_name, fixed ? fixer_.fixed() : fixer_.original(), reporter_));
  }

  static bool read_all(platform::input_handle input, std::string& text) {
    char block[64 * 1024];
    for (;;) {
      const platform::block_read read = platform::read_block(input, block, sizeof block);
      if (read.outcome == platform::read_outcome::end) return true;
      if (read.outcome != platform::read_outcome::data) return false;
      text.append(block, read.length);
    }
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

  // Read as a named file is, a block at a time: any size in little memory.
  bool check_standard_input() {
    if (!take_waiting()) return false;
    const platform::input_handle input = platform::standard_input();
    if (!not_the_report(given_.stdin_name, input)) return false;
    reporter_.start_file(given_.stdin_name);
    const check_outcome outcome = checker_.check_input(given_.stdin_name, input, reporter_);
    if (outcome == check_outcome::read_failed) {
      write_error_line("Failed while parsing '-'");
      return false;
    }
    return after_check(outcome);
  }

  // A report written over one of its own inputs would destroy the source it
  // reports on: the run ends, and the file stays as it was.
  template <typename Input>
  bool not_the_report(const std::string& name, const Input& input) {
    if (!output_.replaces_a_file()) return true;
    platform::file_facts facts;
    if (platform::facts_of(input, facts) != 0 || !output_.is_file(facts)) return true;
    if (!take_waiting()) return false;
    write_error_line("The report " + output_.destination() + " would overwrite " + quoted(name) +
                     ", which it checks: nothing written");
    return false;
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
  finding_reporter reporter_;
  line_reader list_;
  checker checker_;   // for one job, for standard input, and for files checked again
  std::string text_;  // one job's buffer for a file read whole
  descriptor_budget descriptors_;
  job_settings settings_;
  file_commit commit_;
  diff_names names_;
  file_fixer fixer_;
  std::uint64_t fixes_ = 0, files_fixed_ = 0;
  bool trouble_ = false;
  std::optional<check_pool> pool_;  // last: its threads stop before the rest goes
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
