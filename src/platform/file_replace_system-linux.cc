#include "platform/file_replace_system.h"

#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace stylo::platform::replace_system {

int create_unnamed(const std::string& directory, unsigned mode) {
  return ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, static_cast<mode_t>(mode));
}

int name_unnamed(int fd, const std::string& name) {
  // Through /proc, which any user may do; AT_EMPTY_PATH needs a privilege
  // most runners lack, and serves where /proc is not mounted.
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  const int error = errno;
  if (error != ENOENT && error != ENOTDIR) return error;
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

void copy_attributes(int from, int to) {
  std::vector<char> names(4096);
  ssize_t listed;
  while ((listed = ::flistxattr(from, names.data(), names.size())) < 0 && errno == ERANGE) {
    names.resize(names.size() * 4);
  }
  if (listed <= 0) return;
  std::vector<char> value(4096);
  for (ssize_t at = 0; at < listed;) {
    const char* name = names.data() + at;
    at += static_cast<ssize_t>(std::char_traits<char>::length(name)) + 1;
    ssize_t length;
    while ((length = ::fgetxattr(from, name, value.data(), value.size())) < 0 && errno == ERANGE) {
      value.resize(value.size() * 4);
    }
    // One the runner may not read or set (a `trusted.*` one, a label the
    // policy forbids) is left out; the others still come.
    if (length >= 0) ::fsetxattr(to, name, value.data(), static_cast<std::size_t>(length), 0);
  }
}

}  // namespace stylo::platform::replace_system
