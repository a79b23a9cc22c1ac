#pragma once
/// A file written whole or not at all, for the report and for the files
/// --fix rewrites: the bytes go to a temporary file beside the target,
/// synced, and renamed over it at the end. A name that is a symbolic link
/// is written through: its target is replaced, the link stays. Every
/// failure, and a signal that stops the run, leaves no temporary file.

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_output.h"

namespace stylo::report {

class whole_file {
 public:
  whole_file() = default;
  whole_file(const whole_file&) = delete;
  whole_file& operator=(const whole_file&) = delete;
  ~whole_file() { abandon(); }

  /// Starts a new version of `name`. With `original`, the facts of the file
  /// read to make the new bytes: the new file keeps its permissions, and
  /// replaces it only if it is still as it was then. 0 or the system's code.
  int begin(const std::string& name, const platform::file_facts* original = nullptr);

  /// 0 or the system's code; after a failure, nothing more is written.
  int write(std::string_view bytes);

  enum class outcome {
    replaced,
    changed_meanwhile,  ///< the original changed since it was read: left alone
    failed,             ///< see `error()`; the original is left alone
  };
  /// Syncs and closes the new file, renames it over the target and syncs
  /// the target's directory.
  outcome commit();

  /// For many files synced together (output_sync.h): the open file, and
  /// the rest of `commit` once the sync has been done (`sync_error` its
  /// outcome), but for the directory's sync.
  platform::output_handle handle() const { return file_.handle; }
  outcome replace_after_sync(int sync_error);

  /// Gives up: the new file is removed, the target stays as it was.
  void abandon();

  int error() const { return error_; }
  /// The facts of the file the new bytes were made from, where given.
  const platform::file_facts* original() const { return original_ ? &*original_ : nullptr; }

  /// The file actually replaced (a link's target).
  const std::string& target() const { return target_; }

 private:
  platform::temporary_file file_;
  std::string target_;
  std::optional<platform::file_facts> original_;
  int error_ = 0;
};

}  // namespace stylo::report
