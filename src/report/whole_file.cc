#include "report/whole_file.h"

#include "platform/file_replace.h"
#include "platform/output_sync.h"

namespace stylo::report {

int whole_file::begin(const std::string& name) {
  target_ = platform::link_target(name);
  error_ = platform::create_unnamed_beside(target_, file_);
  return error_;
}

int whole_file::write(std::string_view bytes) {
  if (error_ == 0 && file_.handle != platform::no_output) error_ = platform::write_to(file_.handle, bytes);
  return error_;
}

int whole_file::commit() {
  if (error_ == 0 && file_.handle != platform::no_output) error_ = platform::sync_output(file_.handle);
  // Put in place while still open: a file without a name is named from
  // its descriptor.
  if (error_ == 0) error_ = platform::publish(file_, target_);
  if (error_ != 0) {
    abandon();
    return error_;
  }
  if (file_.handle != platform::no_output) {
    error_ = platform::close_output(file_.handle);
    file_.handle = platform::no_output;
  }
  platform::sync_directory_of(target_);
  return error_;
}

void whole_file::abandon() {
  if (file_.handle != platform::no_output || !file_.name.empty()) platform::remove_temporary(file_);
}

}  // namespace stylo::report
