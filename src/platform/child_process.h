#pragma once
/// A program run as a child process (git, for the lines a change touched):
/// started from an argument vector, never through a shell, so that no
/// argument is ever split, expanded or taken for a command. Its standard
/// input is empty; its standard output is read whole and its standard error
/// kept, both while it runs, so that neither pipe can fill and stall it.

#include <string>
#include <vector>

namespace stylo::platform {

struct child_result {
  enum class status {
    exited,     ///< ran to its end: `exit_code` is its status
    not_found,  ///< no such program on PATH (or at the path given)
    failed,     ///< could not be started or waited for (`error`), or ended by a signal
  };
  status what = status::failed;
  int exit_code = -1;
  int error = 0;  ///< the system's code, for `failed`
  std::string output;  ///< all it wrote to its standard output
  std::string errors;  ///< all it wrote to its standard error
};

/// Runs `arguments[0]`, looked up on PATH, with `arguments` as its argument
/// vector, and waits for its end.
child_result run_child(const std::vector<std::string>& arguments);

}  // namespace stylo::platform
