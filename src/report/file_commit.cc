#include "report/file_commit.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/file_input.h"
#include "platform/file_replace.h"
#include "platform/output_sync.h"

namespace stylo::report {

// Whether the rest of `input` holds exactly `bytes`.
bool file_commit::holds_exactly(platform::input_handle input, std::string_view bytes) {
  char block[64 * 1024];
  for (;;) {
    const platform::block_read read = steps_.read_block(input, block, sizeof block);
    if (read.outcome == platform::read_outcome::end) return bytes.empty();
    if (read.outcome != platform::read_outcome::data) return false;
    if (read.length > bytes.size() || std::memcmp(block, bytes.data(), read.length) != 0) return false;
    bytes.remove_prefix(read.length);
  }
}

// The files replaced, closed side by side: the last close of a replaced
// file frees its blocks, which on some disks waits for the device (a few
// milliseconds a file on a virtual disk that discards them, longer than
// checking the file); the device serves several at once.
void file_commit::close_side_by_side(std::vector<platform::input_handle>& files) {
  constexpr std::size_t closing_threads = 8;
  std::atomic<std::size_t> next{0};
  const auto close_some = [&] {
    for (std::size_t i; (i = next++) < files.size();) steps_.close_input(files[i]);
  };
  std::vector<std::thread> helpers;
  if (files.size() > 1) {
    platform::block_stopping_signals();  // the helpers inherit it
    try {
      for (std::size_t n = std::min(files.size(), closing_threads) - 1; n > 0; --n) helpers.emplace_back(close_some);
    } catch (const std::system_error&) {
      // No thread to be had: the ones there are, this one among them, do all.
    }
    platform::unblock_stopping_signals();
  }
  close_some();
  for (std::thread& helper : helpers) helper.join();
  files.clear();
}

void file_commit::add(std::unique_ptr<file_check> check) {
  if (check->fixing == fix_state::fixed) ++replacements_;
  entries_.push_back({std::move(check), outcome::untouched});
}

void file_commit::commit() {
  std::vector<platform::output_handle> written;
  for (const entry& each : entries_) {
    if (each.check->replacement.handle != platform::no_output) written.push_back(each.check->replacement.handle);
  }
  const int sync_error = written.empty() ? 0 : steps_.sync_outputs(written.data(), written.size());
  std::vector<std::string> renamed;
  std::vector<platform::input_handle> replaced_files;
  for (entry& each : entries_) {
    file_check& check = *each.check;
    if (check.fixing != fix_state::fixed) continue;
    if (sync_error != 0 && !check.in_memory) {
      check.error = sync_error;
      each.what = outcome::write_failed;
    } else {
      platform::input_handle old_file = platform::no_input;
      each.what = put_in_place(check, old_file);
      if (old_file != platform::no_input) replaced_files.push_back(old_file);
    }
    if (each.what == outcome::replaced) renamed.push_back(check.target);
    if (check.replacement.handle != platform::no_output || !check.replacement.name.empty()) {
      steps_.remove_temporary(check.replacement);
    }
    check.abandon_replacement(&descriptors_);
    std::string().swap(check.original);
    std::string().swap(check.fixed);
  }
  close_side_by_side(replaced_files);
  if (!renamed.empty()) steps_.sync_directories_of(renamed);
}

file_commit::outcome file_commit::put_in_place(file_check& check, platform::input_handle& old_file) {
  // The file as it is now, compared byte for byte with the text the fixes
  // were made on: as late as can be, so that nothing another program wrote
  // is lost.
  platform::file_facts now;
  if (const int error = steps_.open_source(check.target, old_file, now); error != 0) {
    if (error == EMFILE || error == ENFILE) {
      check.error = error;
      return outcome::write_failed;
    }
    return outcome::changed_meanwhile;  // removed, or another file put there
  }
  const bool same = platform::same_file(now, check.facts) && now.regular && now.size == check.original.size() &&
                    holds_exactly(old_file, check.original);
  if (!same) {
    steps_.close_input(old_file);
    old_file = platform::no_input;
    return made_.contains({now.device, now.inode}) ? outcome::ours_meanwhile : outcome::changed_meanwhile;
  }
  if (check.in_memory) {
    // No descriptor was left when the job ran: the replacement is made now,
    // as the job would have made it, and synced on its own.
    check.error = steps_.create_replacement(check.target, now, old_file, check.replacement);
    if (check.error == 0) check.error = steps_.write_to(check.replacement.handle, check.fixed);
    if (check.error == 0) check.error = steps_.sync_output(check.replacement.handle);
    if (check.error != 0) return outcome::write_failed;
  }
  if (check.error = steps_.publish(check.replacement, check.target); check.error != 0) {
    return outcome::write_failed;
  }
  if (platform::file_facts made; steps_.facts_of(check.replacement.handle, made) == 0) {
    made_.insert({made.device, made.inode});
  }
  return outcome::replaced;
}

void file_commit::clear() {
  entries_.clear();
  replacements_ = 0;
}

}  // namespace stylo::report
