#include "report/fix_batch.h"

#include <algorithm>
#include <utility>

#include "platform/output_sync.h"

namespace stylo::report {

void fix_batch::add(std::string name, file_fixer::result made) {
  if (made.pending) ++pending_;
  entries_.push_back({std::move(name), std::move(made)});
}

void fix_batch::put_in_place() {
  std::vector<platform::output_handle> written;
  for (const entry& each : entries_) {
    if (each.made.pending) written.push_back(each.made.pending->handle());
  }
  if (written.empty()) return;
  const int sync_error = platform::sync_outputs(written.data(), written.size());
  // A file of each directory a file was renamed into, by directory.
  std::vector<std::pair<std::string, std::string>> directories;
  for (entry& each : entries_) {
    if (!each.made.pending) continue;
    whole_file& file = *each.made.pending;
    switch (file.replace_after_sync(sync_error)) {
      case whole_file::outcome::replaced: {
        const std::string& target = file.target();
        const std::size_t slash = target.rfind('/');
        directories.emplace_back(slash == std::string::npos ? std::string() : target.substr(0, slash), target);
        break;
      }
      case whole_file::outcome::changed_meanwhile:
        each.made = {file_fixer::status::changed_meanwhile};
        break;
      case whole_file::outcome::failed:
        each.made = {file_fixer::status::write_failed, 0, file.error()};
        break;
    }
    if (each.made.pending) each.made.pending.reset();
  }
  // Each directory once: its renames are kept together.
  std::sort(directories.begin(), directories.end());
  const auto same_directory = [](const auto& a, const auto& b) { return a.first == b.first; };
  directories.erase(std::unique(directories.begin(), directories.end(), same_directory), directories.end());
  for (const auto& [directory, file] : directories) platform::sync_directory_of(file);
}

void fix_batch::clear() {
  entries_.clear();
  pending_ = 0;
}

}  // namespace stylo::report
