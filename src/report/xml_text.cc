#include "report/xml_text.h"

#include "text/utf8_text.h"

namespace stylo::report {
namespace {

bool is_plain(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x20 && byte < 0x80 && byte != '&' && byte != '<' && byte != '>' && byte != '"';
}

}  // namespace

void append_xml_text(std::string& out, std::string_view text) {
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
      const char32_t code = length == 0 ? 0 : utf8_code_point(text, at, length);
      if (length == 0 || code == 0xFFFE || code == 0xFFFF) {
        out += replacement_character;
        at += length == 0 ? 1 : length;
      } else {
        out.append(text, at, length);
        at += length;
      }
      continue;
    }
    ++at;
    switch (byte) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\t':
        out += "&#9;";
        break;
      case '\n':
        out += "&#10;";
        break;
      case '\r':
        out += "&#13;";
        break;
      default:
        if (byte < 0x20) {
          out += replacement_character;
        } else {
          out += static_cast<char>(byte);
        }
    }
  }
}

}  // namespace stylo::report
