#pragma once
/// Writing a file whole or not at all: the bytes go to a new file beside
/// the one wanted, which is renamed over it only once everything is
/// written. A run that fails leaves no half file, and an older file of that
/// name stays as it was.

#include <cstdint>
#include <string>
#include <string_view>

namespace stylo::platform {

/// An open output file: a file descriptor, or a Windows handle.
using output_handle = std::intptr_t;

inline constexpr output_handle no_output = -1;

struct temporary_file {
  output_handle handle = no_output;
  std::string name;  ///< beside the final name, in the same directory
};

/// Creates a new, empty file in the directory of `final_name` (bytes as
/// given; UTF-8 on Windows) under a name of its own. Returns 0, or the
/// system's code for the failure (see text_output.h's `describe_error`).
int create_beside(const std::string& final_name, temporary_file& file);

/// Writes all of `bytes`, resuming after short writes. 0 or the system's code.
int write_to(output_handle file, std::string_view bytes);

/// Closes the file; a failure here may be a write that failed late. 0 or the code.
int close_output(output_handle file);

/// Renames `from` to `to`, replacing a file `to` if there is one. 0 or the code.
int rename_over(const std::string& from, const std::string& to);

/// Removes a file, as best it can (for a temporary file left by a failure).
void remove_file(const std::string& name);

}  // namespace stylo::platform
