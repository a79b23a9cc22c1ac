#pragma once
/// Text between stylo's UTF-8 and the UTF-16 of Windows' wide calls. Used
/// by the Windows implementations only.

#include <string>
#include <string_view>

namespace stylo::platform {

/// False, `wide` unspecified, when `text` is not valid UTF-8 or is too long
/// for the system's conversion (2 GiB).
bool utf8_to_wide(std::string_view text, std::wstring& wide);

/// Invalid UTF-8 becomes U+FFFD: for display only. Empty when too long.
std::wstring utf8_to_wide_lossy(std::string_view text);

std::string wide_to_utf8(std::wstring_view wide);

}  // namespace stylo::platform
