#pragma once
/// Searches for the next byte that matters to the fast scan.
///
/// Outside literals and comments only a handful of bytes can give a finding
/// or change what is being skipped; inside a skip, fewer still. Each search
/// returns the first such byte in [p, end), or `end`. The SSE2 versions test
/// 16 bytes at a time and are used wherever SSE2 exists (every x86-64); the
/// portable versions are the fallback elsewhere, and the tests hold the two
/// to the same answers.
///
/// The SSE2 versions load whole 16-byte blocks and may read up to 16 bytes
/// past `end` (17 for `find_comment_stop`); callers guarantee that those
/// bytes are readable. The line reader keeps such padding after its data.

namespace stylo {

namespace portable {
/// '(' '=' '"' '\'' '#' '/' or a line feed: the bytes that matter in code.
const char* find_code_stop(const char* p, const char* end);
/// The closing `quote`, a backslash or a line feed.
const char* find_literal_stop(const char* p, const char* end, char quote);
/// A '*' directly followed by '/' (both before `end`), or a line feed.
const char* find_comment_stop(const char* p, const char* end);
}  // namespace portable

#if defined(__SSE2__)
namespace sse2 {
const char* find_code_stop(const char* p, const char* end);
const char* find_literal_stop(const char* p, const char* end, char quote);
const char* find_comment_stop(const char* p, const char* end);
}  // namespace sse2
namespace fastest = sse2;
#else
namespace fastest = portable;
#endif

}  // namespace stylo
