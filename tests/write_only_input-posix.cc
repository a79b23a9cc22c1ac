#include <fcntl.h>

#include "test_support.h"

namespace stylo_test {

// Every read of it fails with EBADF.
stylo::platform::input_handle write_only_input(const std::string& path) { return ::open(path.c_str(), O_WRONLY); }

}  // namespace stylo_test
