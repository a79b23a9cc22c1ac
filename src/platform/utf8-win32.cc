#include "platform/utf8.h"

#include <windows.h>

#include <climits>

namespace stylo::platform {
namespace {

// The conversions take an int length: longer text is refused rather than
// cut, which would make it another text.
int to_wide(std::string_view text, DWORD flags, std::wstring& wide) {
  if (text.empty()) {
    wide.clear();
    return 1;
  }
  if (text.size() > INT_MAX) return 0;
  const int size = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
  if (n <= 0) return 0;
  wide.resize(static_cast<std::size_t>(n));
  return ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, wide.data(), n);
}

}  // namespace

bool utf8_to_wide(std::string_view text, std::wstring& wide) {
  return to_wide(text, MB_ERR_INVALID_CHARS, wide) > 0;
}

std::wstring utf8_to_wide_lossy(std::string_view text) {
  std::wstring wide;
  to_wide(text, 0, wide);
  return wide;
}

std::string wide_to_utf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int size = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
  return text;
}

}  // namespace stylo::platform
