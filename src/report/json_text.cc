#include "report/json_text.h"

#include "text/utf8_text.h"

namespace stylo::report {
namespace {

bool is_plain(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x80 && byte != '"' && byte != '\\';
}

}  // namespace

void append_json_text(std::string& out, std::string_view text) {
  static constexpr char hex[] = "0123456789abcdef";
  std::size_t at = 0;
  while (at < text.size()) {
    // Most text needs no escape: it goes in runs, not byte by byte.
    std::size_t plain = at;
    while (plain < text.size() && is_plain(text[plain])) ++plain;
    out.append(text, at, plain - at);
    at = plain;
    if (at == text.size()) break;
    const unsigned char byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x80) {
      const std::size_t length = utf8_sequence_length(text, at);
      if (length == 0) {
        out += replacement_character;
        ++at;
      } else {
        out.append(text, at, length);
        at += length;
      }
      continue;
    }
    ++at;
    switch (byte) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += hex[byte >> 4];
          out += hex[byte & 15];
        } else {
          out += static_cast<char>(byte);
        }
    }
  }
}

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  append_json_text(out, text);
  out += '"';
}

}  // namespace stylo::report
