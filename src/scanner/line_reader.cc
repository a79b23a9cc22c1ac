#include "scanner/line_reader.h"

#include "scanner/byte_search.h"

#include <cstring>
#include <new>

#include "platform/buffer_memory.h"

namespace stylo {
namespace {

// Room for a whole chunk after any unfinished line of ordinary length.
constexpr std::size_t initial_capacity = 2 * read_chunk;

// Grows the buffer to at least `wanted` usable bytes, keeping its content.
// Returns false, the buffer unchanged, when the memory cannot be had.
bool grow_buffer(line_reader& reader, std::size_t wanted) {
  std::size_t capacity = reader.capacity == 0 ? initial_capacity : reader.capacity;
  while (capacity < wanted) capacity *= 2;
  char* const old_block = reader.buffer == nullptr ? nullptr : reader.buffer - buffer_padding;
  const std::size_t old_bytes = reader.capacity + 2 * buffer_padding;
  char* const block = platform::resize_buffer_block(old_block, old_bytes, capacity + 2 * buffer_padding);
  if (block == nullptr) return false;
  reader.buffer = block + buffer_padding;
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
    if (reader.line_feeds != 0) reader.last_line_feed -= reader.begin;
    reader.buffer_offset += reader.begin;
    reader.begin = 0;
    reader.end = kept;
  }
  if (reader.capacity - reader.end < read_chunk && !grow_buffer(reader, reader.end + read_chunk)) {
    // A line longer than the memory there is to hold it cannot be read:
    // that is a failed read, not the end of the input.
    return false;
  }
  const platform::block_read got = platform::read_block(reader.input, reader.buffer + reader.end, read_chunk);
  switch (got.outcome) {
    case platform::read_outcome::data: {
      // Ctrl-Z ends text input: what follows it is never looked at. The
      // same pass counts the line feeds, which the fast scan needs, and
      // finds the last, through which read_lines hands out.
      const text_extent text = measure_text(reader.buffer + reader.end, got.length);
      if (text.line_feeds != 0) reader.last_line_feed = reader.end + text.last_line_feed;
      reader.end += text.length;
      reader.line_feeds += text.line_feeds;
      if (text.length < got.length) end_input(reader);
      return true;
    }
    case platform::read_outcome::end:
      end_input(reader);
      return true;
    case platform::read_outcome::not_a_file:
      reader.not_a_file = true;
      return false;
    case platform::read_outcome::error:
      break;
  }
  return false;
}

}  // namespace

bool open_input(line_reader& reader, platform::input_handle input, bool owns) {
  // Without a first buffer nothing can be read: the caller counts that as a
  // failed read, as it counts a line too long for memory.
  if (reader.buffer == nullptr && !grow_buffer(reader, initial_capacity)) return false;
  reader.input = input;
  reader.owns_input = owns;
  reader.begin = reader.end = 0;
  reader.input_ended = false;
  reader.met_end = false;
  reader.not_a_file = false;
  reader.line_feeds = 0;
  reader.buffer_offset = 0;
  return true;
}

open_status open_file(line_reader& reader, std::string_view name) {
  platform::input_handle input = platform::no_input;
  try {
    // The system wants the name with a NUL after it. A name too long to
    // copy is a failure of memory, like a line too long to hold.
    input = platform::open_for_reading(std::string(name));
  } catch (const std::bad_alloc&) {
    return open_status::read_failed;
  }
  if (input == platform::no_input) return open_status::cannot_open;
  if (!open_input(reader, input, true)) {
    platform::close_input(input);
    return open_status::read_failed;
  }
  if (prime_input(reader) == read_status::line) return open_status::opened;
  if (!reader.not_a_file) return open_status::read_failed;
  close_input(reader);
  return open_status::cannot_open;
}

void close_input(line_reader& reader) {
  if (reader.owns_input && reader.input != platform::no_input) platform::close_input(reader.input);
  reader.input = platform::no_input;
  reader.owns_input = false;
}

void release_input(line_reader& reader) {
  close_input(reader);
  if (reader.buffer != nullptr) platform::free_buffer_block(reader.buffer - buffer_padding, reader.capacity + 2 * buffer_padding);
  reader.buffer = nullptr;
  reader.capacity = 0;
  reader.begin = reader.end = 0;
}

bool load_text(line_reader& reader, std::string_view text) {
  if (reader.buffer == nullptr || reader.capacity < text.size()) {
    if (!grow_buffer(reader, text.size() < initial_capacity ? initial_capacity : text.size())) return false;
  }
  close_input(reader);
  if (!open_input(reader, platform::no_input, false)) return false;
  // The same measure as a block read from a file: the text ends at its
  // first 0x1A, and the line feeds before it are counted.
  if (!text.empty()) std::memcpy(reader.buffer, text.data(), text.size());
  const text_extent measured = measure_text(reader.buffer, text.size());
  reader.end = measured.length;
  reader.line_feeds = measured.line_feeds;
  reader.last_line_feed = measured.last_line_feed;
  end_input(reader);
  return true;
}

read_status prime_input(line_reader& reader) {
  if (reader.input_ended || reader.end > reader.begin) return read_status::line;
  return fill(reader) ? read_status::line : read_status::error;
}

namespace {

// Reads until `find` (the first or the last line feed) sees a line feed in the buffered
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
      reader,
      [&reader](const char*, std::size_t) -> const void* {
        // The reader knows how many line feeds it holds and where the last
        // is: the buffer is not searched again.
        return reader.line_feeds == 0 ? nullptr : reader.buffer + reader.last_line_feed;
      },
      lines, unterminated);
  if (status == read_status::line) {
    // Whatever follows the last line feed holds none.
    line_feeds = unterminated ? 0 : reader.line_feeds;
    if (!unterminated) reader.line_feeds = 0;
  }
  return status;
}

}  // namespace stylo
