// The language server: the protocol's life cycle, its methods, the open documents and the
// settings, over a stream of framed messages.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "base/file_system.h"
#include "lsp/check_document.h"
#include "lsp/reading.h"

namespace lintkeeper {

inline constexpr std::string_view LSP_PROGRAM_NAME = "lintkeeper-lsp";

// The error codes of JSON-RPC and of the protocol.
enum class RpcError : int {
  ParseError = -32700,
  InvalidRequest = -32600,
  MethodNotFound = -32601,
  InvalidParams = -32602,
  InternalError = -32603,
  ServerNotInitialized = -32002,
};

class Server {
 public:
  using Send = std::function<void(const std::string& body)>;
  // send writes one message; fs is where the documents' other files are read (the disk); own
  // is the machine's cron, when it is known.
  Server(Send send, FileSystem& fs, std::optional<CronName> own);

  // Handles the body of one message, answering through send.
  void receive(std::string_view body);
  // Answers a message whose body of size bytes was too large to be read.
  void refuse(std::uint64_t size);

  // Set once exit is received: 0 after shutdown, else 1.
  std::optional<int> exit_status() const { return exit_status_; }
  bool shut_down() const { return state_ == State::ShutDown; }

  // What one method does with its params: a result, or an error.
  struct Reply {
    nlohmann::json result = nullptr;
    std::optional<RpcError> error = std::nullopt;
    std::string message = {};  // of the error
  };

 private:
  enum class State : std::uint8_t { Created, Running, ShutDown };
  struct Method {
    std::string_view name;
    bool request;  // answered with a result; else a notification
    Reply (Server::*handle)(const nlohmann::json& params);
  };
  struct OpenDocument {
    std::string path;
    nlohmann::json version;
    CheckedDocument checked;
  };
  static const Method METHODS[];

  void dispatch(const Method* method, const std::string& name, const nlohmann::json* id,
                const nlohmann::json& params);
  void answer(const nlohmann::json& id, nlohmann::json result);
  void fail(const nlohmann::json& id, RpcError code, std::string message);
  void notify(std::string_view method, nlohmann::json params);

  Reply initialize(const nlohmann::json& params);
  Reply initialized(const nlohmann::json& params);
  Reply shutdown(const nlohmann::json& params);
  Reply exit(const nlohmann::json& params);
  Reply did_open(const nlohmann::json& params);
  Reply did_change(const nlohmann::json& params);
  Reply did_close(const nlohmann::json& params);
  Reply did_change_configuration(const nlohmann::json& params);
  Reply hover(const nlohmann::json& params);
  Reply code_action(const nlohmann::json& params);

  // The settings of {"lintkeeper": {"cron": NAME, "user": BOOL}}; the others are kept when
  // value has no "lintkeeper" object. A value not understood is told in the client's log.
  void take_settings(const nlohmann::json& value);
  // Audits the document anew and publishes its diagnostics.
  void check(const std::string& uri, OpenDocument& doc, std::string text);
  OpenDocument* document_of(const nlohmann::json& params);

  Send send_;
  FileSystem& fs_;
  std::optional<CronName> own_;
  State state_ = State::Created;
  std::optional<int> exit_status_;
  ReadingSettings settings_;
  std::map<std::string, OpenDocument> documents_;
};

// The file path of a document's URI: a file: URI's path, percent-decoded; any other URI as it
// is.
std::string path_of_uri(std::string_view uri);

// Serves the protocol on the file descriptors until exit, or the end of in; returns the exit
// status: 0 after shutdown, 1 without, or when out cannot be written.
int serve(int in, int out);

}  // namespace lintkeeper
