#include "lsp/command_line.h"

namespace stylo::lsp {

command_line read_command_line(const std::vector<std::string>& arguments) {
  command_line line;
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h") {
      line.what = command_line::action::help;
    } else if (argument == "--version") {
      if (line.what == command_line::action::serve) line.what = command_line::action::version;
    } else if (argument == "--stdio") {
      // What clients that choose a transport pass (VS Code's, for one):
      // standard input and output are the only one, so it changes nothing.
    } else {
      return {command_line::action::usage_error, "unknown argument '" + argument + "'"};
    }
  }
  return line;
}

std::string usage_text() {
  return R"(Usage: stylo-lsp [--stdio]
stylo's findings for editors: a language server (LSP 3.17) that speaks the
protocol on standard input and output. An editor starts it; it is not run
by hand. It takes the C files the editor opens and every change to them, and
answers with stylo's findings as warnings, quick fixes for them, and
source.fixAll.stylo, which makes every certain fix of a document.

  --stdio      the transport, which is always standard input and output
               (accepted for clients that pass it)
  -h, --help   show this help and exit
  --version    show the version and exit

Exit status: 0 when the client sent shutdown before exit; 1 when it did not;
2 for an unknown argument.
)";
}

std::string version_text() { return "stylo-lsp " STYLO_LSP_VERSION "\n"; }

}  // namespace stylo::lsp
