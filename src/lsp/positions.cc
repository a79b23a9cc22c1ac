#include "lsp/positions.h"

#include <cstring>

#include "text/utf8_text.h"

namespace stylo::lsp {

std::string_view name_of(position_encoding encoding) {
  switch (encoding) {
    case position_encoding::utf8:
      return "utf-8";
    case position_encoding::utf16:
      return "utf-16";
    case position_encoding::utf32:
      return "utf-32";
  }
  return "utf-16";
}

std::size_t utf8_sequence_length(std::string_view bytes) {
  return bytes.empty() ? 0 : stylo::utf8_sequence_length(bytes, 0);
}

std::uint64_t units_in(std::string_view text, position_encoding encoding) {
  if (encoding == position_encoding::utf8) return text.size();
  if (encoding == position_encoding::utf16) return utf16_units_between(text, 0, text.size());
  std::uint64_t characters = 0;
  for (std::size_t i = 0; i < text.size(); i += utf16_character_at(text, i).bytes) ++characters;
  return characters;
}

std::size_t offset_in_line(std::string_view line, std::uint64_t units, position_encoding encoding) {
  if (encoding == position_encoding::utf8) return units < line.size() ? static_cast<std::size_t>(units) : line.size();
  std::size_t i = 0;
  std::uint64_t counted = 0;
  while (i < line.size() && counted < units) {
    const utf16_character c = utf16_character_at(line, i);
    const std::uint64_t size = encoding == position_encoding::utf32 ? 1 : c.units;
    if (counted + size > units) break;  // inside a surrogate pair
    i += c.bytes;
    counted += size;
  }
  return i;
}

namespace {

// The first line end (CR or LF) at or after `from`, or the text's size.
std::size_t next_line_end(std::string_view text, std::size_t from) {
  const char* begin = text.data() + from;
  std::size_t length = text.size() - from;
  const void* lf = std::memchr(begin, '\n', length);
  if (lf) length = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
  const void* cr = std::memchr(begin, '\r', length);
  if (cr) length = static_cast<std::size_t>(static_cast<const char*>(cr) - begin);
  return from + length;
}

}  // namespace

std::size_t offset_of(std::string_view text, position at, position_encoding encoding) {
  std::size_t start = 0;
  for (std::uint64_t line = 0; line < at.line; ++line) {
    const std::size_t i = next_line_end(text, start);
    if (i == text.size()) return text.size();
    start = i + (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1);
  }
  const std::size_t end = next_line_end(text, start);
  return start + offset_in_line(text.substr(start, end - start), at.character, encoding);
}

position_walker::position_walker(std::string_view text, position_encoding encoding)
    : text_(text), encoding_(encoding), has_cr_(std::memchr(text.data(), '\r', text.size()) != nullptr) {}

position position_walker::at(std::size_t offset) {
  if (offset > text_.size()) offset = text_.size();
  if (offset < scanned_ && offset < line_start_) *this = position_walker(text_, encoding_);
  // Count the line ends before `offset`. A CR LF pair is one line end; an
  // offset between its CR and LF is taken as the start of the next line.
  while (scanned_ < offset) {
    const char* from = text_.data() + scanned_;
    const std::size_t left = offset - scanned_;
    const void* lf = std::memchr(from, '\n', left);
    std::size_t next = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) : offset;
    if (has_cr_) {
      const void* cr = std::memchr(from, '\r', next - scanned_);
      if (cr) next = static_cast<std::size_t>(static_cast<const char*>(cr) - text_.data());
    }
    if (next >= offset) {
      scanned_ = offset;
      break;
    }
    ++line_;
    line_start_ = next + 1;
    if (text_[next] == '\r' && next + 1 < text_.size() && text_[next + 1] == '\n') ++line_start_;
    scanned_ = line_start_;
    counted_to_ = line_start_;
    units_ = 0;
  }
  if (offset <= line_start_) return {line_, 0};
  if (offset < counted_to_) {
    counted_to_ = line_start_;
    units_ = 0;
  }
  units_ += units_in(text_.substr(counted_to_, offset - counted_to_), encoding_);
  counted_to_ = offset;
  return {line_, units_};
}

}  // namespace stylo::lsp
