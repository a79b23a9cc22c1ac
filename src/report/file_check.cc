#include "report/file_check.h"

#include <cerrno>

#include "platform/file_input.h"
#include "platform/file_replace.h"

namespace stylo::report {
namespace {

// Keeps the findings of one text and, when asked, makes the text's fixes
// as they come (only those on lines that count): the fixes of one text come
// in ascending order, so the fixed text grows as the findings do and no
// list of edits is held, however many there are.
class keeping_sink final : public finding_sink {
 public:
  keeping_sink(file_check& out, std::size_t keep_at_most, const line_set* lines)
      : out_(out), room_(keep_at_most), lines_(lines) {}

  // Makes the fixes into `fixed` as they come, from `original`.
  void fix_into(std::string_view original, std::string& fixed) {
    original_ = original;
    fixed_ = &fixed;
  }
  // The rest of the original after the last fix. The number of fixes made.
  std::uint64_t finish_fixing() {
    if (fixed_ != nullptr) fixed_->append(original_.substr(done_));
    return fixes_;
  }

  void take(const finding& found) override {
    ++out_.found;
    const bool fix_counts = found.fix.has_value() && (lines_ == nullptr || lines_->contains(found.line));
    out_.fixable = out_.fixable || fix_counts;
    if (fixed_ != nullptr && fix_counts) apply(*found.fix);
    if (out_.dropped) return;
    const bool new_line = out_.findings.empty() || out_.findings.back().line != found.line;
    const std::size_t bytes =
        sizeof(owned_finding) + (new_line ? sizeof(std::string) + found.line_text.size() : 0);
    if (bytes > room_) {
      // Nothing kept, and the memory given back at once: the report checks
      // this file again when its turn comes.
      out_.dropped = true;
      out_.kept_bytes = 0;
      std::vector<owned_finding>().swap(out_.findings);
      std::vector<std::string>().swap(out_.line_texts);
      return;
    }
    room_ -= bytes;
    out_.kept_bytes += bytes;
    if (new_line) out_.line_texts.emplace_back(found.line_text);
    out_.findings.push_back(own(found));
  }

 private:
  // An edit that does not fit (past the end, or before one already made)
  // can only come from another text: left out, as apply_fixes does.
  void apply(const fix_edit& edit) {
    if (edit.offset < done_ || edit.offset > original_.size() || edit.length > original_.size() - edit.offset) return;
    const std::size_t at = static_cast<std::size_t>(edit.offset);
    // Room once, at the first fix: a blank for every 16 bytes.
    if (fixes_ == 0) fixed_->reserve(original_.size() + original_.size() / 16);
    fixed_->append(original_.substr(done_, at - done_));
    fixed_->append(edit.text);
    done_ = at + edit.length;
    ++fixes_;
  }

  file_check& out_;
  std::size_t room_;  ///< bytes the file may still keep
  const line_set* lines_;  ///< where fixes are made; nullptr: everywhere
  std::string_view original_;
  std::string* fixed_ = nullptr;
  std::size_t done_ = 0;
  std::uint64_t fixes_ = 0;
};

// The whole of an open input into `text`, as bytes: read into room for
// the size the file had when opened, then on in blocks should it have
// grown. False when a read fails.
bool read_whole(platform::input_handle input, std::string& text, std::uint64_t size_hint) {
  text.clear();
  constexpr std::size_t block = 256 * 1024;
  std::size_t room = size_hint < (std::uint64_t{1} << 40) ? static_cast<std::size_t>(size_hint) + 1 : block;
  for (;;) {
    const std::size_t had = text.size();
    text.resize(had + room);
    const platform::block_read read = platform::read_block(input, text.data() + had, room);
    text.resize(had + (read.outcome == platform::read_outcome::data ? read.length : 0));
    if (read.outcome == platform::read_outcome::end) return true;
    if (read.outcome != platform::read_outcome::data) return false;
    if (read.length < room) {
      // Short of the room: most likely the whole file. A small read tells,
      // rather than growing the text by a block (zeroed, and the text moved
      // into it) for a read that finds the end.
      char probe[4096];
      const platform::block_read more = platform::read_block(input, probe, sizeof probe);
      if (more.outcome == platform::read_outcome::end) return true;
      if (more.outcome != platform::read_outcome::data) return false;
      text.append(probe, more.length);
    }
    room = block;
  }
}

void clear_findings(file_check& check) {
  check.findings.clear();
  check.line_texts.clear();
  check.found = 0;
  check.fixable = false;
  check.dropped = false;
  check.kept_bytes = 0;
}

}  // namespace

file_check::~file_check() { abandon_replacement(nullptr); }

std::size_t file_check::held_bytes() const {
  return sizeof *this + name.capacity() + kept_bytes + original.capacity() + fixed.capacity();
}

void file_check::run(checker& with, std::size_t keep_at_most, const job_settings& how) {
  std::string text;
  run(with, text, keep_at_most, how);
}

void file_check::run(checker& with, std::string& text, std::size_t keep_at_most, const job_settings& how) {
  if (how.fix || how.diff) {
    fix(with, text, keep_at_most, how);
    return;
  }
  keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
  outcome = with.check_file(name, keep);
}

void file_check::keep_findings_of(checker& with, std::string_view text, std::size_t keep_at_most,
                                  const job_settings& how, std::vector<fix_edit>*) {
  keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
  outcome = with.check_text(name, text, keep);
}

void file_check::fix(checker& with, std::string& text, std::size_t keep_at_most, const job_settings& how) {
  platform::input_handle input = platform::no_input;
  const int opened = platform::open_without_waiting(name, input);
  if (opened == EMFILE || opened == ENFILE) {
    outcome = check_outcome::cannot_open;
    fixing = fix_state::descriptor_shortage;
    error = opened;
    return;
  }
  if (opened != 0) {
    // Missing, unreadable, a directory: as a plain run reports it.
    keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
    outcome = with.check_file(name, keep);
    return;
  }
  // Checked from the descriptor open, once: a FIFO's text can be read only
  // once, and opened again it would wait for a writer that has gone. Most
  // files have nothing to fix: checked as a plain run checks them, a block
  // at a time, and only a file with a fix is asked what it is, and read
  // whole, once.
  {
    keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
    outcome = with.check_input(name, input, keep);
  }
  if (outcome != check_outcome::checked) {
    const bool directory = platform::facts_of(input, facts) == 0 && facts.directory;
    platform::close_input(input);
    if (directory) {
      // A directory, which this system lets one open: as a plain run
      // reports it.
      clear_findings(*this);
      keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
      outcome = with.check_file(name, keep);
    }
    return;
  }
  if (!fixable) {
    platform::close_input(input);
    return;
  }
  if (const int unknown = platform::facts_of(input, facts); unknown != 0) {
    // What the file is cannot be told: left as it was, and said so.
    platform::close_input(input);
    fixing = fix_state::write_failed;
    error = unknown;
    return;
  }
  if (!facts.regular) {
    // A FIFO, a device: checked, never fixed or replaced.
    platform::close_input(input);
    fixing = fix_state::not_regular;
    return;
  }
  if (const int rewound = platform::rewind_input(input); rewound != 0) {
    platform::close_input(input);
    fixing = fix_state::write_failed;
    error = rewound;
    return;
  }
  clear_findings(*this);
  const bool read = read_whole(input, text, facts.size);
  if (!read) {
    platform::close_input(input);
    outcome = check_outcome::read_failed;
    return;
  }

  // The text read, checked in memory, its fixes made as they are found.
  fixed.clear();
  {
    keeping_sink keep(*this, keep_at_most, lines_of(how.changes, name));
    keep.fix_into(text, fixed);
    outcome = with.check_text(name, text, keep);
    fixes = keep.finish_fixing();
  }
  if (outcome != check_outcome::checked || fixes == 0 || fixed == text) {
    platform::close_input(input);
    fixes = 0;
    std::string().swap(fixed);
    return;
  }
  if (how.fix) {
    target = platform::link_target(name);
    if (const int refused = platform::may_write(target, facts); refused != 0) {
      // Left as it was: its findings are the text's as it is.
      platform::close_input(input);
      fixing = fix_state::not_permitted;
      error = refused;
      fixes = 0;
      std::string().swap(fixed);
      return;
    }
  }
  // Held until the commit compares the file with it; the thread's buffer
  // goes with it rather than be copied (a file to fix is rare enough).
  original.swap(text);
  fixing = fix_state::fixed;
  if (how.fix) {
    if (how.descriptors == nullptr || how.descriptors->take()) {
      holds_descriptor = how.descriptors != nullptr;
      error = platform::create_replacement(target, facts, input, replacement);
      if (error == 0) error = platform::write_to(replacement.handle, fixed);
      if (error != 0) {
        abandon_replacement(how.descriptors);
        platform::close_input(input);
        fixing = fix_state::write_failed;
        fixes = 0;
        std::string().swap(original);
        std::string().swap(fixed);
        return;
      }
    } else {
      in_memory = true;
    }
  }
  platform::close_input(input);

  // What is reported is the fixed text's findings, as a check of the file
  // once fixed would find them.
  clear_findings(*this);
  keep_findings_of(with, fixed, keep_at_most, how, nullptr);
  if (how.fix && !in_memory) std::string().swap(fixed);
}

void file_check::replay(finding_sink& sink) const {
  std::size_t line_text = 0;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const owned_finding& each = findings[i];
    if (i > 0 && findings[i - 1].line != each.line) ++line_text;
    sink.take(each.as_finding(name, line_texts[line_text]));
  }
}

void file_check::abandon_replacement(descriptor_budget* descriptors) {
  if (replacement.handle != platform::no_output || !replacement.name.empty()) platform::remove_temporary(replacement);
  if (holds_descriptor && descriptors != nullptr) descriptors->give_back();
  holds_descriptor = false;
}

}  // namespace stylo::report
