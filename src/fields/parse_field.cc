// Time-field parser: one token in, one Field out; never fails.
#include "fields/parse_field.h"

#include <cstdint>
#include <limits>
#include <new>

#include <fmt/format.h>

#include "base/chars.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

// Where reading an item stopped when it did not succeed.
enum class Outcome { Ok, Incomplete, BadChar };

class ItemReader {
 public:
  explicit ItemReader(std::string_view text)
      : begin_(text.data()), p_(text.data()), end_(text.data() + text.size()) {}

  std::size_t pos() const { return static_cast<std::size_t>(p_ - begin_); }
  bool at_end() const { return p_ == end_; }
  // Steps over c if it is the next character.
  bool take(char c) {
    if (p_ == end_ || *p_ != c) return false;
    ++p_;
    return true;
  }

  // Reads one item; on failure pos() is the failing character.
  // Builds the item in place at slot, raw storage for one FieldItem.
  Outcome read_item(void* slot) {
    if (p_ == end_) return Outcome::Incomplete;
    const char c = *p_;
    if (c == '*') {
      ++p_;
      if (!take('/')) return build(slot, Star{});
      std::uint64_t step = 0;
      if (const Outcome o = read_number(step); o != Outcome::Ok) return o;
      return build(slot, StarStep{step});
    }
    if (is_ascii_digit(c)) {
      return read_range<&ItemReader::read_number, Time, Range, RangeStep>(slot);
    }
    if (is_ascii_letter(c)) {
      return read_range<&ItemReader::read_name, Text, TextRange, TextRangeStep>(slot);
    }
    return Outcome::BadChar;
  }

 private:
  // START, START-END or START-END/STEP, built at slot as a Single, a Ranged or a Stepped item;
  // START and END are read by read_value (the first character is known to start a value).
  template <auto read_value, typename Single, typename Ranged, typename Stepped>
  Outcome read_range(void* slot) {
    decltype(Ranged::start) start{}, end{};
    std::uint64_t step = 0;
    (this->*read_value)(start);
    if (!take('-')) return build(slot, Single{start});
    if (const Outcome o = (this->*read_value)(end); o != Outcome::Ok) return o;
    if (!take('/')) return build(slot, Ranged{start, end});
    if (const Outcome o = read_number(step); o != Outcome::Ok) return o;
    return build(slot, Stepped{start, end, step});
  }
  template <typename Item>
  static Outcome build(void* slot, Item value) {
    ::new (slot) FieldItem(value);
    return Outcome::Ok;
  }

  // Overlong digit runs saturate; the range check reports them with the field name.
  Outcome read_number(std::uint64_t& value) {
    if (p_ == end_) return Outcome::Incomplete;
    if (!is_ascii_digit(*p_)) return Outcome::BadChar;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    constexpr std::uint64_t kSafe = (kMax - 9) / 10;  // below it, one more digit cannot overflow
    std::uint64_t v = static_cast<std::uint64_t>(*p_++ - '0');
    while (p_ != end_ && is_ascii_digit(*p_)) {
      const auto digit = static_cast<std::uint64_t>(*p_++ - '0');
      if (v <= kSafe) {
        v = v * 10 + digit;
      } else if (__builtin_mul_overflow(v, 10, &v) || __builtin_add_overflow(v, digit, &v)) {
        v = kMax;
      }
    }
    value = v;
    return Outcome::Ok;
  }

  Outcome read_name(std::string_view& name) {
    if (p_ == end_) return Outcome::Incomplete;
    if (!is_ascii_letter(*p_)) return Outcome::BadChar;
    const char* const start = p_++;
    while (p_ != end_ && is_ascii_letter(*p_)) ++p_;
    name = {start, static_cast<std::size_t>(p_ - start)};
    return Outcome::Ok;
  }

  const char* begin_;
  const char* p_;
  const char* end_;
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
  if (!text.empty() && text.size() <= 2 && is_ascii_digit(text[0]) &&
      (text.size() == 1 || is_ascii_digit(text[1]))) {
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
      field.error = bad_char(text, reader.pos());
      return;
    }
    if (reader.at_end()) {
      field.items.commit_back();
      return;
    }
    // An item followed by anything but a comma, or by a comma that ends the field, is
    // not kept.
    if (!reader.take(',')) {
      field.error = bad_char(text, reader.pos());
      return;
    }
    if (reader.at_end()) {
      field.error = incomplete(text);
      return;
    }
    field.items.commit_back();
  }
}

void parse_schedule(const std::array<std::string_view, Schedule::kFieldCount>& texts,
                    Schedule& schedule) {
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) parse_field(texts[i], schedule.fields[i]);
}

Schedule parse_schedule(const std::array<std::string_view, Schedule::kFieldCount>& texts) {
  Schedule schedule;
  parse_schedule(texts, schedule);
  return schedule;
}

}  // namespace lintkeeper
