#include "platform/text_output.h"

#include <cerrno>
#include <cstring>

#include <poll.h>
#include <unistd.h>

namespace stylo::platform {

const std::string_view line_end = "\n";

int write_all(output_stream stream, std::string_view bytes) {
  const int fd = stream == output_stream::standard_output ? STDOUT_FILENO : STDERR_FILENO;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        // A non-blocking output that is full for now (a pipe whose reader
        // is behind): wait for room rather than give up.
        pollfd wait_for{fd, POLLOUT, 0};
        ::poll(&wait_for, 1, -1);
        continue;
      }
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

std::string describe_error(int code) { return std::strerror(code); }

}  // namespace stylo::platform
