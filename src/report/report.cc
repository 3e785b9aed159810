// The run's message store: adding, switching off, finishing lines, summary and status.
#include "report/report.h"

#include <algorithm>
#include <limits>

namespace lintkeeper {

std::string message_text(const LineMessage& message) {
  if (named_in_reports(message.kind)) {
    return fmt::format("{}: {}", kind_name(message.kind), message.text);
  }
  return std::string(message.text);
}

namespace {

// The largest line number has 20 digits; message lines indent by its digits and two more.
constexpr std::size_t kMaxDigits = std::numeric_limits<std::uint64_t>::digits10 + 1;
constexpr std::string_view kIndent = "                      ";
static_assert(kIndent.size() == kMaxDigits + 2);

// The texts of a line's messages start with room for this many bytes.
constexpr std::size_t kFirstTextsCapacity = 4096;

std::string_view letter_prefix(Severity severity, bool upper) {
  if (severity == Severity::Error) return upper ? "E: " : "e: ";
  return upper ? "W: " : "w: ";
}

}  // namespace

void write_line_messages(Output& out, std::uint64_t number, std::string_view text,
                         std::span<const LineMessage> messages) {
  // Written piece by piece rather than formatted: a large crontab can have a message on
  // every line. "E: 12: text", then "e:     KIND: text" with the texts in one column.
  const fmt::format_int digits(number);
  out.write(letter_prefix(messages.front().severity(), true));
  out.write({digits.data(), digits.size()});
  out.write(": ");
  out.write(text);
  out.write("\n");
  const std::string_view indent = kIndent.substr(0, digits.size() + 2);
  for (const LineMessage& m : messages) {
    out.write(letter_prefix(m.severity(), false));
    out.write(indent);
    if (named_in_reports(m.kind)) {
      out.write(kind_name(m.kind));
      out.write(": ");
    }
    out.write(m.text);
    out.write("\n");
  }
}

char* Report::text_room(std::size_t size) {
  if (line_texts_size_ + size > line_texts_capacity_) {
    const std::size_t capacity =
        std::max({kFirstTextsCapacity, 2 * line_texts_capacity_, line_texts_size_ + size});
    // Left uninitialised, as make_unique_for_overwrite would (which the libc++ of the
    // WebAssembly build lacks).
    std::unique_ptr<char[]> fresh(new char[capacity]);
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

void Report::keep_file_message(MessageKind kind, std::uint64_t line, std::string_view text) {
  if (switched_off_.test(static_cast<std::size_t>(kind))) return;
  const std::string_view kept = file_texts_.emplace_back(text);
  const Severity severity = severity_of(kind);
  if (!quiet_) {
    out_.write(letter_prefix(severity, true));
    out_.write(kept);
    out_.write("\n");
  }
  file_messages_.push_back({kept, kind, line});
  (severity == Severity::Error ? errors_ : warnings_) += 1;
}

void Report::bring_last_file_message_first() {
  if (file_messages_.size() < 2) return;
  std::rotate(file_messages_.rbegin(), file_messages_.rbegin() + 1, file_messages_.rend());
}

void Report::finish_line(std::uint64_t number, std::string_view text) {
  if (line_messages_.size() > 1) {
    std::stable_partition(line_messages_.begin(), line_messages_.end(),
                          [](const LineMessage& m) { return m.severity() == Severity::Error; });
  }
  if (!quiet_ && !line_messages_.empty()) {
    write_line_messages(out_, number, text, line_messages_);
  }
  if (keep_ == Keep::All || (keep_ == Keep::WithMessages && !line_messages_.empty())) {
    lines_.append(number, text, line_messages_);
  }
  line_messages_.clear();
  line_texts_size_ = 0;
}

void Report::apply_command(const LintkeeperCmd& command) {
  const std::optional<MessageKind> kind = line_kind_from_name(command.msg_kind);
  if (!kind) {
    add(MessageKind::LINTKEEPER_ERROR, "\"{}\" is an unknown error message.", command.msg_kind);
  }
  if (command.command == "disable-msg") {
    if (kind) disabled_.set(static_cast<std::size_t>(*kind));
  } else if (command.command == "enable-msg") {
    if (kind) disabled_.reset(static_cast<std::size_t>(*kind));
  } else {
    add(MessageKind::LINTKEEPER_ERROR,
        "Invalid lintkeeper command - must be enable-msg or disable-msg.");
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
