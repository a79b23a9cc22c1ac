// Fuzz target: arbitrary bytes as a file list.
//
// The list is read by read_file_list, once from an in-memory file and once
// delivered in small reads, and each name goes to the real check_file. The
// run takes place in a directory of its own holding a.c (one warning), b.c
// (none) and a directory d. What must always hold, besides no crash and no
// sanitizer report: standard error holds exactly one well-formed
// "Unable to open file '<name>'" line for each name that is no file of that
// directory, in list order, and standard output exactly the warning of a.c
// under each name that reaches it.
//
// A name that reaches anything else (a device, /proc, a FIFO, a file outside
// the directory) could block or read without end; such inputs are set aside
// unrun, and libFuzzer is told not to keep them.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "driver/driver.h"
#include "fuzz_support.h"
#include "scanner/line_reader.h"

namespace {

using stylo_fuzz::fail;

struct sandbox_file {
  dev_t device;
  ino_t inode;
  bool warns;
};

std::vector<sandbox_file> sandbox;
char sandbox_dir[] = "/tmp/stylo_list_fuzz_XXXXXX";

void remove_sandbox() {
  if (::chdir(sandbox_dir) != 0) return;
  (void)::unlink("a.c");
  (void)::unlink("b.c");
  (void)::rmdir("d");
  (void)::chdir("/");
  (void)::rmdir(sandbox_dir);
}

void make_sandbox() {
  if (::mkdtemp(sandbox_dir) == nullptr || ::chdir(sandbox_dir) != 0) {
    fail("cannot make the fuzzing directory", sandbox_dir);
  }
  std::atexit(remove_sandbox);
  std::ofstream("a.c") << "if(x)\n";
  std::ofstream("b.c") << "if (x)\n";
  if (::mkdir("d", 0700) != 0) fail("cannot make a directory", "d");
  for (const char* name : {"a.c", "b.c"}) {
    struct stat st {};
    if (::stat(name, &st) != 0) fail("cannot stat a fuzzing file", name);
    sandbox.push_back({st.st_dev, st.st_ino, name[0] == 'a'});
  }
}

enum class name_kind { unopenable, warns, clean, unsafe };

name_kind classify(std::string_view name) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return name_kind::unopenable;
  const std::string path(name);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    // lstat sees a dangling or looping symbolic link, which open(2) may still
    // treat differently: keep clear of them.
    return ::lstat(path.c_str(), &st) == 0 ? name_kind::unsafe : name_kind::unopenable;
  }
  if (S_ISDIR(st.st_mode)) return name_kind::unopenable;
  for (const sandbox_file& f : sandbox) {
    if (S_ISREG(st.st_mode) && f.device == st.st_dev && f.inode == st.st_ino) {
      return f.warns ? name_kind::warns : name_kind::clean;
    }
  }
  return name_kind::unsafe;
}

std::uint32_t hash_of(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

void check_run(const char* how, int fd, std::string_view list_name, const std::string& expected_out,
               const std::string& expected_err) {
  static stylo::line_reader reader;
  std::string out;
  const std::string err = stylo_fuzz::capture(2, [&] {
    out = stylo_fuzz::capture(1, [&] {
      if (!stylo::open_input(reader, fd, false)) fail(how, "no memory for the list's reader");
      stylo::read_file_list(reader, list_name);
      stylo::close_input(reader);
    });
  });
  if (err != expected_err) fail(how, "messages expected:\n" + expected_err + "got:\n" + err);
  if (out != expected_out) fail(how, "warnings expected:\n" + expected_out + "got:\n" + out);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  make_sandbox();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string expected_out, expected_err;
  for (std::string_view name : stylo_fuzz::text_lines(bytes)) {
    switch (classify(name)) {
      case name_kind::unsafe:
        return -1;
      case name_kind::unopenable:
        expected_err += "Unable to open file '" + std::string(name) + "'\n";
        break;
      case name_kind::warns:
        expected_out += std::string(name) +
                        "(1): warning: (style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  "
                        "[QVS]\n";
        break;
      case name_kind::clean:
        break;
    }
  }

  static stylo_fuzz::memory_file list("stylo-list");
  list.assign(bytes);
  check_run("list read from a file", list.fd, "list.txt", expected_out, expected_err);

  const int fd = stylo_fuzz::split_input(bytes, stylo_fuzz::pieces_for(bytes, hash_of(bytes)));
  check_run("list read in small pieces", fd, "-", expected_out, expected_err);
  ::close(fd);
  return 0;
}
