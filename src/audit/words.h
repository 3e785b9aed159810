// The audit's words for the values of a field: "days 1 to 7 and 15", "Monday and Friday",
// month and weekday names, ranges of three or more values written "A to B".
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "fields/time_fields.h"
#include "grammar/line.h"

namespace lintkeeper::words {

// Bit v is set when cron runs at value v of a field.
using Bits = std::uint64_t;

enum Column : std::size_t { kMinute, kHour, kDay, kMonth, kWeekday };

constexpr bool columns_follow_fields() {
  constexpr std::array<std::string_view, Schedule::kFieldCount> kNames{
      "minute", "hour", "day of month", "month", "day of week"};
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    if (TIME_FIELDS[i].display_name != kNames[i] || TIME_FIELDS[i].max >= 64) return false;
  }
  return true;
}
static_assert(columns_follow_fields(), "Column follows TIME_FIELDS, and 64 bits hold a field");

constexpr Bits bit(std::uint64_t value) { return value < 64 ? Bits{1} << value : 0; }

// The values from first to last; none when first comes after last, as cron reads a range
// only upwards.
constexpr Bits span(std::uint64_t first, std::uint64_t last) {
  if (first > last || last >= 64) return 0;
  return (Bits{2} << last) - (Bits{1} << first);
}

inline std::uint64_t lowest(Bits bits) {
  return static_cast<std::uint64_t>(std::countr_zero(bits));
}
inline std::uint64_t highest(Bits bits) {
  return 63 - static_cast<std::uint64_t>(std::countl_zero(bits));
}

constexpr Bits kWeek = span(0, 6);  // Sunday is 0 (and 7 in the field)
constexpr std::uint64_t kFebruary = 2;

// Days of each month in a common year; February has a 29th in leap years.
constexpr std::array<std::uint64_t, MONTH_NAMES.size()> MONTH_DAYS{31, 28, 31, 30, 31, 30,
                                                                   31, 31, 30, 31, 30, 31};

// The months and days as messages name them, in the order of the names cron reads.
constexpr std::array<std::string_view, MONTH_NAMES.size()> MONTH_WORDS{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, WEEKDAY_NAMES.size()> WEEKDAY_WORDS{
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

constexpr bool words_start_with_names(std::span<const std::string_view> words,
                                      std::span<const std::string_view> names) {
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i].size() < names[i].size()) return false;
    for (std::size_t j = 0; j < names[i].size(); ++j) {
      if ((words[i][j] | 0x20) != names[i][j]) return false;
    }
  }
  return true;
}
static_assert(words_start_with_names(MONTH_WORDS, MONTH_NAMES) &&
              words_start_with_names(WEEKDAY_WORDS, WEEKDAY_NAMES));

enum class Vocabulary : std::uint8_t { Numbers, Months, Weekdays };

// Values of a field in words: "days 1 to 7 and 15", "Monday and Friday", "minutes 0, 7, 14,
// ..., 56". Three or more values in a row are written "A to B".
struct Words {
  Bits bits;
  Vocabulary vocabulary = Vocabulary::Numbers;
  std::string_view one = "", many = "";   // before a single value, before several
  std::string_view last_joint = " and ";  // before the last entry
  std::string_view suffix = "";           // after each name: "s" for "Mondays"
  std::uint64_t first = 0;                // for the week: the day written first
  bool elide = false;                     // over five entries: the first three, "...", the last
};

// The entries of Words in writing order: single values, and runs of three or more.
struct Entries {
  struct Entry {
    std::uint64_t from, to;
  };
  std::array<Entry, 64> at;
  std::size_t count = 0;
};

inline Entries entries_of(const Words& words) {
  Entries entries;
  const bool week = words.vocabulary == Vocabulary::Weekdays;
  std::uint64_t run_start = 0, run_length = 0;
  const auto end_run = [&](std::uint64_t last) {
    if (run_length >= 3) {
      entries.at[entries.count++] = {run_start, last};
    } else {
      if (run_length == 2) entries.at[entries.count++] = {run_start, run_start};
      if (run_length >= 1) entries.at[entries.count++] = {last, last};
    }
  };
  std::uint64_t previous = 0;
  for (std::uint64_t k = 0; k < (week ? 7 : 64); ++k) {
    const std::uint64_t value = week ? (words.first + k) % 7 : k;
    if (!(words.bits & bit(value))) continue;
    if (run_length == 0 || k != previous + 1) {
      end_run(week ? (words.first + previous) % 7 : previous);
      run_start = value;
      run_length = 0;
    }
    ++run_length;
    previous = k;
  }
  end_run(week ? (words.first + previous) % 7 : previous);
  return entries;
}

// The week's day written first: Monday, or the start of a run of days that holds Monday and
// Sunday ("Saturday to Monday").
inline std::uint64_t week_start(Bits week) {
  std::uint64_t start = 1;
  if (week == kWeek) return start;
  while (week & bit((start + 6) % 7)) start = (start + 6) % 7;
  return start;
}

inline fmt::appender write_value(fmt::appender out, Vocabulary vocabulary, std::uint64_t value,
                                 std::string_view suffix) {
  switch (vocabulary) {
    case Vocabulary::Numbers:
      return fmt::format_to(out, "{}", value);
    case Vocabulary::Months:
      return fmt::format_to(out, "{}{}", MONTH_WORDS[(value + 11) % 12], suffix);
    case Vocabulary::Weekdays:
      return fmt::format_to(out, "{}{}", WEEKDAY_WORDS[value % 7], suffix);
  }
  return out;
}

inline fmt::appender write_words(fmt::appender out, const Words& words) {
  const Entries entries = entries_of(words);
  const std::size_t count = entries.count;
  out = fmt::format_to(out, "{}", std::popcount(words.bits) == 1 ? words.one : words.many);
  const bool elide = words.elide && count > 5;
  for (std::size_t i = 0; i < count; ++i) {
    if (elide && i == 3) {
      out = fmt::format_to(out, ", ...");
      i = count - 1;
    }
    if (i > 0) out = fmt::format_to(out, "{}", i + 1 == count && !elide ? words.last_joint : ", ");
    out = write_value(out, words.vocabulary, entries.at[i].from, words.suffix);
    if (entries.at[i].to != entries.at[i].from) {
      out = fmt::format_to(out, " to ");
      out = write_value(out, words.vocabulary, entries.at[i].to, words.suffix);
    }
  }
  return out;
}

}  // namespace lintkeeper::words

template <>
struct fmt::formatter<lintkeeper::words::Words> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(const lintkeeper::words::Words& words, format_context& ctx) const {
    return lintkeeper::words::write_words(ctx.out(), words);
  }
};

namespace lintkeeper::words {

// "February has no day 30", "April and June have no day 31": listed months, none of which has
// a listed day of the month.
inline std::string months_without_days(Bits months, Bits days) {
  return fmt::format("{} {} no day {}", Words{.bits = months, .vocabulary = Vocabulary::Months},
                     std::popcount(months) == 1 ? "has" : "have",
                     Words{.bits = days, .last_joint = " or "});
}

}  // namespace lintkeeper::words
