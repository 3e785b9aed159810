// When a job runs, in words: the times of a day, then the days and the months, each worked
// out from the values cron gives its fields.
#include "audit/describe.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "audit/words.h"

namespace lintkeeper {
namespace {

using words::bit;
using words::Bits;
using words::entries_of;
using words::kDay;
using words::kFebruary;
using words::kHour;
using words::kMinute;
using words::kMonth;
using words::kWeek;
using words::kWeekday;
using words::lowest;
using words::MONTH_DAYS;
using words::MONTH_WORDS;
using words::months_without_days;
using words::span;
using words::Vocabulary;
using words::Words;

constexpr Bits kMinutes = span(0, 59);
constexpr Bits kHours = span(0, 23);
constexpr Bits kMonthDays = span(1, 31);
constexpr Bits kMonths = span(1, 12);
constexpr std::uint64_t kHourMinutes = 60;

// A day with at most this many runs is told by its times: "At 08:00, 12:00 and 18:00".
constexpr std::size_t kFewTimes = 4;
// A set of at most this many entries (values and runs) is listed; a longer one is told as a
// step, or listed after its count.
constexpr std::size_t kFewEntries = 6;

// How the sentence speaks of the numbers of the minutes, the hours and the days of the month.
struct FieldWords {
  std::string_view one, many;    // before one number, before several: "day ", "days "
  std::string_view unit, units;  // what the numbers count: "day", "days"
  std::string_view of;           // after the numbers: " of the month"
};

constexpr std::array<FieldWords, 3> FIELD_WORDS{{
    {"minute ", "minutes ", "minute", "minutes", ""},
    {"hour ", "hours ", "hour", "hours", ""},
    {"day ", "days ", "day", "days", " of the month"},
}};
static_assert(kMinute == 0 && kHour == 1 && kDay == 2, "FIELD_WORDS follows the columns");

// Values in equal steps: first, first + step, ..., last.
struct Steps {
  std::uint64_t first, last, step;
};

// The steps of sorted values, when there are at least two and every gap is the same.
std::optional<Steps> steps_of(std::span<const std::uint64_t> values) {
  if (values.size() < 2) return std::nullopt;
  const std::uint64_t step = values[1] - values[0];
  for (std::size_t i = 2; i < values.size(); ++i) {
    if (values[i] - values[i - 1] != step) return std::nullopt;
  }
  return Steps{values.front(), values.back(), step};
}

std::vector<std::uint64_t> values_of(Bits bits) {
  std::vector<std::uint64_t> values;
  for (; bits != 0; bits &= bits - 1) values.push_back(lowest(bits));
  return values;
}

// "1st", "2nd", "3rd", "4th", "11th", "22nd".
std::string ordinal(std::uint64_t n) {
  const std::uint64_t tens = n % 100 / 10, units = n % 10;
  if (tens == 1 || units == 0 || units > 3) return fmt::format("{}th", n);
  constexpr std::array<std::string_view, 4> kSuffixes{"", "st", "nd", "rd"};
  return fmt::format("{}{}", n, kSuffixes[units]);
}

std::string clock(std::uint64_t minute_of_day) {
  return fmt::format("{:02}:{:02}", minute_of_day / kHourMinutes, minute_of_day % kHourMinutes);
}

// The values of a field that follows another in the sentence: "day 13 of the month", "hours 9
// to 17", "every 2nd hour from hour 0 to 22", "8 hours (0, 3, 4, 9, 11, 14, 17 and 20)".
std::string field_phrase(Bits bits, std::size_t column) {
  const FieldWords& w = FIELD_WORDS[column];
  const Words listed{.bits = bits, .one = w.one, .many = w.many};
  if (entries_of(listed).count <= kFewEntries) return fmt::format("{}{}", listed, w.of);
  const std::vector<std::uint64_t> values = values_of(bits);
  if (const std::optional<Steps> s = steps_of(values)) {
    return fmt::format("every {} {}{} from {}{} to {}", ordinal(s->step), w.unit, w.of, w.one,
                       s->first, s->last);
  }
  return fmt::format("{} {}{} ({})", values.size(), w.units, w.of, Words{.bits = bits});
}

// The minutes, first in the sentence: "Every minute", "At minutes 0 and 30", "Every 7 minutes
// from minute 0 to 56".
std::string minutes_phrase(Bits minutes) {
  if (minutes == kMinutes) return "Every minute";
  const Words listed{.bits = minutes};
  if (entries_of(listed).count > kFewEntries) {
    if (const std::optional<Steps> s = steps_of(values_of(minutes))) {
      return fmt::format("Every {} minutes from minute {} to {}", s->step, s->first, s->last);
    }
  }
  return fmt::format("At {}", field_phrase(minutes, kMinute));
}

std::string hours_phrase(Bits hours) {
  return hours == kHours ? "each hour" : field_phrase(hours, kHour);
}

// The time between runs of a day told as one stretch: "minute", "15 minutes", "2 hours".
std::string interval(std::uint64_t minutes) {
  if (minutes == 1) return "minute";
  if (minutes == kHourMinutes) return "hour";
  if (minutes % kHourMinutes == 0) return fmt::format("{} hours", minutes / kHourMinutes);
  return fmt::format("{} minutes", minutes);
}

// The times of a day the job runs at, and whether they are listed as clock times.
struct DayTimes {
  std::string text;
  bool listed = false;
};

// Every time of the day the job runs at, in minutes from midnight, in order.
std::vector<std::uint64_t> times_of_day(Bits minutes, Bits hours) {
  std::vector<std::uint64_t> times;
  for (const std::uint64_t hour : values_of(hours)) {
    for (const std::uint64_t minute : values_of(minutes)) {
      times.push_back(hour * kHourMinutes + minute);
    }
  }
  return times;
}

// "At 08:00, 12:00 and 18:00".
std::string clock_list(std::span<const std::uint64_t> times) {
  std::string text = "At ";
  for (std::size_t i = 0; i < times.size(); ++i) {
    if (i > 0) text += i + 1 == times.size() ? " and " : ", ";
    text += clock(times[i]);
  }
  return text;
}

DayTimes day_times(Bits minutes, Bits hours) {
  const std::vector<std::uint64_t> times = times_of_day(minutes, hours);
  if (times.size() <= kFewTimes) return {clock_list(times), true};
  if (hours == kHours) {
    if (minutes == kMinutes) return {"Every minute"};
    if (std::popcount(minutes) == 1) {
      return {fmt::format("Every hour at minute {}", lowest(minutes))};
    }
  } else if (const std::optional<Steps> s = steps_of(times)) {
    return {
        fmt::format("Every {} from {} to {}", interval(s->step), clock(s->first), clock(s->last))};
  }
  return {fmt::format("{} of {}", minutes_phrase(minutes), hours_phrase(hours))};
}

// The days of a year, by the days of the month, the days of the week and the months, as the
// sentence tells them.
struct RunDays {
  enum class Rule {
    Every,      // every day of the months
    MonthDays,  // the days of the month alone
    Weekdays,   // the days of the week alone
    Either,     // a day of either list
    Both,       // a day of the month that falls on a listed day of the week
  };
  Rule rule = Rule::Every;
  Bits days = 0, week = 0, months = 0;
  std::string never;  // why no day comes, when none does
};

std::uint64_t days_in(std::uint64_t month) {
  return month == kFebruary ? MONTH_DAYS[month - 1] + 1 : MONTH_DAYS[month - 1];
}

// Every day that one of the months has, leap days included.
Bits days_of_months(Bits months) {
  std::uint64_t longest = 0;
  for (const std::uint64_t month : values_of(months)) longest = std::max(longest, days_in(month));
  return span(1, longest);
}

// The months that have one of the days.
Bits months_having(Bits days, Bits months) {
  Bits having = 0;
  for (const std::uint64_t month : values_of(months)) {
    if (days & span(1, days_in(month))) having |= bit(month);
  }
  return having;
}

RunDays runs(RunDays::Rule rule, Bits days, Bits week, Bits months) {
  RunDays d;
  d.rule = rule;
  d.days = days;
  d.week = week;
  d.months = months;
  return d;
}

RunDays never(std::string why) {
  RunDays d;
  d.never = std::move(why);
  return d;
}

// A day runs the job when it is in both day lists: one that holds every day leaves the other
// to decide.
RunDays both_days(Bits days, Bits week, Bits months) {
  using Rule = RunDays::Rule;
  if (days == 0) return never("no day of the month is selected");
  if (week == 0) return never("no day of the week is selected");
  const Bits reach = days_of_months(months);
  if ((days & reach) == 0) return never(months_without_days(months, days));
  const bool every_day = (days & reach) == reach;
  if (every_day) return runs(week == kWeek ? Rule::Every : Rule::Weekdays, 0, week, months);
  const Bits having = months_having(days, months);
  return runs(week == kWeek ? Rule::MonthDays : Rule::Both, days & reach, week, having);
}

// A day runs the job when it is in either day list.
RunDays either_day(Bits days, Bits week, Bits months) {
  using Rule = RunDays::Rule;
  const Bits reach = days_of_months(months);
  const Bits real = days & reach;
  if (real == reach || week == kWeek) return runs(Rule::Every, 0, 0, months);
  if (real == 0 && week == 0) {
    return never(days == 0 ? "no day is selected" : months_without_days(months, days));
  }
  if (real == 0) return runs(Rule::Weekdays, 0, week, months);
  if (week == 0) return runs(Rule::MonthDays, real, 0, months_having(real, months));
  return runs(Rule::Either, real, week, months);
}

RunDays run_days(const JobTimes& times) {
  const Bits days = times.bits[kDay] & kMonthDays;
  const Bits week = times.bits[kWeekday] & kWeek;
  const Bits months = times.bits[kMonth] & kMonths;
  if (times.any_day_of_month || times.any_day_of_week) return both_days(days, week, months);
  return either_day(days, week, months);
}

// The day of the week written first: Monday, or the start of a run through Sunday to Monday
// ("Saturday to Monday"), so that the weekend comes last ("Tuesday, Saturday and Sunday").
std::uint64_t week_first(Bits week) {
  constexpr std::uint64_t kMonday = 1;
  std::uint64_t first = kMonday;
  if (!(week & bit(kMonday)) || week == kWeek) return first;
  while (week & bit((first + 6) % 7)) first = (first + 6) % 7;
  return first;
}

Words weekdays(Bits week, std::string_view last_joint = " and ") {
  return {.bits = week,
          .vocabulary = Vocabulary::Weekdays,
          .last_joint = last_joint,
          .first = week_first(week)};
}

// After the times: " on Monday to Friday", " every day in January", " on 29 February".
std::string days_phrase(const RunDays& d, bool times_listed) {
  using Rule = RunDays::Rule;
  const Words months{.bits = d.months, .vocabulary = Vocabulary::Months};
  const std::string in = d.months == kMonths ? "" : fmt::format(" in {}", months);
  const std::string after_both = d.months == kMonths ? "" : fmt::format(", in {}", months);
  switch (d.rule) {
    case Rule::Every:
      return fmt::format("{}{}", times_listed ? " every day" : "", in);
    case Rule::MonthDays:
      if (std::popcount(d.days) == 1 && std::popcount(d.months) == 1) {
        return fmt::format(" on {} {}", lowest(d.days), MONTH_WORDS[lowest(d.months) - 1]);
      }
      return fmt::format(" on {}{}", field_phrase(d.days, kDay), in);
    case Rule::Weekdays:
      return fmt::format(" on {}{}", weekdays(d.week), in);
    case Rule::Either:
      return fmt::format(" on {} and on every {}{}", field_phrase(d.days, kDay), weekdays(d.week),
                         after_both);
    case Rule::Both:
      return fmt::format(" on {} when it falls on {}{}", field_phrase(d.days, kDay),
                         weekdays(d.week, " or "), after_both);
  }
  return in;
}

}  // namespace

std::string describe_times(const JobTimes& times) {
  const Bits minutes = times.bits[kMinute] & kMinutes;
  const Bits hours = times.bits[kHour] & kHours;
  if (minutes == 0) return "Never: no minute is selected";
  if (hours == 0) return "Never: no hour is selected";
  if ((times.bits[kMonth] & kMonths) == 0) return "Never: no month is selected";
  const RunDays days = run_days(times);
  if (!days.never.empty()) return fmt::format("Never: {}", days.never);
  const DayTimes day = day_times(minutes, hours);
  return day.text + days_phrase(days, day.listed);
}

std::string describe_job(const CronReading& reading) {
  return reading.at_reboot ? "When cron starts" : describe_times(reading.times);
}

}  // namespace lintkeeper
