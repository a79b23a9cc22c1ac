#pragma once
/// The fast scan: the same findings as `scan_file_plain`, from jumps between
/// the few bytes that matter instead of a step per character.

#include "scanner/source_cursor.h"

namespace stylo {

/// Scans the open file from the cursor's reset state to its end, like
/// `scan_file_plain`, with the vectorised byte searches where they exist.
void scan_file_fast(cursor_state& c);

/// The same with one particular set of byte searches, so that the tests can
/// hold each to the plain scan whatever the processor would choose.
enum class byte_searches { portable, sse2, avx2, avx512 };
void scan_file_fast_with(cursor_state& c, byte_searches searches);

}  // namespace stylo
