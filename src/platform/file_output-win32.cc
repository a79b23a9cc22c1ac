#include "platform/file_output.h"

#include <atomic>
#include <mutex>

#include <windows.h>

#include "platform/removal_registry.h"
#include "platform/utf8.h"

namespace stylo::platform {
namespace {

// Ctrl+C, Ctrl+Break and the console closing run this on a thread of its
// own: it removes the temporary files under way and lets the default
// handler end the process.
BOOL WINAPI remove_on_stop(DWORD) {
  removal_registry::remove_all([](const char* name) {
    std::wstring wide;
    if (utf8_to_wide(name, wide)) ::DeleteFileW(wide.c_str());
  }, [] { ::Sleep(1); });
  return FALSE;
}

void handle_console_stops() {
  static std::once_flag installed;
  std::call_once(installed, [] { ::SetConsoleCtrlHandler(remove_on_stop, TRUE); });
}

int facts_from(HANDLE file, file_facts& facts) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(file, &info)) return static_cast<int>(::GetLastError());
  facts.device = info.dwVolumeSerialNumber;
  facts.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  facts.modified = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                                             info.ftLastWriteTime.dwLowDateTime);
  facts.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
  facts.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  facts.regular = !facts.directory && ::GetFileType(file) == FILE_TYPE_DISK;
  return 0;
}

}  // namespace

int facts_of(const std::string& name, file_facts& facts) {
  std::wstring wide;
  if (!utf8_to_wide(name, wide)) return ERROR_INVALID_NAME;
  const HANDLE file = ::CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
  const int error = facts_from(file, facts);
  ::CloseHandle(file);
  return error;
}

int facts_of(input_handle input, file_facts& facts) { return facts_from(reinterpret_cast<HANDLE>(input), facts); }

// Links on Windows need rights most users lack; a name is written as given.
std::string link_target(const std::string& name) { return name; }

int create_beside(const std::string& final_name, temporary_file& file, const file_facts*) {
  handle_console_stops();
  static std::atomic<unsigned> counter{0};
  const std::size_t slash = final_name.find_last_of("/\\");
  file.directory = slash == std::string::npos ? "." : final_name.substr(0, slash);
  for (unsigned attempt = 0;; ++attempt) {
    // Short, so that a long final name still fits the system's limit.
    file.name = file.directory + "\\.stylo-" + std::to_string(::GetCurrentProcessId()) + "-" +
                std::to_string(counter++) + ".tmp";
    std::wstring wide;
    if (!utf8_to_wide(file.name, wide)) {
      file.name.clear();
      return ERROR_INVALID_NAME;
    }
    file.registration = removal_registry::keep(file.name);
    if (file.registration < 0) {
      file.name.clear();
      return ERROR_TOO_MANY_OPEN_FILES;
    }
    const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
    const DWORD error = ::GetLastError();
    removal_registry::settled();
    if (handle != INVALID_HANDLE_VALUE) {
      file.handle = reinterpret_cast<output_handle>(handle);
      return 0;
    }
    removal_registry::forget(file.registration);
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 100) {
      file.name.clear();  // not ours: nothing to remove
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

int sync_output(output_handle file) {
  return ::FlushFileBuffers(reinterpret_cast<HANDLE>(file)) ? 0 : static_cast<int>(::GetLastError());
}

int close_output(output_handle file) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(file)) ? 0 : static_cast<int>(::GetLastError());
}

int rename_over(temporary_file& from, const std::string& to) {
  std::wstring wide_from, wide_to;
  if (!utf8_to_wide(from.name, wide_from) || !utf8_to_wide(to, wide_to)) return ERROR_INVALID_NAME;
  // Unlike POSIX rename, Windows replaces an existing file only when asked;
  // write-through returns once the rename is on the disk.
  if (!::MoveFileExW(wide_from.c_str(), wide_to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return static_cast<int>(::GetLastError());
  }
  removal_registry::forget(from.registration);
  return 0;
}

void remove_temporary(temporary_file& file) {
  if (file.handle != no_output) {
    ::CloseHandle(reinterpret_cast<HANDLE>(file.handle));
    file.handle = no_output;
  }
  std::wstring wide;
  if (!file.name.empty() && utf8_to_wide(file.name, wide)) ::DeleteFileW(wide.c_str());
  file.name.clear();
  removal_registry::forget(file.registration);
}

}  // namespace stylo::platform
