#include "platform/buffer_memory.h"

#include <sys/mman.h>

namespace stylo::platform {

// The block is a private mapping that mremap moves without copying and
// whose untouched pages cost no memory, so a 256 MiB line costs about
// 256 MiB whatever the capacity reached by doubling.
char* resize_buffer_block(char* block, std::size_t old_bytes, std::size_t new_bytes) {
  void* p = block == nullptr ? ::mmap(nullptr, new_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                             : ::mremap(block, old_bytes, new_bytes, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) return nullptr;
  // Only a long line grows the buffer; huge pages spare such a line one
  // page-table walk per 4 KiB, which dominates its time on virtual machines.
  if (new_bytes >= (std::size_t{8} << 20)) (void)::madvise(p, new_bytes, MADV_HUGEPAGE);
  return static_cast<char*>(p);
}

void free_buffer_block(char* block, std::size_t bytes) {
  if (block != nullptr) ::munmap(block, bytes);
}

}  // namespace stylo::platform
