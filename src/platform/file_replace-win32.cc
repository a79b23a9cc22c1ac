#include "platform/file_replace.h"

#include <windows.h>

#include <cerrno>

#include "platform/utf8.h"

namespace stylo::platform {

int open_source(const std::string& name, input_handle& input, file_facts& facts) {
  input = open_for_reading(name);
  if (input == no_input) {
    // The caller tells only a shortage of handles apart, by the code the
    // other systems give it; any other failure, an empty name included (it
    // fails before Windows is asked, so the thread's last error says
    // nothing), is a file that cannot be opened, as a plain check says.
    return ::GetLastError() == ERROR_TOO_MANY_OPEN_FILES ? EMFILE : ERROR_FILE_NOT_FOUND;
  }
  if (const int error = facts_of(input, facts); error != 0) {
    close_input(input);
    input = no_input;
    return error;
  }
  return 0;
}

int rewind_input(input_handle input) {
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(reinterpret_cast<HANDLE>(input), start, nullptr, FILE_BEGIN)
             ? 0
             : static_cast<int>(::GetLastError());
}

// The read-only attribute is what Windows's own editors honour; ACLs are
// met when the replacement is made or renamed.
int may_write(const std::string&, const file_facts& facts) {
  return (facts.mode & 0222) != 0 ? 0 : ERROR_ACCESS_DENIED;
}

// Every file has a name on Windows; owners and alternate streams are not
// copied (the replacement belongs to the runner, as any file it saves).
int create_replacement(const std::string& target, const file_facts&, input_handle, temporary_file& file) {
  return create_beside(target, file, nullptr);
}

int create_unnamed_beside(const std::string& target, temporary_file& file) {
  return create_beside(target, file, nullptr);
}

// Windows renames only closed files.
int publish(temporary_file& file, const std::string& target) {
  if (file.handle != no_output) {
    const int closed = close_output(file.handle);
    file.handle = no_output;
    if (closed != 0) return closed;
  }
  const int error = rename_over(file, target);
  if (error == 0) file.name.clear();
  return error;
}

int open_in_place(const std::string& name, output_handle& output) {
  std::wstring wide;
  if (!utf8_to_wide(name, wide)) return ERROR_INVALID_NAME;
  const HANDLE handle = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
  output = reinterpret_cast<output_handle>(handle);
  return 0;
}

// Handles are not counted against a small limit as descriptors are.
std::size_t descriptor_limit() { return 1 << 14; }

void report_failed_writes_as_errors() {}
// The console handler is installed with the first temporary file.
void install_stopping_handler() {}
void block_stopping_signals() {}
void unblock_stopping_signals() {}

}  // namespace stylo::platform
