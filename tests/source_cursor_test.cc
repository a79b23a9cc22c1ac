// The cursor: line numbers, the virtual line feed, the end of input, and
// opening files.

#include "driver/driver.h"
#include "scanner/source_cursor.h"

#include <string>

#include <gtest/gtest.h>

#include "test_support.h"

namespace {

stylo::cursor_state source_cursor;

bool advance() { return stylo::advance(source_cursor); }
char char_at(std::size_t index) { return stylo::char_at(source_cursor, index); }
char current_char() { return stylo::current_char(source_cursor); }

// Opens a file holding `bytes` and resets the cursor onto it.
void open_text(std::string_view bytes, std::string_view leaf = "cursor.c") {
  const std::string path = stylo_test::temp_path(leaf);
  stylo_test::write_file(path, bytes);
  ASSERT_EQ(stylo::open_source(source_cursor, path), stylo::open_status::opened);
  stylo::reset_cursor(source_cursor);
}

// Walks the whole file with advance(), recording "<line>:<char>" for every
// position, the virtual line feed shown as '$'.
std::string walk() {
  std::string seen;
  while (advance()) {
    const char c = current_char();
    seen += std::to_string(source_cursor.line_number) + ":" + (c == '\n' ? '$' : c) + " ";
  }
  return seen;
}

TEST(SourceCursor, WalksLinesWithVirtualLineFeed) {
  struct walk_case {
    std::string bytes;
    std::string positions;
  } cases[] = {
      {"", ""},
      {"ab", "1:a 1:b 1:$ "},
      {"a\n\nb", "1:a 1:$ 2:$ 3:b 3:$ "},
      {"a\r\nb\r\n", "1:a 1:$ 2:b 2:$ "},
      {"x\ry", "1:x 1:\r 1:y 1:$ "},
      {"ok\x1Ahidden\n", "1:o 1:k 1:$ "},
  };
  for (const walk_case& c : cases) {
    open_text(c.bytes);
    EXPECT_EQ(current_char(), '\n') << "before line 1 the cursor reads a line end";
    EXPECT_EQ(walk(), c.positions) << c.bytes;
    EXPECT_TRUE(source_cursor.end_flag);
    stylo::close_source(source_cursor);
  }
}

TEST(SourceCursor, LookaheadStopsAtLineEnd) {
  open_text("if\nx");
  ASSERT_TRUE(advance());
  EXPECT_EQ(char_at(1), 'f');
  EXPECT_EQ(char_at(2), '\n');
  EXPECT_EQ(char_at(1000), '\n');
  EXPECT_EQ(char_at(static_cast<std::size_t>(-1)), '\n');
  stylo::close_source(source_cursor);
}

TEST(SourceCursor, AfterEndOfInputCirclesInLastLine) {
  // A skip that never meets its delimiter relies on end_flag, because the
  // cursor keeps returning to column 0 of the last line.
  open_text("ab");
  ASSERT_TRUE(advance());
  ASSERT_TRUE(advance());
  ASSERT_TRUE(advance());  // on the virtual line feed
  EXPECT_FALSE(advance());
  EXPECT_TRUE(source_cursor.end_flag);
  EXPECT_EQ(source_cursor.column, 0u);
  EXPECT_EQ(current_char(), 'a');
  EXPECT_TRUE(advance());
  EXPECT_EQ(current_char(), 'b');
  EXPECT_TRUE(advance());
  EXPECT_FALSE(advance());
  EXPECT_EQ(source_cursor.line_number, 1u);
  stylo::close_source(source_cursor);
}

TEST(SourceCursor, NextFileStartsAfresh) {
  open_text("first file\nlast line", "one.c");
  walk();
  stylo::close_source(source_cursor);
  open_text("z", "two.c");
  EXPECT_EQ(source_cursor.line_number, 0u);
  EXPECT_EQ(walk(), "1:z 1:$ ");
  stylo::close_source(source_cursor);
}

TEST(SourceCursor, UnopenableNamesAreReported) {
  using namespace std::string_literals;
  const std::string names[] = {"", stylo_test::temp_path("no such file"), ::testing::TempDir(),
                               stylo_test::temp_path("nul") + "\0tail"s};
  stylo_test::write_file(stylo_test::temp_path("nul"), "if(x)\n");
  for (const std::string& name : names) {
    EXPECT_EQ(stylo::open_source(source_cursor, name), stylo::open_status::cannot_open) << name;
    ::testing::internal::CaptureStderr();
    stylo::check_one_file(name);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Unable to open file '" + name + "'\n");
  }
}

}  // namespace
