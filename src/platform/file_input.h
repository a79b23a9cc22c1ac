#pragma once
/// Opening files and reading them in blocks, the way the system provides.
///
/// Files are opened without locking out other readers or writers: a file
/// being edited, written or removed by another program can still be
/// checked, and stylo never stands in that program's way. Blocks come raw,
/// with no translation of line ends: the reader does that itself, the same
/// on every system.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace stylo::platform {

/// An open input: a file descriptor, or a Windows handle, held as an integer.
using input_handle = std::intptr_t;

/// No input: what `open_for_reading` gives for a file it cannot open.
inline constexpr input_handle no_input = -1;

/// False for a name that cannot name a file anywhere: an empty one, or one
/// holding a NUL byte (opening the part before the NUL would check a file
/// other than the one named).
inline bool can_name_a_file(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

/// Opens the file `name` (bytes as given; UTF-8 on Windows) for reading.
/// Returns `no_input` when it cannot be opened: missing, unreadable, a
/// directory where the system says so at once, or a name that names no file.
input_handle open_for_reading(const std::string& name);

/// Opens `name` for reading as `open_for_reading` does, except that it
/// never waits (a FIFO with no writer opens at once, and reads as empty
/// then) and says why it failed: 0, or the system's code (a shortage of
/// descriptors is EMFILE or ENFILE, not a missing file). It takes no facts
/// of the file where the system can tell a directory at its first read,
/// which a run that fixes files calls for every file it checks, nearly all
/// of which have nothing to fix and need none.
int open_without_waiting(const std::string& name, input_handle& input);

/// Standard input, read as bytes (in binary mode, on Windows).
input_handle standard_input();

/// Closes an input opened by `open_for_reading`.
void close_input(input_handle input);

enum class read_outcome {
  data,        ///< `length` bytes were read
  end,         ///< the end of the input: no byte was read
  not_a_file,  ///< the input is a directory, which some systems let one open
  error,       ///< the read failed; the input's end was not reached
};

struct block_read {
  read_outcome outcome;
  std::size_t length;
};

/// Reads at most `capacity` bytes into `into`, waiting while the input has
/// none ready (a slow pipe, a non-blocking standard input). An interrupted
/// read is resumed.
block_read read_block(input_handle input, char* into, std::size_t capacity);

}  // namespace stylo::platform
