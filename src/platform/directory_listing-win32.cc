#include "platform/directory_listing.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {

bool list_directory(const std::string& directory, std::vector<directory_entry>& entries) {
  entries.clear();
  std::wstring pattern;
  if (directory.empty() || !utf8_to_wide(directory, pattern)) return false;
  if (pattern.back() != L'/' && pattern.back() != L'\\') pattern += L'\\';
  pattern += L'*';
  WIN32_FIND_DATAW found;
  const HANDLE search = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                                           FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return false;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entry_kind kind = entry_kind::file;
    // A reparse point (a symbolic link, a junction) may lead out of the
    // directory: it is not followed.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      kind = entry_kind::other;
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      kind = entry_kind::directory;
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
      kind = entry_kind::other;
    }
    entries.push_back({wide_to_utf8(name), kind});
  } while (::FindNextFileW(search, &found));
  ::FindClose(search);
  return true;
}

bool is_directory(const std::string& name) {
  std::wstring wide;
  if (name.empty() || !utf8_to_wide(name, wide)) return false;
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace stylo::platform
