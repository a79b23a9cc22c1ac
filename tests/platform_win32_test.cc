// Files on Windows: what other programs may do to a file stylo has open,
// what stylo may open while another program has it, and which names open.

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "platform/file_input.h"
#include "test_support.h"

namespace {

using stylo::platform::no_input;
using stylo::platform::open_for_reading;

HANDLE open_other(const std::string& path, DWORD access, DWORD share) {
  return ::CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(FileInputWin32, OtherProgramsKeepEveryRight) {
  const std::string path = stylo_test::temp_path("shared.c");
  const std::string moved = stylo_test::temp_path("shared_moved.c");
  stylo_test::write_file(path, "if(a)\n");
  const stylo::platform::input_handle ours = open_for_reading(path);
  ASSERT_NE(ours, no_input);
  const struct {
    const char* what;
    DWORD access;
  } others[] = {{"read", GENERIC_READ}, {"write", GENERIC_WRITE}, {"read and write", GENERIC_READ | GENERIC_WRITE}};
  for (const auto& other : others) {
    const HANDLE h = open_other(path, other.access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << other.what << ": error " << ::GetLastError();
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  EXPECT_TRUE(::MoveFileExA(path.c_str(), moved.c_str(), 0)) << "rename: error " << ::GetLastError();
  EXPECT_TRUE(::DeleteFileA(moved.c_str())) << "delete: error " << ::GetLastError();
  stylo::platform::close_input(ours);
}

TEST(FileInputWin32, OpensWhatOthersHoldOpen) {
  const std::string path = stylo_test::temp_path("held.c");
  stylo_test::write_file(path, "if(a)\n");
  const struct {
    const char* what;
    DWORD access, share;
  } holders[] = {
      {"a writer that shares reading and writing", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE},
      {"a reader that shares reading", GENERIC_READ, FILE_SHARE_READ},
  };
  for (const auto& holder : holders) {
    const HANDLE h = open_other(path, holder.access, holder.share);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << holder.what;
    const stylo::platform::input_handle ours = open_for_reading(path);
    EXPECT_NE(ours, no_input) << holder.what;
    if (ours != no_input) stylo::platform::close_input(ours);
    ::CloseHandle(h);
  }
}

// Names are UTF-8; a name that Windows would rewrite into another file's,
// or that names a device, is a file that cannot be opened.
TEST(FileInputWin32, WhatNamesOpen) {
  // été_日本.c, made with the wide call so that no code page is involved.
  const std::string leaf = "\xC3\xA9t\xC3\xA9_\xE6\x97\xA5\xE6\x9C\xAC.c";
  const std::string dir = stylo_test::temp_path("");
  const std::wstring wide_path = std::wstring(dir.begin(), dir.end()) + L"\u00e9t\u00e9_\u65e5\u672c.c";
  const HANDLE h = ::CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  ::CloseHandle(h);
  const struct {
    const char* what;
    std::string name;
    bool opens;
  } cases[] = {
      {"UTF-8 name", dir + leaf, true},
      {"the same name in Latin-1 is not UTF-8", dir + "\xE9t\xE9_x.c", false},
      {"a directory", dir, false},
      {"a final dot, which Windows would drop", dir + leaf + ".", false},
      {"a final blank, which Windows would drop", dir + leaf + " ", false},
      {"a directory with a final dot", dir + "." + "/" + leaf, true},
      {"the null device", "NUL", false},
      {"the null device with an extension", "nul.c", false},
  };
  for (const auto& c : cases) {
    const stylo::platform::input_handle input = open_for_reading(c.name);
    EXPECT_EQ(input != no_input, c.opens) << c.what;
    if (input != no_input) stylo::platform::close_input(input);
  }
}

}  // namespace
