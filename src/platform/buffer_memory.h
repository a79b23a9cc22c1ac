#pragma once
/// Memory for the reader's buffer, which grows only when one line does not
/// fit in it.

#include <cstddef>

namespace stylo::platform {

/// Makes `block` (`old_bytes` long, or nullptr for none yet) `new_bytes`
/// long, keeping its content; a new block comes zeroed. Returns the block,
/// which may have moved, or nullptr, `block` unchanged, when the memory
/// cannot be had.
char* resize_buffer_block(char* block, std::size_t old_bytes, std::size_t new_bytes);

/// Gives back a block of `bytes` from `resize_buffer_block` (nullptr: none).
void free_buffer_block(char* block, std::size_t bytes);

}  // namespace stylo::platform
