#include "platform/file_input.h"

#include <cerrno>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stylo::platform {
namespace {

// Set by the build for Linux, whose read of a directory fails with EISDIR.
#if defined(STYLO_DIRECTORY_READS_FAIL)
constexpr bool directory_reads_fail = true;
#else
constexpr bool directory_reads_fail = false;
#endif

}  // namespace

input_handle open_for_reading(const std::string& name) {
  if (!can_name_a_file(name)) return no_input;
  const int fd = ::open(name.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return no_input;
  // Linux refuses to read a directory (EISDIR at the first read), which
  // costs nothing here. Other systems may read one as bytes: an fstat tells.
  if constexpr (!directory_reads_fail) {
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
      ::close(fd);
      return no_input;
    }
  }
  return fd;
}

int open_without_waiting(const std::string& name, input_handle& input) {
  input = no_input;
  if (!can_name_a_file(name)) return ENOENT;
  // O_NONBLOCK: a FIFO opens at once, writer or not; a regular file reads
  // as it always does.
  const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno;
  if constexpr (!directory_reads_fail) {
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
      ::close(fd);
      return EISDIR;
    }
  }
  input = fd;
  return 0;
}

input_handle standard_input() { return STDIN_FILENO; }

void close_input(input_handle input) { ::close(static_cast<int>(input)); }

block_read read_block(input_handle input, char* into, std::size_t capacity) {
  const int fd = static_cast<int>(input);
  for (;;) {
    const ssize_t n = ::read(fd, into, capacity);
    if (n > 0) return {read_outcome::data, static_cast<std::size_t>(n)};
    if (n == 0) return {read_outcome::end, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // A non-blocking standard input: wait for it rather than give up.
      pollfd wait_for{fd, POLLIN, 0};
      ::poll(&wait_for, 1, -1);
      continue;
    }
    return {errno == EISDIR ? read_outcome::not_a_file : read_outcome::error, 0};
  }
}

}  // namespace stylo::platform
