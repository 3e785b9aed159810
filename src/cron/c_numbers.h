// How the crons modelled here (Debian's cron and cronie, both of Vixie's line) read the number
// and the name of a time field's value.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "base/chars.h"

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

}  // namespace lintkeeper
