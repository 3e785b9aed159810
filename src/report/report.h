// The run's message store and text reporter.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
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
  // A warning whose text is joined from its parts rather than formatted: for messages that
  // can come on every line of a large crontab.
  template <typename... Parts>
  void add_warning_joined(MessageKind kind, const Parts&... parts) {
    if (is_disabled(kind)) return;
    const std::size_t size = (part_view(parts).size() + ...);
    char* const start = text_room(size);
    char* p = start;
    ((p = append_part(p, part_view(parts))), ...);
    line_messages_.push_back({{start, size}, Severity::Warning, kind});
    warnings_ += 1;
  }

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
  // Room for size more bytes of the current line's message texts. If the texts move, the
  // views of the messages already added follow them.
  char* text_room(std::size_t size);
  // A string literal's size is known without looking for its end.
  template <std::size_t N>
  static std::string_view part_view(const char (&literal)[N]) {
    return {literal, N - 1};
  }
  static std::string_view part_view(std::string_view part) { return part; }
  static char* append_part(char* p, std::string_view part) {
    if (!part.empty()) std::memcpy(p, part.data(), part.size());
    return p + part.size();
  }
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
  // The current line's messages; their texts lie one after the other in line_texts_,
  // which is reused from line to line.
  std::vector<LineMessage> line_messages_;
  std::unique_ptr<char[]> line_texts_;
  std::size_t line_texts_size_ = 0;
  std::size_t line_texts_capacity_ = 0;
  std::vector<LineMessage> file_messages_;
  std::deque<std::string> file_texts_;
  LineStore lines_;
  fmt::memory_buffer scratch_;
};

}  // namespace lintkeeper
