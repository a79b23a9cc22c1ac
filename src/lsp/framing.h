#pragma once
/// The protocol's framing: each message is a header block ("Content-Length:
/// <bytes>" and optionally "Content-Type: ...", each line ended by CR LF,
/// the block by an empty line) followed by exactly that many bytes of JSON.

#include <cstddef>
#include <string>
#include <string_view>

namespace stylo::lsp {

/// Cuts the byte stream from the client into message bodies. Bytes come in
/// whatever pieces the reads give; a header may be split anywhere.
class message_reader {
 public:
  enum class status {
    message,          ///< `body` holds one whole message
    need_more,        ///< every byte given so far is used; give more
    malformed_header  ///< a header block was dropped; `problem` says why
  };

  /// Adds bytes read from the client.
  void feed(std::string_view bytes);

  /// The next message, if the bytes given hold one. A header block begins
  /// with a header line, a name and ':' (blank lines before it are passed
  /// over). Other bytes where one should begin, such as the end of a body
  /// whose Content-Length was too short, are dropped up to the next
  /// "Content-Length:", with one problem reported: a length too short costs
  /// only its own message; a length too long costs its own and the one
  /// whose first bytes it took. A header block that cannot be read (no
  /// Content-Length, a length that is not a number or is too large, a
  /// header line too long) is dropped with what follows it, up to the next
  /// "Content-Length:": the length of its body is not known. One problem is
  /// reported per block.
  status next(std::string& body, std::string& problem);

  /// Bytes held that make no whole message yet.
  std::size_t pending() const { return buffer_.size() - start_; }

  /// The largest message body taken: far more than any document a person
  /// edits, far less than the memory a length typed by mistake would ask for.
  static constexpr std::size_t max_body = std::size_t{1} << 30;
  /// The largest header block taken.
  static constexpr std::size_t max_header = 8192;

 private:
  void compact();
  status drop_header(std::string& problem, std::string why, std::size_t skip);

  std::string buffer_;
  std::size_t start_ = 0;  ///< where the unread bytes begin in buffer_
  bool resyncing_ = false; ///< dropping bytes up to the next length header
};

/// A message body with its header, ready to send.
std::string frame(std::string_view body);

}  // namespace stylo::lsp
