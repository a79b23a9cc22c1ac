#pragma once
/// The files --fix has written beside their originals, put in place
/// together: one sync for the whole batch where the system can (see
/// platform/output_sync.h), then each renamed over its original unless that
/// changed meanwhile, then each directory synced once. The run reports the
/// files of a batch, in order, once it is in place, so at most a batch of
/// names (not texts) is held.

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
  bool full() const { return pending_ >= 64 || entries_.size() >= 1024; }

  /// Syncs and renames the files written; their outcome becomes `fixed`,
  /// `changed_meanwhile` or `write_failed`.
  void put_in_place();

  /// The files since the last `clear`, in order.
  std::vector<entry>& entries() { return entries_; }
  void clear();

 private:
  std::vector<entry> entries_;
  std::size_t pending_ = 0;
};

}  // namespace stylo::report
