// The reading layer: line splitting, text-mode translation, long lines,
// non-seekable input and read errors.

#include "scanner/line_reader.h"

#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

using stylo::line_reader;
using stylo::read_status;

struct lines_result {
  std::vector<std::string> lines;
  read_status last;
};

lines_result read_all(int fd) {
  static line_reader reader;  // reused, as in the program: buffers survive across inputs
  stylo::open_input(reader, fd, true);
  lines_result result{{}, read_status::line};
  std::string_view line;
  while ((result.last = stylo::read_line(reader, line)) == read_status::line) result.lines.emplace_back(line);
  stylo::close_input(reader);
  return result;
}

int memory_fd(std::string_view bytes) {
  const int fd = memfd_create("stylo-test", 0);
  EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  lseek(fd, 0, SEEK_SET);
  return fd;
}

struct split_case {
  std::string name;
  std::string bytes;
  std::vector<std::string> lines;
};

TEST(LineReader, SplitsAndTranslatesText) {
  using namespace std::string_literals;
  const std::vector<split_case> cases = {
      {"empty input", "", {}},
      {"one line without line feed", "abc", {"abc"}},
      {"final line feed adds no line", "a\n", {"a"}},
      {"lone line feed", "\n", {""}},
      {"empty middle line", "a\n\nb", {"a", "", "b"}},
      {"trailing blank line", "a\n\n", {"a", ""}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"lone CR is a character", "a\rb\n", {"a\rb"}},
      {"CR at end of input is kept", "a\r", {"a\r"}},
      {"only the CR before LF goes", "a\r\r\n", {"a\r"}},
      {"Ctrl-Z ends input mid-line", "ab\x1A" "cd\nef", {"ab"}},
      {"Ctrl-Z after a line feed", "ab\n\x1A\nmore\n", {"ab"}},
      {"Ctrl-Z first", "\x1A" "abc\n", {}},
      {"CR before Ctrl-Z is kept", "a\r\x1A\n", {"a\r"}},
      {"NUL bytes are characters", "\0x\n\0"s, {"\0x"s, "\0"s}},
      {"high bytes pass unchanged", "\xE9t\xE9\n", {"\xE9t\xE9"}},
  };
  for (const split_case& c : cases) {
    const lines_result r = read_all(memory_fd(c.bytes));
    EXPECT_EQ(r.last, read_status::end) << c.name;
    EXPECT_EQ(r.lines, c.lines) << c.name;
  }
}

TEST(LineReader, LinesAcrossChunkBoundaries) {
  // A CR LF split between two reads, a line spanning many reads, and lines
  // that straddle every boundary of the first chunks.
  std::string bytes(stylo::read_chunk - 1, 'x');
  bytes += "\r\n";
  const std::string long_line(3 * stylo::read_chunk + 17, 'y');
  bytes += long_line + "\n";
  std::vector<std::string> expected = {std::string(stylo::read_chunk - 1, 'x'), long_line};
  for (int i = 0; i < 40000; ++i) {
    expected.push_back("line " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 37), 'z'));
    bytes += expected.back() + (i % 3 == 0 ? "\r\n" : "\n");
  }
  const lines_result r = read_all(memory_fd(bytes));
  EXPECT_EQ(r.last, read_status::end);
  ASSERT_EQ(r.lines.size(), expected.size());
  EXPECT_TRUE(r.lines == expected);
}

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

TEST(LineReader, ReadErrorIsNotEndOfInput) {
  // A descriptor opened for writing only fails every read (EBADF).
  const std::string path = stylo_test::temp_path("write_only");
  stylo_test::write_file(path, "text\n");
  const lines_result r = read_all(open(path.c_str(), O_WRONLY));
  EXPECT_EQ(r.last, read_status::error);
  EXPECT_TRUE(r.lines.empty());
}

TEST(LineReader, DirectoryFailsItsFirstRead) {
  static line_reader reader;
  stylo::open_input(reader, open(::testing::TempDir().c_str(), O_RDONLY), true);
  EXPECT_EQ(stylo::prime_input(reader), read_status::error);
  stylo::close_input(reader);
}

}  // namespace
