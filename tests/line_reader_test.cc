// The reading layer: line splitting, text-mode translation, long lines,
// non-seekable input and read errors.

#include "scanner/line_reader.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file_input.h"
#include "test_support.h"

namespace {

using stylo::line_reader;
using stylo::read_status;

using stylo_test::lines_result;
using stylo_test::read_all;

stylo::platform::input_handle file_holding(std::string_view bytes) {
  const std::string path = stylo_test::temp_path("reader_input");
  stylo_test::write_file(path, bytes);
  return stylo::platform::open_for_reading(path);
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
    const lines_result r = read_all(file_holding(c.bytes));
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
  const lines_result r = read_all(file_holding(bytes));
  EXPECT_EQ(r.last, read_status::end);
  ASSERT_EQ(r.lines.size(), expected.size());
  EXPECT_TRUE(r.lines == expected);
}

TEST(LineReader, ReadErrorIsNotEndOfInput) {
  const std::string path = stylo_test::temp_path("write_only");
  stylo_test::write_file(path, "text\n");
  const lines_result r = read_all(stylo_test::write_only_input(path));
  EXPECT_EQ(r.last, read_status::error);
  EXPECT_TRUE(r.lines.empty());
}

}  // namespace
