#pragma once
/// stylo-lsp's command line. The server takes no arguments: an editor
/// starts it and speaks the protocol on its standard input and output. A
/// person who runs it by hand, though, is answered at once rather than
/// left before a server that waits for a client.

#include <string>
#include <vector>

namespace stylo::lsp {

struct command_line {
  enum class action {
    serve,        ///< no argument (or --stdio): be the server
    help,         ///< --help, -h: the usage, status 0
    version,      ///< --version: the version, status 0
    usage_error,  ///< anything else: `problem`, status 2
  };
  action what = action::serve;
  std::string problem;  ///< one line, without line end
};

/// Reads the arguments, without the program's name.
command_line read_command_line(const std::vector<std::string>& arguments);

/// The text of --help, with '\n' line ends.
std::string usage_text();

/// The text of --version: "stylo-lsp <version>\n".
std::string version_text();

}  // namespace stylo::lsp
