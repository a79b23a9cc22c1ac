#include "platform/file_replace_system.h"

#include <cerrno>

namespace stylo::platform::replace_system {

// No portable way to make a file without a name: the replacement gets a
// short name of its own (file_replace-posix.cc).
int create_unnamed(const std::string&, unsigned) {
  errno = EOPNOTSUPP;
  return -1;
}

int name_unnamed(int, const std::string&) { return EOPNOTSUPP; }

// Extended attributes have no portable interface (macOS and the BSDs each
// have their own): the replacement has none.
void copy_attributes(int, int) {}

}  // namespace stylo::platform::replace_system
