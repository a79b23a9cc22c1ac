#include "platform/file_input.h"

#include <windows.h>

#include <cerrno>

#include "platform/utf8.h"

namespace stylo::platform {
namespace {

// Windows drops the dots and blanks that end a part of a path ("a.c." and
// "a.c " open a.c): such a name would check a file other than the one named.
bool windows_keeps_name(std::string_view name) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = name.find_first_of("/\\", start);
    const std::string_view part = name.substr(start, end == std::string_view::npos ? name.size() - start : end - start);
    if (!part.empty() && part != "." && part != ".." && (part.back() == '.' || part.back() == ' ')) return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

input_handle open_for_reading(const std::string& name) {
  if (!can_name_a_file(name) || !windows_keeps_name(name)) return no_input;
  // A name that is not UTF-8 names no file on Windows.
  std::wstring wide;
  if (!utf8_to_wide(name, wide)) return no_input;
  // Other programs keep every right to the file while stylo reads it: to
  // read it, write it, rename it and delete it. A directory does not open
  // without FILE_FLAG_BACKUP_SEMANTICS, so it counts as unopenable here.
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return no_input;
  // Device names (NUL, CON, COM1, also as nul.c) open a device, not a file.
  if (::GetFileType(file) == FILE_TYPE_CHAR) {
    ::CloseHandle(file);
    return no_input;
  }
  return reinterpret_cast<input_handle>(file);
}

// Windows's opening never waits for a pipe's writer.
int open_without_waiting(const std::string& name, input_handle& input) {
  input = open_for_reading(name);
  if (input != no_input) return 0;
  // A shortage of handles is told apart, by the code the other systems
  // give it; any other failure is a file that cannot be opened.
  return ::GetLastError() == ERROR_TOO_MANY_OPEN_FILES ? EMFILE : ERROR_FILE_NOT_FOUND;
}

input_handle standard_input() { return reinterpret_cast<input_handle>(::GetStdHandle(STD_INPUT_HANDLE)); }

void close_input(input_handle input) { ::CloseHandle(reinterpret_cast<HANDLE>(input)); }

block_read read_block(input_handle input, char* into, std::size_t capacity) {
  const HANDLE handle = reinterpret_cast<HANDLE>(input);
  const DWORD wanted = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  DWORD n = 0;
  while (::ReadFile(handle, into, wanted, &n, nullptr)) {
    if (n > 0) return {read_outcome::data, n};
    // On a pipe, nothing read may only mean that the writer wrote nothing:
    // the pipe has ended only when the writer has gone, which asking it
    // for what it holds tells. Elsewhere it is the end of the input.
    DWORD available = 0;
    if (::GetFileType(handle) != FILE_TYPE_PIPE ||
        !::PeekNamedPipe(handle, nullptr, 0, nullptr, &available, nullptr)) {
      return {read_outcome::end, 0};
    }
  }
  switch (::GetLastError()) {
    case ERROR_BROKEN_PIPE:  // the writing end of a pipe was closed
    case ERROR_HANDLE_EOF:
      return {read_outcome::end, 0};
    default:
      return {read_outcome::error, 0};
  }
}

}  // namespace stylo::platform
