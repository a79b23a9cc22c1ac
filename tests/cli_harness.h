#pragma once
// The end-to-end harness: runs a built program through a POSIX shell in a
// work directory of its own, standard output and error captured apart.
// STYLO_TEST_WRAPPER names a command put before the program (valgrind,
// wine, qemu), and STYLO_TEST_SYSTEM=windows says the program is a Windows
// one (see from_windows_text). Shared by the tests of stylo and of its
// companion programs.

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace cli_harness {

inline std::string from_environment(const char* name, const char* otherwise = "") {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : otherwise;
}

// A Windows program, run under wine: its lines of text end in CR LF, and the
// tests that need POSIX-only means (strace, FIFOs, symbolic links) skip.
inline const bool windows = from_environment("STYLO_TEST_SYSTEM") == "windows";

// A build that runs many times slower than a native one (sanitized, under
// valgrind or an emulator) runs the widest tables in part; a native build
// runs them whole.
// STYLO_TEST_ROUNDS_PERCENT, the share of the randomized rounds, says so.
inline const bool in_part = [] {
  const long percent = std::strtol(from_environment("STYLO_TEST_ROUNDS_PERCENT", "100").c_str(), nullptr, 10);
  return percent > 0 && percent < 100;
}();

#define SKIP_ON_WINDOWS(why) \
  if (cli_harness::windows) GTEST_SKIP() << "not on Windows: " << why

// Windows text as the tests expect POSIX text: each CR LF becomes a line
// feed. A line feed without its CR fails the test.
inline std::string from_windows_text(const std::string& bytes, const char* stream) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) ADD_FAILURE() << "a line without CR LF on " << stream;
    text += bytes[i];
  }
  return text;
}

inline const std::string& work_dir() {
  static const std::string dir = [] {
    std::string pattern = ::testing::TempDir() + "stylo_cli_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return dir;
}

inline std::string path(const std::string& leaf) { return work_dir() + "/" + leaf; }

inline void write(const std::string& leaf, const std::string& bytes) {
  std::ofstream(path(leaf), std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string slurp(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::string quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

struct outcome {
  std::string out, err;
  int status;
};

// Runs a shell command in the work directory; each `token` in it stands for
// the program `program` (after STYLO_TEST_WRAPPER, if set).
inline outcome run(std::string cmd, const std::string& token, const std::string& program) {
  const std::string wrapper = from_environment("STYLO_TEST_WRAPPER");
  const std::string invoked = wrapper.empty() ? quote(program) : wrapper + " " + quote(program);
  for (std::size_t at = 0; (at = cmd.find(token, at)) != std::string::npos; at += invoked.size()) {
    cmd.replace(at, token.size(), invoked);
  }
  const std::string full = "cd " + quote(work_dir()) + " && { " + cmd + " ; } >" + quote(path(".out")) + " 2>" +
                           quote(path(".err"));
  const int raw = std::system(("/bin/bash -c " + quote(full)).c_str());
  return {slurp(path(".out")), slurp(path(".err")), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
}

}  // namespace cli_harness
