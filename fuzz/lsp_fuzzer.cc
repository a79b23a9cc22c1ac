// Fuzz target: arbitrary bytes as what a client sends stylo-lsp: the
// framing, the JSON and the dispatch, documents and edits included.
//
// For every input, what must always hold:
// - no crash, no hang, no sanitizer report, no exception out of the server;
// - every message the server sends is one JSON object of JSON-RPC 2.0;
// - the bytes cut into small reads give exactly the messages that one read
//   gives;
// - the bytes, sent as a string with only '"', '\' and control characters
//   escaped, as an editor sends a document's raw bytes, come back exactly.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "lsp/framing.h"
#include "lsp/json_rpc.h"
#include "lsp/server.h"

namespace {

std::vector<std::string> serve(std::string_view bytes, const std::vector<std::size_t>& cuts) {
  std::vector<std::string> sent;
  stylo::lsp::server server([&sent](std::string_view body) { sent.emplace_back(body); });
  stylo::lsp::message_reader reader;
  std::size_t at = 0;
  for (std::size_t cut : cuts) {
    reader.feed(bytes.substr(at, cut));
    at += cut;
    std::string body, problem;
    for (;;) {
      const auto status = reader.next(body, problem);
      if (status == stylo::lsp::message_reader::status::need_more) break;
      if (status == stylo::lsp::message_reader::status::message) {
        server.handle(body);
      } else {
        server.malformed_header(problem);
      }
    }
    if (server.exited()) break;
  }
  server.input_closed();
  return sent;
}

// The bytes as a JSON string, raw: what is not UTF-8 is left as it is.
std::string raw_string(std::string_view bytes) {
  std::string out = "\"";
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      static constexpr char hex[] = "0123456789abcdef";
      out += "\\u00";
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out + '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> whole = serve(bytes, {bytes.size()});
  for (const std::string& body : whole) {
    const stylo::lsp::json message = stylo::lsp::json::parse(body, nullptr, false);
    if (!message.is_object() || message.value("jsonrpc", "") != "2.0") {
      stylo_fuzz::fail("the server sent something that is not a JSON-RPC message", body);
    }
  }
  std::uint32_t seed = 2166136261u;
  for (unsigned char b : bytes) seed = (seed ^ b) * 16777619u;
  const std::vector<std::string> pieces = serve(bytes, stylo_fuzz::pieces_for(bytes, seed));
  if (pieces != whole) stylo_fuzz::fail("small reads give other messages than one read", bytes);

  stylo::lsp::incoming_message m =
      stylo::lsp::parse_message(R"({"jsonrpc":"2.0","method":"x","params":[)" + raw_string(bytes) + "]}");
  if (m.type != stylo::lsp::incoming_message::kind::notification) {
    stylo_fuzz::fail("raw bytes in a string make a message that is not read", bytes);
  }
  std::string text = m.params.at(0).get<std::string>();
  if (m.carried_raw_bytes) stylo::lsp::restore_raw_bytes(text);
  if (text != bytes) stylo_fuzz::fail("raw bytes in a string come back changed", bytes);
  return 0;
}
