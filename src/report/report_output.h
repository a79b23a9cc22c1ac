#pragma once
/// Where the report goes: standard output, or a file written whole or not
/// at all (a temporary file beside it, renamed over it at the end). A
/// named file that exists and is not a regular file (a device such as
/// /dev/null, a FIFO a reader waits on) is written where it is: replacing
/// it would put a plain file in its place. The
/// formats append to `text()`; the bytes go out in blocks, so memory stays
/// the same however long the report.

#include <optional>
#include <string>

#include "platform/file_output.h"
#include "report/whole_file.h"

namespace stylo::report {

class report_output {
 public:
  report_output() = default;
  report_output(const report_output&) = delete;
  report_output& operator=(const report_output&) = delete;
  /// A run that ends without `finish` (out of memory, say) leaves no file.
  ~report_output() {
    abandon();
    close_in_place();
  }

  /// Where the report goes when no file is named.
  enum class stream { standard_output, standard_error, nowhere };

  /// `otherwise` when `file_name` is empty. Returns 0, or the system's
  /// code when the temporary file cannot be made.
  int open(const std::string& file_name, stream otherwise = stream::standard_output);

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

  /// Whether the report goes to the file `input` (through any of its
  /// names): checking it would have the report overwrite it.
  bool is_file(const platform::file_facts& input) const;
  /// Whether the report replaces an existing file, which `is_file` then
  /// tells apart: without one, no input can be the report.
  bool replaces_a_file() const { return replaced_.has_value(); }

  /// "standard output", "standard error", or the file's name in quotes, for messages.
  std::string destination() const;

 private:
  static constexpr std::size_t block_size = 64 * 1024;
  void flush();
  int close_in_place();

  std::string pending_;
  std::string file_name_;
  stream stream_ = stream::standard_output;
  whole_file file_;
  platform::output_handle in_place_ = platform::no_output;  ///< a device or FIFO, written where it is
  std::optional<platform::file_facts> replaced_;
  int error_ = 0;
};

}  // namespace stylo::report
