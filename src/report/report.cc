// The run's message store: adding, switching off, finishing lines, summary and status.
#include "report/report.h"

#include <algorithm>

namespace lintkeeper {

std::string message_text(const LineMessage& message) {
  if (message.kind) return fmt::format("{}: {}", kind_name(*message.kind), message.text);
  return std::string(message.text);
}

namespace {

char letter(Severity severity, bool upper) {
  if (severity == Severity::Error) return upper ? 'E' : 'e';
  return upper ? 'W' : 'w';
}

}  // namespace

char* Report::text_room(std::size_t size) {
  if (line_texts_size_ + size > line_texts_capacity_) {
    const std::size_t capacity =
        std::max({std::size_t{4096}, 2 * line_texts_capacity_, line_texts_size_ + size});
    auto fresh = std::make_unique_for_overwrite<char[]>(capacity);
    if (line_texts_size_ > 0) std::memcpy(fresh.get(), line_texts_.get(), line_texts_size_);
    for (LineMessage& m : line_messages_) {
      m.text = {fresh.get() + (m.text.data() - line_texts_.get()), m.text.size()};
    }
    line_texts_ = std::move(fresh);
    line_texts_capacity_ = capacity;
  }
  char* const room = line_texts_.get() + line_texts_size_;
  line_texts_size_ += size;
  return room;
}

void Report::add(MessageKind kind, Severity severity, std::string_view text) {
  if (is_disabled(kind)) return;
  char* const kept = text_room(text.size());
  append_part(kept, text);
  line_messages_.push_back({{kept, text.size()}, severity, kind});
  (severity == Severity::Error ? errors_ : warnings_) += 1;
}

void Report::add_file(Severity severity, std::string_view text) {
  const std::string_view kept = file_texts_.emplace_back(text);
  if (!quiet_) out_.print("{}: {}\n", letter(severity, true), kept);
  file_messages_.push_back({kept, severity, std::nullopt});
  (severity == Severity::Error ? errors_ : warnings_) += 1;
}

void Report::finish_line(std::uint64_t number, std::string_view text) {
  if (line_messages_.size() > 1) {
    std::stable_partition(line_messages_.begin(), line_messages_.end(),
                          [](const LineMessage& m) { return m.severity == Severity::Error; });
  }
  if (!quiet_ && !line_messages_.empty()) {
    // Written piece by piece rather than formatted: a large crontab can have a message on
    // every line. "E: 12: text", then "e:     KIND: text" with the texts in one column.
    const bool any_error = line_messages_.front().severity == Severity::Error;
    const fmt::format_int digits(number);
    out_.write(any_error ? "E: " : "W: ");
    out_.write({digits.data(), digits.size()});
    out_.write(": ");
    out_.write(text);
    out_.write("\n");
    const std::string_view pad =
        std::string_view("                      ").substr(0, digits.size());
    for (const LineMessage& m : line_messages_) {
      out_.write(m.severity == Severity::Error ? "e: " : "w: ");
      out_.write(pad);
      out_.write("  ");
      if (m.kind) {
        out_.write(kind_name(*m.kind));
        out_.write(": ");
      }
      out_.write(m.text);
      out_.write("\n");
    }
  }
  lines_.append(number, text, line_messages_);
  line_messages_.clear();
  line_texts_size_ = 0;
}

void Report::apply_command(const LintkeeperCmd& command) {
  const std::optional<MessageKind> kind = kind_from_name(command.msg_kind);
  if (!kind) {
    add_error(MessageKind::LINTKEEPER_ERROR, "\"{}\" is an unknown error message.",
              command.msg_kind);
  }
  if (command.command == "disable-msg") {
    if (kind) disabled_ |= static_cast<std::uint16_t>(1u << static_cast<int>(*kind));
  } else if (command.command == "enable-msg") {
    if (kind) disabled_ &= static_cast<std::uint16_t>(~(1u << static_cast<int>(*kind)));
  } else {
    add_error(MessageKind::LINTKEEPER_ERROR,
              std::string_view("Invalid lintkeeper command - must be enable-msg or disable-msg."));
  }
}

void Report::print_summary() {
  if (quiet_) return;
  if (errors_ > 0) {
    out_.print("E: There were {} errors and {} warnings.\n", errors_, warnings_);
  } else if (warnings_ > 0) {
    out_.print("W: There were {} warnings.\n", warnings_);
  }
}

int Report::exit_status(std::optional<std::uint64_t> fail_warnings) const {
  if (errors_ > 0) return 2;
  if (warnings_ > fail_warnings.value_or(0)) return 1;
  return 0;
}

}  // namespace lintkeeper
