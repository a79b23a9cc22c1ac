#include "platform/child_process.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {
namespace {

// One argument as the C runtime's command-line splitting will read it back:
// quoted when it holds a blank or a quote or is empty; a quote escaped with
// a backslash, and the backslashes just before a quote (or before the
// closing quote) doubled, since only there do they escape.
void append_quoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, L'\\');
  line += L'"';
}

struct handle {
  HANDLE h = nullptr;
  handle() = default;
  handle(const handle&) = delete;
  handle& operator=(const handle&) = delete;
  ~handle() { close_now(); }
  void close_now() {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = nullptr;
  }
};

struct pipe_reading {
  HANDLE from;
  std::string* into;
  DWORD error;
};

DWORD read_pipe(pipe_reading& reading) {
  char block[64 * 1024];
  reading.error = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(reading.from, block, sizeof block, &got, nullptr)) {
      const DWORD error = GetLastError();
      if (error != ERROR_BROKEN_PIPE) reading.error = error;
      return 0;
    }
    if (got == 0) return 0;
    reading.into->append(block, got);
  }
}

DWORD WINAPI read_pipe_thread(LPVOID reading) { return read_pipe(*static_cast<pipe_reading*>(reading)); }

bool make_pipe(handle& read_end, handle& write_end) {
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  if (!CreatePipe(&read_end.h, &write_end.h, &inherited, 0)) return false;
  // Only the child's end is inherited.
  SetHandleInformation(read_end.h, HANDLE_FLAG_INHERIT, 0);
  return true;
}

}  // namespace

child_result run_child(const std::vector<std::string>& arguments) {
  child_result result;
  if (arguments.empty()) {
    result.error = ERROR_INVALID_PARAMETER;
    return result;
  }
  std::wstring line;
  for (const std::string& each : arguments) {
    std::wstring wide;
    if (!utf8_to_wide(each, wide)) {
      result.error = ERROR_INVALID_PARAMETER;
      return result;
    }
    if (!line.empty()) line += L' ';
    append_quoted(line, wide);
  }
  handle out_read, out_write, err_read, err_write, nothing;
  if (!make_pipe(out_read, out_write) || !make_pipe(err_read, err_write)) {
    result.error = static_cast<int>(GetLastError());
    return result;
  }
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  nothing.h = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                          nullptr);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = nothing.h;
  start.hStdOutput = out_write.h;
  start.hStdError = err_write.h;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &start,
                      &process)) {
    const DWORD error = GetLastError();
    result.what = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? child_result::status::not_found
                                                                                 : child_result::status::failed;
    result.error = static_cast<int>(error);
    return result;
  }
  handle child, thread;
  child.h = process.hProcess;
  thread.h = process.hThread;
  out_write.close_now();
  err_write.close_now();
  nothing.close_now();
  // Standard error on a thread of its own, standard output here: a child
  // that fills one pipe while the other is waited on would never end.
  pipe_reading errors{err_read.h, &result.errors, 0};
  handle error_reader;
  error_reader.h = CreateThread(nullptr, 0, read_pipe_thread, &errors, 0, nullptr);
  // Without that thread, the child's messages are let go: its writes to a
  // closed pipe fail, and it is not stalled.
  if (error_reader.h == nullptr) err_read.close_now();
  pipe_reading output{out_read.h, &result.output, 0};
  read_pipe(output);
  if (error_reader.h != nullptr) WaitForSingleObject(error_reader.h, INFINITE);
  WaitForSingleObject(child.h, INFINITE);
  DWORD code = 0;
  if (!GetExitCodeProcess(child.h, &code)) {
    result.error = static_cast<int>(GetLastError());
    return result;
  }
  if (output.error != 0 || errors.error != 0) {
    result.error = static_cast<int>(output.error != 0 ? output.error : errors.error);
    return result;
  }
  result.what = child_result::status::exited;
  result.exit_code = static_cast<int>(code);
  return result;
}

}  // namespace stylo::platform
