#pragma once
/// One file's check as a unit of work: a name in, the outcome and the
/// findings out, kept until the report takes them. Any thread may run it,
/// with its own checker; the report takes the results in the order the
/// files were given, so that the report is the same whichever thread
/// checked which file, and however many there were.
///
/// With --fix or --diff the same unit also fixes the file: it is read once,
/// checked in memory, fixed in memory, and (--fix) the fixed text written
/// to its replacement (file_replace.h), not yet in place; the findings kept
/// are then the fixed text's, taken from memory. The report's thread puts
/// the replacement in place (file_commit.h) or writes the diff.
///
/// What one file keeps is bounded: a file with more findings than that
/// (a generated table, a file of millions of lines) keeps none, only that
/// it had them, and the report checks it again in its turn, straight into
/// the output. Such files are rare, and a second read of one costs less
/// than holding millions of findings until their turn.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/check.h"
#include "platform/file_output.h"
#include "report/changed_lines.h"
#include "rules/owned_finding.h"

namespace stylo::report {

/// The descriptors the replacements waiting for their turn may hold, shared
/// by every job of a run: a job that finds none left keeps its fixed text
/// in memory, and the commit writes it when its turn comes.
class descriptor_budget {
 public:
  explicit descriptor_budget(std::size_t count) : left_(static_cast<long>(count)) {}
  bool take() {
    if (left_.fetch_sub(1, std::memory_order_acq_rel) > 0) return true;
    left_.fetch_add(1, std::memory_order_acq_rel);
    return false;
  }
  void give_back() { left_.fetch_add(1, std::memory_order_acq_rel); }

 private:
  std::atomic<long> left_;
};

/// What a job does besides checking.
struct job_settings {
  bool fix = false;   ///< write the fixed text to a replacement
  bool diff = false;  ///< keep the original and fixed texts, for the diff
  /// Only the fixes on the lines a change adds are made (nullptr: every
  /// fix). Every finding is still kept: the report leaves out those on other
  /// lines, and counts them for the fingerprints of the ones it keeps.
  const changed_files* changes = nullptr;
  descriptor_budget* descriptors = nullptr;  ///< with `fix`
};

/// What became of the fixing of one file (beyond its check's outcome).
enum class fix_state {
  none,               ///< nothing to fix, or not asked
  fixed,              ///< fixed text made (and, with --fix, written unless `in_memory`)
  not_regular,        ///< a FIFO, a device: checked, never fixed or replaced
  not_permitted,      ///< the user may not write it (`error`): left as it was
  write_failed,       ///< its replacement could not be written (`error`)
  descriptor_shortage,///< no descriptor to open it (`error`: EMFILE or ENFILE)
};

struct file_check {
  std::string name;
  check_outcome outcome = check_outcome::checked;
  std::vector<owned_finding> findings;
  /// The text of each line that has findings, once for all of them (a line
  /// may be long), in the findings' order: the n-th line met is the n-th.
  std::vector<std::string> line_texts;
  std::uint64_t found = 0;  ///< findings, kept or not
  bool fixable = false;     ///< whether any finding has a fix
  bool dropped = false;     ///< more findings than could be kept: none kept
  std::size_t kept_bytes = 0;  ///< about what the kept findings hold, counted as they are kept

  // With --fix or --diff:
  fix_state fixing = fix_state::none;
  int error = 0;               ///< the system's code, for the states that have one
  std::uint64_t fixes = 0;     ///< the fixes made
  platform::file_facts facts;  ///< of the file as read
  std::string target;          ///< the file replaced: the name, or a link's target
  std::string original;        ///< as read: compared with the file before it is replaced
  std::string fixed;           ///< with --diff, or with --fix while `in_memory`
  bool in_memory = false;      ///< no descriptor was left: the replacement is still to be written
  platform::temporary_file replacement;  ///< with --fix: written, not yet synced or in place
  bool holds_descriptor = false;         ///< one of the budget's, given back with the replacement

  file_check() = default;
  file_check(const file_check&) = delete;
  file_check& operator=(const file_check&) = delete;
  /// A result dropped before its turn (the run ended) leaves no file.
  ~file_check();

  /// About how much memory the result holds, for the bound on results
  /// waiting for their turn: the count kept while checking, not a second
  /// walk over the findings.
  std::size_t held_bytes() const;

  /// Checks the file `name` with `with`, keeping its findings while they
  /// hold fewer than about `keep_at_most` bytes; with `how` asking, fixes
  /// it too (`text` is the thread's buffer for reading a file whole).
  void run(checker& with, std::size_t keep_at_most, const job_settings& how = {});
  void run(checker& with, std::string& text, std::size_t keep_at_most, const job_settings& how);

  /// Hands the kept findings to `sink` in order, as the check did. Only
  /// when not `dropped`.
  void replay(finding_sink& sink) const;

  /// Gives up the replacement, if any: removed, its descriptor given back
  /// to `descriptors` (none: the run is ending).
  void abandon_replacement(descriptor_budget* descriptors);

 private:
  void keep_findings_of(checker& with, std::string_view text, std::size_t keep_at_most, const job_settings& how,
                        std::vector<fix_edit>* edits);
  void fix(checker& with, std::string& text, std::size_t keep_at_most, const job_settings& how);
};

}  // namespace stylo::report
