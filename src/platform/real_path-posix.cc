#include "platform/real_path.h"

#include <cerrno>
#include <cstdlib>

namespace stylo::platform {

int real_path(const std::string& name, std::string& resolved) {
  char* path = ::realpath(name.c_str(), nullptr);
  if (path == nullptr) return errno;
  resolved = path;
  std::free(path);
  return 0;
}

char path_separator() { return '/'; }

}  // namespace stylo::platform
