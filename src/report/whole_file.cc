#include "report/whole_file.h"

#include "platform/output_sync.h"

namespace stylo::report {

int whole_file::begin(const std::string& name, const platform::file_facts* original) {
  target_ = platform::link_target(name);
  if (original != nullptr) original_ = *original;
  error_ = platform::create_beside(target_, file_, original);
  return error_;
}

int whole_file::write(std::string_view bytes) {
  if (error_ == 0 && file_.handle != platform::no_output) error_ = platform::write_to(file_.handle, bytes);
  return error_;
}

whole_file::outcome whole_file::commit() {
  const int synced = error_ == 0 && file_.handle != platform::no_output ? platform::sync_output(file_.handle) : 0;
  const outcome replaced = replace_after_sync(synced);
  if (replaced == outcome::replaced) platform::sync_directory_of(target_);
  return replaced;
}

whole_file::outcome whole_file::replace_after_sync(int sync_error) {
  if (error_ == 0) error_ = sync_error;
  if (file_.handle != platform::no_output) {
    const int closed = platform::close_output(file_.handle);
    file_.handle = platform::no_output;
    if (error_ == 0) error_ = closed;
  }
  if (error_ != 0) {
    abandon();
    return outcome::failed;
  }
  // As late as can be: another program's edit since the read would be lost.
  if (original_) {
    platform::file_facts now;
    if (platform::facts_of(target_, now) != 0 || platform::changed_since(*original_, now)) {
      abandon();
      return outcome::changed_meanwhile;
    }
  }
  error_ = platform::rename_over(file_, target_);
  if (error_ != 0) {
    abandon();
    return outcome::failed;
  }
  file_.name.clear();
  return outcome::replaced;
}

void whole_file::abandon() {
  if (!file_.name.empty()) platform::remove_temporary(file_);
  file_.name.clear();
}

}  // namespace stylo::report
