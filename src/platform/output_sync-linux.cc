#include "platform/output_sync.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stylo::platform {

int sync_outputs(const output_handle* files, std::size_t count) {
  // One syncfs for each file system the files are on (nearly always one);
  // it reports the write errors of the files since they were opened.
  std::vector<dev_t> synced;
  for (std::size_t i = 0; i < count; ++i) {
    const int fd = static_cast<int>(files[i]);
    struct stat status;
    if (::fstat(fd, &status) != 0) return errno;
    bool done = false;
    for (const dev_t each : synced) done = done || each == status.st_dev;
    if (done) continue;
    if (::syncfs(fd) != 0) return errno;
    synced.push_back(status.st_dev);
  }
  return 0;
}

void sync_directory_of(const std::string& name) {
  const std::size_t slash = name.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace stylo::platform

namespace stylo::platform {

void sync_directories_of(const std::vector<std::string>& names) {
  // A syncfs commits the renames with everything else: one for each file
  // system, where a directory's fsync costs a commit of its own.
  std::vector<dev_t> synced;
  for (const std::string& name : names) {
    struct stat status;
    if (::stat(name.c_str(), &status) != 0) continue;
    bool done = false;
    for (const dev_t each : synced) done = done || each == status.st_dev;
    if (done) continue;
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) continue;
    ::syncfs(fd);
    ::close(fd);
    synced.push_back(status.st_dev);
  }
}

}  // namespace stylo::platform
