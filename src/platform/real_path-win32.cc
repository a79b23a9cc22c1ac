#include "platform/real_path.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {

int real_path(const std::string& name, std::string& resolved) {
  std::wstring wide;
  if (!utf8_to_wide(name, wide)) return ERROR_INVALID_NAME;
  const HANDLE file = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
  wchar_t path[32768];
  const DWORD length = ::GetFinalPathNameByHandleW(file, path, 32768, FILE_NAME_NORMALIZED);
  const DWORD error = length == 0 || length >= 32768 ? ::GetLastError() : 0;
  ::CloseHandle(file);
  if (error != 0 || length == 0) return error != 0 ? static_cast<int>(error) : ERROR_INVALID_NAME;
  // The "\\?\" prefix of a final path is not part of the name.
  std::wstring_view full(path, length);
  if (full.starts_with(L"\\\\?\\")) full.remove_prefix(4);
  resolved = wide_to_utf8(full);
  return 0;
}

char path_separator() { return '\\'; }

}  // namespace stylo::platform
