// The five time fields: names, limits, the name check and the text form of an item.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "grammar/line.h"

namespace lintkeeper {

struct FieldSpec {
  std::string_view display_name;            // as messages quote it: "day of month"
  std::string_view member_name;             // as the debug forms label it: "days"
  std::span<const std::string_view> names;  // allowed names, lower case; may be empty
  std::uint64_t min, max;                   // both inclusive
};

inline constexpr std::array<std::string_view, 12> MONTH_NAMES{
    "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
inline constexpr std::array<std::string_view, 7> WEEKDAY_NAMES{"sun", "mon", "tue", "wed",
                                                               "thu", "fri", "sat"};

// The names after '@' that stand for a schedule (or, for reboot, for the start of cron).
inline constexpr auto AT_NAMES = std::to_array<std::string_view>(
    {"reboot", "yearly", "annually", "monthly", "weekly", "daily", "midnight", "hourly"});

// In the order of the columns: minute, hour, day of month, month, day of week.
// The day of week accepts both 0 and 7 for Sunday.
inline constexpr std::array<FieldSpec, Schedule::kFieldCount> TIME_FIELDS{{
    {"minute", "minutes", {}, 0, 59},
    {"hour", "hours", {}, 0, 23},
    {"day of month", "days", {}, 1, 31},
    {"month", "months", MONTH_NAMES, 1, 12},
    {"day of week", "week_days", WEEKDAY_NAMES, 0, 7},
}};

// The item as messages quote it: numbers without leading zeros, names as written.
std::string item_text(const FieldItem& item);

// Whether the name, lower-cased, is one of the field's allowed names.
bool is_valid_name(const FieldSpec& spec, std::string_view name);

// The value a name stands for (its place among the field's names, counted from the field's
// minimum: "feb" is 2, "sun" is 0), or nothing when it is not one of them.
std::optional<std::uint64_t> name_value(const FieldSpec& spec, std::string_view name);

}  // namespace lintkeeper

template <>
struct fmt::formatter<lintkeeper::FieldItem> : fmt::formatter<fmt::string_view> {
  auto format(const lintkeeper::FieldItem& item, fmt::format_context& ctx) const {
    const std::string text = lintkeeper::item_text(item);
    return formatter<fmt::string_view>::format(fmt::string_view(text), ctx);
  }
};
