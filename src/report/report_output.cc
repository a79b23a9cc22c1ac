#include "report/report_output.h"

#include "platform/text_output.h"

namespace stylo::report {

int report_output::open(const std::string& file_name) {
  file_name_ = file_name;
  pending_.reserve(block_size * 2);
  if (file_name.empty()) return 0;
  // Only a file that is there already can be one of the inputs.
  if (platform::file_facts facts; platform::facts_of(file_name, facts) == 0) replaced_ = facts;
  return file_.begin(file_name);
}

void report_output::flush() {
  if (error_ == 0 && !pending_.empty()) {
    error_ = file_name_.empty() ? platform::write_all(platform::output_stream::standard_output, pending_)
                                : file_.write(pending_);
  }
  pending_.clear();
}

int report_output::finish() {
  flush();
  if (file_name_.empty() || error_ != 0) {
    abandon();
    return error_;
  }
  if (file_.commit() != whole_file::outcome::replaced) error_ = file_.error();
  return error_;
}

void report_output::abandon() {
  pending_.clear();
  if (!file_name_.empty()) file_.abandon();
}

bool report_output::is_file(const platform::file_facts& input) const {
  return replaced_ && platform::same_file(*replaced_, input);
}

std::string report_output::destination() const {
  return file_name_.empty() ? "standard output" : "'" + file_name_ + "'";
}

}  // namespace stylo::report
