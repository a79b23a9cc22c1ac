#include "report/file_commit.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <optional>
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
  // 1. The replacements the jobs wrote: one sync for all, then each file
  // compared and its replacement put in place, in order.
  std::vector<platform::output_handle> written;
  for (const entry& each : entries_) {
    if (each.check->replacement.handle != platform::no_output) written.push_back(each.check->replacement.handle);
  }
  const int sync_error = written.empty() ? 0 : steps_.sync_outputs(written.data(), written.size());
  std::vector<std::string> renamed;
  std::vector<platform::input_handle> replaced_files;
  // The descriptors of the batch's own replacements, once each is done
  // with: kept for the replacements still to be made (2.), then given back.
  std::size_t freed = 0;
  std::vector<entry*> late;
  for (entry& each : entries_) {
    file_check& check = *each.check;
    if (check.fixing != fix_state::fixed) continue;
    if (check.in_memory) {
      late.push_back(&each);
      continue;
    }
    if (sync_error != 0) {
      check.error = sync_error;
      each.what = outcome::write_failed;
    } else {
      platform::input_handle old_file = platform::no_input;
      if (const auto changed = compare(check, old_file)) {
        each.what = *changed;
      } else {
        each.what = put_in_place(check);
        replaced_files.push_back(old_file);
      }
    }
    if (check.holds_descriptor) {
      check.holds_descriptor = false;
      ++freed;
    }
    done_with(each, renamed);
  }

  // 2. The files whose jobs found no descriptor left (most files, when
  // every file has fixes and the jobs run far ahead of the report): their
  // replacements made now, as many at a time as descriptors were freed, and
  // synced together rather than one sync each.
  for (std::size_t next = 0; next < late.size();) {
    const std::size_t room = std::max<std::size_t>(freed, 1);
    std::vector<entry*> group;
    std::vector<platform::input_handle> compared;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> files;
    written.clear();
    for (; next < late.size() && group.size() < room; ++next) {
      entry& each = *late[next];
      file_check& check = *each.check;
      platform::input_handle old_file = platform::no_input;
      platform::file_facts now;
      if (const auto changed = compare(check, old_file, &now)) {
        each.what = *changed;
        done_with(each, renamed);
        continue;
      }
      // The same file twice in one group would have its second replacement
      // renamed over the first: it waits for the next group, which finds
      // the first in place.
      if (std::find(files.begin(), files.end(), std::pair{now.device, now.inode}) != files.end()) {
        steps_.close_input(old_file);
        break;
      }
      check.error = steps_.create_replacement(check.target, now, old_file, check.replacement);
      if (check.error == 0) check.error = steps_.write_to(check.replacement.handle, check.fixed);
      if (check.error != 0) {
        steps_.close_input(old_file);
        each.what = outcome::write_failed;
        done_with(each, renamed);
        continue;
      }
      group.push_back(&each);
      compared.push_back(old_file);
      files.emplace_back(now.device, now.inode);
      written.push_back(check.replacement.handle);
    }
    const int group_error = written.empty() ? 0 : steps_.sync_outputs(written.data(), written.size());
    for (std::size_t i = 0; i < group.size(); ++i) {
      entry& each = *group[i];
      if (group_error != 0) {
        each.check->error = group_error;
        each.what = outcome::write_failed;
        steps_.close_input(compared[i]);
      } else {
        each.what = put_in_place(*each.check);
        if (each.what == outcome::replaced) {
          replaced_files.push_back(compared[i]);
        } else {
          steps_.close_input(compared[i]);
        }
      }
      done_with(each, renamed);
    }
  }
  for (; freed > 0; --freed) descriptors_.give_back();
  close_side_by_side(replaced_files);
  renamed_.insert(renamed_.end(), std::make_move_iterator(renamed.begin()), std::make_move_iterator(renamed.end()));
}

void file_commit::finish() {
  if (!renamed_.empty()) steps_.sync_directories_of(renamed_);
  renamed_.clear();
}

void file_commit::done_with(entry& each, std::vector<std::string>& renamed) {
  file_check& check = *each.check;
  if (each.what == outcome::replaced) renamed.push_back(check.target);
  if (check.replacement.handle != platform::no_output || !check.replacement.name.empty()) {
    steps_.remove_temporary(check.replacement);
  }
  check.abandon_replacement(&descriptors_);
  std::string().swap(check.original);
  std::string().swap(check.fixed);
}

std::optional<file_commit::outcome> file_commit::compare(file_check& check, platform::input_handle& old_file,
                                                         platform::file_facts* facts) {
  // The file as it is now, compared byte for byte with the text the fixes
  // were made on: as late as can be, so that nothing another program wrote
  // is lost.
  platform::file_facts now;
  if (const int error = steps_.open_source(check.target, old_file, now); error != 0) {
    old_file = platform::no_input;
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
  if (facts != nullptr) *facts = now;
  return std::nullopt;
}

file_commit::outcome file_commit::put_in_place(file_check& check) {
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
