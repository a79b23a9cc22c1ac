// Child processes: the arguments arrive as they were given, whatever they
// hold (blanks, quotes, backslashes before quotes and at the end, nothing at
// all, letters outside ASCII: on Windows all of it goes through a command
// line and back); both pipes are drained however much the child writes; the
// exit status comes back; a program that is not there is told apart.

#include "platform/child_process.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using stylo::platform::child_result;
using stylo::platform::run_child;

std::vector<std::string> split_at_nul(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find('\0', at);
    parts.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return parts;
}

// Under a user-mode emulator (qemu without binfmt_misc) this program runs,
// but the system cannot start another program of its machine (the start
// fails, or reads as a program not found): the tests then have nothing to
// run, which the native and Windows runs cover. Only a build meant for an
// emulator may skip for that; anywhere else a child that does not start is
// the fault these tests are for.
bool children_run() {
#if STYLO_CHILDREN_MAY_NOT_START
  return run_child({STYLO_CHILD_ECHO, "0", "0"}).what == child_result::status::exited;
#else
  return true;
#endif
}

TEST(child_process, arguments_arrive_as_given) {
  if (!children_run()) GTEST_SKIP() << "this system cannot start " << STYLO_CHILD_ECHO;
  const std::vector<std::vector<std::string>> tables = {
      {"plain"},
      {"two words", "tab\there", "line\nfeed"},
      {"", "a\"b", "\"quoted\"", "\\\"", "back\\slash", "end\\", "ends with two\\\\", "\\\\\"x"},
      {"-c", "--option=value", "$HOME", "%PATH%", "*.c", "a;b|c&d>e", "'single'"},
      {"\xc3\xa9t\xc3\xa9", "\xe4\xb8\xad\xe6\x96\x87", "\xf0\x9f\x99\x82"},
  };
  for (const std::vector<std::string>& table : tables) {
    std::vector<std::string> command = {STYLO_CHILD_ECHO, "0", "0"};
    command.insert(command.end(), table.begin(), table.end());
    const child_result result = run_child(command);
    ASSERT_EQ(result.what, child_result::status::exited) << result.error;
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(split_at_nul(result.output), table);
  }
}

TEST(child_process, both_pipes_drained_and_the_status_given) {
  if (!children_run()) GTEST_SKIP() << "this system cannot start " << STYLO_CHILD_ECHO;
  // 2 MiB on each pipe, far more than a pipe holds.
  const child_result result = run_child({STYLO_CHILD_ECHO, "3", "512", "x"});
  ASSERT_EQ(result.what, child_result::status::exited) << result.error;
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_EQ(result.output.size(), 2u + 512u * 4096u);
  EXPECT_EQ(result.errors, std::string(512 * 4096, 'e'));
}

TEST(child_process, a_program_not_there_is_not_found) {
  const child_result result = run_child({"stylo-no-such-program-anywhere", "x"});
  EXPECT_EQ(result.what, child_result::status::not_found);
  EXPECT_TRUE(result.output.empty());
}

}  // namespace
