#include "platform/file_input.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {

input_handle open_for_reading(const std::string& name) {
  if (!can_name_a_file(name)) return no_input;
  // A name that is not UTF-8 names no file on Windows.
  std::wstring wide;
  if (!utf8_to_wide(name, wide)) return no_input;
  // Other programs keep every right to the file while stylo reads it: to
  // read it, write it, rename it and delete it. A directory does not open
  // without FILE_FLAG_BACKUP_SEMANTICS, so it counts as unopenable here.
  const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return file == INVALID_HANDLE_VALUE ? no_input : reinterpret_cast<input_handle>(file);
}

input_handle standard_input() { return reinterpret_cast<input_handle>(::GetStdHandle(STD_INPUT_HANDLE)); }

void close_input(input_handle input) { ::CloseHandle(reinterpret_cast<HANDLE>(input)); }

block_read read_block(input_handle input, char* into, std::size_t capacity) {
  DWORD n = 0;
  const DWORD wanted = capacity > MAXDWORD ? MAXDWORD : static_cast<DWORD>(capacity);
  if (::ReadFile(reinterpret_cast<HANDLE>(input), into, wanted, &n, nullptr)) {
    return n > 0 ? block_read{read_outcome::data, n} : block_read{read_outcome::end, 0};
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
