// name = value, as Debian's cron and cronie (both of Vixie's line) read an assignment from the
// first byte after the leading blanks. Either side may be quoted (matching ' or "); a quoted
// name may not hold '=' and a quoted value must end the line. White space is the C isspace set.
#pragma once

#include <optional>
#include <string_view>

#include "base/chars.h"
#include "cron/cron_reading.h"

namespace lintkeeper {

// The assignment, or nothing when the line is none. An empty value (not quoted) makes it none
// unless empty_value is set: Debian's cron refuses MAILTO=, cronie loads CRON_TZ=.
inline std::optional<CronReading> read_vixie_assignment(std::string_view text, bool empty_value) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t i = 0;
  std::string_view name;
  if (!text.empty() && (text[0] == '"' || text[0] == '\'')) {
    const std::size_t close = text.find_first_of(text[0] == '"' ? "\"=" : "'=", 1);
    if (close == kNone || text[close] == '=') return std::nullopt;
    name = text.substr(1, close - 1);
    i = close + 1;
  } else {
    while (i < text.size() && text[i] != '=' && !is_ascii_space(text[i])) ++i;
    name = text.substr(0, i);
  }
  while (i < text.size() && is_ascii_space(text[i])) ++i;
  if (i == text.size() || text[i] != '=') return std::nullopt;
  ++i;
  while (i < text.size() && is_ascii_space(text[i])) ++i;
  std::size_t end = text.size();
  while (end > i && is_ascii_space(text[end - 1])) --end;
  std::string_view value = text.substr(i, end - i);
  if (value.empty() && !empty_value) return std::nullopt;
  if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
    if (value.size() < 2 || value.find(value[0], 1) != value.size() - 1) return std::nullopt;
    value = value.substr(1, value.size() - 2);
  }
  CronReading r;
  r.verdict = CronReading::Verdict::Assignment;
  r.name = name;
  r.command = value;
  return r;
}

}  // namespace lintkeeper
