#include "report/finding_reporter.h"

#include <array>

#include "report/file_uri.h"
#include "rules/rule_catalog.h"

namespace stylo::report {

finding_reporter::finding_reporter(report_format& format, const baseline* known, report_output* output)
    : format_(format), known_(known), output_(output) {
  // Fingerprints cost a hash a finding: made only where they are used.
  if (known_ != nullptr || format_.shows_fingerprints()) fingerprints_.emplace();
}

void finding_reporter::start_file(const std::string& name) {
  name_ = name;
  lines_ = lines_of(changes_, name);
  uri_ = file_uri(name);
  file_begun_ = false;
  if (fingerprints_) fingerprints_->new_file();
  columns_.new_file();
}

void finding_reporter::begin_file() {
  format_.begin_file(name_, uri_);
  file_begun_ = true;
}

void finding_reporter::take(const finding& found) {
  // A finding on a line the change did not add is left out, but still
  // counted by the fingerprints: a fingerprint counts the findings like it
  // before it in the file, and must be the one a report of the whole file
  // gives, which is what a baseline holds.
  if (lines_ != nullptr && !lines_->contains(found.line)) {
    if (fingerprints_) fingerprints_->next(found, uri_);
    return;
  }
  if (!file_begun_) begin_file();
  std::array<char, 16> fingerprint_digits{};
  std::string_view fingerprint;
  if (fingerprints_) {
    const report::fingerprint value = fingerprints_->next(found, uri_);
    if (known_ != nullptr && known_->holds(value)) return;
    fingerprint_digits = fingerprint_text(value);
    fingerprint = {fingerprint_digits.data(), fingerprint_digits.size()};
  }
  const std::uint64_t column = columns_.column(found.line, found.line_text, found.column);
  const std::uint64_t end_column = columns_.column(found.line, found.line_text, found.end_column);
  format_.add({found, info_of(found.rule), static_cast<std::size_t>(found.rule), uri_, column, end_column,
               fingerprint});
  ++reported_;
  if (output_ != nullptr) output_->flush_if_full();
}

void finding_reporter::end_file() {
  if (!file_begun_) begin_file();
  format_.end_file();
}

void finding_reporter::cannot_open() { format_.cannot_open(name_, uri_); }

}  // namespace stylo::report
