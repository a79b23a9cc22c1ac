#include "report/report_output.h"

#include "platform/file_replace.h"
#include "platform/text_output.h"

namespace stylo::report {

int report_output::open(const std::string& file_name, stream otherwise) {
  file_name_ = file_name;
  stream_ = otherwise;
  pending_.reserve(block_size * 2);
  if (file_name.empty()) return 0;
  // Only a file that is there already can be one of the inputs.
  if (platform::file_facts facts; platform::facts_of(file_name, facts) == 0) {
    if (!facts.regular && !facts.directory) return platform::open_in_place(file_name, in_place_);
    replaced_ = facts;
  }
  return file_.begin(file_name);
}

void report_output::flush() {
  if (error_ == 0 && !pending_.empty()) {
    if (in_place_ != platform::no_output) {
      error_ = platform::write_to(in_place_, pending_);
    } else if (!file_name_.empty()) {
      error_ = file_.write(pending_);
    } else if (stream_ != stream::nowhere) {
      error_ = platform::write_all(stream_ == stream::standard_output ? platform::output_stream::standard_output
                                                                      : platform::output_stream::standard_error,
                                   pending_);
    }
  }
  pending_.clear();
}

int report_output::finish() {
  flush();
  if (in_place_ != platform::no_output) {
    const int closed = close_in_place();
    if (error_ == 0) error_ = closed;
    return error_;
  }
  if (file_name_.empty() || error_ != 0) {
    abandon();
    return error_;
  }
  error_ = file_.commit();
  return error_;
}

void report_output::abandon() {
  pending_.clear();
  if (!file_name_.empty()) file_.abandon();
}

int report_output::close_in_place() {
  if (in_place_ == platform::no_output) return 0;
  const int error = platform::close_output(in_place_);
  in_place_ = platform::no_output;
  return error;
}

bool report_output::is_file(const platform::file_facts& input) const {
  return replaced_ && platform::same_file(*replaced_, input);
}

std::string report_output::destination() const {
  if (!file_name_.empty()) return "'" + file_name_ + "'";
  return stream_ == stream::standard_error ? "standard error" : "standard output";
}

}  // namespace stylo::report
