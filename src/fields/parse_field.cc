// Time-field parser: one token in, one Field out; never fails.
#include "fields/parse_field.h"

#include <cstdint>
#include <limits>
#include <new>

#include <fmt/format.h>

#include "grammar/char_class.h"
#include "grammar/unicode.h"

namespace lintkeeper {

namespace {

bool is_digit(char c) { return has_class(c, kDigit); }
bool is_letter(char c) { return has_class(c, kLetter); }

// Where reading an item stopped when it did not succeed.
enum class Outcome { Ok, Incomplete, BadChar };

class ItemReader {
 public:
  explicit ItemReader(std::string_view text) : text_(text) {}

  std::size_t pos = 0;

  bool at_end() const { return pos >= text_.size(); }
  char peek() const { return text_[pos]; }

  // Reads one item at pos; on failure pos is the failing character.
  // Builds the item in place at slot, raw storage for one FieldItem.
  Outcome read_item(void* slot) {
    const auto item = [slot](auto value) { ::new (slot) FieldItem(value); };
    if (at_end()) return Outcome::Incomplete;
    const char c = peek();
    if (c == '*') {
      ++pos;
      if (at_end() || peek() != '/') {
        item(Star{});
        return Outcome::Ok;
      }
      ++pos;
      std::uint64_t step = 0;
      if (const Outcome o = read_number(step); o != Outcome::Ok) return o;
      item(StarStep{step});
      return Outcome::Ok;
    }
    if (is_digit(c)) {
      std::uint64_t start = 0, end = 0, step = 0;
      read_number(start);
      if (at_end() || peek() != '-') {
        item(Time{start});
        return Outcome::Ok;
      }
      ++pos;
      if (const Outcome o = read_number(end); o != Outcome::Ok) return o;
      if (at_end() || peek() != '/') {
        item(Range{start, end});
        return Outcome::Ok;
      }
      ++pos;
      if (const Outcome o = read_number(step); o != Outcome::Ok) return o;
      item(RangeStep{start, end, step});
      return Outcome::Ok;
    }
    if (is_letter(c)) {
      std::string_view start, end;
      std::uint64_t step = 0;
      read_name(start);
      if (at_end() || peek() != '-') {
        item(Text{start});
        return Outcome::Ok;
      }
      ++pos;
      if (const Outcome o = read_name(end); o != Outcome::Ok) return o;
      if (at_end() || peek() != '/') {
        item(TextRange{start, end});
        return Outcome::Ok;
      }
      ++pos;
      if (const Outcome o = read_number(step); o != Outcome::Ok) return o;
      item(TextRangeStep{start, end, step});
      return Outcome::Ok;
    }
    return Outcome::BadChar;
  }

 private:
  // Overlong digit runs saturate; the range check reports them with the field name.
  Outcome read_number(std::uint64_t& value) {
    if (at_end()) return Outcome::Incomplete;
    if (!is_digit(peek())) return Outcome::BadChar;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    value = 0;
    while (!at_end() && is_digit(peek())) {
      const auto digit = static_cast<std::uint64_t>(peek() - '0');
      if (__builtin_mul_overflow(value, 10, &value) || __builtin_add_overflow(value, digit, &value)) {
        value = kMax;
      }
      ++pos;
    }
    return Outcome::Ok;
  }

  Outcome read_name(std::string_view& name) {
    if (at_end()) return Outcome::Incomplete;
    if (!is_letter(peek())) return Outcome::BadChar;
    const std::size_t start = pos;
    while (!at_end() && is_letter(peek())) ++pos;
    name = text_.substr(start, pos - start);
    return Outcome::Ok;
  }

  std::string_view text_;
};

std::string incomplete(std::string_view text) { return fmt::format("\"{}\" is incomplete", text); }

std::string bad_char(std::string_view text, std::size_t pos) {
  char32_t c = 0;
  const std::size_t n = decode_utf8(text, pos, c);
  return fmt::format("\"{}[[{}]]{}\"", text.substr(0, pos), text.substr(pos, n),
                     text.substr(pos + n));
}

}  // namespace

Field parse_field(std::string_view text) {
  Field field;
  parse_field(text, field);
  return field;
}

void parse_field(std::string_view text, Field& field) {
  field.text = text;
  // The most common fields, "*" and a short number, take a shortcut.
  // The item is built in place: a copy of a temporary would read back what was just
  // written in parts, which stalls the processor.
  if (text.size() == 1 && text[0] == '*') {
    ::new (field.items.prepare_back()) FieldItem(Star{});
    field.items.commit_back();
    return;
  }
  if (!text.empty() && text.size() <= 2 && is_digit(text[0]) &&
      (text.size() == 1 || is_digit(text[1]))) {
    const auto tens = text.size() == 2 ? static_cast<std::uint64_t>(text[0] - '0') : 0;
    ::new (field.items.prepare_back())
        FieldItem(Time{tens * 10 + static_cast<std::uint64_t>(text.back() - '0')});
    field.items.commit_back();
    return;
  }
  ItemReader reader(text);
  while (true) {
    const Outcome outcome = reader.read_item(field.items.prepare_back());
    if (outcome == Outcome::Incomplete) {
      field.error = incomplete(text);
      return;
    }
    if (outcome == Outcome::BadChar) {
      field.error = bad_char(text, reader.pos);
      return;
    }
    if (reader.at_end()) {
      field.items.commit_back();
      return;
    }
    if (reader.peek() != ',') {
      field.error = bad_char(text, reader.pos);
      return;
    }
    if (reader.pos + 1 == text.size()) {
      field.error = incomplete(text);
      return;
    }
    field.items.commit_back();
    ++reader.pos;
  }
}

}  // namespace lintkeeper
