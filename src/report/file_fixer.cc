#include "report/file_fixer.h"

#include "platform/file_input.h"
#include "platform/file_output.h"
#include "rules/fixes.h"
#include "core/check.h"

namespace stylo::report {
namespace {

// The whole of an open input, as bytes. False when a read fails.
bool read_whole(platform::input_handle input, std::string& text) {
  text.clear();
  constexpr std::size_t block = 256 * 1024;
  for (;;) {
    const std::size_t had = text.size();
    text.resize(had + block);
    const platform::block_read read = platform::read_block(input, text.data() + had, block);
    text.resize(had + (read.outcome == platform::read_outcome::data ? read.length : 0));
    if (read.outcome == platform::read_outcome::end) return true;
    if (read.outcome != platform::read_outcome::data) return false;
  }
}

}  // namespace

void file_fixer::edit_collector::take(const finding& found) {
  ++findings;
  if (found.fix && (lines == nullptr || lines->contains(found.line))) edits.push_back(*found.fix);
}

void file_fixer::edit_collector::clear() {
  edits.clear();
  findings = 0;
}

file_fixer::result file_fixer::fix_held(std::string_view name) {
  collector_.clear();
  if (checker_.check_text(name, original_, collector_) != check_outcome::checked) return {status::read_failed};
  if (collector_.edits.empty()) return {collector_.findings == 0 ? status::nothing_found : status::nothing_to_fix};
  fixed_ = apply_fixes(original_, collector_.edits);
  return {status::fixed, collector_.edits.size()};
}

file_fixer::result file_fixer::fix_text(std::string_view name, std::string text) {
  original_ = std::move(text);
  collector_.lines = lines_of(changes_, std::string(name));
  return fix_held(name);
}

file_fixer::result file_fixer::fix_file(const std::string& name, bool write) {
  // Most files have nothing to fix: a scan as fast as a plain check tells,
  // and only a file with something to fix is read whole.
  collector_.clear();
  collector_.lines = lines_of(changes_, name);
  switch (checker_.check_file(name, collector_)) {
    case check_outcome::checked:
      break;
    case check_outcome::cannot_open:
      return {status::cannot_open};
    case check_outcome::read_failed:
      return {status::read_failed};
  }
  if (collector_.edits.empty()) return {collector_.findings == 0 ? status::nothing_found : status::nothing_to_fix};

  // The text the fixes are made on is the one read now, with the facts of
  // the file then: a change after this point leaves the file alone.
  const platform::input_handle input = platform::open_for_reading(name);
  if (input == platform::no_input) return {status::cannot_open};
  platform::file_facts facts;
  const bool known = platform::facts_of(input, facts) == 0;
  const bool read = read_whole(input, original_);
  platform::close_input(input);
  if (!known || !read) return {status::read_failed};
  result made = fix_held(name);
  if (made.what != status::fixed || !write) return made;

  made.pending = std::make_unique<whole_file>();
  if (made.pending->begin(name, &facts) == 0) made.pending->write(fixed_);
  if (made.pending->error() != 0) return {status::write_failed, 0, made.pending->error()};
  return made;
}

}  // namespace stylo::report
