#include <windows.h>

#include "test_support.h"

namespace stylo_test {

// Every read of it fails with ERROR_ACCESS_DENIED.
stylo::platform::input_handle write_only_input(const std::string& path) {
  return reinterpret_cast<stylo::platform::input_handle>(::CreateFileA(
      path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

}  // namespace stylo_test
