#include "lsp/json_rpc.h"

#include "lsp/positions.h"

namespace stylo::lsp {
namespace {

// The encoding of U+10FF80 + (byte - 0x80): F4 8F BE/BF xx.
void append_carried(std::string& out, unsigned char byte) {
  out += static_cast<char>(0xF4);
  out += static_cast<char>(0x8F);
  out += static_cast<char>(byte < 0xC0 ? 0xBE : 0xBF);
  out += static_cast<char>(0x80 | (byte & 0x3F));
}

// The body with every byte that starts no valid UTF-8 sequence carried as a
// code point; empty when the body is valid UTF-8 already.
std::string carry_raw_bytes(std::string_view body) {
  std::size_t i = 0;
  while (i < body.size() && static_cast<unsigned char>(body[i]) < 0x80) ++i;
  std::string out;
  bool carried = false;
  std::size_t copied = 0;
  while (i < body.size()) {
    if (static_cast<unsigned char>(body[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = utf8_sequence_length(body.substr(i));
    if (n > 0) {
      i += n;
      continue;
    }
    if (!carried) out.reserve(body.size() + 64);
    carried = true;
    out.append(body.substr(copied, i - copied));
    append_carried(out, static_cast<unsigned char>(body[i]));
    copied = ++i;
  }
  if (!carried) return {};
  out.append(body.substr(copied));
  return out;
}

bool is_valid_id(const json& id) { return id.is_number_integer() || id.is_string(); }

}  // namespace

void restore_raw_bytes(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (static_cast<unsigned char>(text[i]) == 0xF4 && i + 3 < text.size() &&
        static_cast<unsigned char>(text[i + 1]) == 0x8F && (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xBE) {
      const auto high = static_cast<unsigned char>(text[i + 2]) == 0xBE ? 0x80 : 0xC0;
      text[out++] = static_cast<char>(high | (static_cast<unsigned char>(text[i + 3]) & 0x3F));
      i += 4;
    } else {
      text[out++] = text[i++];
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
