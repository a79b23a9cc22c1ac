#include "lsp/framing.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace stylo::lsp {
namespace {

// Longer than the name of any header a client sends, blanks around it
// included.
constexpr std::size_t max_header_name = 256;

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Where "Content-Length:" next appears in `text` from `from`, any case.
std::size_t find_length_header(std::string_view text, std::size_t from) {
  constexpr std::string_view name = "content-length:";
  for (std::size_t i = from; i + name.size() <= text.size(); ++i) {
    if (equal_ignoring_case(text.substr(i, name.size()), name)) return i;
  }
  return std::string_view::npos;
}

// A character of a header's name, as HTTP has them. The end of a JSON body
// ('}', ']', '"') is none.
bool is_name_character(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// Whether `unread`, where a header block should begin, begins with a header
// line (a name, then ':'): 1 yes, 0 no, -1 not known until more bytes come.
int starts_with_header(std::string_view unread) {
  const bool complete = unread.size() >= max_header_name;
  unread = unread.substr(0, max_header_name);
  std::size_t i = 0;
  while (i < unread.size() && (unread[i] == ' ' || unread[i] == '\t')) ++i;
  const std::size_t name_start = i;
  while (i < unread.size() && is_name_character(unread[i])) ++i;
  const std::size_t name_end = i;
  while (i < unread.size() && (unread[i] == ' ' || unread[i] == '\t')) ++i;
  if (i == unread.size()) return complete ? 0 : -1;
  return unread[i] == ':' && name_end > name_start ? 1 : 0;
}

}  // namespace

void message_reader::feed(std::string_view bytes) {
  compact();
  buffer_.append(bytes);
}

void message_reader::compact() {
  if (start_ == 0) return;
  buffer_.erase(0, start_);
  start_ = 0;
}

message_reader::status message_reader::drop_header(std::string& problem, std::string why, std::size_t skip) {
  problem = std::move(why);
  start_ += skip;  // past the bad block, so that it is not read again
  resyncing_ = true;
  return status::malformed_header;
}

message_reader::status message_reader::next(std::string& body, std::string& problem) {
  if (resyncing_) {
    const std::string_view held = std::string_view(buffer_).substr(start_);
    const std::size_t found = find_length_header(held, 0);
    if (found == std::string_view::npos) {
      // Keep what could be the start of a header cut by the read.
      constexpr std::size_t keep = 14;
      if (held.size() > keep) start_ += held.size() - keep;
      return status::need_more;
    }
    start_ += found;
    resyncing_ = false;
  }
  // Blank lines between messages are passed over.
  while (start_ < buffer_.size() && (buffer_[start_] == '\r' || buffer_[start_] == '\n')) ++start_;
  const std::string_view unread = std::string_view(buffer_).substr(start_);
  switch (starts_with_header(unread)) {
    case -1:
      return status::need_more;
    case 0:
      // The Content-Length before was wrong, or the client wrote bytes
      // between messages: they are dropped up to the next length header.
      return drop_header(problem, "bytes where a header should begin", 0);
    default:
      break;
  }
  // The header block ends at an empty line. Lines ending in a bare LF are
  // taken too: nothing is lost by being lenient there.
  std::size_t end = std::string_view::npos, body_start = 0;
  for (std::size_t i = unread.find('\n'); i != std::string_view::npos; i = unread.find('\n', i + 1)) {
    const std::size_t next_line = i + 1;
    if (next_line < unread.size() && unread[next_line] == '\n') {
      end = i + 1;
      body_start = next_line + 1;
      break;
    }
    if (next_line + 1 < unread.size() && unread[next_line] == '\r' && unread[next_line + 1] == '\n') {
      end = i + 1;
      body_start = next_line + 2;
      break;
    }
    if (next_line > max_header) break;
  }
  if (end == std::string_view::npos) {
    if (unread.size() > max_header) return drop_header(problem, "a header block too long", 1);
    return status::need_more;
  }
  if (end > max_header) return drop_header(problem, "a header block too long", 1);

  bool have_length = false;
  std::size_t length = 0;
  std::string_view header = unread.substr(0, end);
  while (!header.empty()) {
    std::size_t eol = header.find('\n');
    std::string_view line = header.substr(0, eol);
    header.remove_prefix(eol + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return drop_header(problem, "a header line without ':'", body_start);
    const std::string_view name = trim(line.substr(0, colon));
    const std::string_view value = trim(line.substr(colon + 1));
    if (!equal_ignoring_case(name, "Content-Length")) continue;  // Content-Type and the like
    std::size_t n = 0;
    const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    if (value.empty() || ec != std::errc() || ptr != value.data() + value.size()) {
      return drop_header(problem, "a Content-Length that is not a number", body_start);
    }
    if (n > max_body) return drop_header(problem, "a Content-Length past 1 GiB", body_start);
    have_length = true;
    length = n;
  }
  if (!have_length) return drop_header(problem, "a header block without Content-Length", body_start);
  if (unread.size() - body_start < length) return status::need_more;
  body.assign(unread.substr(body_start, length));
  start_ += body_start + length;
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
  }
  return status::message;
}

std::string frame(std::string_view body) {
  std::string out = "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  out += body;
  return out;
}

}  // namespace stylo::lsp
