#pragma once
/// The names files get in --diff, so that the diff applies from the
/// current directory with `git apply` and with `patch -p1`, whatever names
/// the files were given by: each is named relative to the current
/// directory, without "./" or "..", a link by its target's name (the file
/// the fix changes), and a file named twice (by two names, or a directory
/// and a file in it) is diffed once. A file outside the current directory
/// has no name there that either tool would take: it is refused.

#include <set>
#include <string>

namespace stylo::report {

class diff_names {
 public:
  enum class verdict {
    use,       ///< diff it under `relative`
    repeated,  ///< diffed already, under `relative`
    outside,   ///< not under the current directory (or gone): no diff
  };

  /// For the file `name`.
  verdict name_for(const std::string& name, std::string& relative);

 private:
  std::string here_;  ///< the current directory's real path, once known
  std::set<std::string> diffed_;
};

}  // namespace stylo::report
