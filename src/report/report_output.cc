#include "report/report_output.h"

#include "platform/text_output.h"

namespace stylo::report {

int report_output::open(const std::string& file_name) {
  file_name_ = file_name;
  pending_.reserve(block_size * 2);
  if (file_name.empty()) return 0;
  return platform::create_beside(file_name, file_);
}

void report_output::flush() {
  if (error_ == 0 && !pending_.empty()) {
    error_ = file_name_.empty() ? platform::write_all(platform::output_stream::standard_output, pending_)
                                : platform::write_to(file_.handle, pending_);
  }
  pending_.clear();
}

int report_output::finish() {
  flush();
  if (file_name_.empty() || file_.handle == platform::no_output) return error_;
  const int closed = platform::close_output(file_.handle);
  file_.handle = platform::no_output;
  if (error_ == 0) error_ = closed;
  if (error_ == 0) error_ = platform::rename_over(file_.name, file_name_);
  if (error_ != 0) platform::remove_file(file_.name);
  return error_;
}

void report_output::abandon() {
  pending_.clear();
  if (file_name_.empty() || file_.handle == platform::no_output) return;
  platform::close_output(file_.handle);
  file_.handle = platform::no_output;
  platform::remove_file(file_.name);
}

std::string report_output::destination() const {
  return file_name_.empty() ? "standard output" : "'" + file_name_ + "'";
}

}  // namespace stylo::report
