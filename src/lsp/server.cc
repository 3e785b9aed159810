// The language server's life cycle and methods.
#include "lsp/server.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "audit/detect.h"
#include "base/output.h"
#include "cli/shared_options.h"
#include "lsp/answers.h"
#include "lsp/transport.h"

namespace lintkeeper {

namespace {

using nlohmann::json;

// The member of an object, or null when value is no object or has none of that name.
const json* member(const json& value, const char* name) {
  if (!value.is_object()) return nullptr;
  const auto it = value.find(name);
  return it == value.end() ? nullptr : &*it;
}

// The member, or null (a JSON null) when there is none.
const json& field(const json& value, const char* name) {
  static const json kNull;
  const json* m = member(value, name);
  return m != nullptr ? *m : kNull;
}

const std::string* string_member(const json& value, const char* name) {
  const json* m = member(value, name);
  return m != nullptr && m->is_string() ? m->get_ptr<const std::string*>() : nullptr;
}

// The uri of params.textDocument.
const std::string* document_uri(const json& params) {
  const json* doc = member(params, "textDocument");
  return doc == nullptr ? nullptr : string_member(*doc, "uri");
}

Server::Reply invalid_params(std::string message) {
  return {nullptr, RpcError::InvalidParams, std::move(message)};
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text with a range of the document replaced, as a change of the protocol gives it.
std::string changed(const DocumentText& text, DocumentRange range, std::string_view replacement) {
  const std::size_t begin = text.offset_of(range.start);
  const std::size_t end = std::max(begin, text.offset_of(range.end));
  std::string out(text.text(), 0, begin);
  out += replacement;
  out.append(text.text(), end);
  return out;
}

}  // namespace

const Server::Method Server::METHODS[] = {
    {"initialize", true, &Server::initialize},
    {"initialized", false, &Server::initialized},
    {"shutdown", true, &Server::shutdown},
    {"exit", false, &Server::exit},
    {"textDocument/didOpen", false, &Server::did_open},
    {"textDocument/didChange", false, &Server::did_change},
    {"textDocument/didClose", false, &Server::did_close},
    {"workspace/didChangeConfiguration", false, &Server::did_change_configuration},
    {"textDocument/hover", true, &Server::hover},
    {"textDocument/codeAction", true, &Server::code_action},
};

std::string path_of_uri(std::string_view uri) {
  constexpr std::string_view kFile = "file://";
  if (!uri.starts_with(kFile)) return std::string(uri);
  uri.remove_prefix(kFile.size());
  if (uri.starts_with("localhost/")) uri.remove_prefix(std::string_view("localhost").size());
  std::string path;
  for (std::size_t i = 0; i < uri.size(); ++i) {
    const int high = uri[i] == '%' && i + 2 < uri.size() ? hex_value(uri[i + 1]) : -1;
    const int low = high >= 0 ? hex_value(uri[i + 2]) : -1;
    if (low < 0) {
      path += uri[i];
      continue;
    }
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

Server::Server(Send send, FileSystem& fs, std::optional<CronName> own)
    : send_(std::move(send)), fs_(fs), own_(own) {}

void Server::answer(const json& id, json result) {
  send_(json{{"jsonrpc", "2.0"}, {"id", id}, {"result", std::move(result)}}.dump(
      -1, ' ', false, json::error_handler_t::replace));
}

void Server::fail(const json& id, RpcError code, std::string message) {
  send_(json{{"jsonrpc", "2.0"},
             {"id", id},
             {"error", {{"code", static_cast<int>(code)}, {"message", std::move(message)}}}}
            .dump(-1, ' ', false, json::error_handler_t::replace));
}

void Server::notify(std::string_view method, json params) {
  send_(json{{"jsonrpc", "2.0"}, {"method", method}, {"params", std::move(params)}}.dump(
      -1, ' ', false, json::error_handler_t::replace));
}

void Server::refuse(std::uint64_t size) {
  fail(nullptr, RpcError::InvalidRequest,
       fmt::format("Invalid Request: a message of {} bytes is larger than the limit of {}", size,
                   kMaxMessageSize));
}

void Server::receive(std::string_view body) {
  const json message = json::parse(body, nullptr, false);
  if (message.is_discarded()) return fail(nullptr, RpcError::ParseError, "Parse error");
  if (!message.is_object()) {
    return fail(nullptr, RpcError::InvalidRequest, "Invalid Request: a message is a JSON object");
  }
  const json* id = member(message, "id");
  if (id != nullptr && !id->is_string() && !id->is_number_integer()) {
    return fail(nullptr, RpcError::InvalidRequest,
                "Invalid Request: an id is a number or a string");
  }
  const std::string* name = string_member(message, "method");
  // A response: the server sends no request, so there is nothing to match it with.
  if (name == nullptr && id != nullptr &&
      (member(message, "result") != nullptr || member(message, "error") != nullptr)) {
    return;
  }
  const std::string* version = string_member(message, "jsonrpc");
  const json* params = member(message, "params");
  std::string problem;
  if (version == nullptr || *version != "2.0") problem = "jsonrpc is not \"2.0\"";
  if (name == nullptr) problem = "method is not a string";
  if (params != nullptr && !params->is_object() && !params->is_array()) {
    problem = "params is neither an object nor an array";
  }
  if (!problem.empty()) {
    // A notification is never answered, not even when it is wrong.
    if (id != nullptr) fail(*id, RpcError::InvalidRequest, "Invalid Request: " + problem);
    return;
  }
  const auto found = std::find_if(std::begin(METHODS), std::end(METHODS),
                                  [&](const Method& m) { return m.name == *name; });
  dispatch(found == std::end(METHODS) ? nullptr : found, *name, id, field(message, "params"));
}

void Server::dispatch(const Method* method, const std::string& name, const json* id,
                      const json& params) {
  const bool is_exit = method != nullptr && method->handle == &Server::exit;
  if (id == nullptr) {
    // Notifications: unknown ones, and all but exit before initialize or after shutdown,
    // are dropped.
    if (method == nullptr || method->request) return;
    if (!is_exit && state_ != State::Running) return;
    (this->*method->handle)(params);
    return;
  }
  // Before initialize, every other request gets the same answer, known to the server or not.
  const bool is_initialize = method != nullptr && method->handle == &Server::initialize;
  if (state_ == State::Created && !is_initialize) {
    return fail(*id, RpcError::ServerNotInitialized, "Server not initialized");
  }
  if (method == nullptr || !method->request) {
    return fail(*id, RpcError::MethodNotFound, fmt::format("Method not found: {}", name));
  }
  if (state_ != State::Created && is_initialize) {
    return fail(*id, RpcError::InvalidRequest, "Invalid Request: initialize was received before");
  }
  if (state_ == State::ShutDown) {
    return fail(*id, RpcError::InvalidRequest, "Invalid Request: the server is shut down");
  }
  Reply reply;
  try {
    reply = (this->*method->handle)(params);
  } catch (const json::exception& e) {
    // Every value is checked before it is read: this is the last guard of the server.
    reply = {nullptr, RpcError::InternalError, e.what()};
  }
  if (reply.error) return fail(*id, *reply.error, std::move(reply.message));
  answer(*id, std::move(reply.result));
}

Server::Reply Server::initialize(const json& params) {
  if (const json* options = member(params, "initializationOptions")) take_settings(*options);
  state_ = State::Running;
  return {{{"capabilities",
            {{"positionEncoding", "utf-16"},
             {"textDocumentSync", {{"openClose", true}, {"change", 1}}},
             {"hoverProvider", true},
             {"codeActionProvider", {{"codeActionKinds", {"quickfix"}}}}}},
           {"serverInfo", {{"name", LSP_PROGRAM_NAME}, {"version", PROGRAM_VERSION}}}}};
}

Server::Reply Server::initialized(const json&) { return {}; }

Server::Reply Server::shutdown(const json&) {
  state_ = State::ShutDown;
  return {};
}

Server::Reply Server::exit(const json&) {
  exit_status_ = state_ == State::ShutDown ? 0 : 1;
  return {};
}

void Server::take_settings(const json& value) {
  const json* ours = member(value, "lintkeeper");
  if (ours == nullptr || !ours->is_object()) return;
  settings_ = {};
  if (const json* cron = member(*ours, "cron")) {
    const std::optional<CronName> name =
        cron->is_string() ? cron_from_name(cron->get<std::string>()) : std::nullopt;
    if (name) {
      settings_.cron = name;
    } else {
      notify(
          "window/logMessage",
          {{"type", 2},
           {"message", fmt::format("lintkeeper.cron is {}: it is one of debian, cronie and "
                                   "busybox; the cron is taken from the file's place",
                                   cron->dump(-1, ' ', false, json::error_handler_t::replace))}});
    }
  }
  if (const json* user = member(*ours, "user"); user != nullptr && user->is_boolean()) {
    settings_.user = user->get<bool>();
  }
}

void Server::check(const std::string& uri, OpenDocument& doc, std::string text) {
  const DocumentReading reading = with_settings(reading_of_path(doc.path, own_), settings_);
  doc.checked = check_document(doc.path, std::move(text), reading, fs_);
  json params{{"uri", uri}, {"diagnostics", diagnostics(doc.checked)}};
  if (doc.version.is_number_integer()) params["version"] = doc.version;
  notify("textDocument/publishDiagnostics", std::move(params));
}

Server::OpenDocument* Server::document_of(const json& params) {
  const std::string* uri = document_uri(params);
  if (uri == nullptr) return nullptr;
  const auto it = documents_.find(*uri);
  return it == documents_.end() ? nullptr : &it->second;
}

Server::Reply Server::did_open(const json& params) {
  const std::string* uri = document_uri(params);
  const std::string* text = string_member(field(params, "textDocument"), "text");
  if (uri == nullptr || text == nullptr) return {};
  const json* version = member(field(params, "textDocument"), "version");
  OpenDocument& doc =
      documents_.insert_or_assign(*uri, OpenDocument{path_of_uri(*uri), nullptr, {}}).first->second;
  if (version != nullptr) doc.version = *version;
  check(*uri, doc, *text);
  return {};
}

Server::Reply Server::did_change(const json& params) {
  OpenDocument* doc = document_of(params);
  const json* changes = member(params, "contentChanges");
  if (doc == nullptr || changes == nullptr || !changes->is_array()) return {};
  std::string text = doc->checked.text.text();
  for (const json& change : *changes) {
    const std::string* replacement = string_member(change, "text");
    if (replacement == nullptr) continue;
    const json* range = member(change, "range");
    const std::optional<DocumentRange> part = range != nullptr ? range_from(*range) : std::nullopt;
    text = part ? changed(DocumentText(text), *part, *replacement) : *replacement;
  }
  if (const json* version = member(field(params, "textDocument"), "version"))
    doc->version = *version;
  check(*document_uri(params), *doc, std::move(text));
  return {};
}

Server::Reply Server::did_close(const json& params) {
  const std::string* uri = document_uri(params);
  if (uri == nullptr || documents_.erase(*uri) == 0) return {};
  notify("textDocument/publishDiagnostics", {{"uri", *uri}, {"diagnostics", json::array()}});
  return {};
}

Server::Reply Server::did_change_configuration(const json& params) {
  const json* settings = member(params, "settings");
  if (settings == nullptr) return {};
  take_settings(*settings);
  for (auto& [uri, doc] : documents_) check(uri, doc, doc.checked.text.text());
  return {};
}

Server::Reply Server::hover(const json& params) {
  const std::optional<Position> position = position_from(field(params, "position"));
  if (document_uri(params) == nullptr || !position) {
    return invalid_params("hover takes a textDocument and a position");
  }
  const OpenDocument* doc = document_of(params);
  if (doc == nullptr) return {};
  return {lintkeeper::hover(doc->checked, *position)};
}

Server::Reply Server::code_action(const json& params) {
  const std::optional<DocumentRange> range = range_from(field(params, "range"));
  if (document_uri(params) == nullptr || !range) {
    return invalid_params("codeAction takes a textDocument and a range");
  }
  // Only quick fixes are offered: a client asking only for other kinds gets none.
  const json* only = member(field(params, "context"), "only");
  if (only != nullptr && only->is_array() &&
      std::none_of(only->begin(), only->end(), [](const json& kind) {
        return kind.is_string() &&
               std::string_view("quickfix").starts_with(kind.get<std::string>());
      })) {
    return {json::array()};
  }
  const OpenDocument* doc = document_of(params);
  if (doc == nullptr) return {json::array()};
  return {code_actions(doc->checked, *document_uri(params), *range)};
}

int serve(int in, int out) {
  Output writer(out);
  const CronChoice machine = detect_cron(disk(), "");
  Server server(
      [&writer](const std::string& body) {
        writer.write(framed(body));
        writer.flush();
      },
      disk(), machine.known ? std::optional<CronName>(machine.cron) : std::nullopt);
  MessageReader reader(in);
  Output err(STDERR_FILENO);
  for (;;) {
    const std::uint64_t dropped = reader.dropped();
    Incoming message = reader.next();
    if (reader.dropped() > dropped) {
      err.print("{}: dropped a header without a valid Content-Length\n", LSP_PROGRAM_NAME);
      err.flush();
    }
    if (message.kind == Incoming::Kind::End) return server.shut_down() ? 0 : 1;
    if (message.kind == Incoming::Kind::TooLarge) {
      server.refuse(message.declared);
    } else {
      server.receive(message.body);
    }
    if (writer.error() != 0) return 1;
    if (const std::optional<int> status = server.exit_status()) return *status;
  }
}

}  // namespace lintkeeper
