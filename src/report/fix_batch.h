#pragma once
/// The files --fix has written beside their originals, put in place
/// together: one sync for the whole batch where the system can (see
/// platform/output_sync.h), then each renamed over its original unless that
/// changed meanwhile (several side by side), then their directories synced.
/// The run reports the files of a batch, in order, once it is in place, so
/// at most a batch of names (not texts) is held, and 128 files kept open.

#include <string>
#include <vector>

#include "report/file_fixer.h"

namespace stylo::report {

class fix_batch {
 public:
  struct entry {
    std::string name;
    file_fixer::result made;
  };

  /// Takes a file's outcome, in the order of the run.
  void add(std::string name, file_fixer::result made);

  /// Whether it is time to put the batch in place: enough files written, or
  /// enough names held.
  bool full() const { return pending_ >= 128 || entries_.size() >= 4096; }

  /// Syncs and renames the files written; their outcome becomes `fixed`,
  /// `changed_meanwhile` or `write_failed`.
  void put_in_place();

  /// The files since the last `clear`, in order.
  std::vector<entry>& entries() { return entries_; }
  void clear();

 private:
  static constexpr std::size_t renaming_threads = 8;

  std::vector<entry> entries_;
  std::size_t pending_ = 0;
};

}  // namespace stylo::report
