#include "report/git_changes.h"

#include <thread>
#include <utility>
#include <vector>

#include "platform/child_process.h"
#include "report/patch_reader.h"

namespace stylo::report {
namespace {

using platform::child_result;

// Every git command with the settings that keep its output plain whatever
// the user's configuration: names not quoted for being outside ASCII.
child_result git(std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"git", "-c", "core.quotePath=false"});
  return platform::run_child(arguments);
}

std::string first_line(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.ends_with('\r')) line.pop_back();
  return line;
}

std::string failed(const child_result& result, const std::string& what) {
  if (result.what == child_result::status::not_found) {
    return "git was not found: install git, or put it on PATH (or give the change as --changed-lines=PATCH)";
  }
  std::string error = "git " + what + " failed";
  if (result.what == child_result::status::exited) {
    const std::string said = first_line(result.errors);
    error += said.empty() ? " with status " + std::to_string(result.exit_code) : ": " + said;
  } else {
    error += " to run (system error " + std::to_string(result.error) + ")";
  }
  return error;
}

// The lines git's output holds, its line ends taken off.
std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (line.ends_with('\r')) line.pop_back();
    lines.push_back(std::move(line));
    at = end + 1;
  }
  return lines;
}

const char* const more_history =
    "fetch more history: git fetch --unshallow (in CI: fetch-depth: 0 for actions/checkout, GIT_DEPTH: 0 for GitLab)";

}  // namespace

std::string changes_since(const std::string& revision, git_changes& changes) {
  const child_result where = git({"rev-parse", "--is-inside-work-tree", "--show-toplevel", "--show-prefix",
                                  "--is-shallow-repository"});
  if (where.what == child_result::status::not_found) return failed(where, "rev-parse");
  const std::vector<std::string> facts = lines_of(where.output);
  if (where.what != child_result::status::exited || where.exit_code != 0 || facts.empty() || facts[0] != "true") {
    if (where.what == child_result::status::exited &&
        (where.errors.find("not a git repository") != std::string::npos ||
         where.errors.find("work tree") != std::string::npos || (!facts.empty() && facts[0] == "false"))) {
      return "--changed-since needs a git work tree: run stylo-report inside one (or give the change as "
             "--changed-lines=PATCH)";
    }
    return failed(where, "rev-parse");
  }
  if (facts.size() < 4) return "git rev-parse gave no top of the work tree";
  changes.top = facts[1];
  changes.prefix = facts[2];
  const bool shallow = facts[3] == "true";

  const child_result commit =
      git({"-C", changes.top, "rev-parse", "--verify", "--quiet", "--end-of-options", revision + "^{commit}"});
  if (commit.what != child_result::status::exited) return failed(commit, "rev-parse");
  if (commit.exit_code != 0) {
    return "unknown revision '" + revision + "': name a commit, branch or tag of this repository (" +
           (shallow ? std::string(more_history) : std::string("git fetch it first if it is on a remote only")) + ")";
  }
  const child_result base = git({"-C", changes.top, "merge-base", first_line(commit.output), "HEAD"});
  if (base.what != child_result::status::exited) return failed(base, "merge-base");
  if (base.exit_code != 0) {
    if (shallow) {
      return "no merge base of '" + revision + "' and HEAD in this shallow clone: more history is needed; " +
             more_history;
    }
    if (base.exit_code == 1) {
      return "'" + revision + "' and HEAD have no common history: name a revision that HEAD comes from";
    }
    return failed(base, "merge-base");
  }

  // The diff and the untracked files side by side: each waits on its own
  // walk of the work tree.
  child_result diff, untracked;
  {
    std::thread other([&] {
      untracked = git({"-C", changes.top, "ls-files", "-z", "--others", "--exclude-standard"});
    });
    diff = git({"-C", changes.top, "diff", "--no-color", "--no-ext-diff", "--no-textconv", "--no-relative", "-U0",
                "--find-renames", "--text", "--src-prefix=a/", "--dst-prefix=b/", first_line(base.output), "--"});
    other.join();
  }
  if (diff.what != child_result::status::exited || diff.exit_code != 0) return failed(diff, "diff");
  if (untracked.what != child_result::status::exited || untracked.exit_code != 0) return failed(untracked, "ls-files");
  if (std::string error = read_patch(diff.output, changes.files); !error.empty()) {
    return "git diff's output cannot be read: " + error;
  }
  std::size_t at = 0;
  while (at < untracked.output.size()) {
    std::size_t end = untracked.output.find('\0', at);
    if (end == std::string::npos) end = untracked.output.size();
    changes.files[untracked.output.substr(at, end - at)].add_every_line();
    at = end + 1;
  }
  return {};
}

}  // namespace stylo::report
