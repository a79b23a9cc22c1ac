// stylo-lsp: stylo's findings for editors, as a language server on standard
// input and output.

#include <string>
#include <vector>

#include "lsp/command_line.h"
#include "lsp/framing.h"
#include "lsp/server.h"
#include "platform/arguments.h"
#include "platform/file_input.h"
#include "platform/protocol_streams.h"
#include "platform/text_output.h"

int main(int argc, char** argv) {
  using namespace stylo;
  std::vector<std::string> arguments = platform::program_arguments(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  const lsp::command_line given = lsp::read_command_line(arguments);
  switch (given.what) {
    case lsp::command_line::action::serve:
      break;
    case lsp::command_line::action::help:
    case lsp::command_line::action::version: {
      const std::string text =
          given.what == lsp::command_line::action::help ? lsp::usage_text() : lsp::version_text();
      const int error = platform::write_all(platform::output_stream::standard_output, platform::in_system_lines(text));
      return error == 0 ? 0 : 2;
    }
    case lsp::command_line::action::usage_error:
      platform::write_all(platform::output_stream::standard_error,
                          platform::in_system_lines("stylo-lsp: " + given.problem + " (see stylo-lsp --help)\n"));
      return 2;
  }
  platform::prepare_protocol_streams();
  bool output_failed = false;
  lsp::server server(
      [&output_failed](std::string_view body) {
        // A client that has gone away cannot be told anything more; the
        // server still reads to the end of its input, which comes soon after.
        if (!output_failed && platform::write_all(platform::output_stream::standard_output, lsp::frame(body)) != 0) {
          output_failed = true;
        }
      },
      [](std::string_view line) {
        platform::write_all(platform::output_stream::standard_error, std::string(line) + std::string(platform::line_end));
      });
  lsp::message_reader reader;
  const platform::input_handle input = platform::standard_input();
  std::vector<char> block(1 << 16);
  std::string body, problem;
  while (!server.exited()) {
    const platform::block_read got = platform::read_block(input, block.data(), block.size());
    if (got.outcome != platform::read_outcome::data) {
      server.input_closed();
      break;
    }
    reader.feed({block.data(), got.length});
    for (;;) {
      const lsp::message_reader::status s = reader.next(body, problem);
      if (s == lsp::message_reader::status::need_more) break;
      if (s == lsp::message_reader::status::message) {
        server.handle(body);
      } else {
        server.malformed_header(problem);
      }
      if (server.exited()) break;
    }
  }
  return server.exit_status();
}
