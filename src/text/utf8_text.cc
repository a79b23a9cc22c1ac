#include "text/utf8_text.h"

namespace stylo {
namespace {

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::size_t utf8_sequence_length(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  const std::size_t left = text.size() - at;
  // The second byte's range depends on the lead, which rules out overlong
  // forms, surrogates (ED A0-BF) and code points past U+10FFFF.
  unsigned char low = 0x80, high = 0xBF;
  std::size_t length;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (!continuation(byte(i))) return 0;
  }
  return length;
}

char32_t utf8_code_point(std::string_view text, std::size_t at, std::size_t length) {
  const auto byte = [&](std::size_t i) { return static_cast<char32_t>(static_cast<unsigned char>(text[at + i])); };
  switch (length) {
    case 1:
      return byte(0);
    case 2:
      return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
      return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 | (byte(3) & 0x3F);
  }
}

std::uint64_t utf16_units_between(std::string_view line, std::size_t from, std::size_t to) {
  const std::size_t stop = to < line.size() ? to : line.size();
  std::uint64_t units = 0;
  std::size_t at = from;
  while (at < stop) {
    const utf16_character c = utf16_character_at(line, at);
    units += c.units;
    at += c.bytes;
  }
  // A finding's end may be one byte past the line's last one.
  return units + (to > stop ? to - stop : 0);
}

std::uint64_t utf16_column(std::string_view line, std::size_t byte_column) {
  return 1 + utf16_units_between(line, 0, byte_column - 1);
}

std::uint64_t utf16_columns::column(std::uint64_t line_number, std::string_view line, std::size_t byte_column) {
  if (line_number != line_number_ || byte_column < byte_column_) {
    line_number_ = line_number;
    byte_column_ = 1;
    units_column_ = 1;
  }
  units_column_ += utf16_units_between(line, byte_column_ - 1, byte_column - 1);
  byte_column_ = byte_column;
  return units_column_;
}

}  // namespace stylo
