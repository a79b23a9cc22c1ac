#pragma once
/// JSON-RPC 2.0 as the protocol uses it: requests (with an id, answered by a
/// response), notifications (no id, no answer), responses, and the errors.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace stylo::lsp {

using json = nlohmann::json;

namespace error_code {
inline constexpr int parse_error = -32700;
inline constexpr int invalid_request = -32600;
inline constexpr int method_not_found = -32601;
inline constexpr int invalid_params = -32602;
inline constexpr int internal_error = -32603;
inline constexpr int server_not_initialized = -32002;
inline constexpr int request_failed = -32803;
}  // namespace error_code

struct incoming_message {
  enum class kind { request, notification, response, invalid };
  kind type = kind::invalid;
  json id;  ///< a request's id (number or string); null when there is none
  std::string method;  ///< for `invalid` too, when the method is a string
  json params;  ///< object, array, or null when absent (or sent as null)
  /// For `invalid`: the error to answer with, and why.
  int error = 0;
  std::string problem;
  /// For `invalid`: false when the message was a notification (a method and
  /// no id), which is never answered, however broken.
  bool answerable = true;
  /// The body held bytes that are not UTF-8, carried through the parser as
  /// described at `restore_raw_bytes`.
  bool carried_raw_bytes = false;
};

/// Reads one message body. Never throws: broken JSON and messages that are
/// no JSON-RPC message come back as `invalid` with their error code.
incoming_message parse_message(std::string_view body);

/// JSON itself must be UTF-8, but an editor may send a document's bytes as
/// they are, Latin-1 and all. In a message that holds such bytes, each is
/// carried through the parser as one of the code points U+10FF80 to U+10FFFF
/// (byte 0x80 to 0xFF), at the end of the last private-use plane, and every
/// genuine code point from U+10FF7F up, written as it is or escaped, is
/// carried behind the marker U+10FF7F. This turns a string of such a message
/// back into its bytes and code points, exactly as they were sent. A message
/// that is valid UTF-8 is parsed as it is.
void restore_raw_bytes(std::string& text);

std::string make_response(const json& id, json result);
std::string make_error(const json& id, int code, std::string_view message);
std::string make_notification(std::string_view method, json params);

}  // namespace stylo::lsp
