// End-to-end tests of the built program: arguments, usage, exit statuses,
// every message, list mode, text-mode input, odd file names, the merged
// order of warnings and errors, and failures of reading and writing.
//
// They run the program through a POSIX shell. A program built for another
// system is run by this native build of them: STYLO_TEST_BINARY names it,
// STYLO_TEST_WRAPPER the emulator (wine, qemu), and STYLO_TEST_SYSTEM=windows
// says that every line must end in CR LF and that the tests which need
// Linux's own means inside the program's run (strace's fault injection, a
// non-blocking pipe) do not apply.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "cli_harness.h"

namespace {

using cli_harness::from_environment;
using cli_harness::path;
using cli_harness::quote;
using cli_harness::slurp;
using cli_harness::work_dir;
using cli_harness::write;

const std::string stylo = from_environment("STYLO_TEST_BINARY", STYLO_BINARY);

// A command put before the program in every run, e.g. valgrind: a seam for
// the test harness only (the program itself reads no environment variable).
const std::string wrapper = from_environment("STYLO_TEST_WRAPPER");

const bool windows = from_environment("STYLO_TEST_SYSTEM") == "windows";

#define SKIP_ON_WINDOWS(why) \
  if (windows) GTEST_SKIP() << "not on Windows: " << why

// The program's name as a Windows program receives it from wine.
std::string name_under_wine(std::string unix_path) {
  for (char& c : unix_path) c = c == '/' ? '\\' : c;
  return "Z:" + unix_path;
}

// Windows text as the tests expect POSIX text: each CR LF becomes a line
// feed. A line feed without its CR fails the test.
std::string from_windows_text(const std::string& bytes, const char* stream) {
  std::string text;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    if (bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r')) ADD_FAILURE() << "a line without CR LF on " << stream;
    text += bytes[i];
  }
  return text;
}

struct outcome {
  std::string out, err;
  int status;
};

// Runs a shell command in the work directory; "STYLO" in it stands for the
// program (after STYLO_TEST_WRAPPER, if set). Standard output and error are
// captured separately.
outcome run(const std::string& command) {
  std::string cmd = command;
  const std::string program = wrapper.empty() ? quote(stylo) : wrapper + " " + quote(stylo);
  for (std::size_t at; (at = cmd.find("STYLO")) != std::string::npos;) cmd.replace(at, 5, program);
  const std::string full = "cd " + quote(work_dir()) + " && { " + cmd + " ; } >" + quote(path(".out")) + " 2>" +
                           quote(path(".err"));
  const int raw = std::system(("/bin/bash -c " + quote(full)).c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (windows) return {from_windows_text(slurp(path(".out")), "stdout"), from_windows_text(slurp(path(".err")), "stderr"), status};
  return {slurp(path(".out")), slurp(path(".err")), status};
}

std::string kw(const std::string& file, int line, const std::string& keyword) {
  return file + "(" + std::to_string(line) + "): warning: (style) Devrait mettre un espace entre '" + keyword +
         "' et la parenthese. [guide 80]  [QVS]\n";
}

std::string op(const std::string& file, int line, const std::string& found, const std::string& suggested) {
  return file + "(" + std::to_string(line) + "): warning: '" + found + "' devrait probablement etre '" + suggested +
         "'; sinon, ajoutez un espace entre.  [QVS]\n";
}

std::string usage(const std::string& program) {
  return "Usage: " + program + " <filename>\nor     " + program +
         " --file-list=<file>\n       (use '-' as <file> for standard input)\n";
}

bool have_strace() { return std::system("strace -V >/dev/null 2>&1") == 0; }

TEST(Cli, UsageOnWrongArgumentCount) {
  const std::string program = windows ? name_under_wine(stylo) : stylo;
  for (const std::string args : {"", "a.c b.c", "--file-list=- x"}) {
    const outcome r = run("STYLO " + args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    ASSERT_EQ(r.err.rfind(usage(program), 0), 0u) << r.err;
    EXPECT_TRUE(std::regex_match(r.err.substr(usage(program).size()),
                                 std::regex("Version \\d{4}\\.[A-Z][a-z]{2}\\.\\d\\d\\.\\d\\d\\.\\d\\d\n")))
        << r.err;
  }
  if (wrapper.empty()) {  // a wrapper would be the one renamed
    const outcome named = run("(exec -a 'my stylo' STYLO)");
    EXPECT_EQ(named.err.rfind(usage("my stylo"), 0), 0u) << named.err;
  }
}

TEST(Cli, SingleFile) {
  write("a.c", "while(x) y=-1;\n");
  write("clean.c", "while (x) y -= 1;\n");
  const struct {
    std::string args;
    std::string out, err;
    int status;
  } cases[] = {
      {"a.c", kw("a.c", 1, "while") + op("a.c", 1, "=-", "-="), "", 0},
      {"clean.c", "", "", 0},
      {"missing.c", "", "Unable to open file 'missing.c'\n", 0},
      {"''", "", "Unable to open file ''\n", 0},
      {".", "", "Unable to open file '.'\n", 0},
      {"-", "", "Unable to open file '-'\n", 0},
      {"--file-list", "", "Unable to open file '--file-list'\n", 0},
      {"--file-list=", "", "Unable to open file list ''\n", 1},
      {"--file-list=missing", "", "Unable to open file list 'missing'\n", 1},
      {"--file-list=.", "", "Unable to open file list '.'\n", 1},
  };
  for (const auto& c : cases) {
    const outcome r = run("STYLO " + c.args);
    EXPECT_EQ(r.out, c.out) << c.args;
    EXPECT_EQ(r.err, c.err) << c.args;
    EXPECT_EQ(r.status, c.status) << c.args;
  }
}

TEST(Cli, UnreadableFile) {
  if (geteuid() == 0) GTEST_SKIP() << "running as root: permissions do not stop reading";
  write("secret.c", "if(x)\n");
  chmod(path("secret.c").c_str(), 0);
  const outcome r = run("STYLO secret.c");
  EXPECT_EQ(r.err, "Unable to open file 'secret.c'\n");
  EXPECT_EQ(r.status, 0);
}

// Names with any bytes but NUL and line feed, on the command line and in a
// list: each warning and message carries the name byte for byte. A name too
// long for the system is a file that cannot be opened. On Windows, names
// are UTF-8 and hold no control characters.
TEST(Cli, NamesWithAnyBytes) {
  const std::string too_long(5000, 'n');
  std::string deep;  // a path of over 260 bytes, past Windows' old MAX_PATH
  for (int i = 0; i < 5; ++i) deep += std::string(60, static_cast<char>('a' + i)) + "/";
  std::filesystem::create_directories(path(deep));
  deep += "deep.c";
  const struct {
    const char* what;
    std::string name;
    bool exists;
    bool posix_only;
  } cases[] = {
      {"bytes 0x80-0xFF", "\xE9t\xE9\xFF\x80.c", true, true},
      {"control characters", "tab\there\rcr\x01.c", true, true},
      {"UTF-8 outside ASCII", "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80.c", true, false},
      {"leading dash", "-x.c", true, false},
      {"quotes and parentheses", "it's (\"q\").c", true, true},
      {"parentheses and blanks", "my (2) file.c", true, false},
      {"longest name", std::string(255, 'l'), true, false},
      {"path longer than 260 bytes", deep, true, false},
      {"name too long", too_long, false, false},
  };
  for (const auto& c : cases) {
    if (windows && c.posix_only) continue;
    if (c.exists) write(c.name, "if(a)\n");
    const std::string expected_out = c.exists ? kw(c.name, 1, "if") : "";
    const std::string expected_err = c.exists ? "" : "Unable to open file '" + c.name + "'\n";
    const outcome direct = run("STYLO " + quote(c.name));
    EXPECT_EQ(direct.out, expected_out) << c.what;
    EXPECT_EQ(direct.err, expected_err) << c.what;
    EXPECT_EQ(direct.status, 0) << c.what;
    write("names.txt", c.name + "\n");
    const outcome listed = run("STYLO --file-list=names.txt");
    EXPECT_EQ(listed.out, expected_out) << c.what;
    EXPECT_EQ(listed.err, expected_err) << c.what;
    EXPECT_EQ(listed.status, 0) << c.what;
  }
}

TEST(Cli, FileListInOrderWithMergedErrors) {
  write("one.c", "if(a)\n");
  write("my file (2).c", "x=+1;\n");
  write("list.txt", "one.c\nmissing.c\n\nmy file (2).c\r\none.c\n.\n   one.c\none.c");
  const std::string expected_out = kw("one.c", 1, "if") + op("my file (2).c", 1, "=+", "+=") + kw("one.c", 1, "if") +
                                   kw("one.c", 1, "if");
  const std::string expected_err =
      "Unable to open file 'missing.c'\nUnable to open file ''\nUnable to open file '.'\nUnable to open file '   one.c'\n";
  const outcome named = run("STYLO --file-list=list.txt");
  EXPECT_EQ(named.out, expected_out);
  EXPECT_EQ(named.err, expected_err);
  EXPECT_EQ(named.status, 0);
  const outcome piped = run("cat list.txt | STYLO --file-list=-");
  EXPECT_EQ(piped.out, expected_out);
  EXPECT_EQ(piped.err, expected_err);
  EXPECT_EQ(piped.status, 0);

  const outcome merged = run("STYLO --file-list=- < list.txt 2>&1");
  EXPECT_EQ(merged.out, kw("one.c", 1, "if") + "Unable to open file 'missing.c'\nUnable to open file ''\n" +
                            op("my file (2).c", 1, "=+", "+=") + kw("one.c", 1, "if") +
                            "Unable to open file '.'\nUnable to open file '   one.c'\n" + kw("one.c", 1, "if"));
}

TEST(Cli, EmptyListAndCtrlZInList) {
  write("one.c", "if(a)\n");
  write("empty.txt", "");
  write("z.txt", "one.c\r\n\x1Amissing.c\n");
  EXPECT_EQ(run("STYLO --file-list=empty.txt").out, "");
  EXPECT_EQ(run("STYLO --file-list=- < /dev/null").status, 0);
  const outcome r = run("STYLO --file-list=z.txt");
  EXPECT_EQ(r.out, kw("one.c", 1, "if"));
  EXPECT_EQ(r.err, "");
}

TEST(Cli, TextModeSourceFiles) {
  write("crlf.c", "a=-1;\r\nif(x)\r\n\r\nfor(;;)\r");
  write("ctrlz.c", "if(a)\x1A\nif(b)\n");
  EXPECT_EQ(run("STYLO crlf.c").out, op("crlf.c", 1, "=-", "-=") + kw("crlf.c", 2, "if") + kw("crlf.c", 4, "for"));
  EXPECT_EQ(run("STYLO ctrlz.c").out, kw("ctrlz.c", 1, "if"));
}

TEST(Cli, FifosAsSourceAndList) {
  mkfifo(path("src.fifo").c_str(), 0600);
  mkfifo(path("list.fifo").c_str(), 0600);
  const outcome r = run(
      "(printf 'if(a)\\n'; sleep 0.2; printf 'x=!y\\n') > src.fifo & "
      "(printf 'src.fifo\\n'; sleep 0.1; printf 'missing.c\\n') > list.fifo & "
      "STYLO --file-list=list.fifo; wait");
  EXPECT_EQ(r.out, kw("src.fifo", 1, "if") + op("src.fifo", 2, "=!", "!="));
  EXPECT_EQ(r.err, "Unable to open file 'missing.c'\n");
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, HugeLine) {
  const outcome r = run("{ head -c 67108864 /dev/zero | tr '\\0' x; printf ' if(a)\\nb=-1'; } > huge.c && STYLO huge.c");
  EXPECT_EQ(r.out, kw("huge.c", 1, "if") + op("huge.c", 2, "=-", "-="));
  EXPECT_EQ(r.status, 0);
}

TEST(Cli, WarningsThatCannotBeWrittenFail) {
  write("a.c", "if(a)\nif(b)\n");
  write("clean.c", "if (a)\n");
  // The reason is the system's own text (wine's, under wine).
  const std::string full_reason = windows ? "Disk full" : "No space left on device";
  const std::string closed_reason = windows ? "Invalid handle" : "Bad file descriptor";
  const outcome full = run("STYLO a.c > /dev/full");
  EXPECT_EQ(full.status, 1);
  EXPECT_EQ(full.err, "Failed while writing warnings to standard output: " + full_reason + "\n");
  EXPECT_EQ(run("STYLO clean.c > /dev/full").status, 0);
  const outcome closed = run("STYLO a.c >&-");
  EXPECT_EQ(closed.status, 1);
  EXPECT_EQ(closed.err, "Failed while writing warnings to standard output: " + closed_reason + "\n");
}

// Standard output on a non-blocking pipe that fills up, as make or a CI
// runner may hand over: a write that finds the pipe full waits for room; it
// is no failure, and no warning is lost.
TEST(Cli, NonBlockingOutputThatFillsUp) {
  std::string text, expected;
  for (int i = 1; i <= 2000; ++i) {
    text += "if(a)\n";
    expected += kw("many.c", i, "if");
  }
  write("many.c", text);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(fcntl(fds[0], F_SETFD, FD_CLOEXEC), 0);
  ASSERT_EQ(fcntl(fds[1], F_SETFD, FD_CLOEXEC), 0);
  ASSERT_EQ(fcntl(fds[1], F_SETFL, O_NONBLOCK), 0);
  constexpr int out_fd = 50;  // the shell hands it to the program as its output
  ASSERT_EQ(dup2(fds[1], out_fd), out_fd);
  close(fds[1]);
  std::string received;
  std::thread reader([&received, in = fds[0]] {
    usleep(300000);  // long enough for the pipe to fill
    char buffer[4096];
    for (ssize_t n; (n = read(in, buffer, sizeof buffer)) > 0;) received.append(buffer, static_cast<std::size_t>(n));
  });
  const outcome r = run("STYLO many.c >&50");
  close(out_fd);
  reader.join();
  close(fds[0]);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  if (windows) received = from_windows_text(received, "the pipe");
  EXPECT_TRUE(received == expected) << received.size() << " bytes of " << expected.size();
}

// Read errors are injected with strace into the reads of one file only
// (-P), counted from that file's first read: the first read, one in the
// middle, and the read that would have found the end, of a source file, of a
// named list and of a list on standard input.
TEST(Cli, ReadErrorsAreFailuresNotEnd) {
  SKIP_ON_WINDOWS("strace injects faults into Linux system calls");
  if (!have_strace()) GTEST_SKIP() << "strace is not installed: read errors cannot be injected";
  // big.c takes five reads of 256 KiB and a sixth that finds the end; its
  // first line and its last line each give a warning.
  std::string big = "if(a)\n";
  for (int i = 0; i < 40000; ++i) big += "int v" + std::to_string(i) + " = 0; /* padding */\n";
  big += "b=-1;\n";
  write("big.c", big);
  write("list.txt", "big.c\nbig.c\n");
  // long.txt names a.c 80 times, each name 4004 bytes long: 65 names are
  // whole in its first read of 256 KiB, and a second read and a third, which
  // finds the end, follow.
  write("a.c", "if(a)\n");
  std::string long_name;
  for (int i = 0; i < 2000; ++i) long_name += "./";
  long_name += "a.c";
  std::string long_list, warned_65, warned_80;
  for (int i = 0; i < 80; ++i) {
    long_list += long_name + "\n";
    (i < 65 ? warned_65 : warned_80) += kw(long_name, 1, "if");
  }
  warned_80 = warned_65 + warned_80;
  write("long.txt", long_list);
  const std::string first = kw("big.c", 1, "if");
  const std::string both = first + op("big.c", 40002, "=-", "-=");
  const std::string failed_big = "Failed while parsing 'big.c'\n";
  const std::string failed_list = "Failed while parsing 'list.txt'\n";
  const std::string failed_long = "Failed while parsing 'long.txt'\n";
  const std::string failed_stdin = "Failed while parsing '-'\n";
  const struct {
    const char* what;
    const char* traced;
    int when;
    std::string args, out, err;
  } cases[] = {
      {"first read of a file", "big.c", 1, "big.c", "", failed_big},
      {"middle read of a file", "big.c", 2, "big.c", first, failed_big},
      {"read that would find the end", "big.c", 6, "big.c", both, failed_big},
      {"first read of a named list", "long.txt", 1, "--file-list=long.txt", "", failed_long},
      {"middle read of a named list", "long.txt", 2, "--file-list=long.txt", warned_65, failed_long},
      {"last read of a named list", "long.txt", 3, "--file-list=long.txt", warned_80, failed_long},
      {"list read after its names", "list.txt", 2, "--file-list=list.txt", both + both, failed_list},
      {"first read of a list on standard input", "long.txt", 1, "--file-list=- < long.txt", "", failed_stdin},
      {"middle read of a list on standard input", "long.txt", 2, "--file-list=- < long.txt", warned_65, failed_stdin},
      {"last read of a list on standard input", "long.txt", 3, "--file-list=- < long.txt", warned_80, failed_stdin},
      {"file read inside a list", "big.c", 3, "--file-list=list.txt", first, failed_big},
      {"second file of a list", "big.c", 8, "--file-list=list.txt", both + first, failed_big},
  };
  for (const auto& c : cases) {
    const outcome r = run("strace -f -o /dev/null -e trace=read -e inject=read:error=EIO:when=" +
                          std::to_string(c.when) + " -P " + quote(path(c.traced)) + " STYLO " + c.args);
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
  // The same reads without a fault find everything.
  EXPECT_EQ(run("strace -f -o /dev/null -P " + quote(path("big.c")) + " STYLO big.c").out, both);
  EXPECT_EQ(run("strace -f -o /dev/null -P " + quote(path("long.txt")) + " STYLO --file-list=long.txt").out,
            warned_80);
}

// A line longer than the memory there is to hold it (here: the buffer's
// growth fails) cannot be read: a failed read, in a source file or in a
// list, not a crash and not the end of the input.
TEST(Cli, LineTooLongForMemory) {
  SKIP_ON_WINDOWS("strace injects faults into Linux system calls");
  if (!have_strace()) GTEST_SKIP() << "strace is not installed: a failed allocation cannot be injected";
  write("one.c", "if(a)\n");
  write("long.c", std::string(2u << 20, 'x') + " if(b)\n");
  write("files.txt", "one.c\nlong.c\none.c\n");
  write("names.txt", "one.c\n" + std::string(2u << 20, 'y') + "\none.c\n");
  const struct {
    const char* what;
    std::string args, out, err;
  } cases[] = {
      {"source file", "long.c", "", "Failed while parsing 'long.c'\n"},
      {"source file in a list", "--file-list=files.txt", kw("one.c", 1, "if"), "Failed while parsing 'long.c'\n"},
      {"list", "--file-list=names.txt", kw("one.c", 1, "if"), "Failed while parsing 'names.txt'\n"},
      {"list on standard input", "--file-list=- < names.txt", kw("one.c", 1, "if"), "Failed while parsing '-'\n"},
  };
  // The Linux build grows its buffer with mremap, made to fail here. The
  // generic POSIX build grows it with realloc, whose fallbacks (mmap, brk)
  // cannot be failed one by one: a data limit of 1.5 MiB holds its ordinary
  // buffer and stops the line. (Sanitizers and valgrind, which need far more
  // than that, run the Linux build.)
  const bool heap_buffer = std::system(("nm -D " + quote(stylo) + " | grep -qw mremap").c_str()) != 0;
  const std::string limited =
      heap_buffer ? "ulimit -d 1536; STYLO " : "strace -f -o /dev/null -e trace=mremap -e inject=mremap:error=ENOMEM STYLO ";
  for (const auto& c : cases) {
    const outcome r = run(limited + c.args);
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }

  // No memory even for the first buffer: the same failed read, not an
  // abort. The Linux build maps that buffer (2 x 256 KiB and its padding)
  // itself; the mapping's place among the program's mmap calls, found by a
  // first traced run, is the one made to fail.
  if (!wrapper.empty()) return;  // an emulator's own mappings would be counted
  std::string first_buffer = "ulimit -d 512; STYLO one.c";
  if (!heap_buffer) {
    run("strace -f -o mmaps.txt -e trace=mmap STYLO one.c");
    std::istringstream trace(slurp(path("mmaps.txt")));
    int ordinal = 0;
    for (std::string line; std::getline(trace, line);) {
      if (line.find("mmap(") == std::string::npos) continue;
      ++ordinal;
      if (line.find(", 524544,") != std::string::npos) break;
    }
    first_buffer = "strace -f -o /dev/null -e trace=mmap -e inject=mmap:error=ENOMEM:when=" + std::to_string(ordinal) +
                   " STYLO one.c";
  }
  const outcome r = run(first_buffer);
  EXPECT_EQ(r.status, 1) << first_buffer;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Failed while parsing 'one.c'\n");
}

// A failed write of a warning, the first or a later one: the lines written
// before it stay, one message says why, and the status is 1.
TEST(Cli, WriteErrorsKeepEarlierWarnings) {
  SKIP_ON_WINDOWS("strace injects faults into Linux system calls");
  if (!have_strace()) GTEST_SKIP() << "strace is not installed: write errors cannot be injected";
  write("three.c", "if(a)\nfor(;;)\nwhile(b)\n");
  write("list.txt", "three.c\nthree.c\n");
  const std::string all = kw("three.c", 1, "if") + kw("three.c", 2, "for") + kw("three.c", 3, "while");
  const struct {
    const char* what;
    std::string args, fault;
    int when;
    std::string out, err;
  } cases[] = {
      {"first warning", "three.c", "ENOSPC", 1, "", "No space left on device"},
      {"middle warning", "three.c", "EIO", 2, kw("three.c", 1, "if"), "Input/output error"},
      {"last warning", "three.c", "EFBIG", 3, kw("three.c", 1, "if") + kw("three.c", 2, "for"), "File too large"},
      {"warning of the second file of a list", "--file-list=list.txt", "ENOSPC", 5,
       all + kw("three.c", 1, "if"), "No space left on device"},
  };
  for (const auto& c : cases) {
    const outcome r = run("strace -f -o /dev/null -e trace=write -e inject=write:error=" + c.fault +
                          ":when=" + std::to_string(c.when) + " -P " + quote(path("out.txt")) + " STYLO " +
                          c.args + " > out.txt");
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(slurp(path("out.txt")), c.out) << c.what;
    EXPECT_EQ(r.err, "Failed while writing warnings to standard output: " + c.err + "\n") << c.what;
  }
}

// A source file that changes while stylo reads it: removed (the open file
// stays readable to its end) or cut short (a shorter file, not an error).
// strace holds stylo back before its second read of the file until the test
// has changed it.
TEST(Cli, SourceChangedWhileRead) {
  SKIP_ON_WINDOWS("strace injects faults into Linux system calls");
  if (!have_strace()) GTEST_SKIP() << "strace is not installed: reads cannot be delayed";
  std::string big = "if(a)\n";
  for (int i = 0; i < 40000; ++i) big += "int v" + std::to_string(i) + " = 0; /* padding */\n";
  big += "b=-1;\n";
  const std::string first = kw("big.c", 1, "if");
  const struct {
    const char* what;
    const char* change;
    std::string out;
  } cases[] = {
      {"removed", "rm big.c", first + op("big.c", 40002, "=-", "-=")},
      {"truncated to its first read", "truncate -s 262144 big.c", first},
      {"truncated to nothing", "truncate -s 0 big.c", first},
  };
  for (const auto& c : cases) {
    write("big.c", big);
    const outcome r = run(
        ": > out.txt; strace -f -o /dev/null -e trace=read -e inject=read:delay_enter=1000000:when=2 -P " +
        quote(path("big.c")) +
        " STYLO big.c > out.txt & "
        "for i in $(seq 1 300); do [ -s out.txt ] && break; sleep 0.01; done; " +
        c.change + "; wait $!; status=$?; cat out.txt; exit $status");
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
  }
}

// A list on a FIFO names a file, then the file is removed or cut short, then
// the list names it again: each name is checked as the file stands when its
// turn comes. The writer waits for the first check's warnings before it
// changes the file.
TEST(Cli, SourceChangedBetweenListNames) {
  mkfifo(path("names.fifo").c_str(), 0600);
  const struct {
    const char* what;
    const char* change;
    std::string out, err;
  } cases[] = {
      {"removed", "rm v.c", kw("v.c", 1, "if") + kw("v.c", 2, "for"), "Unable to open file 'v.c'\n"},
      {"truncated", "truncate -s 6 v.c", kw("v.c", 1, "if") + kw("v.c", 2, "for") + kw("v.c", 1, "if"), ""},
      {"rewritten shorter", "printf 'while(c)' > v.c",
       kw("v.c", 1, "if") + kw("v.c", 2, "for") + kw("v.c", 1, "while"), ""},
  };
  for (const auto& c : cases) {
    write("v.c", "if(a)\nfor(;;)\n");
    const outcome r = run(std::string(": > out.txt; (printf 'v.c\\n'; for i in $(seq 1 1000); do "
                                      "[ $(wc -l < out.txt) -ge 2 ] && break; sleep 0.01; done; ") +
                          c.change + "; printf 'v.c\\n') > names.fifo & "
                          "STYLO --file-list=names.fifo >> out.txt; status=$?; wait; cat out.txt; exit $status");
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
}

// Text that comes slowly, split anywhere: inside a word, between "=" and
// "-", between CR and LF, inside "/*", inside a list's name. The findings are
// those of the same text read at once.
TEST(Cli, SlowFifoSplitAnywhere) {
  mkfifo(path("slow.c").c_str(), 0600);
  mkfifo(path("slow.txt").c_str(), 0600);
  write("whole.c", "x=-1; wh");
  const std::string pieces[] = {"i", "f(a) x=", "-1;\r", "\n/", "* if( *", "/ while", "(b)\r", "\n#x \\",
                                "\nif(c)\nfor(;;)"};
  std::string text, writer = "(";
  for (const std::string& piece : pieces) {
    text += piece;
    writer += "printf '%s' " + quote(piece) + "; sleep 0.05; ";
  }
  writer += ") > slow.c & ";
  const std::string expected = kw("slow.c", 1, "if") + op("slow.c", 1, "=-", "-=") + kw("slow.c", 2, "while") +
                               kw("slow.c", 5, "for");
  const outcome direct = run(writer + "STYLO slow.c; wait");
  EXPECT_EQ(direct.out, expected);
  EXPECT_EQ(direct.err, "");
  EXPECT_EQ(direct.status, 0);

  const outcome listed = run(writer + "(printf 'sl'; sleep 0.05; printf 'ow.c\\r'; sleep 0.05; printf '\\nwho'; "
                                      "sleep 0.05; printf 'le.c') > slow.txt & STYLO --file-list=slow.txt; wait");
  EXPECT_EQ(listed.out, expected + op("whole.c", 1, "=-", "-="));
  EXPECT_EQ(listed.err, "");
  EXPECT_EQ(listed.status, 0);
}

}  // namespace
