#pragma once
/// A baseline: the fingerprints of an earlier report, whose findings are
/// left out of this one. It may be a json report (JSON Lines), a sarif
/// report (the "stylo/v1" partial fingerprints of its results) or a gitlab
/// report; the kind is told from the content.

#include <string>
#include <unordered_set>

#include "report/fingerprint.h"

namespace stylo::report {

class baseline {
 public:
  /// Reads the report `name`. Returns an empty text, or the reason it
  /// cannot be used (one line, for a message).
  std::string load(const std::string& name);

  bool holds(fingerprint value) const { return known_.contains(value); }
  std::size_t size() const { return known_.size(); }

 private:
  std::unordered_set<fingerprint> known_;
};

}  // namespace stylo::report
