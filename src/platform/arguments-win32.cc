#include "platform/arguments.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/utf8.h"

namespace stylo::platform {

std::vector<std::string> program_arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(wide_to_utf8(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace stylo::platform
