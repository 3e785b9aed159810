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

#include "base/output.h"
#include "grammar/line.h"
#include "report/line_store.h"
#include "report/message_kind.h"

namespace lintkeeper {

// "KIND: text" for a message of a line kind, the text alone for one about the file.
std::string message_text(const LineMessage& message);

// A message text known when the program is built. It holds no replacement field, so that a
// format string given without its arguments does not compile.
class FixedText {
 public:
  template <std::size_t N>
  consteval FixedText(const char (&literal)[N]) : text_(literal, N - 1) {
    for (const char c : text_) {
      if (c == '{' || c == '}') throw "a fixed message text holds no replacement field";
    }
  }
  constexpr std::string_view view() const { return text_; }

 private:
  std::string_view text_;
};

// A finished line in the text report: "E: 12: text" (or "W:" when it has no error), then a
// line per message, errors first as given.
void write_line_messages(Output& out, std::uint64_t number, std::string_view text,
                         std::span<const LineMessage> messages);

class Report {
 public:
  // Which finished lines are kept as records, for a report that reads them after the run:
  // they cost memory in proportion to the file.
  enum class Keep { None, WithMessages, All };

  Report(Output& out, bool quiet, Keep keep = Keep::All) : out_(out), quiet_(quiet), keep_(keep) {}

  // Messages of the current line, with the severity of their kind. A kind switched off at
  // this line is dropped: neither kept, printed nor counted.
  void add(MessageKind kind, FixedText text) { emit(kind, text.view()); }
  template <typename... T>
  requires(sizeof...(T) > 0) void add(MessageKind kind, fmt::format_string<T...> format,
                                      T&&... args) {
    if (is_disabled(kind)) return;
    scratch_.clear();
    fmt::format_to(fmt::appender(scratch_), format, std::forward<T>(args)...);
    emit(kind, std::string_view(scratch_.data(), scratch_.size()));
  }
  // A message joined from its parts rather than formatted: for messages that can come on
  // every line of a large crontab.
  template <typename... Parts>
  void add_joined(MessageKind kind, const Parts&... parts) {
    emit(kind, part_view(parts)...);
  }

  // Messages about the file, of a file kind: printed at once unless quiet, never switched
  // off.
  void add_file(MessageKind kind, FixedText text) { keep_file_message(kind, 0, text.view()); }
  template <typename... T>
  requires(sizeof...(T) > 0) void add_file(MessageKind kind, fmt::format_string<T...> format,
                                           T&&... args) {
    keep_file_message(kind, 0, fmt::format(format, std::forward<T>(args)...));
  }
  // The same about one line of the file, by its number.
  template <typename... T>
  void add_file_line(MessageKind kind, std::uint64_t line, fmt::format_string<T...> format,
                     T&&... args) {
    keep_file_message(kind, line, fmt::format(format, std::forward<T>(args)...));
  }

  // Moves the message about the file added last before all the others: for the one that
  // explains the others.
  void bring_last_file_message_first();

  // Orders the current line's messages errors first (stable), prints them under a line
  // header unless quiet, and keeps them with the line as its LineRecord when lines are kept.
  void finish_line(std::uint64_t number, std::string_view text);

  // Carries out an in-file command; takes effect from the next line on.
  void apply_command(const LintkeeperCmd& command);

  // Switches kinds off for the whole run, file kinds too; in-file commands do not switch them
  // back on.
  void switch_off(const KindSet& kinds) { switched_off_ |= kinds; }

  bool is_disabled(MessageKind kind) const {
    const auto i = static_cast<std::size_t>(kind);
    return disabled_.test(i) || switched_off_.test(i);
  }

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
  // The one path of every line message: drops a switched-off kind, else keeps the parts
  // joined as the message's text and counts it. Inline, so that parts of known size are
  // copied without a call.
  template <typename... Parts>
  void emit(MessageKind kind, const Parts&... parts) {
    if (is_disabled(kind)) return;
    const std::size_t size = (std::string_view(parts).size() + ...);
    char* const start = text_room(size);
    char* p = start;
    ((p = append_part(p, parts)), ...);
    line_messages_.push_back({{start, size}, kind});
    (severity_of(kind) == Severity::Error ? errors_ : warnings_) += 1;
  }
  static char* append_part(char* p, std::string_view part) {
    if (!part.empty()) std::memcpy(p, part.data(), part.size());
    return p + part.size();
  }
  // Room for size more bytes of the current line's message texts. If the texts move, the
  // views of the messages already added follow them.
  char* text_room(std::size_t size);
  void keep_file_message(MessageKind kind, std::uint64_t line, std::string_view text);
  // A string literal's size is known without looking for its end.
  template <std::size_t N>
  static std::string_view part_view(const char (&literal)[N]) {
    return {literal, N - 1};
  }
  static std::string_view part_view(std::string_view part) { return part; }
  Output& out_;
  bool quiet_;
  Keep keep_;
  KindSet disabled_;      // by in-file commands
  KindSet switched_off_;  // for the whole run
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
