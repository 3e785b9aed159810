// Tests describe_times: the sentence of each schedule, and on generated schedules that the
// sentence's numbers are the runs of the values cron gives the fields, no more and no fewer.
// g++ 12 with the sanitizers warns of std::function members inside std::regex that "may be used
// uninitialized": a false alarm in the library's own code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "audit/describe.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <regex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "cron/cron_line.h"

namespace lintkeeper {
namespace {

using Verdict = CronReading::Verdict;

// How Debian's cron reads the schedule as a job of a user crontab.
CronReading reading_of(std::string_view schedule) {
  return read_cron_line(std::string(schedule) + " true", CrontabFlavor::UserCrontab);
}

struct Case {
  std::string_view schedule;
  std::string_view text;
};

const std::vector<Case> kCases = {
    // Every minute, every hour.
    {"* * * * *", "Every minute"},
    {"0-59 * * * *", "Every minute"},
    {"*/1 * * * *", "Every minute"},
    {"0 * * * *", "Every hour at minute 0"},
    {"@hourly", "Every hour at minute 0"},
    // A few times a day: the clock times.
    {"30 2 * * *", "At 02:30 every day"},
    {"@daily", "At 00:00 every day"},
    {"@midnight", "At 00:00 every day"},
    {"0 8,12,18 * * *", "At 08:00, 12:00 and 18:00 every day"},
    {"15,45 1,13 * * *", "At 01:15, 01:45, 13:15 and 13:45 every day"},
    {"0 8-20/4 * * *", "At 08:00, 12:00, 16:00 and 20:00 every day"},
    {"0 */23 * * *", "At 00:00 and 23:00 every day"},
    {"0 0,12 1 * *", "At 00:00 and 12:00 on day 1 of the month"},
    {"*/45 */23 1,2 * *", "At 00:00, 00:45, 23:00 and 23:45 on days 1 and 2 of the month"},
    // Runs in equal steps through part of the day.
    {"* 3 * * *", "Every minute from 03:00 to 03:59"},
    {"* 9-17 * * 1-5", "Every minute from 09:00 to 17:59 on Monday to Friday"},
    {"*/15 9-17 * * *", "Every 15 minutes from 09:00 to 17:45"},
    {"*/20 8-11 * * *", "Every 20 minutes from 08:00 to 11:40"},
    {"0,20,40 8,9 * * *", "Every 20 minutes from 08:00 to 09:40"},
    {"*/7 3 * * *", "Every 7 minutes from 03:00 to 03:56"},
    {"0 9-17 * * 1-5", "Every hour from 09:00 to 17:00 on Monday to Friday"},
    {"0 */2 * * *", "Every 2 hours from 00:00 to 22:00"},
    {"30 */2 * * *", "Every 2 hours from 00:30 to 22:30"},
    {"0 1-23/2 * * *", "Every 2 hours from 01:00 to 23:00"},
    // A step that does not divide its field: the last run is named.
    {"0 */5 * * *", "Every 5 hours from 00:00 to 20:00"},
    {"*/7 * * * *", "Every 7 minutes from minute 0 to 56 of each hour"},
    // Minutes and hours told apart.
    {"0,30 * * * *", "At minutes 0 and 30 of each hour"},
    {"*/59 * * * *", "At minutes 0 and 59 of each hour"},
    {"*/15 * * * *", "At minutes 0, 15, 30 and 45 of each hour"},
    {"*/10 * * * *", "At minutes 0, 10, 20, 30, 40 and 50 of each hour"},
    {"*/5 * * * *", "Every 5 minutes from minute 0 to 55 of each hour"},
    {"*/2 * * * *", "Every 2 minutes from minute 0 to 58 of each hour"},
    {"1-59/2 * * * *", "Every 2 minutes from minute 1 to 59 of each hour"},
    {"* 3,15 * * *", "Every minute of hours 3 and 15"},
    {"0-10,30-40 3 * * *", "At minutes 0 to 10 and 30 to 40 of hour 3"},
    {"0-29 9-17 * * *", "At minutes 0 to 29 of hours 9 to 17"},
    {"*/7 9-17 * * *", "Every 7 minutes from minute 0 to 56 of hours 9 to 17"},
    {"0 1,2,5,7,9 * * *", "At minute 0 of hours 1, 2, 5, 7 and 9"},
    {"0 9-12,14-17 * * *", "At minute 0 of hours 9 to 12 and 14 to 17"},
    {"0,10 */2 * * *", "At minutes 0 and 10 of every 2nd hour from hour 0 to 22"},
    {"*/7 */2 * * *", "Every 7 minutes from minute 0 to 56 of every 2nd hour from hour 0 to 22"},
    {"0,1 0,3,6,9,12,15,18,21 * * *", "At minutes 0 and 1 of every 3rd hour from hour 0 to 21"},
    // A long list with no step is listed whole, after its count.
    {"0,3,7,8,9,12,20,21,33,41,42,50,58 * * * *",
     "At 13 minutes (0, 3, 7 to 9, 12, 20, 21, 33, 41, 42, 50 and 58) of each hour"},
    {"0 0,1,3,4,6,7,9,10 * * *", "At minute 0 of 8 hours (0, 1, 3, 4, 6, 7, 9 and 10)"},
    {"0 0 1,3,4,6,8,9,11,12,14 * *",
     "At 00:00 on 9 days of the month (1, 3, 4, 6, 8, 9, 11, 12 and 14)"},
    // Days of the week alone, Sunday as 0 and 7, runs through Sunday.
    {"0 3 * * 1-5", "At 03:00 on Monday to Friday"},
    {"0 12 * * mon-fri", "At 12:00 on Monday to Friday"},
    {"0 0 * * 0", "At 00:00 on Sunday"},
    {"0 0 * * 7", "At 00:00 on Sunday"},
    {"@weekly", "At 00:00 on Sunday"},
    {"0 0 * * 5-7", "At 00:00 on Friday to Sunday"},
    {"0 0 * * 6,0", "At 00:00 on Saturday and Sunday"},
    {"0 0 * * 6,0,1", "At 00:00 on Saturday to Monday"},
    {"0 0 * * 1,3,5", "At 00:00 on Monday, Wednesday and Friday"},
    {"0 0 * * 1-5/2", "At 00:00 on Monday, Wednesday and Friday"},
    {"0 0 * * 0,3", "At 00:00 on Wednesday and Sunday"},
    {"* * * * 1", "Every minute on Monday"},
    // Days of the month alone.
    {"@monthly", "At 00:00 on day 1 of the month"},
    {"0 0 1,15 * *", "At 00:00 on days 1 and 15 of the month"},
    {"0 0 1-5,10-15,20 * *", "At 00:00 on days 1 to 5, 10 to 15 and 20 of the month"},
    {"0 0 1-31/7 * *", "At 00:00 on days 1, 8, 15, 22 and 29 of the month"},
    {"0 0 */2 * *", "At 00:00 on every 2nd day of the month from day 1 to 31"},
    {"0 0 */3 * *", "At 00:00 on every 3rd day of the month from day 1 to 31"},
    {"0 0 1-31 * *", "At 00:00 every day"},
    // Only the months that have the day.
    {"0 0 31 * *",
     "At 00:00 on day 31 of the month in January, March, May, July, August, October and "
     "December"},
    {"0 0 31 2,4,5 *", "At 00:00 on 31 May"},
    {"0 0 30,31 2,4,5 *", "At 00:00 on days 30 and 31 of the month in April and May"},
    // One day of one month.
    {"0 0 1 1 *", "At 00:00 on 1 January"},
    {"@yearly", "At 00:00 on 1 January"},
    {"0 0 25 dec *", "At 00:00 on 25 December"},
    {"59 23 31 12 *", "At 23:59 on 31 December"},
    {"* * 1 1 *", "Every minute on 1 January"},
    // February.
    {"0 0 29 2 *", "At 00:00 on 29 February"},
    {"0 0 29,30 2 *", "At 00:00 on 29 February"},
    {"0 0 29-31 feb *", "At 00:00 on 29 February"},
    {"0 0 1-29 2 *", "At 00:00 every day in February"},
    {"0 0 1-28 2 *", "At 00:00 on days 1 to 28 of the month in February"},
    // Both day fields restricted: a day of either runs the job.
    {"0 0 13 * 5", "At 00:00 on day 13 of the month and on every Friday"},
    {"0 0 1-7 * 1", "At 00:00 on days 1 to 7 of the month and on every Monday"},
    {"0 0 1,15 * 1-5", "At 00:00 on days 1 and 15 of the month and on every Monday to Friday"},
    {"0 0 1,2,3,10 * 6,0,Mon",
     "At 00:00 on days 1 to 3 and 10 of the month and on every Saturday to Monday"},
    {"0 0 13 6 5", "At 00:00 on day 13 of the month and on every Friday, in June"},
    {"1 2 3 4 5", "At 02:01 on day 3 of the month and on every Friday, in April"},
    {"0 0 1 * 1-7", "At 00:00 every day"},
    {"0 0 1-31/2 * 0-6", "At 00:00 every day"},
    {"0 0 1-31 1-12 0-7", "At 00:00 every day"},
    // ... where no listed month has the day of the month, the days of the week alone.
    {"0 0 31 2 1", "At 00:00 on Monday in February"},
    {"0 0 30 2 1-5", "At 00:00 on Monday to Friday in February"},
    // A day field written with '*' first but not every day: a day must be in both lists.
    {"0 0 */2 * 1",
     "At 00:00 on every 2nd day of the month from day 1 to 31 when it falls on Monday"},
    {"0 0 1 * */2",
     "At 00:00 on day 1 of the month when it falls on Tuesday, Thursday, "
     "Saturday or Sunday"},
    // Months.
    {"0 0 * jan,jul *", "At 00:00 every day in January and July"},
    {"0 0 * 1-3 *", "At 00:00 every day in January to March"},
    {"0 0 * */3 *", "At 00:00 every day in January, April, July and October"},
    {"0 22 * 12 *", "At 22:00 every day in December"},
    {"0 0 1 */6 *", "At 00:00 on day 1 of the month in January and July"},
    {"0 0 1 1-12/5 *", "At 00:00 on day 1 of the month in January, June and November"},
    {"0 12 * JAN-MAR sat,sun", "At 12:00 on Saturday and Sunday in January to March"},
    {"0 0 * 2 1", "At 00:00 on Monday in February"},
    // Never.
    {"0 0 31 4 *", "Never: April has no day 31"},
    {"0 0 30 2 *", "Never: February has no day 30"},
    {"0 0 30,31 2 *", "Never: February has no day 30 or 31"},
    {"0 0 31 2,4,6,9,11 *", "Never: February, April, June, September and November have no day 31"},
    {"5-3 * * * *", "Never: no minute is selected"},
    {"0 5-3 * * *", "Never: no hour is selected"},
    {"0 0 * 5-3 *", "Never: no month is selected"},
    {"0 0 5-3 * *", "Never: no day of the month is selected"},
    {"0 0 * * 5-3", "Never: no day of the week is selected"},
    {"0 0 5-3 * 5-3", "Never: no day is selected"},
};

TEST(Describe, Schedules) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.schedule);
    const CronReading reading = reading_of(c.schedule);
    ASSERT_EQ(reading.verdict, Verdict::Job);
    EXPECT_EQ(describe_times(reading.times), c.text);
    EXPECT_EQ(describe_job(reading), c.text);
  }
}

TEST(Describe, Reboot) {
  const CronReading reading = reading_of("@reboot");
  ASSERT_EQ(reading.verdict, Verdict::Job);
  EXPECT_EQ(describe_job(reading), "When cron starts");
}

// A second reading, of the sentence, for the generated schedules: it expands every list,
// run ("A to B") and step ("every 7 minutes from minute 0 to 56") back into values, so that
// a value the sentence drops or adds shows as a difference from the bits.

using Bits = std::uint64_t;
using DayTimes = std::bitset<24 * 60>;

constexpr std::array<std::string_view, 12> kMonthNames{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, 7> kWeekdayNames{
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// When a job runs, as the sentence tells it.
struct Runs {
  DayTimes times;
  Bits days = 0, week = 0, months = 0;
  enum class Join { Every, MonthDays, Weekdays, Either, Both } join = Join::Every;
};

Bits all(int first, int last) {
  Bits bits = 0;
  for (int v = first; v <= last; ++v) bits |= Bits{1} << v;
  return bits;
}

std::optional<int> number_or_name(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("0123456789") == std::string::npos) {
    return std::stoi(word);
  }
  for (std::size_t i = 0; i < kMonthNames.size(); ++i) {
    if (word == kMonthNames[i]) return static_cast<int>(i) + 1;
  }
  for (std::size_t i = 0; i < kWeekdayNames.size(); ++i) {
    if (word == kWeekdayNames[i]) return static_cast<int>(i);
  }
  return std::nullopt;
}

// "0, 3, 7 to 9 and 58", "Monday or Friday", "January to March"; in the week (a turn of 7),
// a run may go on through Sunday: "Saturday to Monday".
std::optional<Bits> read_list(std::string text, int turn = 0) {
  for (const std::string joint : {" and ", " or "}) {
    const std::size_t at = text.rfind(joint);
    if (at != std::string::npos) text.replace(at, joint.size(), ", ");
  }
  Bits bits = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(", ", start);
    if (end == std::string::npos) end = text.size();
    const std::string item = text.substr(start, end - start);
    const std::size_t to = item.find(" to ");
    const std::optional<int> first = number_or_name(item.substr(0, to));
    const std::optional<int> last =
        to == std::string::npos ? first : number_or_name(item.substr(to + 4));
    if (!first || !last) return std::nullopt;
    if (*first <= *last) {
      bits |= all(*first, *last);
    } else if (turn != 0) {
      bits |= all(*first, turn - 1) | all(0, *last);
    } else {
      return std::nullopt;
    }
    start = end + 2;
  }
  return bits;
}

Bits stepped(int first, int last, int step) {
  Bits bits = 0;
  for (int v = first; v <= last; v += step) bits |= Bits{1} << v;
  return bits;
}

// The shapes in which the sentence writes the numbers of the minutes, the hours or the days:
// "hour 3", "days 1 and 15 of the month", "every 2nd hour from hour 0 to 22", "8 hours (0, 1,
// 3, 4, 6, 7, 9 and 10)".
struct NumberShapes {
  std::regex one, many, steps, counted;
  NumberShapes(const std::string& unit, const std::string& of)
      : one(unit + " (\\d+)" + of),
        many(unit + "s (.+)" + of),
        steps("every (\\d+)(st|nd|rd|th) " + unit + of + " from " + unit + " (\\d+) to (\\d+)"),
        counted("(\\d+) " + unit + "s" + of + " \\((.+)\\)") {}
};

const NumberShapes kMinuteShapes("minute", "");
const NumberShapes kHourShapes("hour", "");
const NumberShapes kDayShapes("day", " of the month");

const std::regex kMinuteSteps("Every (\\d+) minutes from minute (\\d+) to (\\d+)");
const std::regex kHourly("Every hour at minute (\\d+)");
const std::regex kStretch(
    "Every (?:(\\d+) )?(minute|hour)s? from (\\d\\d):(\\d\\d) to (\\d\\d):(\\d\\d)");
const std::regex kClockList("At \\d\\d:\\d\\d((, \\d\\d:\\d\\d)* and \\d\\d:\\d\\d)?");
const std::regex kClock("(\\d\\d):(\\d\\d)");
const std::regex kDayOfMonth("(\\d+) ([A-Z][a-z]+)");
const std::regex kEither("(.+) and on every (.+)");
const std::regex kBoth("(.+) when it falls on (.+)");

int number(const std::ssub_match& match) { return std::stoi(match.str()); }

std::optional<Bits> read_numbers(const std::string& text, const NumberShapes& shapes) {
  std::smatch m;
  if (std::regex_match(text, m, shapes.one)) return all(number(m[1]), number(m[1]));
  if (std::regex_match(text, m, shapes.many)) return read_list(m[1]);
  if (std::regex_match(text, m, shapes.steps)) {
    return stepped(number(m[3]), number(m[4]), number(m[1]));
  }
  if (std::regex_match(text, m, shapes.counted)) {
    const std::optional<Bits> bits = read_list(m[2]);
    if (!bits || static_cast<int>(std::bitset<64>(*bits).count()) != number(m[1])) {
      return std::nullopt;
    }
    return bits;
  }
  return std::nullopt;
}

std::optional<Bits> read_minutes(const std::string& text) {
  std::smatch m;
  if (text == "Every minute") return all(0, 59);
  if (std::regex_match(text, m, kMinuteSteps)) {
    return stepped(number(m[2]), number(m[3]), number(m[1]));
  }
  if (!text.starts_with("At ")) return std::nullopt;
  return read_numbers(text.substr(3), kMinuteShapes);
}

int minute_of_day(const std::ssub_match& hours, const std::ssub_match& minutes) {
  return number(hours) * 60 + number(minutes);
}

DayTimes product(Bits minutes, Bits hours) {
  DayTimes times;
  for (int h = 0; h < 24; ++h) {
    for (int m = 0; m < 60; ++m) {
      if ((hours >> h & 1) && (minutes >> m & 1)) times.set(static_cast<std::size_t>(h * 60 + m));
    }
  }
  return times;
}

// The times of the day: "Every minute", "At 08:00 and 12:00", "Every 15 minutes from 09:00 to
// 17:45", "At minutes 0 and 30 of hours 9 to 17".
std::optional<DayTimes> read_times(const std::string& text) {
  std::smatch m;
  if (std::regex_match(text, m, kHourly)) return product(Bits{1} << number(m[1]), all(0, 23));
  if (std::regex_match(text, m, kStretch)) {
    DayTimes times;
    const int step = (m[1].matched ? number(m[1]) : 1) * (m[2] == "hour" ? 60 : 1);
    for (int t = minute_of_day(m[3], m[4]); t <= minute_of_day(m[5], m[6]); t += step) {
      times.set(static_cast<std::size_t>(t));
    }
    return times;
  }
  if (std::regex_match(text, kClockList)) {
    DayTimes times;
    for (std::sregex_iterator i(text.begin(), text.end(), kClock), end; i != end; ++i) {
      times.set(static_cast<std::size_t>(minute_of_day((*i)[1], (*i)[2])));
    }
    return times;
  }
  const std::size_t of = text.find(" of ");
  const std::optional<Bits> minutes = read_minutes(text.substr(0, of));
  const std::string hours_text = of == std::string::npos ? "each hour" : text.substr(of + 4);
  const std::optional<Bits> hours =
      hours_text == "each hour" ? all(0, 23) : read_numbers(hours_text, kHourShapes);
  if (!minutes || !hours) return std::nullopt;
  return product(*minutes, *hours);
}

// The days, after "on ": "Monday to Friday", "29 February", "day 13 of the month and on every
// Friday", "day 1 of the month when it falls on Monday or Friday".
bool read_days(const std::string& text, Runs& runs) {
  using Join = Runs::Join;
  std::smatch m;
  const auto days = [&](const std::string& part) {
    const std::optional<Bits> bits = read_numbers(part, kDayShapes);
    runs.days = bits.value_or(0);
    return bits.has_value();
  };
  const auto week = [&](const std::string& part) {
    const std::optional<Bits> bits = read_list(part, 7);
    runs.week = bits.value_or(0);
    return bits.has_value() && (*bits >> 7) == 0;
  };
  if (std::regex_match(text, m, kDayOfMonth)) {
    // "on 29 February" names its month itself, and no other.
    const std::optional<int> month = number_or_name(m[2]);
    if (!month || *month < 1 || runs.months != all(1, 12)) return false;
    runs.join = Join::MonthDays;
    runs.days = all(number(m[1]), number(m[1]));
    runs.months = all(*month, *month);
    return true;
  }
  if (std::regex_match(text, m, kEither)) {
    runs.join = Join::Either;
    return days(m[1]) && week(m[2]);
  }
  if (std::regex_match(text, m, kBoth)) {
    runs.join = Join::Both;
    return days(m[1]) && week(m[2]);
  }
  if (text.find(" of the month") != std::string::npos) {
    runs.join = Join::MonthDays;
    return days(text);
  }
  runs.join = Join::Weekdays;
  return week(text);
}

// The whole sentence; nothing when any part of it is not read.
std::optional<Runs> read_sentence(std::string text) {
  Runs runs;
  runs.months = all(1, 12);
  for (const std::string in : {", in ", " in "}) {
    const std::size_t at = text.find(in);
    if (at == std::string::npos) continue;
    const std::optional<Bits> months = read_list(text.substr(at + in.size()));
    if (!months || (*months & ~all(1, 12)) != 0) return std::nullopt;
    runs.months = *months;
    text.resize(at);
    break;
  }
  const std::size_t on = text.find(" on ");
  if (on != std::string::npos) {
    if (!read_days(text.substr(on + 4), runs)) return std::nullopt;
    text.resize(on);
  } else if (text.ends_with(" every day")) {
    text.resize(text.size() - 10);
  }
  const std::optional<DayTimes> times = read_times(text);
  if (!times) return std::nullopt;
  runs.times = *times;
  return runs;
}

// The bits, read as plainly as can be: a day runs the job when its month is listed and its
// day of the month and of the week both are (one day field "any day") or either is.
struct Calendar {
  struct Date {
    int month, day, weekday;
  };
  std::vector<Date> dates;  // 2001 to 2028: every weekday of every date, leap days included
  Calendar() {
    int weekday = 1;  // 1 January 2001 is a Monday
    constexpr std::array<int, 12> kLengths{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int year = 2001; year <= 2028; ++year) {
      for (int month = 1; month <= 12; ++month) {
        const int length = kLengths[month - 1] + (month == 2 && year % 4 == 0 ? 1 : 0);
        for (int day = 1; day <= length; ++day) {
          dates.push_back({month, day, weekday});
          weekday = (weekday + 1) % 7;
        }
      }
    }
  }
};

std::vector<bool> days_of_bits(const Calendar& calendar, const JobTimes& t) {
  std::vector<bool> runs;
  for (const Calendar::Date& d : calendar.dates) {
    const bool month = t.bits[3] >> d.month & 1;
    const bool day = t.bits[2] >> d.day & 1;
    const bool weekday = t.bits[4] >> d.weekday & 1;
    const bool both = t.any_day_of_month || t.any_day_of_week;
    runs.push_back(month && (both ? day && weekday : day || weekday));
  }
  return runs;
}

std::vector<bool> days_of_sentence(const Calendar& calendar, const Runs& r) {
  using Join = Runs::Join;
  std::vector<bool> runs;
  for (const Calendar::Date& d : calendar.dates) {
    const bool day = r.days >> d.day & 1;
    const bool weekday = r.week >> d.weekday & 1;
    bool on = true;
    if (r.join == Join::MonthDays) on = day;
    if (r.join == Join::Weekdays) on = weekday;
    if (r.join == Join::Either) on = day || weekday;
    if (r.join == Join::Both) on = day && weekday;
    runs.push_back((r.months >> d.month & 1) && on);
  }
  return runs;
}

DayTimes times_of_bits(const JobTimes& t) { return product(t.bits[0], t.bits[1]); }

// A field as a crontab might write it: a star, a value, a range, a step, a list of them, names.
class FieldMaker {
 public:
  explicit FieldMaker(std::uint32_t seed) : random_(seed) {}

  std::string field(int low, int high, std::span<const std::string_view> names) {
    const int items = pick(0, 9) < 6 ? 1 : pick(2, 12);
    std::string text;
    for (int i = 0; i < items; ++i) text += (i > 0 ? "," : "") + item(low, high, names, items == 1);
    return text;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string value(int v, int low, std::span<const std::string_view> names) {
    if (!names.empty() && pick(0, 2) == 0)
      return std::string(names[static_cast<std::size_t>(v - low) % names.size()]);
    return std::to_string(v);
  }

  std::string item(int low, int high, std::span<const std::string_view> names, bool alone) {
    const int a = pick(low, high), b = pick(low, high);
    switch (pick(0, alone ? 6 : 4)) {
      case 0:
      case 1:
        return value(a, low, names);
      case 2:
        return value(std::min(a, b), low, names) + "-" + value(std::max(a, b), low, names);
      case 3:
        return std::to_string(std::min(a, b)) + "-" + std::to_string(std::max(a, b)) + "/" +
               std::to_string(pick(1, high - low + 1));
      case 4:
        return pick(0, 9) == 0 ? value(a, low, names) + "-" + value(b, low, names)
                               : std::to_string(a);
      case 5:
        return "*/" + std::to_string(pick(1, high - low + 1));
      default:
        return "*";
    }
  }

  std::mt19937 random_;
};

constexpr std::array<std::string_view, 12> kMonthWords{"jan", "feb", "mar", "apr", "may", "jun",
                                                       "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<std::string_view, 7> kWeekWords{"sun", "mon", "tue", "wed",
                                                     "thu", "fri", "sat"};

// Days at the ends of the months, for the schedules of February and April.
constexpr std::array<std::string_view, 5> kLateDays{"29", "30", "31", "30,31", "29-31"};
constexpr std::array<std::string_view, 6> kShortMonths{"2", "4", "2,4", "feb", "4-6", "9,11"};
constexpr std::array<std::string_view, 3> kSomeWeekdays{"*", "*/2", "1"};

// A schedule of five generated fields, one in ten of them on the last days of short months.
std::string make_schedule(FieldMaker& make, std::mt19937& random) {
  const auto one_of = [&](std::span<const std::string_view> texts) {
    return std::string(
        texts[std::uniform_int_distribution<std::size_t>(0, texts.size() - 1)(random)]);
  };
  const std::string times = make.field(0, 59, {}) + " " + make.field(0, 23, {}) + " ";
  if (random() % 10 == 0) {
    return times + one_of(kLateDays) + " " + one_of(kShortMonths) + " " + one_of(kSomeWeekdays);
  }
  return times + make.field(1, 31, {}) + " " + make.field(1, 12, kMonthWords) + " " +
         make.field(0, 7, kWeekWords);
}

// The shapes of sentence the generated schedules must bring up, for the test to hold each.
const std::array<std::regex, 17> kShapes{
    std::regex("^Never: no "),
    std::regex("^Never: .* has no day"),
    std::regex("^Never: .* have no day"),
    std::regex("^At \\d\\d:\\d\\d"),
    std::regex("^Every .* from \\d\\d:\\d\\d to"),
    std::regex("^Every hour at minute"),
    std::regex("^Every \\d+ minutes from minute"),
    std::regex(" minutes \\("),
    std::regex(" hours \\("),
    std::regex(" days of the month \\("),
    std::regex(" hour from hour "),
    std::regex(" day of the month from day "),
    std::regex(" on \\d+ [A-Z]"),
    std::regex(" and on every "),
    std::regex(" when it falls on "),
    std::regex(" in [A-Z]"),
    std::regex(" every day"),
};

TEST(Describe, NamesEveryRunAndNoOther) {
  const Calendar calendar;
  FieldMaker make(20240601);
  std::mt19937 random(7);
  std::array<int, kShapes.size()> shapes{};
  int jobs = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string schedule = make_schedule(make, random);
    const CronReading reading = reading_of(schedule);
    if (reading.verdict != Verdict::Job) continue;
    ++jobs;
    SCOPED_TRACE(schedule);
    const std::string text = describe_times(reading.times);
    SCOPED_TRACE(text);
    for (std::size_t s = 0; s < kShapes.size(); ++s) {
      if (std::regex_search(text, kShapes[s])) ++shapes[s];
    }
    const std::vector<bool> days = days_of_bits(calendar, reading.times);
    const DayTimes times = times_of_bits(reading.times);
    const bool never = times.none() || std::find(days.begin(), days.end(), true) == days.end();
    EXPECT_EQ(text.starts_with("Never: "), never);
    if (never) continue;
    const std::optional<Runs> runs = read_sentence(text);
    ASSERT_TRUE(runs.has_value());
    EXPECT_EQ(runs->times, times);
    EXPECT_TRUE(days_of_sentence(calendar, *runs) == days);
  }
  EXPECT_GT(jobs, 3000);
  for (std::size_t s = 0; s < kShapes.size(); ++s) {
    SCOPED_TRACE(s);
    EXPECT_GT(shapes[s], 0);
  }
}

}  // namespace
}  // namespace lintkeeper
