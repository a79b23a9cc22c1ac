#include "platform/buffer_memory.h"

#include <cstdlib>
#include <cstring>

namespace stylo::platform {

// The C library's heap, on every system without a cheaper way to move a
// large block (macOS, the BSDs, Windows). Growth copies the line once per
// doubling, which keeps a long line's cost linear.
char* resize_buffer_block(char* block, std::size_t old_bytes, std::size_t new_bytes) {
  void* p = std::realloc(block, new_bytes);
  if (p == nullptr) return nullptr;
  if (block == nullptr) std::memset(p, 0, new_bytes);
  (void)old_bytes;
  return static_cast<char*>(p);
}

void free_buffer_block(char* block, std::size_t bytes) {
  (void)bytes;
  std::free(block);
}

}  // namespace stylo::platform
