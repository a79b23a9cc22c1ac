#include "platform/file_output.h"

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace stylo::platform {

int create_beside(const std::string& final_name, temporary_file& file) {
  // The process id and a counter make the name; O_EXCL makes sure that no
  // file of another is ever taken over. The mode is that of any new file,
  // so the report ends up with the permissions the user's umask gives.
  for (unsigned attempt = 0;; ++attempt) {
    file.name = final_name + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const int fd = ::open(file.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0) {
      file.handle = fd;
      return 0;
    }
    if (errno != EEXIST || attempt == 100) return errno;
  }
}

int write_to(output_handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(static_cast<int>(file), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int close_output(output_handle file) { return ::close(static_cast<int>(file)) == 0 ? 0 : errno; }

int rename_over(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void remove_file(const std::string& name) { ::unlink(name.c_str()); }

}  // namespace stylo::platform
