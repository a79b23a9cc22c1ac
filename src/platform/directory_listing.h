#pragma once
/// Listing what a directory holds, for stylo-report's walk of the
/// directories named on its command line.

#include <string>
#include <vector>

namespace stylo::platform {

enum class entry_kind {
  file,       ///< a regular file
  directory,  ///< a directory
  other,      ///< anything else, a symbolic link (or Windows reparse point) included
};

struct directory_entry {
  std::string name;  ///< the entry's own name (UTF-8 on Windows), no directory before it
  entry_kind kind;   ///< what the entry itself is: a link is not followed
};

/// Lists the entries of `directory` (bytes as given; UTF-8 on Windows),
/// without "." and "..", in no particular order. False when it cannot be
/// read; `entries` is then empty.
bool list_directory(const std::string& directory, std::vector<directory_entry>& entries);

/// Whether `name`, as given by the user, is a directory: a link to one
/// counts, since the user named it.
bool is_directory(const std::string& name);

}  // namespace stylo::platform
