// Line parser: tries blank, comment, assignment, @ directive and scheduled line in turn.
#include "grammar/parse_line.h"

#include <array>
#include <optional>

#include "fields/parse_field.h"
#include "grammar/char_class.h"
#include "grammar/unicode.h"

namespace lintkeeper {

namespace {

bool is_ident_start(char c) { return has_class(c, kIdentStart); }
bool is_ident_char(char c) { return has_class(c, kIdentChar); }
bool is_field_char(char c) { return has_class(c, kFieldChar); }

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
    while (!at_end()) {
      const auto b = static_cast<unsigned char>(text_[pos_]);
      if (b < 0x80) {  // ASCII: no need to decode
        if (has_class(static_cast<char>(b), kAsciiSpace)) break;
        ++pos_;
        continue;
      }
      if (white_space_at(text_, pos_) != 0) break;
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

void parse_comment(std::string_view text, CrontabLine& out) {
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
      out.emplace<LintkeeperCmd>(LintkeeperCmd{comment, r.substr(0, eq), r.substr(eq + 1)});
      return;
    }
  }
  out.emplace<Comment>(Comment{comment});
}

bool parse_assignment(std::string_view text, CrontabLine& out) {
  Cursor c(text);
  const std::string_view name = c.take_while(is_ident_char);
  c.skip_white_space();
  if (c.at_end() || c.peek() != '=') return false;
  c.advance(1);
  out.emplace<EnvVar>(EnvVar{name, c.rest()});
  return true;
}

bool parse_special(std::string_view text, CrontabFlavor flavor, CrontabLine& out) {
  Cursor c(text);
  c.advance(1);  // '@'
  const std::optional<std::string_view> name = c.column();
  if (!name) return false;
  std::optional<std::string_view> user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    user = c.column();
    if (!user) return false;
  }
  const std::string_view command = c.rest();
  if (command.empty()) return false;
  out.emplace<Special>(Special{*name, user, command});
  return true;
}

template <typename Line>
void fill_fields(Line& line, const std::array<std::string_view, 5>& fields) {
  parse_field(fields[0], line.minutes);
  parse_field(fields[1], line.hours);
  parse_field(fields[2], line.days);
  parse_field(fields[3], line.months);
  parse_field(fields[4], line.week_days);
}

bool parse_scheduled(std::string_view text, CrontabFlavor flavor, CrontabLine& out) {
  Cursor c(text);
  std::array<std::string_view, 5> fields;
  for (std::string_view& field : fields) {
    field = c.take_while(is_field_char);
    if (field.empty() || c.skip_white_space() == 0) return false;
  }
  std::string_view user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    const std::optional<std::string_view> column = c.column();
    if (!column) return false;
    user = *column;
  }
  const std::string_view command = c.rest();
  if (command.empty()) return false;
  // The fields are parsed only once the whole line has matched.
  if (flavor == CrontabFlavor::UserCrontab) {
    Standard& line = out.emplace<Standard>();
    fill_fields(line, fields);
    line.command = command;
  } else {
    System& line = out.emplace<System>();
    fill_fields(line, fields);
    line.user = user;
    line.command = command;
  }
  return true;
}

}  // namespace

CrontabLine parse_line(std::string_view text, CrontabFlavor flavor) {
  // Starts as the fallback, made in place: a default-constructed variant would first clear
  // all of its storage.
  CrontabLine line(std::in_place_type<Unknown>, Unknown{text});
  if (text.empty()) {
    line.emplace<Blank>();
    return line;
  }
  const char first = text.front();
  if (first == '#') {
    parse_comment(text, line);
  } else if (!(is_ident_start(first) && parse_assignment(text, line)) &&
             !(first == '@' && parse_special(text, flavor, line))) {
    parse_scheduled(text, flavor, line);
  }
  return line;
}

}  // namespace lintkeeper
