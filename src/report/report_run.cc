#include "report/report_run.h"

#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

#include "core/check.h"
#include "platform/directory_listing.h"
#include "platform/file_input.h"
#include "platform/processors.h"
#include "platform/text_output.h"
#include "report/baseline.h"
#include "report/change_scope.h"
#include "report/check_pool.h"
#include "report/directory_walk.h"
#include "report/file_check.h"
#include "report/file_fixer.h"
#include "report/fix_batch.h"
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
constexpr std::size_t held_bytes_per_thread = std::size_t{1} << 20;

// One run over every input, in order. With one job each file is checked
// where it is named and its findings go straight to the report; with more,
// files go to a pool of threads and their results are taken in the order
// given, so that the report, the messages and the exit status are the same.
// With --fix and --diff the pool's check tells which files have something
// to fix; only those are read whole and fixed, in order, on the report's
// thread (--fix puts them in place in batches, which wait their turn the
// same way).
class report_run {
 public:
  report_run(const options& given, report_format& format, report_output& output, const baseline* known,
             unsigned jobs)
      : given_(given), output_(output), reporter_(format, known, &output) {
    if (jobs > 1) pool_.emplace(jobs, files_waiting_per_thread * jobs, held_bytes_per_thread * jobs);
  }
  report_run(const report_run&) = delete;
  report_run& operator=(const report_run&) = delete;
  // A run that ends early still waits for the batch being put in place.
  ~report_run() {
    if (placer_.joinable()) placer_.join();
  }

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

  /// Only the lines of `changes` count, in the report and for the fixes.
  void only_changes(const changed_files* changes) {
    reporter_.only_changes(changes);
    fixer_.only_changes(changes);
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
    if (!pool_ && (given_.fix || given_.diff)) return fix_file_named(name);
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
    if (given_.fix || given_.diff) {
      if (done->fixable) return fix_file_named(done->name);
      if (given_.fix) {
        // Nothing to fix, but its place in the order is among the batch's.
        file_fixer::result made;
        made.what = done->outcome == check_outcome::cannot_open ? file_fixer::status::cannot_open
                    : done->outcome == check_outcome::read_failed ? file_fixer::status::read_failed
                    : done->found == 0                            ? file_fixer::status::nothing_found
                                                                  : file_fixer::status::nothing_to_fix;
        return add_to_batch(done->name, std::move(made));
      }
    }
    reporter_.start_file(done->name);
    // Too many findings to have kept: checked again, straight into the
    // report, now that its turn has come.
    if (done->dropped) return after_check(checker_.check_file(done->name, reporter_));
    done->replay(reporter_);
    return after_check(done->outcome);
  }

  // Every file still waiting reported, before something that is not a file
  // of the pool or of a batch (a message, standard input) takes its place
  // in the order.
  bool take_waiting() {
    while (pool_ && !pool_->empty()) {
      if (!take_one()) return false;
    }
    return put_fixes_in_place();
  }

  // With --diff: the diff written, then the findings of the fixed text
  // reported, as a plain check of the file so fixed would report them.
  // With --fix: the fixed text written beside the file, and the file taken
  // into the batch, which reports it once it is in place.
  bool fix_file_named(const std::string& name) {
    // A file named again (twice in a list, or by a link and by its own name)
    // while its fixed text waits to be put in place: that text goes in
    // first, so that the file is read as fixed, not read again as it was
    // and then found changed by the first rename.
    if (given_.fix && !(being_fixed_[0].empty() && being_fixed_[1].empty())) {
      platform::file_facts facts;
      if (platform::facts_of(name, facts) == 0 && (being_fixed_[0].contains({facts.device, facts.inode}) ||
                                                   being_fixed_[1].contains({facts.device, facts.inode}))) {
        if (!put_fixes_in_place()) return false;
      }
    }
    file_fixer::result made = fixer_.fix_file(name, given_.fix);
    if (given_.fix) return add_to_batch(name, std::move(made));
    reporter_.start_file(name);
    switch (made.what) {
      case file_fixer::status::fixed:
        count_fixes(made);
        if (!write_diff(name)) return false;
        return after_check(checker_.check_text(name, fixer_.fixed(), reporter_));
      case file_fixer::status::nothing_to_fix:
        return after_check(checker_.check_file(name, reporter_));
      default:
        return report_outcome(name, made);
    }
  }

  bool add_to_batch(const std::string& name, file_fixer::result made) {
    const bool failed = made.what == file_fixer::status::read_failed;
    if (made.pending && made.pending->original() != nullptr) {
      being_fixed_[filling_ - batches_].insert({made.pending->original()->device, made.pending->original()->inode});
    }
    filling_->add(name, std::move(made));
    if (failed) return put_fixes_in_place();
    return filling_->full() ? hand_over_batch() : true;
  }

  // A full batch is put in place on a thread of its own while the next
  // one fills: its syncs and renames wait on the disk, the checks do not.
  // The batch before it is reported first, so the report keeps its order.
  bool hand_over_batch() {
    if (!report_placed_batch()) return false;
    std::swap(filling_, placing_);
    try {
      placer_ = std::thread([batch = placing_] { batch->put_in_place(); });
    } catch (const std::system_error&) {
      placing_->put_in_place();
    }
    return placer_.joinable() || report_batch(*placing_);
  }

  bool report_placed_batch() {
    if (!placer_.joinable()) return true;
    placer_.join();
    return report_batch(*placing_);
  }

  // Every file written put in place, and reported.
  bool put_fixes_in_place() {
    if (!report_placed_batch()) return false;
    filling_->put_in_place();
    return report_batch(*filling_);
  }

  // The files of a batch in place, reported in order: each as a plain
  // check of it as it now is would report it.
  bool report_batch(fix_batch& batch) {
    bool go_on = true;
    for (fix_batch::entry& each : batch.entries()) {
      if (!go_on) break;
      reporter_.start_file(each.name);
      go_on = report_outcome(each.name, each.made);
    }
    batch.clear();
    being_fixed_[&batch - batches_].clear();
    return go_on;
  }

  bool report_outcome(const std::string& name, const file_fixer::result& made) {
    switch (made.what) {
      case file_fixer::status::cannot_open:
        return after_check(check_outcome::cannot_open);
      case file_fixer::status::read_failed:
        return after_check(check_outcome::read_failed);
      case file_fixer::status::nothing_found:
        return after_check(check_outcome::checked);
      case file_fixer::status::nothing_to_fix:
        break;
      case file_fixer::status::fixed:
        count_fixes(made);
        break;
      case file_fixer::status::changed_meanwhile:
        write_error_line("The file " + quoted(name) + " changed while it was being fixed: left as it was");
        trouble_ = true;
        break;
      case file_fixer::status::write_failed:
        write_error_line("Unable to write " + quoted(name) + ": " + platform::describe_error(made.error));
        trouble_ = true;
        break;
    }
    return after_check(checker_.check_file(name, reporter_));
  }

  void count_fixes(const file_fixer::result& made) {
    fixes_ += made.fixes;
    ++files_fixed_;
  }

  bool write_diff(const std::string& name) {
    std::string diff;
    append_unified_diff(diff, name, fixer_.original(), fixer_.fixed());
    if (const int error = platform::write_all(platform::output_stream::standard_output, diff); error != 0) {
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
      if (fixed && !write_diff(given_.stdin_name)) return false;
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

  const options& given_;
  report_output& output_;
  finding_reporter reporter_;
  line_reader list_;
  checker checker_;  // for one job, and for standard input
  std::optional<check_pool> pool_;
  file_fixer fixer_;
  fix_batch batches_[2];
  fix_batch* filling_ = &batches_[0];
  fix_batch* placing_ = &batches_[1];
  /// The files (device, inode) each batch holds a fixed text for.
  std::set<std::pair<std::uint64_t, std::uint64_t>> being_fixed_[2];
  std::thread placer_;  ///< putting `placing_` in place, while joinable
  std::uint64_t fixes_ = 0, files_fixed_ = 0;
  bool trouble_ = false;
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
  report_run run(given, *format, output, known ? &*known : nullptr, jobs);
  if (changes) run.only_changes(&*changes);
  format->begin();
  bool completed = true;
  for (const input& each : given.inputs) {
    completed = run.check_input(each);
    if (!completed) break;
  }
  if (completed) completed = run.finish();
  if (!completed) {
    const int error = output.error();
    output.abandon();
    if (error != 0) {
      write_error_line("Failed while writing the report to " + output.destination() + ": " +
                       platform::describe_error(error));
    }
    return 2;
  }
  format->end();
  if (const int error = output.finish(); error != 0) {
    write_error_line("Failed while writing the report to " + output.destination() + ": " +
                     platform::describe_error(error));
    return 2;
  }
  if (given.fix) {
    write_error_line("stylo-report: fixed " + counted(run.fixes(), "finding") + " in " +
                     counted(run.files_fixed(), "file") + ", " + counted(run.reported(), "finding") + " left");
  }
  if (run.trouble()) return 2;
  if (given.diff) return run.files_fixed() > 0 ? 1 : 0;
  return run.reported() > 0 ? 1 : 0;
}

}  // namespace stylo::report
