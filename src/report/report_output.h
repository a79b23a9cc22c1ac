#pragma once
/// Where the report goes: standard output, or a file written whole or not
/// at all (a temporary file beside it, renamed over it at the end). The
/// formats append to `text()`; the bytes go out in blocks, so memory stays
/// the same however long the report.

#include <string>

#include "platform/file_output.h"

namespace stylo::report {

class report_output {
 public:
  report_output() = default;
  report_output(const report_output&) = delete;
  report_output& operator=(const report_output&) = delete;
  /// A run that ends without `finish` (out of memory, say) leaves no file.
  ~report_output() { abandon(); }

  /// Standard output when `file_name` is empty. Returns 0, or the system's
  /// code when the temporary file cannot be made.
  int open(const std::string& file_name);

  /// The text not yet written, for the formats to append to.
  std::string& text() { return pending_; }

  /// Writes the pending text once there is a block of it.
  void flush_if_full() {
    if (pending_.size() >= block_size) flush();
  }

  /// Whether a write failed: nothing more is written after one.
  bool failed() const { return error_ != 0; }
  int error() const { return error_; }

  /// Writes what is left and, for a file, renames it into place. Returns 0,
  /// or the system's code.
  int finish();

  /// Gives up: a file under way is removed, an older report stays.
  void abandon();

  /// "standard output", or the file's name in quotes, for messages.
  std::string destination() const;

 private:
  static constexpr std::size_t block_size = 64 * 1024;
  void flush();

  std::string pending_;
  std::string file_name_;
  platform::temporary_file file_;
  int error_ = 0;
};

}  // namespace stylo::report
