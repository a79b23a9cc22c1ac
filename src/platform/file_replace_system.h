#pragma once
/// The parts of file_replace-posix.cc that differ between POSIX systems:
/// files without a name, and extended attributes. Used by it alone.

#include <string>

namespace stylo::platform::replace_system {

/// A new file in `directory` with no name, open for writing and reading;
/// -1 with errno set where the system or the file system has none.
int create_unnamed(const std::string& directory, unsigned mode);

/// Gives the unnamed file `fd` the name `name` (new). 0 or the system's code.
int name_unnamed(int fd, const std::string& name);

/// Copies the extended attributes of the open file `from` to `to`, as far
/// as the system and the runner's rights allow.
void copy_attributes(int from, int to);

}  // namespace stylo::platform::replace_system

namespace stylo::platform {

/// The directory of `name` ("." for a bare name). Shared by the POSIX
/// file_output and file_replace.
std::string directory_of(const std::string& name);

/// A short name, new to this process, for a temporary file in `directory`.
std::string temporary_name_in(const std::string& directory);

}  // namespace stylo::platform
