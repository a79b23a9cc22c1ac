#pragma once
/// Writing a file whole or not at all: the bytes go to a new file beside
/// the one wanted, which is synced and renamed over it only once everything
/// is written. A run that fails, or is stopped by SIGINT or SIGTERM (on
/// Windows, Ctrl+C or the console closing), leaves no half file and no
/// temporary one, and an older file of that name stays as it was.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_input.h"

namespace stylo::platform {

/// An open output file: a file descriptor, or a Windows handle.
using output_handle = std::intptr_t;

inline constexpr output_handle no_output = -1;

struct temporary_file {
  output_handle handle = no_output;
  /// Beside the final name, in the same directory; empty for a file that
  /// has no name yet (see file_replace.h), which `directory` then tells.
  std::string name;
  std::string directory;
  int registration = -1;  ///< its place among the names removed on a signal
};

/// What a replacement needs to know of an existing file: which file it is
/// (two names of one file have the same identity), its permissions, and
/// its size and modification time, to tell whether it changed meanwhile.
struct file_facts {
  std::uint64_t device = 0, inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  ///< in the system's finest unit
  std::uint32_t mode = 0;     ///< permission bits (POSIX only)
  std::uint32_t owner = 0, group = 0;  ///< POSIX only
  /// A plain file: not a directory, a device, a FIFO or a socket, which
  /// are read or written where they are and never replaced.
  bool regular = true;
  bool directory = false;
};

inline bool same_file(const file_facts& a, const file_facts& b) {
  return a.device == b.device && a.inode == b.inode;
}

/// Whether the file changed between two looks: another file now has the
/// name, or the size or modification time moved.
inline bool changed_since(const file_facts& before, const file_facts& now) {
  return !same_file(before, now) || before.size != now.size || before.modified != now.modified;
}

/// The facts of the file `name` leads to (through symbolic links). 0, or
/// the system's code (see text_output.h's `describe_error`).
int facts_of(const std::string& name, file_facts& facts);

/// The same for an open input (standard input, say).
int facts_of(input_handle input, file_facts& facts);

/// The name to write for `name`: where it is a symbolic link, the file the
/// link leads to (link after link), so that writing replaces the target and
/// the link stays a link. Otherwise `name` itself.
std::string link_target(const std::string& name);

/// Creates a new, empty file in the directory of `final_name` (bytes as
/// given; UTF-8 on Windows) under a short name of its own (within the
/// system's longest name whatever the length of `final_name`), and has it removed
/// should the process be stopped by a signal before `rename_over` or
/// `remove_temporary`. With `like`, the new file gets its permissions;
/// otherwise those the user's umask gives any new file. Returns 0, or the
/// system's code for the failure, with no file made and `file.name` empty.
int create_beside(const std::string& final_name, temporary_file& file, const file_facts* like = nullptr);

/// Writes all of `bytes`, resuming after short writes. 0 or the system's code.
int write_to(output_handle file, std::string_view bytes);

/// Forces the written bytes to the disk, so that the rename after it cannot
/// leave an empty file in place should the machine stop. 0 or the code.
int sync_output(output_handle file);

/// Closes the file; a failure here may be a write that failed late. 0 or the code.
int close_output(output_handle file);

/// Renames the closed temporary file to `to`, replacing a file `to` if there
/// is one (see output_sync.h for keeping the rename itself). 0 or the code;
/// on a failure the temporary file is still there.
int rename_over(temporary_file& from, const std::string& to);

/// Closes (if open) and removes a temporary file, as best it can.
void remove_temporary(temporary_file& file);

}  // namespace stylo::platform
