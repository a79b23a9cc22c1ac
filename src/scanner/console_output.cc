#include "scanner/console_output.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <poll.h>
#include <unistd.h>

namespace stylo {
namespace {

// Writes all of `text`, resuming after short writes and interruptions.
// Returns 0, or the errno of the failure.
int write_all(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
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
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

}  // namespace

void write_error_line(std::initializer_list<std::string_view> pieces) {
  static std::string line;
  line.clear();
  for (std::string_view piece : pieces) line += piece;
  line += '\n';
  (void)write_all(STDERR_FILENO, line);
}

void write_output_line(std::string_view line) {
  if (const int error = write_all(STDOUT_FILENO, line)) {
    write_error_line({"Failed while writing warnings to standard output: ", std::strerror(error)});
    std::exit(1);
  }
}

void fail_parsing(std::string_view name) {
  write_error_line({"Failed while parsing '", name, "'"});
  std::exit(1);
}

}  // namespace stylo
