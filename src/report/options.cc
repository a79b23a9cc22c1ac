#include "report/options.h"

#include <array>
#include <utility>

namespace stylo::report {
namespace {

constexpr std::array<std::pair<std::string_view, format_name>, 7> formats{{
    {"gcc", format_name::gcc},
    {"sarif", format_name::sarif},
    {"github", format_name::github},
    {"gitlab", format_name::gitlab},
    {"checkstyle", format_name::checkstyle},
    {"junit", format_name::junit},
    {"json", format_name::json},
}};

// The options that take a value, and where the value goes.
enum class valued { format, output, baseline, stdin_name, file_list, jobs, explain, changed_since, changed_lines };

constexpr std::array<std::pair<std::string_view, valued>, 10> valued_options{{
    {"--changed-since", valued::changed_since},
    {"--changed-lines", valued::changed_lines},
    {"--jobs", valued::jobs},
    {"-j", valued::jobs},
    {"--format", valued::format},
    {"--output", valued::output},
    {"--baseline", valued::baseline},
    {"--stdin-name", valued::stdin_name},
    {"--file-list", valued::file_list},
    {"--explain", valued::explain},
}};

std::string quoted(std::string_view text) {
  std::string q = "'";
  q += text;
  q += '\'';
  return q;
}

std::string take_value(valued option, const std::string& value, options& given) {
  switch (option) {
    case valued::format:
      for (const auto& [name, format] : formats) {
        if (name == value) {
          given.format = format;
          return {};
        }
      }
      return std::string("unknown format ") + quoted(value) + " (gcc, sarif, github, gitlab, checkstyle, junit or json)";
    case valued::output:
      if (value.empty()) return "--output needs a file name";
      given.output = value;
      return {};
    case valued::baseline:
      if (value.empty()) return "--baseline needs a file name";
      given.baseline = value;
      return {};
    case valued::stdin_name:
      given.stdin_name = value;
      return {};
    case valued::file_list:
      given.inputs.push_back({input::kind::file_list, value});
      return {};
    case valued::explain:
      // Checked against the rules by explain.cc, which lists them.
      if (value.empty()) return "--explain needs a rule's id, such as keyword-space";
      given.explain = value;
      return {};
    case valued::changed_since:
      if (value.empty()) return "--changed-since needs a revision (a branch, a tag or a commit)";
      given.changed_since = value;
      return {};
    case valued::changed_lines:
      if (value.empty()) return "--changed-lines needs a patch file, or '-' for standard input";
      given.changed_lines = value;
      return {};
    case valued::jobs: {
      // A count a person types: digits only, from 1 to a bound that no
      // machine's threads come near.
      constexpr unsigned most = 1024;
      unsigned jobs = 0;
      for (const char c : value) {
        if (c < '0' || c > '9' || jobs > most) return "--jobs needs a number from 1 to 1024, not " + quoted(value);
        jobs = jobs * 10 + static_cast<unsigned>(c - '0');
      }
      if (jobs < 1 || jobs > most) return "--jobs needs a number from 1 to 1024, not " + quoted(value);
      given.jobs = jobs;
      return {};
    }
  }
  return {};
}

// A change's files come from the change, NAMEs only narrowing them: there
// is no text or list to read as well.
std::string check_changed(const options& given) {
  if (given.changed_since.empty() && given.changed_lines.empty()) return {};
  if (!given.changed_since.empty() && !given.changed_lines.empty()) {
    return "--changed-since and --changed-lines exclude each other: give one";
  }
  for (const input& each : given.inputs) {
    if (each.what != input::kind::name) {
      return std::string("with ") + (given.changed_since.empty() ? "--changed-lines" : "--changed-since") +
             ", name files or directories only, not '-' or --file-list";
    }
  }
  return {};
}

}  // namespace

std::string_view name_of(format_name format) {
  for (const auto& [name, each] : formats) {
    if (each == format) return name;
  }
  return {};
}

std::string parse_options(const std::vector<std::string>& arguments, options& given) {
  bool options_ended = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (options_ended || argument == "-" || !argument.starts_with('-')) {
      given.inputs.push_back({argument == "-" && !options_ended ? input::kind::text : input::kind::name, argument});
      continue;
    }
    if (argument == "--") {
      options_ended = true;
      continue;
    }
    if (argument == "--help" || argument == "-h") {
      given.help = true;
      continue;
    }
    if (argument == "--version") {
      given.version = true;
      continue;
    }
    if (argument == "--fix" || argument == "--diff") {
      (argument == "--fix" ? given.fix : given.diff) = true;
      continue;
    }
    const std::size_t equals = argument.find('=');
    std::string_view option = std::string_view(argument).substr(0, equals);
    // -j takes its count attached too, as make's does: -j4.
    std::string attached;
    if (argument.size() > 2 && argument.starts_with("-j") && argument[2] != '=') {
      option = "-j";
      attached = argument.substr(2);
    }
    bool known = false;
    for (const auto& [name, which] : valued_options) {
      if (name != option) continue;
      known = true;
      std::string value;
      if (!attached.empty()) {
        value = attached;
      } else if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
      } else {
        return std::string(name) + " needs a value";
      }
      if (std::string error = take_value(which, value, given); !error.empty()) return error;
    }
    if (!known) return std::string("unknown option ") + quoted(argument);
  }
  if (given.help || given.version || !given.explain.empty()) return {};
  if (given.fix && given.diff) return "--fix and --diff exclude each other: give one";
  if (const std::string error = check_changed(given); !error.empty()) return error;
  if (given.inputs.empty() && given.changed_since.empty() && given.changed_lines.empty()) {
    return "nothing to check: name files or directories, or give --file-list=LIST or -";
  }
  int standard_input_readers = 0;
  for (const input& each : given.inputs) {
    standard_input_readers += each.what == input::kind::text || (each.what == input::kind::file_list && each.name == "-");
  }
  if (standard_input_readers > 1) return "standard input can be read once: give '-' or --file-list=- once only";
  return {};
}

std::string help_text() {
  return R"(Usage: stylo-report [OPTION]... [NAME]...
Check C source files for stylo's two rules and write the findings as a report.

A NAME is a file, or a directory, whose .c and .h files are checked in sorted
order (symbolic links inside it are not followed); '-' checks a source text
read from standard input.

  --fix              make every fix that is certain (a blank between a keyword
                     and its parenthesis) in the files themselves, each file
                     rewritten whole or not at all; then report what remains.
                     '-' writes the fixed text to standard output and the
                     report to standard error (or to --output)
  --diff             write those fixes as a unified diff to standard output,
                     for git apply or patch -p1; change no file. The report
                     of what would remain is written only with --output
  --changed-since=REV  report only the findings on the lines added or changed
                     since the merge base of REV and HEAD, as a pull request
                     shows them: staged, unstaged and untracked changes of
                     the git work tree. The NAMEs restrict the files; without
                     them, every changed .c and .h file. With --fix and
                     --diff, only the fixes on those lines are made
  --changed-lines=PATCH  the same for the lines a unified diff adds (PATCH
                     '-': standard input), in the files as they are after it
  --file-list=LIST   check every file named in LIST, one name per line
                     (LIST '-': standard input); may be given several times
  --stdin-name=NAME  the name that the text read by '-' has in the report
                     (default '-')
  --format=FORMAT    gcc (the default), sarif, github, gitlab, checkstyle,
                     junit or json
  --output=FILE      write the report to FILE, whole or not at all
                     (default: standard output)
  --baseline=FILE    leave out the findings whose fingerprint is in FILE,
                     an earlier json, sarif or gitlab report (--fix still
                     fixes those)
  -j, --jobs=N       check N files at once (default: the number of
                     processors the process may use); the report is the
                     same for every N
  --explain=RULE     show what RULE (keyword-space, reversed-operator)
                     catches, why, examples and its fix, and exit
  -h, --help         show this help and exit
  --version          show the version and exit

Exit status: 0 nothing reported, 1 findings reported, 2 a usage error, a list
or a file that cannot be opened, or a failure to read or write. With --fix,
0 when nothing remains after the fixes, 1 when findings remain, 2 also for a
file that cannot be written or changed while it was fixed (left as it was).
With --diff, 0 when the diff is empty, 1 when it is not, 2 on errors.
)";
}

}  // namespace stylo::report
