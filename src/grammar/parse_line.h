// Line parser: one trimmed crontab line in, one CrontabLine out; never fails.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

// text is one line without its terminator and without white space at either end. Every
// view in the result points into text.
CrontabLine parse_line(std::string_view text, CrontabFlavor flavor);

// The columns of a scheduled line, as views into its text.
struct ScheduleColumns {
  std::array<std::string_view, Schedule::kFieldCount> fields;
  std::string_view user;  // empty in a user crontab
  std::string_view command;
};

// Splits a scheduled line into its columns; nothing if the line is not one.
std::optional<ScheduleColumns> split_columns(std::string_view text, CrontabFlavor flavor);

// The same split, found from bit masks over the line's first bytes rather than byte by
// byte. It declines (gives nothing for) every line it cannot be sure of: one whose columns
// reach past its first 63 bytes, or hold or are separated by non-ASCII characters. When it
// gives columns, split_columns gives the same.
std::optional<ScheduleColumns> split_columns_fast(std::string_view text, CrontabFlavor flavor);

}  // namespace lintkeeper
