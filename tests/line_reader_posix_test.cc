// The reader on inputs only POSIX systems give: pipes, non-blocking ones
// among them, and a directory opened as a file.

#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "scanner/line_reader.h"
#include "test_support.h"

namespace {

using stylo::line_reader;
using stylo::read_status;
using stylo_test::lines_result;
using stylo_test::read_all;

TEST(LineReader, PipeDeliveringSlowly) {
  // A non-blocking pipe (as a standard input may be) has nothing to read
  // between pieces: the reader waits for more rather than take it as the end.
  for (const bool nonblocking : {false, true}) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    if (nonblocking) {
      ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    }
    std::thread writer([w = fds[1]] {
      const std::string pieces[] = {"first li", "ne\r", "\nsecond\n", "\r", "\nthird"};
      for (const std::string& piece : pieces) {
        usleep(2000);
        EXPECT_EQ(write(w, piece.data(), piece.size()), static_cast<ssize_t>(piece.size()));
      }
      close(w);
    });
    const lines_result r = read_all(fds[0]);
    writer.join();
    EXPECT_EQ(r.last, read_status::end) << nonblocking;
    EXPECT_EQ(r.lines, (std::vector<std::string>{"first line", "second", "", "third"})) << nonblocking;
  }
}

TEST(LineReader, DirectoryFailsItsFirstRead) {
  static line_reader reader;
  stylo::open_input(reader, open(::testing::TempDir().c_str(), O_RDONLY), true);
  EXPECT_EQ(stylo::prime_input(reader), read_status::error);
  stylo::close_input(reader);
}

}  // namespace
