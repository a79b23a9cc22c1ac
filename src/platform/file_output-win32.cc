#include "platform/file_output.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {

int create_beside(const std::string& final_name, temporary_file& file) {
  for (unsigned attempt = 0;; ++attempt) {
    file.name = final_name + ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(attempt);
    std::wstring wide;
    if (!utf8_to_wide(file.name, wide)) return ERROR_INVALID_NAME;
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      file.handle = reinterpret_cast<output_handle>(handle);
      return 0;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100) {
      return static_cast<int>(error);
    }
  }
}

int write_to(output_handle file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = bytes.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(reinterpret_cast<HANDLE>(file), bytes.data(), wanted, &written, nullptr)) {
      return static_cast<int>(::GetLastError());
    }
    bytes.remove_prefix(written);
  }
  return 0;
}

int close_output(output_handle file) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(file)) ? 0 : static_cast<int>(::GetLastError());
}

int rename_over(const std::string& from, const std::string& to) {
  std::wstring wide_from, wide_to;
  if (!utf8_to_wide(from, wide_from) || !utf8_to_wide(to, wide_to)) return ERROR_INVALID_NAME;
  // Unlike POSIX rename, Windows replaces an existing file only when asked.
  return ::MoveFileExW(wide_from.c_str(), wide_to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? 0
             : static_cast<int>(::GetLastError());
}

void remove_file(const std::string& name) {
  std::wstring wide;
  if (utf8_to_wide(name, wide)) ::DeleteFileW(wide.c_str());
}

}  // namespace stylo::platform
