#include "report/fix_batch.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "platform/output_sync.h"

namespace stylo::report {

void fix_batch::add(std::string name, file_fixer::result made) {
  if (made.pending) ++pending_;
  entries_.push_back({std::move(name), std::move(made)});
}

void fix_batch::put_in_place() {
  std::vector<whole_file*> written;
  std::vector<platform::output_handle> handles;
  for (const entry& each : entries_) {
    if (!each.made.pending) continue;
    written.push_back(each.made.pending.get());
    handles.push_back(each.made.pending->handle());
  }
  if (written.empty()) return;
  const int sync_error = platform::sync_outputs(handles.data(), handles.size());

  // A rename over a file frees the old file's blocks, which on some disks
  // waits for the device (3 ms a file on a virtual disk with discard,
  // longer than checking the file): the renames go side by side, which the
  // device serves at once. Each touches its own file alone.
  std::vector<whole_file::outcome> outcomes(written.size());
  std::atomic<std::size_t> next{0};
  const auto replace = [&] {
    for (std::size_t i; (i = next++) < written.size();) outcomes[i] = written[i]->replace_after_sync(sync_error);
  };
  std::vector<std::thread> helpers;
  try {
    for (std::size_t n = std::min<std::size_t>(written.size(), renaming_threads) - 1; n > 0; --n) {
      helpers.emplace_back(replace);
    }
  } catch (const std::system_error&) {
    // No thread to be had: the ones there are, this one among them, do all.
  }
  replace();
  for (std::thread& helper : helpers) helper.join();

  std::vector<std::string> renamed;
  std::size_t i = 0;
  for (entry& each : entries_) {
    if (!each.made.pending) continue;
    switch (outcomes[i++]) {
      case whole_file::outcome::replaced:
        renamed.push_back(each.made.pending->target());
        break;
      case whole_file::outcome::changed_meanwhile:
        each.made = {file_fixer::status::changed_meanwhile};
        break;
      case whole_file::outcome::failed:
        each.made = {file_fixer::status::write_failed, 0, each.made.pending->error()};
        break;
    }
    each.made.pending.reset();
  }
  platform::sync_directories_of(renamed);
}

void fix_batch::clear() {
  entries_.clear();
  pending_ = 0;
}

}  // namespace stylo::report
