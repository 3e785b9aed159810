// Line parser: tries blank, comment, assignment, @ directive and scheduled line in turn.
#include "grammar/parse_line.h"

#include <array>
#include <optional>

#include "fields/parse_field.h"
#include "grammar/unicode.h"

namespace lintkeeper {

namespace {

bool is_ident_start(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool is_ident_char(char c) { return is_ident_start(c) || (c >= '0' && c <= '9'); }
bool is_field_char(char c) {
  return is_ident_char(c) || c == '*' || c == ',' || c == '-' || c == '/';
}

// A cursor over the line; every run it reads is a view into the line.
class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}

  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void advance(std::size_t n) { pos_ += n; }
  std::string_view rest() const { return text_.substr(pos_); }

  // Steps over a run of white space; returns how many bytes it held.
  std::size_t skip_white_space() {
    const std::size_t start = pos_;
    while (!at_end()) {
      const std::size_t n = white_space_at(text_, pos_);
      if (n == 0) break;
      pos_ += n;
    }
    return pos_ - start;
  }

  // The run of non-white-space characters at the cursor.
  std::string_view take_word() {
    const std::size_t start = pos_;
    while (!at_end() && white_space_at(text_, pos_) == 0) {
      char32_t c = 0;
      pos_ += decode_utf8(text_, pos_, c);
    }
    return text_.substr(start, pos_ - start);
  }

  template <typename Pred>
  std::string_view take_while(Pred pred) {
    const std::size_t start = pos_;
    while (!at_end() && pred(peek())) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A non-empty word followed by white space, which is stepped over.
  std::optional<std::string_view> column() {
    const std::string_view word = take_word();
    if (word.empty() || skip_white_space() == 0) return std::nullopt;
    return word;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

CrontabLine parse_comment(std::string_view text) {
  const std::string_view comment = text.substr(1);
  Cursor c(text);
  c.take_while([](char ch) { return ch == '#'; });
  c.skip_white_space();
  constexpr std::string_view kWord = "lintkeeper:";
  if (c.rest().starts_with(kWord)) {
    c.advance(kWord.size());
    c.skip_white_space();
    const std::string_view r = c.rest();
    const std::size_t eq = r.rfind('=');
    if (eq != std::string_view::npos) {
      return LintkeeperCmd{comment, r.substr(0, eq), r.substr(eq + 1)};
    }
  }
  return Comment{comment};
}

std::optional<CrontabLine> parse_assignment(std::string_view text) {
  Cursor c(text);
  const std::string_view name = c.take_while(is_ident_char);
  c.skip_white_space();
  if (c.at_end() || c.peek() != '=') return std::nullopt;
  c.advance(1);
  return EnvVar{name, c.rest()};
}

std::optional<CrontabLine> parse_special(std::string_view text, CrontabFlavor flavor) {
  Cursor c(text);
  c.advance(1);  // '@'
  const std::optional<std::string_view> name = c.column();
  if (!name) return std::nullopt;
  std::optional<std::string_view> user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    user = c.column();
    if (!user) return std::nullopt;
  }
  const std::string_view command = c.rest();
  if (command.empty()) return std::nullopt;
  return Special{*name, user, command};
}

std::optional<CrontabLine> parse_scheduled(std::string_view text, CrontabFlavor flavor) {
  Cursor c(text);
  std::array<std::string_view, 5> fields;
  for (std::string_view& field : fields) {
    field = c.take_while(is_field_char);
    if (field.empty() || c.skip_white_space() == 0) return std::nullopt;
  }
  std::string_view user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    const std::optional<std::string_view> column = c.column();
    if (!column) return std::nullopt;
    user = *column;
  }
  const std::string_view command = c.rest();
  if (command.empty()) return std::nullopt;
  // The fields are parsed only once the whole line has matched.
  if (flavor == CrontabFlavor::UserCrontab) {
    return Standard{parse_field(fields[0]), parse_field(fields[1]), parse_field(fields[2]),
                    parse_field(fields[3]), parse_field(fields[4]), command};
  }
  return System{parse_field(fields[0]), parse_field(fields[1]), parse_field(fields[2]),
                parse_field(fields[3]),  parse_field(fields[4]), user,
                command};
}

}  // namespace

CrontabLine parse_line(std::string_view text, CrontabFlavor flavor) {
  if (text.empty()) return Blank{};
  const char first = text.front();
  if (first == '#') return parse_comment(text);
  if (is_ident_start(first)) {
    if (auto line = parse_assignment(text)) return std::move(*line);
  }
  if (first == '@') {
    if (auto line = parse_special(text, flavor)) return std::move(*line);
  }
  if (auto line = parse_scheduled(text, flavor)) return std::move(*line);
  return Unknown{text};
}

}  // namespace lintkeeper
