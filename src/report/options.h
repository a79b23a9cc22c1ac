#pragma once
/// stylo-report's command line, in the usual GNU form:
///
///   stylo-report [--fix | --diff] [--format=NAME] [--output=FILE]
///                [--baseline=FILE] [--stdin-name=NAME] [--jobs=N]
///                [--file-list=LIST]... [NAME]...
///   stylo-report --explain=RULE
///   stylo-report [--changed-since=REV | --changed-lines=PATCH] ... [NAME]...
///
/// Each option takes its value after '=' or as the next argument; "--"
/// ends the options, so that a name may begin with '-'.

#include <string>
#include <string_view>
#include <vector>

namespace stylo::report {

enum class format_name { gcc, sarif, github, gitlab, checkstyle, junit, json };

/// Where the names to check come from, in the order given.
struct input {
  enum class kind {
    name,       ///< a file, or a directory to walk
    file_list,  ///< a list of names, one a line ("-": standard input)
    text,       ///< "-": a source text on standard input
  };
  kind what;
  std::string name;
};

struct options {
  format_name format = format_name::gcc;
  std::string output;      ///< empty: standard output
  std::string baseline;    ///< empty: none
  std::string stdin_name = "-";
  std::vector<input> inputs;
  /// Files checked at once; 0: as many as the processors the process may use.
  unsigned jobs = 0;
  /// Only the lines a change adds count: since the merge base of this
  /// revision and HEAD (--changed-since), or those a patch adds
  /// (--changed-lines, "-": standard input). The NAMEs restrict the files.
  std::string changed_since, changed_lines;
  bool fix = false;   ///< rewrite the files with their fixes made
  bool diff = false;  ///< write the fixes as a diff, change no file
  bool help = false;
  bool version = false;
  std::string explain;  ///< --explain=RULE: that rule's help, and nothing checked
};

/// Reads `arguments` (without the program's name). Returns the usage error,
/// one line without line end, or an empty text when the command line is good.
std::string parse_options(const std::vector<std::string>& arguments, options& given);

/// The name `--format` takes for `format`.
std::string_view name_of(format_name format);

/// The text of --help.
std::string help_text();

}  // namespace stylo::report
