#pragma once
/// An input read to its end into memory, a block at a time: for what must
/// be had whole (standard input to fix, a patch), whatever its kind (a
/// pipe, a terminal, a file).

#include <string>

#include "platform/file_input.h"

namespace stylo::report {

/// Appends the rest of `input` to `text`. False on a failed read.
bool read_all(platform::input_handle input, std::string& text);

}  // namespace stylo::report
