#pragma once
/// A file's one true name: absolute, every link and every "." and ".."
/// resolved, as the system resolves them when it opens the file. Two names
/// of one file (through links, "./", "../") give the same real path.

#include <string>

namespace stylo::platform {

/// The real path of the existing file or directory `name`. 0, or the
/// system's code.
int real_path(const std::string& name, std::string& resolved);

/// The character between a directory's name and its entries' ("/" or "\").
char path_separator();

}  // namespace stylo::platform
