#include "platform/output_sync.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace stylo::platform {

// Without a way to sync a whole file system that reports errors, each file
// is synced on its own.
int sync_outputs(const output_handle* files, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (const int error = sync_output(files[i]); error != 0) return error;
  }
  return 0;
}

void sync_directory_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace stylo::platform

namespace stylo::platform {

void sync_directories_of(const std::vector<std::string>& names) {
  std::vector<std::string> directories;
  for (const std::string& name : names) {
    const std::size_t slash = name.rfind('/');
    std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
    if (std::find(directories.begin(), directories.end(), directory) != directories.end()) continue;
    sync_directory_of(name);
    directories.push_back(std::move(directory));
  }
}

}  // namespace stylo::platform
