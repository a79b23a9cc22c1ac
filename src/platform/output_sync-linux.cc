#include "platform/output_sync.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/file_replace.h"

namespace stylo::platform {

namespace {

// Each file synced on its own, from several threads: the journal commits
// theirs together, and nothing else on the file system is waited for.
int sync_outputs_each(const output_handle* files, std::size_t count) {
  std::atomic<std::size_t> next{0};
  std::atomic<int> first_error{0};
  const auto sync_some = [&] {
    for (std::size_t i; (i = next++) < count;) {
      while (::fdatasync(static_cast<int>(files[i])) != 0) {
        if (errno == EINTR) continue;
        int none = 0;
        first_error.compare_exchange_strong(none, errno);
        break;
      }
    }
  };
  std::vector<std::thread> helpers;
  block_stopping_signals();  // the helpers inherit it: a signal is the report thread's
  try {
    for (std::size_t n = std::min<std::size_t>(count, 8); n > 1; --n) helpers.emplace_back(sync_some);
  } catch (const std::system_error&) {
    // No thread to be had: this one syncs them all.
  }
  unblock_stopping_signals();
  sync_some();
  for (std::thread& each : helpers) each.join();
  return first_error.load();
}

// Below this many files, a syncfs (which also waits for every other
// program's writes to the file system, a build's say) costs more than
// syncing each file side by side; above it, less.
constexpr std::size_t syncfs_from = 32;

}  // namespace

int sync_outputs(const output_handle* files, std::size_t count) {
  if (count < syncfs_from) return sync_outputs_each(files, count);
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
