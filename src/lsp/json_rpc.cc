#include "lsp/json_rpc.h"

#include <algorithm>

#include "lsp/positions.h"

namespace stylo::lsp {
namespace {

// Inside a message that holds raw bytes, the last 129 code points of the
// last private-use plane are taken: U+10FF80 + (byte - 0x80) stands for a
// raw byte, and U+10FF7F marks the code point after it as a genuine one, so
// that a real U+10FF7F..U+10FFFF in the same message is not read as a byte.
constexpr std::string_view genuine_marker = "\xF4\x8F\xBD\xBF";  // U+10FF7F

// The encoding of U+10FF80 + (byte - 0x80): F4 8F BE/BF xx.
void append_carried(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xF4);
  out += static_cast<char>(0x8F);
  out += static_cast<char>(byte < 0xC0 ? 0xBE : 0xBF);
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

// A valid sequence that encodes U+10FF7F..U+10FFFF.
bool is_taken_code_point(std::string_view bytes) {
  if (bytes.size() < 4 || static_cast<unsigned char>(bytes[0]) != 0xF4 || static_cast<unsigned char>(bytes[1]) != 0x8F) {
    return false;
  }
  const auto b2 = static_cast<unsigned char>(bytes[2]);
  return b2 == 0xBE || b2 == 0xBF || (b2 == 0xBD && static_cast<unsigned char>(bytes[3]) == 0xBF);
}

// The value of four hexadecimal digits, or -1.
long hex4(std::string_view digits) {
  if (digits.size() < 4) return -1;
  long value = 0;
  for (char c : digits.substr(0, 4)) {
    const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return -1;
    value = value * 16 + d;
  }
  return value;
}

// A JSON escape "\uDBFF\uDF7F".."\uDBFF\uDFFF": a taken code point written
// as a surrogate pair.
bool is_taken_escape(std::string_view bytes) {
  if (bytes.size() < 12 || bytes[1] != 'u' || bytes[6] != '\\' || bytes[7] != 'u' || hex4(bytes.substr(2)) != 0xDBFF) return false;
  const long low = hex4(bytes.substr(8));
  return low >= 0xDF7F && low <= 0xDFFF;
}

// The body with every byte that starts no valid UTF-8 sequence carried as a
// code point, and every taken code point (written as it is or escaped) marked
// as genuine; empty when the body is valid UTF-8 already.
std::string carry_raw_bytes(std::string_view body) {
  std::size_t i = 0;
  for (;;) {
    while (i < body.size() && static_cast<unsigned char>(body[i]) < 0x80) ++i;
    if (i == body.size()) return {};
    const std::size_t n = utf8_sequence_length(body.substr(i));
    if (n == 0) break;
    i += n;
  }
  std::string out;
  out.reserve(body.size() + body.size() / 8 + 16);
  for (i = 0; i < body.size();) {
    const auto b = static_cast<unsigned char>(body[i]);
    if (b == '\\') {
      // An escape is taken whole, so that "\\" never starts another.
      if (is_taken_escape(body.substr(i))) out += genuine_marker;
      const std::size_t n = i + 1 < body.size() && static_cast<unsigned char>(body[i + 1]) < 0x80 ? 2 : 1;
      out.append(body.substr(i, n));
      i += n;
    } else if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
    } else if (const std::size_t n = utf8_sequence_length(body.substr(i)); n > 0) {
      if (is_taken_code_point(body.substr(i))) out += genuine_marker;
      out.append(body.substr(i, n));
      i += n;
    } else {
      append_carried(out, b);
      ++i;
    }
  }
  return out;
}

bool is_valid_id(const json& id) { return id.is_number_integer() || id.is_string(); }

}  // namespace

void restore_raw_bytes(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::string_view rest = std::string_view(text).substr(i);
    if (rest.substr(0, 4) == genuine_marker) {
      // The marked code point (four bytes, as every taken one) is kept.
      const std::size_t end = std::min(text.size(), i + 8);
      for (i += 4; i < end;) text[out++] = text[i++];
    } else if (!is_taken_code_point(rest)) {
      text[out++] = text[i++];
    } else {
      const auto high = static_cast<unsigned char>(text[i + 2]) == 0xBE ? 0x80 : 0xC0;
      text[out++] = static_cast<char>(high | (static_cast<unsigned char>(text[i + 3]) & 0x3F));
      i += 4;
    }
  }
  text.resize(out);
}

incoming_message parse_message(std::string_view body) {
  incoming_message m;
  const std::string carried = carry_raw_bytes(body);
  m.carried_raw_bytes = !carried.empty();
  json message = json::parse(m.carried_raw_bytes ? std::string_view(carried) : body, nullptr, false);
  if (message.is_discarded()) {
    m.error = error_code::parse_error;
    m.problem = "the message is not JSON";
    return m;
  }
  m.error = error_code::invalid_request;
  if (!message.is_object()) {
    m.problem = "the message is not a JSON object";
    return m;
  }
  const auto id = message.find("id");
  if (id != message.end() && is_valid_id(*id)) m.id = *id;
  const auto method = message.find("method");
  // A message with a method and no id is a notification, whatever else is
  // wrong with it, and a notification is never answered.
  m.answerable = id != message.end() || method == message.end();
  if (method != message.end() && method->is_string()) m.method = method->get<std::string>();
  const auto version = message.find("jsonrpc");
  if (version == message.end() || *version != "2.0") {
    m.problem = "the message lacks \"jsonrpc\": \"2.0\"";
    return m;
  }
  if (method == message.end()) {
    if (id != message.end() && (message.contains("result") || message.contains("error"))) {
      m.type = incoming_message::kind::response;
      m.error = 0;
      return m;
    }
    m.problem = "the message has no method";
    return m;
  }
  if (!method->is_string()) {
    m.problem = "the method is not a string";
    return m;
  }
  if (id != message.end() && !is_valid_id(*id)) {
    m.problem = "the id is neither a number nor a string";
    return m;
  }
  // Null params are absent params: Emacs's JSON writes nil as null, and
  // eglot and lsp-mode send it so with shutdown and exit.
  const auto params = message.find("params");
  if (params != message.end() && !params->is_null() && !params->is_object() && !params->is_array()) {
    m.problem = "the params are neither an object nor an array";
    return m;
  }
  if (params != message.end()) m.params = std::move(*params);
  m.type = id == message.end() ? incoming_message::kind::notification : incoming_message::kind::request;
  m.error = 0;
  return m;
}

namespace {

std::string dump(const json& message) { return message.dump(-1, ' ', false, json::error_handler_t::replace); }

}  // namespace

std::string make_response(const json& id, json result) {
  return dump({{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}});
}

std::string make_error(const json& id, int code, std::string_view message) {
  return dump({{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}});
}

std::string make_notification(std::string_view method, json params) {
  return dump({{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}});
}

}  // namespace stylo::lsp
