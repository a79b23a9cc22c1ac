#include "lsp/server.h"

#include <optional>
#include <utility>
#include <vector>

#include "lsp/code_actions.h"
#include "lsp/diagnostics.h"
#include "rules/rule_catalog.h"

namespace stylo::lsp {
namespace {

const json& member(const json& object, const char* name) {
  static const json null;
  if (!object.is_object()) return null;
  const auto it = object.find(name);
  return it == object.end() ? null : *it;
}

const json& required(const json& object, const char* name) {
  const json& value = member(object, name);
  if (value.is_null()) throw invalid_params{std::string("missing \"") + name + "\""};
  return value;
}

std::string uri_of(const json& params) {
  const json& uri = required(required(params, "textDocument"), "uri");
  if (!uri.is_string()) throw invalid_params{"the document's uri is not a string"};
  return uri.get<std::string>();
}

std::int64_t version_of(const json& text_document) {
  const json& version = member(text_document, "version");
  return version.is_number_integer() ? version.get<std::int64_t>() : 0;
}

// Every string of a message that carried bytes that are not UTF-8 gets its
// bytes back. The values are walked with a stack of their own: a message may
// nest as deep as its length allows, far deeper than the call stack goes.
void restore_strings(json& params) {
  std::vector<json*> pending{&params};
  while (!pending.empty()) {
    json& value = *pending.back();
    pending.pop_back();
    if (value.is_string()) {
      restore_raw_bytes(value.get_ref<std::string&>());
    } else if (value.is_structured()) {
      for (json& element : value) pending.push_back(&element);
    }
  }
}

// A diagnostic the client names, if it is one of stylo's: no other source,
// a rule's id as its code, and a start. Any other (another server's, or one
// of the wrong shape) is not stylo's to answer, and is passed over.
std::optional<named_diagnostic> stylo_diagnostic(const json& d) {
  const json& source = member(d, "source");
  if (!source.is_null() && source != "stylo") return std::nullopt;
  const json& code = member(d, "code");
  if (!code.is_string()) return std::nullopt;
  const rule_info* rule = rule_named(code.get_ref<const std::string&>());
  if (rule == nullptr) return std::nullopt;
  const json& start = member(member(d, "range"), "start");
  const json& line = member(start, "line");
  const json& character = member(start, "character");
  if (!line.is_number_unsigned() || !character.is_number_unsigned()) return std::nullopt;
  const json& message = member(d, "message");
  return named_diagnostic{d, rule->rule, {line.get<std::uint64_t>(), character.get<std::uint64_t>()},
                          message.is_string() ? message.get<std::string>() : std::string()};
}

}  // namespace

server::server(std::function<void(std::string_view)> send, std::function<void(std::string_view)> note)
    : send_(std::move(send)), note_(std::move(note)) {}

void server::handle(std::string_view body) {
  if (state_ == state::exited) return;
  incoming_message m;
  try {
    m = parse_message(body);
    if (m.carried_raw_bytes) restore_strings(m.params);
  } catch (const std::bad_alloc&) {
    // Nothing of the message is known, not even its id: answered as JSON
    // that cannot be read is.
    send(make_error(nullptr, error_code::internal_error, "not enough memory to read the message"));
    return;
  }
  switch (m.type) {
    case incoming_message::kind::invalid:
      if (m.answerable) {
        send(make_error(m.id, m.error, m.problem));
      } else if (m.method == "exit") {
        // The client is ending the session: however the rest of the message
        // reads, it will kill a server that stays.
        state_ = state::exited;
      } else {
        log("stylo-lsp: " + (m.method.empty() ? std::string("a notification") : m.method) + " dropped: " + m.problem);
      }
      return;
    case incoming_message::kind::response:  // the server asks the client nothing
      return;
    case incoming_message::kind::request:
      request(m);
      return;
    case incoming_message::kind::notification:
      notification(m);
      return;
  }
}

void server::malformed_header(std::string_view problem) {
  if (state_ == state::exited) return;
  // No id can be known: the answer is an error without one, as for JSON
  // that cannot be read.
  send(make_error(nullptr, error_code::parse_error, "dropped " + std::string(problem)));
}

void server::input_closed() {
  if (state_ != state::exited) state_ = state::exited;
}

void server::request(const incoming_message& m) {
  if (state_ == state::uninitialized && m.method != "initialize") {
    send(make_error(m.id, error_code::server_not_initialized, "the server has not been initialized"));
    return;
  }
  if (state_ == state::shut_down) {
    send(make_error(m.id, error_code::invalid_request, "the server has been shut down"));
    return;
  }
  try {
    if (m.method == "initialize") {
      if (state_ != state::uninitialized) {
        send(make_error(m.id, error_code::invalid_request, "initialize was already sent"));
        return;
      }
      json result = initialize(m.params);
      state_ = state::running;
      send(make_response(m.id, std::move(result)));
    } else if (m.method == "shutdown") {
      state_ = state::shut_down;
      shutdown_requested_ = true;
      send(make_response(m.id, nullptr));
    } else if (m.method == "textDocument/diagnostic") {
      send(pull_diagnostics(m.id, m.params));
    } else if (m.method == "textDocument/codeAction") {
      send(make_response(m.id, code_action(m.params)));
    } else {
      send(make_error(m.id, error_code::method_not_found, "no method " + m.method));
    }
  } catch (const invalid_params& e) {
    send(make_error(m.id, error_code::invalid_params, e.why));
  } catch (const json::exception& e) {
    send(make_error(m.id, error_code::invalid_params, e.what()));
  } catch (const std::bad_alloc&) {
    send(make_error(m.id, error_code::request_failed, "out of memory"));
  }
}

void server::notification(incoming_message& m) {
  if (m.method == "exit") {
    state_ = state::exited;
    return;
  }
  // Before initialize, notifications are dropped; after shutdown only exit
  // counts.
  if (state_ != state::running) return;
  try {
    if (m.method == "textDocument/didOpen") {
      did_open(m.params);
    } else if (m.method == "textDocument/didChange") {
      did_change(m.params);
    } else if (m.method == "textDocument/didClose") {
      did_close(m.params);
    }
    // initialized, didSave (the text is the one already held), $/
    // notifications ($/cancelRequest: every request is answered before the
    // next message is read, so there is never one to cancel), and those
    // this server does not know are ignored, as notifications may be.
  } catch (const invalid_params& e) {
    log("stylo-lsp: " + m.method + ": " + e.why);
  } catch (const json::exception& e) {
    log("stylo-lsp: " + m.method + ": " + e.what());
  } catch (const std::bad_alloc&) {
    log("stylo-lsp: " + m.method + ": out of memory");
  }
}

json server::initialize(const json& params) {
  // Absent params read as no capabilities: the defaults of the protocol.
  if (!params.is_object() && !params.is_null()) throw invalid_params{"initialize needs an object"};
  const json& capabilities = member(params, "capabilities");
  const json& encodings = member(member(capabilities, "general"), "positionEncodings");
  // UTF-8 where offered, as it costs no counting; else UTF-32, which a
  // client counting code points offers (stylo-lsp-mode.el has lsp-mode,
  // which counts Emacs's characters, offer it); else UTF-16, which every
  // client must take.
  encoding_ = position_encoding::utf16;
  if (encodings.is_array()) {
    for (const json& e : encodings) {
      if (e == "utf-8") encoding_ = position_encoding::utf8;
      if (e == "utf-32" && encoding_ == position_encoding::utf16) encoding_ = position_encoding::utf32;
    }
  }
  const json& text_document = member(capabilities, "textDocument");
  // A client that pulls diagnostics is not sent them as well: it would
  // show each one twice.
  client_pulls_ = member(text_document, "diagnostic").is_object();
  document_changes_ = member(member(member(capabilities, "workspace"), "workspaceEdit"), "documentChanges") == true;
  return {{"capabilities",
           {{"positionEncoding", name_of(encoding_)},
            {"textDocumentSync", {{"openClose", true}, {"change", 2}, {"save", {{"includeText", false}}}}},
            {"codeActionProvider",
             {{"codeActionKinds", json::array({"quickfix", fix_all_kind})}, {"resolveProvider", false}}},
            {"diagnosticProvider",
             {{"identifier", "stylo"}, {"interFileDependencies", false}, {"workspaceDiagnostics", false}}}}},
          {"serverInfo", {{"name", "stylo-lsp"}, {"version", STYLO_LSP_VERSION}}}};
}

void server::did_open(json& params) {
  json& item = params.at("textDocument");
  const std::string uri = uri_of(params);
  json& text = item.at("text");
  if (!text.is_string()) throw invalid_params{"the document's text is not a string"};
  document& doc = documents_.open(uri, std::move(text.get_ref<std::string&>()), version_of(item));
  publish(doc);
}

void server::did_change(json& params) {
  const std::string uri = uri_of(params);
  document* doc = documents_.find(uri);
  if (doc == nullptr) throw invalid_params{"no open document " + uri};
  json& changes = params.at("contentChanges");
  if (!changes.is_array()) throw invalid_params{"contentChanges is not an array"};
  // Each change applies to the text the previous ones left. One of the wrong
  // shape stops there: the ones before it stand, as the client made them.
  for (json& change : changes) {
    apply_change(*doc, change, encoding_);
    documents_.touch(*doc);
  }
  doc->version = version_of(params.at("textDocument"));
  publish(*doc);
}

void server::did_close(const json& params) {
  const std::string uri = uri_of(params);
  documents_.close(uri);
  send(clearing_message(uri));
}

std::string server::pull_diagnostics(const json& id, const json& params) {
  return pulled_response(id, documents_.find(uri_of(params)), encoding_, member(params, "previousResultId"));
}

json server::code_action(const json& params) {
  document* doc = documents_.find(uri_of(params));
  if (doc == nullptr) return json::array();
  const json& range = required(params, "range");
  const auto position_at = [&](const json& p) -> position {
    return {required(p, "line").get<std::uint64_t>(), required(p, "character").get<std::uint64_t>()};
  };
  action_request request{offset_of(doc->text, position_at(required(range, "start")), encoding_),
                         offset_of(doc->text, position_at(required(range, "end")), encoding_),
                         {},
                         {}};
  if (request.end < request.begin) std::swap(request.begin, request.end);
  const json& only = member(member(params, "context"), "only");
  if (only.is_array()) {
    for (const json& kind : only) {
      if (kind.is_string()) request.only.push_back(kind.get<std::string>());
    }
  }
  const json& diagnostics = member(member(params, "context"), "diagnostics");
  if (diagnostics.is_array()) {
    for (const json& d : diagnostics) {
      if (std::optional<named_diagnostic> named = stylo_diagnostic(d)) request.diagnostics.push_back(std::move(*named));
    }
  }
  return code_actions(*doc, request, encoding_, document_changes_);
}

void server::publish(document& doc) {
  if (client_pulls_) return;
  std::string message = publish_message(doc, encoding_);
  if (!doc.findings_complete) log("stylo-lsp: not enough memory to check all of " + doc.uri);
  send(message);
}

void server::log(std::string_view text) {
  // The client may be sent a notification only between its initialize and
  // its shutdown; outside them the note goes to the server's own log.
  if (state_ != state::running) {
    if (note_) note_(text);
    return;
  }
  send(make_notification("window/logMessage", {{"type", 2}, {"message", text}}));
}

}  // namespace stylo::lsp
