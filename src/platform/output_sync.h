#pragma once
/// Forcing written files to the disk, many at a time. Each fsync of a new
/// file waits for a commit of the file system's journal of its own (a
/// millisecond or more, many on a busy disk), which for a thousand small
/// files rewritten costs more than checking a whole tree; where the system
/// can sync a whole file system at once (Linux's syncfs), a batch of files
/// costs one commit.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_output.h"

namespace stylo::platform {

/// Forces the bytes written to every one of `files` (open) to the disk.
/// 0, or the system's code for the first failure.
int sync_outputs(const output_handle* files, std::size_t count);

/// Syncs the directory that holds `name`, so that a rename into it is kept
/// should the machine stop. As best it can: some systems cannot, and on
/// Windows the rename is written through already.
void sync_directory_of(const std::string& name);

/// The same for the directories of all of `names` (files just renamed into
/// them), each once; on Linux, one syncfs for each file system.
void sync_directories_of(const std::vector<std::string>& names);

}  // namespace stylo::platform
