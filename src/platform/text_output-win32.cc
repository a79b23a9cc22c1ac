#include "platform/text_output.h"

#include <windows.h>

#include "platform/utf8.h"

namespace stylo::platform {
namespace {

// Whole lines go out in one call each, so that warnings and messages keep
// their order where both streams go to one pipe.
int write_file(HANDLE out, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD wanted = bytes.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!::WriteFile(out, bytes.data(), wanted, &written, nullptr)) return static_cast<int>(::GetLastError());
    if (written == 0) ::Sleep(1);  // a full pipe that does not wait (PIPE_NOWAIT): wait for room
    bytes.remove_prefix(written);
  }
  return 0;
}

// A console shows text in its own code page, which is seldom UTF-8: names
// outside ASCII are written to it as the characters they encode.
int write_console(HANDLE console, std::string_view bytes) {
  const std::wstring wide = utf8_to_wide_lossy(bytes);
  if (wide.empty() && !bytes.empty()) return write_file(console, bytes);  // too long to convert
  std::wstring_view text = wide;
  while (!text.empty()) {
    DWORD wanted = text.size() > 16384 ? 16384 : static_cast<DWORD>(text.size());
    // A piece never ends between the two halves of a surrogate pair.
    if (wanted < text.size() && text[wanted - 1] >= 0xD800 && text[wanted - 1] <= 0xDBFF) --wanted;
    DWORD written = 0;
    if (!::WriteConsoleW(console, text.data(), wanted, &written, nullptr)) return static_cast<int>(::GetLastError());
    text.remove_prefix(written);
  }
  return 0;
}

}  // namespace

const std::string_view line_end = "\r\n";

namespace {

// Whether a standard handle is a console, asked again only when the handle
// changes: asking costs a round trip to the system, which per warning line
// would cost more than the scan.
bool is_console(HANDLE handle, HANDLE& last_handle, bool& last_answer) {
  if (handle != last_handle) {
    DWORD mode = 0;
    last_answer = ::GetConsoleMode(handle, &mode) != 0;
    last_handle = handle;
  }
  return last_answer;
}

}  // namespace

int write_all(output_stream stream, std::string_view bytes) {
  static HANDLE last_handle[2] = {nullptr, nullptr};
  static bool last_answer[2] = {false, false};
  const int which = stream == output_stream::standard_output ? 0 : 1;
  const HANDLE out = ::GetStdHandle(which == 0 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  return is_console(out, last_handle[which], last_answer[which]) ? write_console(out, bytes) : write_file(out, bytes);
}

std::string describe_error(int code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
      nullptr);
  std::string description = n > 0 ? wide_to_utf8({text, n}) : "error " + std::to_string(code);
  ::LocalFree(text);
  // The system's text ends in a full stop and a line end; the message that
  // carries it is one line.
  while (!description.empty() &&
         (description.back() == '\n' || description.back() == '\r' || description.back() == ' ' ||
          description.back() == '.')) {
    description.pop_back();
  }
  return description;
}

}  // namespace stylo::platform
