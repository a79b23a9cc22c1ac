#include "platform/replace_steps.h"

#include "platform/file_replace.h"
#include "platform/output_sync.h"

namespace stylo::platform {
namespace {

// Each step is the system family's own, chosen by the build: this file is
// the same on every system.
class system_steps final : public replace_steps {
 public:
  int sync_outputs(const output_handle* files, std::size_t count) override {
    return platform::sync_outputs(files, count);
  }
  int open_source(const std::string& name, input_handle& input, file_facts& facts) override {
    return platform::open_source(name, input, facts);
  }
  block_read read_block(input_handle input, char* into, std::size_t capacity) override {
    return platform::read_block(input, into, capacity);
  }
  void close_input(input_handle input) override { platform::close_input(input); }
  int create_replacement(const std::string& target, const file_facts& like, input_handle original,
                         temporary_file& file) override {
    return platform::create_replacement(target, like, original, file);
  }
  int write_to(output_handle file, std::string_view bytes) override { return platform::write_to(file, bytes); }
  int sync_output(output_handle file) override { return platform::sync_output(file); }
  int publish(temporary_file& file, const std::string& target) override { return platform::publish(file, target); }
  int facts_of(output_handle file, file_facts& facts) override { return platform::facts_of(file, facts); }
  void remove_temporary(temporary_file& file) override { platform::remove_temporary(file); }
  void sync_directories_of(const std::vector<std::string>& names) override { platform::sync_directories_of(names); }
};

}  // namespace

replace_steps& system_replace_steps() {
  static system_steps steps;
  return steps;
}

}  // namespace stylo::platform
