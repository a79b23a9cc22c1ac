#pragma once
/// The fast scan: the same findings as `scan_file_plain`, from jumps between
/// the few bytes that matter instead of a step per character.

namespace stylo {

/// Scans the open file from the cursor's reset state to its end, like
/// `scan_file_plain`, with the vectorised byte searches where they exist.
void scan_file_fast();

/// The same with the portable byte searches, so that the tests can hold
/// both searches to the plain scan on any processor.
void scan_file_fast_portable();

}  // namespace stylo
