#pragma once
/// A file written whole or not at all, for the report: the bytes go to a
/// new file beside the target (without a name until the end where the
/// system allows: file_replace.h), synced, and put over the target at the
/// end. A name that is a symbolic link is written through: its target is
/// replaced, the link stays. Every failure, and a signal that stops the
/// run, leaves no temporary file.

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

  /// Starts a new version of `name`. 0 or the system's code.
  int begin(const std::string& name);

  /// 0 or the system's code; after a failure, nothing more is written.
  int write(std::string_view bytes);

  /// Syncs the new file, puts it over the target, closes it and syncs the
  /// target's directory. 0, or the system's code with the target as it was.
  int commit();

  /// Gives up: the new file is removed, the target stays as it was.
  void abandon();

  int error() const { return error_; }

 private:
  platform::temporary_file file_;
  std::string target_;
  int error_ = 0;
};

}  // namespace stylo::report
