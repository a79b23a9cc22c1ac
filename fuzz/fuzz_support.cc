#include "fuzz_support.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#if __has_include(<sanitizer/common_interface_defs.h>)
#include <sanitizer/common_interface_defs.h>
#define STYLO_FUZZ_HAVE_SANITIZER_FD 1
#endif

namespace stylo_fuzz {
namespace {

// The standard error the fuzzer started with: findings are written here even
// while descriptor 2 is being captured.
int real_stderr() {
  static const int fd = [] {
    const int d = ::dup(2);
#ifdef STYLO_FUZZ_HAVE_SANITIZER_FD
    __sanitizer_set_report_fd(reinterpret_cast<void*>(static_cast<std::intptr_t>(d)));
#endif
    return d;
  }();
  return fd;
}

memory_file& capture_file(int target) {
  static memory_file out("stylo-stdout");
  static memory_file err("stylo-stderr");
  return target == 1 ? out : err;
}

void put(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

void fail(std::string_view what, std::string_view detail) {
  std::string text = "stylo fuzz finding: ";
  text += what;
  text += "\n---\n";
  text += detail;
  text += "\n---\n";
  put(real_stderr(), text);
  std::abort();
}

memory_file::memory_file(const char* name) : fd(::memfd_create(name, MFD_CLOEXEC)) {
  if (fd < 0) fail("memfd_create failed", name);
}

void memory_file::assign(std::string_view bytes) {
  if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0) fail("cannot empty a memory file", "");
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    if (n <= 0) fail("cannot fill a memory file", "");
    at += static_cast<std::size_t>(n);
  }
}

std::string memory_file::content() const {
  struct stat st {};
  if (::fstat(fd, &st) != 0) fail("cannot stat a memory file", "");
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t at = 0;
  while (at < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + at, bytes.size() - at, static_cast<off_t>(at));
    if (n <= 0) fail("cannot read a memory file", "");
    at += static_cast<std::size_t>(n);
  }
  return bytes;
}

std::string memory_file::path() const { return "/proc/self/fd/" + std::to_string(fd); }

int begin_capture(int target) {
  (void)real_stderr();
  memory_file& file = capture_file(target);
  file.assign("");
  const int saved = ::dup(target);
  if (saved < 0 || ::dup2(file.fd, target) < 0) fail("cannot redirect a descriptor", "");
  return saved;
}

std::string end_capture(int target, int saved) {
  if (::dup2(saved, target) < 0) fail("cannot restore a descriptor", "");
  ::close(saved);
  return capture_file(target).content();
}

int split_input(std::string_view bytes, const std::vector<std::size_t>& cuts) {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0) fail("socketpair failed", "");
  // Every piece is queued before anything is read: make room for all of them.
  const int room = 16 << 20;
  if (::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUFFORCE, &room, sizeof room) != 0) {
    (void)::setsockopt(ends[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
  }
  std::size_t at = 0;
  for (std::size_t length : cuts) {
    if (::send(ends[1], bytes.data() + at, length, MSG_DONTWAIT) != static_cast<ssize_t>(length)) {
      fail("cannot queue a piece of input", std::to_string(length));
    }
    at += length;
  }
  ::close(ends[1]);
  return ends[0];
}

std::vector<std::size_t> pieces_for(std::string_view bytes, std::uint32_t seed) {
  std::vector<std::size_t> cuts;
  std::uint32_t state = seed | 1u;
  std::size_t left = bytes.size();
  while (left > 0) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    std::size_t length = 1 + state % 64;
    if (cuts.size() == 63 || length > left) length = left;
    cuts.push_back(length);
    left -= length;
  }
  return cuts;
}

std::vector<std::string_view> text_lines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string_view> lines;
  while (!bytes.empty()) {
    const std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos) {
      lines.push_back(bytes);  // a last line without line feed keeps a final CR
      break;
    }
    std::string_view line = bytes.substr(0, lf);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    bytes.remove_prefix(lf + 1);
  }
  return lines;
}

std::size_t check_warning_lines(std::string_view output, std::string_view file, std::size_t line_count) {
  static const std::string tails[] = {
      "): warning: (style) Devrait mettre un espace entre 'if' et la parenthese. [guide 80]  [QVS]",
      "): warning: (style) Devrait mettre un espace entre 'switch' et la parenthese. [guide 80]  [QVS]",
      "): warning: (style) Devrait mettre un espace entre 'for' et la parenthese. [guide 80]  [QVS]",
      "): warning: (style) Devrait mettre un espace entre 'while' et la parenthese. [guide 80]  [QVS]",
      "): warning: '=!' devrait probablement etre '!='; sinon, ajoutez un espace entre.  [QVS]",
      "): warning: '=+' devrait probablement etre '+='; sinon, ajoutez un espace entre.  [QVS]",
      "): warning: '=-' devrait probablement etre '-='; sinon, ajoutez un espace entre.  [QVS]",
      "): warning: '==!' devrait probablement etre '!='; sinon, ajoutez un espace entre.  [QVS]",
  };
  std::size_t count = 0;
  while (!output.empty()) {
    const std::size_t lf = output.find('\n');
    if (lf == std::string_view::npos) fail("warning output does not end in a line feed", output);
    const std::string_view line = output.substr(0, lf);
    output.remove_prefix(lf + 1);
    ++count;
    if (line.substr(0, file.size()) != file || line.size() <= file.size() || line[file.size()] != '(') {
      fail("warning line does not start with the file name and '('", line);
    }
    std::string_view rest = line.substr(file.size() + 1);
    std::size_t digits = 0;
    std::uint64_t number = 0;
    while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 20) {
      number = number * 10 + static_cast<std::uint64_t>(rest[digits] - '0');
      ++digits;
    }
    if (digits == 0 || rest[0] == '0') fail("warning line number is empty or has a leading zero", line);
    if (number > line_count) fail("warning cites a line past the end of the file", line);
    rest.remove_prefix(digits);
    bool known = false;
    for (const std::string& tail : tails) known = known || rest == tail;
    if (!known) fail("malformed warning line", line);
  }
  return count;
}

}  // namespace stylo_fuzz
