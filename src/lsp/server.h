#pragma once
/// The language server: reads each message, answers it, and keeps the
/// lifecycle (initialize, initialized, shutdown, exit) and the documents.

#include <functional>
#include <string>
#include <string_view>

#include "lsp/documents.h"
#include "lsp/json_rpc.h"
#include "lsp/positions.h"

namespace stylo::lsp {

class server {
 public:
  /// `send` takes each outgoing message body (unframed JSON); `note` takes
  /// a line for the server's own log (standard error) when the client may
  /// not be sent one.
  explicit server(std::function<void(std::string_view)> send, std::function<void(std::string_view)> note = nullptr);

  /// One message body from the client.
  void handle(std::string_view body);
  /// A header block the framing had to drop.
  void malformed_header(std::string_view problem);
  /// The client's input has ended without `exit`.
  void input_closed();

  bool exited() const { return state_ == state::exited; }
  /// 0 after shutdown and exit; 1 when the server ends without shutdown.
  int exit_status() const { return shutdown_requested_ ? 0 : 1; }

  /// For the benchmark and tests: a document as the server holds it.
  const document* find_document(std::string_view uri) { return documents_.find(uri); }

 private:
  enum class state { uninitialized, running, shut_down, exited };

  void request(const incoming_message& m);
  void notification(incoming_message& m);
  json initialize(const json& params);
  void did_open(json& params);
  void did_change(json& params);
  void did_close(const json& params);
  std::string pull_diagnostics(const json& id, const json& params);
  json code_action(const json& params);
  void publish(document& doc);
  void log(std::string_view text);
  void send(const std::string& body) { send_(body); }

  std::function<void(std::string_view)> send_;
  std::function<void(std::string_view)> note_;
  state state_ = state::uninitialized;
  bool shutdown_requested_ = false;
  position_encoding encoding_ = position_encoding::utf16;
  bool client_pulls_ = false;
  bool document_changes_ = false;
  document_store documents_;
};

}  // namespace stylo::lsp
