// stylo-lsp: stylo's findings for editors, as a language server on standard
// input and output.

#include <string>
#include <vector>

#include "lsp/framing.h"
#include "lsp/server.h"
#include "platform/file_input.h"
#include "platform/protocol_streams.h"
#include "platform/text_output.h"

int main() {
  using namespace stylo;
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
