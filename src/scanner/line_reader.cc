#include "scanner/line_reader.h"

#include "scanner/byte_search.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include <poll.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace stylo {
namespace {

// Room for a whole chunk after any unfinished line of ordinary length.
constexpr std::size_t initial_capacity = 2 * read_chunk;

// Grows the buffer to at least `wanted` usable bytes, keeping its content.
// On Linux the buffer is a private mapping that mremap moves without copying
// and whose untouched pages cost no memory, so a 256 MiB line costs about
// 256 MiB whatever the capacity reached by doubling. Returns false, the
// buffer unchanged, when the memory cannot be had.
bool grow_buffer(line_reader& reader, std::size_t wanted) {
  std::size_t capacity = reader.capacity == 0 ? initial_capacity : reader.capacity;
  while (capacity < wanted) capacity *= 2;
  char* const old_block = reader.buffer == nullptr ? nullptr : reader.buffer - buffer_padding;
  const std::size_t old_bytes = reader.capacity + 2 * buffer_padding;
  const std::size_t new_bytes = capacity + 2 * buffer_padding;
#if defined(__linux__)
  void* p = old_block == nullptr
                ? mmap(nullptr, new_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                : mremap(old_block, old_bytes, new_bytes, MREMAP_MAYMOVE);
  if (p == MAP_FAILED) return false;
  // Only a long line grows the buffer; huge pages spare such a line one
  // page-table walk per 4 KiB, which dominates its time on virtual machines.
  if (new_bytes >= (8u << 20)) (void)madvise(p, new_bytes, MADV_HUGEPAGE);
#else
  (void)old_bytes;
  void* p = std::realloc(old_block, new_bytes);
  if (p == nullptr) return false;
  if (old_block == nullptr) std::memset(p, 0, new_bytes);
#endif
  reader.buffer = static_cast<char*>(p) + buffer_padding;
  reader.capacity = capacity;
  return true;
}

// Marks the end of the input: a line feed right after the data (in the
// padding if need be) ends a last line that has none of its own, for the
// searches that look one byte ahead.
void end_input(line_reader& reader) {
  reader.input_ended = true;
  reader.buffer[reader.end] = '\n';
}

// Reads once into the free space after `end`. Returns false on a read error.
bool fill(line_reader& reader) {
  if (reader.begin > 0) {
    // Only the unfinished line is kept: move it to the front.
    const std::size_t kept = reader.end - reader.begin;
    std::memmove(reader.buffer, reader.buffer + reader.begin, kept);
    reader.begin = 0;
    reader.end = kept;
  }
  if (reader.capacity - reader.end < read_chunk && !grow_buffer(reader, reader.end + read_chunk)) {
    // A line longer than the memory there is to hold it cannot be read:
    // that is a failed read, not the end of the input.
    reader.read_errno = ENOMEM;
    return false;
  }
  for (;;) {
    const ssize_t n = ::read(reader.fd, reader.buffer + reader.end, read_chunk);
    if (n > 0) {
      // Ctrl-Z ends text input: what follows it is never looked at. The
      // same pass counts the line feeds, which the fast scan needs.
      const text_extent text = measure_text(reader.buffer + reader.end, static_cast<std::size_t>(n));
      reader.end += text.length;
      reader.line_feeds += text.line_feeds;
      if (text.length < static_cast<std::size_t>(n)) end_input(reader);
      return true;
    }
    if (n == 0) {
      end_input(reader);
      return true;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      // A non-blocking standard input: wait for it rather than give up.
      pollfd wait_for{reader.fd, POLLIN, 0};
      ::poll(&wait_for, 1, -1);
      continue;
    }
    reader.read_errno = errno;
    return false;
  }
}

}  // namespace

void open_input(line_reader& reader, int fd, bool owns) {
  if (reader.buffer == nullptr && !grow_buffer(reader, initial_capacity)) throw std::bad_alloc();
  reader.fd = fd;
  reader.owns_fd = owns;
  reader.begin = reader.end = 0;
  reader.input_ended = false;
  reader.met_end = false;
  reader.read_errno = 0;
  reader.line_feeds = 0;
}

void close_input(line_reader& reader) {
  if (reader.owns_fd && reader.fd >= 0) ::close(reader.fd);
  reader.fd = -1;
  reader.owns_fd = false;
}

read_status prime_input(line_reader& reader) {
  if (reader.input_ended || reader.end > reader.begin) return read_status::line;
  return fill(reader) ? read_status::line : read_status::error;
}

namespace {

// Reads until `find` (memchr or memrchr) sees a line feed in the buffered
// data, and hands out everything up to and with that line feed; or, once the
// input has ended, what is left of it, with `unterminated` set.
template <typename finder>
read_status take_through_line_feed(line_reader& reader, finder find, std::string_view& piece, bool& unterminated) {
  std::size_t searched = reader.begin;
  for (;;) {
    const char* start = reader.buffer + reader.begin;
    if (const void* lf = find(reader.buffer + searched, reader.end - searched)) {
      const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - start) + 1;
      reader.begin += length;
      piece = std::string_view(start, length);
      unterminated = false;
      return read_status::line;
    }
    if (reader.input_ended) {
      reader.met_end = true;
      if (reader.begin == reader.end) return read_status::end;
      piece = std::string_view(start, reader.end - reader.begin);
      reader.begin = reader.end;
      unterminated = true;
      return read_status::line;
    }
    const std::size_t kept = reader.end - reader.begin;
    if (!fill(reader)) return read_status::error;
    searched = reader.begin + kept;
  }
}

}  // namespace

read_status read_line(line_reader& reader, std::string_view& line) {
  bool unterminated = false;
  const read_status status = take_through_line_feed(
      reader, [](const char* p, std::size_t n) { return std::memchr(p, '\n', n); }, line, unterminated);
  // A last line without line feed keeps even a final carriage return.
  if (status == read_status::line && !unterminated) {
    --reader.line_feeds;
    line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  }
  return status;
}

read_status read_lines(line_reader& reader, std::string_view& lines, std::uint64_t& line_feeds) {
  bool unterminated = false;
  const read_status status = take_through_line_feed(
      reader, [](const char* p, std::size_t n) { return memrchr(p, '\n', n); }, lines, unterminated);
  if (status == read_status::line) {
    // Whatever follows the last line feed holds none.
    line_feeds = unterminated ? 0 : reader.line_feeds;
    if (!unterminated) reader.line_feeds = 0;
  }
  return status;
}

}  // namespace stylo
