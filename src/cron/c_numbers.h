// How the crons modelled here (Debian's cron and cronie, both of Vixie's line) read the time
// fields: their limits, and the number and the name of a value.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "base/chars.h"
#include "fields/time_fields.h"
#include "grammar/line.h"

namespace lintkeeper {

// A number as a long that stops growing at its largest value, then kept in its low 32 bits as
// an int: 4294967296 is 0 and 99999999999999999999 is -1 (crontab -n takes 4294967296 for 0;
// cronie's table loads 32-6418334732956993616874125 in the minutes, 32 to -1 running backwards,
// and refuses 99999999999999999999-52).
inline std::int32_t long_as_int(std::string_view digits) {
  constexpr std::uint64_t kLongMax = std::numeric_limits<std::int64_t>::max();
  std::uint64_t value = 0;
  for (const char c : digits) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    value = value > (kLongMax - digit) / 10 ? kLongMax : value * 10 + digit;
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

inline bool all_digits(std::string_view token) {
  for (const char c : token) {
    if (!is_ascii_digit(c)) return false;
  }
  return true;
}

// Whether the token is the name (in lower case), in any case.
inline bool same_name(std::string_view token, std::string_view name) {
  if (token.size() != name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (ascii_lower(token[i]) != name[i]) return false;
  }
  return true;
}

// The limits of the five time fields, which are those of TIME_FIELDS, and the word each cron
// refuses a field with. A name stands for the field's lowest value plus its index: "jan" is
// 1, "sun" is 0 (and 7 is Sunday too).
struct VixieField {
  std::string_view reason;
  std::string_view display_name;
  std::int32_t min, max;
  std::span<const std::string_view> names;  // lower case; matched whole, in any case
};

inline constexpr std::array<std::string_view, Schedule::kFieldCount> kVixieFieldReasons{
    "bad minute", "bad hour", "bad day-of-month", "bad month", "bad day-of-week"};

constexpr std::array<VixieField, Schedule::kFieldCount> make_vixie_fields() {
  std::array<VixieField, Schedule::kFieldCount> fields{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldSpec& spec = TIME_FIELDS[i];
    fields[i] = {kVixieFieldReasons[i], spec.display_name, static_cast<std::int32_t>(spec.min),
                 static_cast<std::int32_t>(spec.max), spec.names};
  }
  return fields;
}
inline constexpr std::array<VixieField, Schedule::kFieldCount> VIXIE_FIELDS = make_vixie_fields();

}  // namespace lintkeeper
