#pragma once
/// The system's steps that put a batch of fixed files in place
/// (report/file_commit.h), behind one narrow interface: syncing the
/// replacements, reading each file once more to compare it, making a
/// replacement late, renaming it over the file, syncing the directories.
/// The real steps are the platform's own (file_replace.h, file_output.h,
/// output_sync.h); a test gives the commit steps of its own instead, that
/// fail or change a file exactly when it wants, with no disk in the way.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_input.h"
#include "platform/file_output.h"

namespace stylo::platform {

class replace_steps {
 public:
  virtual ~replace_steps() = default;

  /// As output_sync.h's `sync_outputs`: every one of `files` to the disk.
  virtual int sync_outputs(const output_handle* files, std::size_t count) = 0;
  /// As file_replace.h's `open_source`: the file as it is now, and its facts.
  virtual int open_source(const std::string& name, input_handle& input, file_facts& facts) = 0;
  /// As file_input.h's `read_block`.
  virtual block_read read_block(input_handle input, char* into, std::size_t capacity) = 0;
  /// Closes an input of `open_source`. Called from several threads at once
  /// (the last close of a replaced file may wait for the device).
  virtual void close_input(input_handle input) = 0;
  /// As file_replace.h's `create_replacement`, for a file whose job had no
  /// descriptor left.
  virtual int create_replacement(const std::string& target, const file_facts& like, input_handle original,
                                 temporary_file& file) = 0;
  virtual int write_to(output_handle file, std::string_view bytes) = 0;
  virtual int sync_output(output_handle file) = 0;
  /// As file_replace.h's `publish`: the rename over the file.
  virtual int publish(temporary_file& file, const std::string& target) = 0;
  /// The facts of an open replacement: which file it is, once in place.
  virtual int facts_of(output_handle file, file_facts& facts) = 0;
  /// Closes and, unless it was put in place, removes a replacement.
  virtual void remove_temporary(temporary_file& file) = 0;
  /// As output_sync.h's `sync_directories_of`.
  virtual void sync_directories_of(const std::vector<std::string>& names) = 0;
};

/// The system's own steps, shared by every commit of the process.
replace_steps& system_replace_steps();

}  // namespace stylo::platform
