// The run's message store and text reporter.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <string>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "grammar/line.h"
#include "report/line_store.h"
#include "report/message_kind.h"
#include "report/output.h"

namespace lintkeeper {

// "KIND: text" for a message with a kind, the text alone otherwise.
std::string message_text(const LineMessage& message);

class Report {
 public:
  Report(Output& out, bool quiet) : out_(out), quiet_(quiet) {}

  // Messages of the current line. A kind switched off at this line is dropped: neither
  // kept, printed nor counted.
  void add_error(MessageKind kind, std::string_view text) { add(kind, Severity::Error, text); }
  void add_warning(MessageKind kind, std::string_view text) { add(kind, Severity::Warning, text); }
  // The text joined from its parts.
  void add_warning(MessageKind kind, std::initializer_list<std::string_view> parts);

  template <typename... T>
  void add_error(MessageKind kind, fmt::format_string<T...> format, T&&... args) {
    if (is_disabled(kind)) return;
    add(kind, Severity::Error, format_scratch(format, std::forward<T>(args)...));
  }
  template <typename... T>
  void add_warning(MessageKind kind, fmt::format_string<T...> format, T&&... args) {
    if (is_disabled(kind)) return;
    add(kind, Severity::Warning, format_scratch(format, std::forward<T>(args)...));
  }

  // Messages about the file: printed at once unless quiet, never switched off.
  void add_file_error(std::string_view text) { add_file(Severity::Error, text); }
  void add_file_warning(std::string_view text) { add_file(Severity::Warning, text); }

  // Orders the current line's messages errors first (stable), prints them under a line
  // header unless quiet, and keeps them with the line as its LineRecord.
  void finish_line(std::uint64_t number, std::string_view text);

  // Carries out an in-file command; takes effect from the next line on.
  void apply_command(const LintkeeperCmd& command);

  bool is_disabled(MessageKind kind) const { return (disabled_ >> static_cast<int>(kind)) & 1u; }

  void print_summary();
  int exit_status(std::optional<std::uint64_t> fail_warnings) const;

  std::uint64_t errors() const { return errors_; }
  std::uint64_t warnings() const { return warnings_; }
  bool quiet() const { return quiet_; }
  Output& out() { return out_; }
  std::span<const LineMessage> file_messages() const { return file_messages_; }
  std::span<const LineMessage> line_messages() const { return line_messages_; }
  // The kept records of the finished lines, in file order.
  std::size_t line_count() const { return lines_.size(); }
  LineStore::Cursor lines() const { return lines_.cursor(); }

 private:
  void add(MessageKind kind, Severity severity, std::string_view text);
  std::string& next_text();  // a cleared string for the next message of the line
  void add_file(Severity severity, std::string_view text);
  template <typename... T>
  std::string_view format_scratch(fmt::format_string<T...> format, T&&... args) {
    scratch_.clear();
    fmt::format_to(fmt::appender(scratch_), format, std::forward<T>(args)...);
    return {scratch_.data(), scratch_.size()};
  }

  Output& out_;
  bool quiet_;
  std::uint16_t disabled_ = 0;  // bit i: MessageKind i is switched off
  std::uint64_t errors_ = 0;
  std::uint64_t warnings_ = 0;
  // The current line's messages; their texts live in pending_texts_, whose strings are
  // reused from line to line (a deque, so that no string moves while viewed).
  std::vector<LineMessage> line_messages_;
  std::deque<std::string> pending_texts_;
  std::vector<LineMessage> file_messages_;
  std::deque<std::string> file_texts_;
  LineStore lines_;
  fmt::memory_buffer scratch_;
};

}  // namespace lintkeeper
