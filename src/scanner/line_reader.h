#pragma once
/// Block-wise reading of text lines from a file or standard input.
///
/// Source files and file lists are read through this layer rather than
/// through file streams, for two reasons: it is several times faster (one
/// read per block, lines handed out as views into the block), and it tells
/// a read error apart from the end of the input, which libstdc++ streams do
/// not. It also does the text-mode translation itself, the same on every
/// system: a carriage return directly before a line feed is dropped, and a
/// byte 0x1A ends the input.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/file_input.h"

namespace stylo {

/// One input being read line by line. The buffer is allocated on first use
/// and kept until `release_input`, so that reading file after file
/// allocates nothing; it grows only when a single line does not fit in it.
struct line_reader {
  platform::input_handle input = platform::no_input;
  bool owns_input = false;   ///< close `input` when it is done with
  char* buffer = nullptr;
  std::size_t capacity = 0;  ///< usable bytes; `buffer_padding` more on each side
  std::size_t begin = 0;     ///< first byte not yet handed out as a line
  std::size_t end = 0;       ///< one past the last byte read
  bool input_ended = false;  ///< a read found the end, or a 0x1A was read
  bool met_end = false;      ///< the last line handed out ran into the end
  bool not_a_file = false;   ///< the input is a directory, found by reading it
  std::uint64_t line_feeds = 0;  ///< line feeds in [begin, end)
  std::size_t last_line_feed = 0;  ///< the last of them, where there is one
  /// How many bytes of the input precede `buffer[0]`: a byte's offset in the
  /// file is this plus its index, whatever the reader hands out as lines
  /// (the carriage returns it drops are counted, being in the file).
  std::uint64_t buffer_offset = 0;
};

/// The offset in the input of a byte of the reader's buffer (of a line
/// handed out and still valid).
inline std::uint64_t input_offset(const line_reader& reader, const char* byte) {
  return reader.buffer_offset + static_cast<std::uint64_t>(byte - reader.buffer);
}

/// Readable bytes kept before and after the data, so that a vectorised
/// search may load whole blocks around any byte of a line.
inline constexpr std::size_t buffer_padding = 128;

/// The largest single read. Reads are capped so that the memory used by a
/// long line stays close to the length of the line itself.
inline constexpr std::size_t read_chunk = 256 * 1024;

enum class read_status { line, end, error };

/// Starts reading `input` from its current position; `owns` says whether
/// `close_input` closes it. Performs no read. False, with nothing changed,
/// when the reader's first buffer cannot be had.
bool open_input(line_reader& reader, platform::input_handle input, bool owns);

enum class open_status { opened, cannot_open, read_failed };

/// Opens the file `name` as the reader's input and reads its first block,
/// so that a directory, which Linux lets one open, counts as a file that
/// cannot be opened. On `read_failed` the input is left open. A reader
/// whose buffer cannot be had gives `read_failed`, its input closed.
open_status open_file(line_reader& reader, std::string_view name);

/// Makes a copy of `text` the reader's whole input, read as a file holding
/// those bytes would be (0x1A ends it). False, with no input, when the
/// memory for it cannot be had.
bool load_text(line_reader& reader, std::string_view text);

/// Closes the input if the reader owns it, and forgets it.
void close_input(line_reader& reader);

/// Closes the input as `close_input` does and gives the buffer back: for a
/// reader whose owner is done with it.
void release_input(line_reader& reader);

/// Reads more data without handing out a line: tells an unreadable input
/// (on Linux, a directory sets `not_a_file` here) before anything is scanned.
read_status prime_input(line_reader& reader);

/// Hands out the next line, without its line feed (and without a carriage
/// return directly before that line feed). The view stays valid until the
/// next call on the same reader. A last line without line feed is still a
/// line; `end` comes once nothing at all is left.
read_status read_line(line_reader& reader, std::string_view& line);

/// Hands out every whole line now in the buffer at once, each with its line
/// feed and any carriage return before it; at the end of the input, the last
/// line even without a line feed. Reading more only when no whole line is
/// buffered. For the fast scan, which finds the line ends itself; the
/// carriage return before a line feed is left for it to ignore, and a last
/// line without line feed is followed in the buffer (not in the view) by a
/// line feed, so that a look one byte past it reads a line end. The view
/// stays valid until the next call on the same reader. `line_feeds` is set
/// to the number of line feeds in the view, counted as the data was read.
read_status read_lines(line_reader& reader, std::string_view& lines, std::uint64_t& line_feeds);

}  // namespace stylo
