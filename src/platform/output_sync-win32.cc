#include "platform/output_sync.h"

namespace stylo::platform {

int sync_outputs(const output_handle* files, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    if (const int error = sync_output(files[i]); error != 0) return error;
  }
  return 0;
}

// MoveFileEx with MOVEFILE_WRITE_THROUGH returns once the rename is on the
// disk: nothing is left to sync.
void sync_directory_of(const std::string&) {}

}  // namespace stylo::platform

namespace stylo::platform {

void sync_directories_of(const std::vector<std::string>&) {}

}  // namespace stylo::platform
