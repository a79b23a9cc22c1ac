#pragma once
/// Putting fixed files in place: the step between a job's replacement,
/// written and not yet in place (file_check.h), and the report of the file
/// as it now is. Files come in the run's order and wait here in a batch;
/// a batch is committed at once:
///
///  1. every replacement made durable (one sync for the batch where the
///     system can: output_sync.h), so that no rename can leave an empty
///     file should the machine stop;
///  2. each file read once more and its bytes compared with those the fix
///     was made from (not only its size and times: `cp -p` and `touch -r`
///     restore those): a file changed by anyone since is left as the other
///     program wrote it, and said so;
///  3. only then the replacement renamed over it, which keeps its mode,
///     owner and attributes (file_replace.h);
///  4. the directories synced, so that the renames stay: once for the run,
///     at its end (`finish`), not for each batch. A rename not yet synced
///     when the machine stops leaves the file as it was, whole, which a
///     second run fixes; a sync for each batch cost as much as the rest of
///     the commit on a tree with few files to fix.
///
/// A file whose job found no descriptor left has its replacement made at
/// the commit, after the others, in groups as large as the descriptors the
/// others gave back, each group synced at once (steps 1 to 3 again): when
/// every file has fixes the jobs run far ahead of the report, and most
/// replacements are made here. The same file never twice in one group.
///
/// Files with nothing to replace wait in the batch too, so that the report
/// keeps the order; a batch holds at most as many replacements as the
/// descriptors allow, and a bounded number of files.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/replace_steps.h"
#include "report/file_check.h"

namespace stylo::report {

class file_commit {
 public:
  /// What became of a file of the batch.
  enum class outcome {
    untouched,          ///< nothing to put in place
    replaced,           ///< the fixed text is in place
    changed_meanwhile,  ///< changed by another program since it was read: left alone
    ours_meanwhile,     ///< already replaced by this run (named twice): reported as it now is
    write_failed,       ///< see the entry's `error`: left alone
  };
  struct entry {
    std::unique_ptr<file_check> check;
    outcome what = outcome::untouched;
  };

  /// `descriptors`: the run's budget, which the replacements of the batch
  /// come from and go back to; `most_replacements` of them may wait.
  /// `steps`: the system's, or a test's.
  file_commit(descriptor_budget& descriptors, std::size_t most_replacements,
              platform::replace_steps& steps = platform::system_replace_steps())
      : descriptors_(descriptors),
        most_replacements_(most_replacements == 0 ? 1 : most_replacements),
        steps_(steps) {}

  /// Takes a file's result, in the run's order.
  void add(std::unique_ptr<file_check> check);

  bool empty() const { return entries_.empty(); }
  /// Whether the batch should be committed before another file is added.
  bool full() const { return replacements_ >= most_replacements_ || entries_.size() >= 4096; }

  /// Commits the batch (see above). The entries keep their order.
  void commit();

  /// Syncs the directories of the files put in place since the last call
  /// (4. above). At the end of the run; a commit dropped unfinished does it.
  void finish();
  ~file_commit() { finish(); }
  file_commit(const file_commit&) = delete;
  file_commit& operator=(const file_commit&) = delete;

  /// The files since the last `clear`, in order, with their outcomes once
  /// committed.
  std::vector<entry>& entries() { return entries_; }
  void clear();

 private:
  /// Whether the file still holds the bytes the fixes were made on: then
  /// nothing, with `old_file` open on it (and its facts in `facts`);
  /// otherwise what became of it, with nothing open.
  std::optional<outcome> compare(file_check& check, platform::input_handle& old_file,
                                 platform::file_facts* facts = nullptr);
  /// Renames the synced replacement over the file.
  outcome put_in_place(file_check& check);
  /// The entry's replacement closed (or removed), its texts let go.
  void done_with(entry& each, std::vector<std::string>& renamed);
  bool holds_exactly(platform::input_handle input, std::string_view bytes);
  void close_side_by_side(std::vector<platform::input_handle>& files);

  descriptor_budget& descriptors_;
  const std::size_t most_replacements_;
  platform::replace_steps& steps_;
  std::vector<entry> entries_;
  std::size_t replacements_ = 0;
  std::vector<std::string> renamed_;  ///< put in place, their directories not yet synced
  /// The files this run has put in place (device, inode): one found in a
  /// file's place at the comparison is this run's own doing, not another's.
  std::set<std::pair<std::uint64_t, std::uint64_t>> made_;
};

}  // namespace stylo::report
