#pragma once
/// The walk of a directory named on the command line: its .c and .h files,
/// in its subdirectories too, in the sorted order of their whole names
/// (byte by byte, the order of `git ls-files` and of `find | LC_ALL=C
/// sort`). Symbolic links inside it are not followed, to a file or to a
/// directory, so the walk never leaves it and never sees a file twice.

#include <functional>
#include <string>

namespace stylo::report {

struct walk_visitor {
  /// A .c or .h file; returns false to stop the walk.
  std::function<bool(const std::string& name)> file;
  /// A directory that cannot be read; returns false to stop the walk.
  std::function<bool(const std::string& name)> unreadable;
};

/// Walks `directory`. Returns false when a visitor stopped it.
bool walk_directory(const std::string& directory, const walk_visitor& visit);

}  // namespace stylo::report
