// Timing checks, worked out on bit sets of the values of each field.
#include "audit/check_timing.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include <fmt/format.h>

#include "fields/time_fields.h"

namespace lintkeeper {
namespace {

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

// Every step-th value from first up to last.
constexpr Bits stepped(std::uint64_t first, std::uint64_t last, std::uint64_t step) {
  if (step == 1) return span(first, last);
  Bits bits = 0;
  for (std::uint64_t v = first; step != 0 && v <= last && v < 64; v += step) bits |= bit(v);
  return bits;
}

constexpr Bits kWeek = span(0, 6);  // Sunday is 0 (and 7 in the field)
constexpr std::uint64_t kFebruary = 2;

// Days of each month in a common year; February has a 29th in leap years.
constexpr std::array<std::uint64_t, MONTH_NAMES.size()> MONTH_DAYS{31, 28, 31, 30, 31, 30,
                                                                   31, 31, 30, 31, 30, 31};
constexpr std::uint64_t next_month(std::uint64_t month) { return month % 12 + 1; }

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

// How messages speak of a field's values, and the turn after which they come round again.
struct Wording {
  std::uint64_t turn;  // values in one turn: the week has 7, its 7 being 0 again
  Vocabulary vocabulary;
  std::string_view at;           // before the values: "at", "on", "in"
  std::string_view one, many;    // before one number, before several: "minute ", "minutes "
  std::string_view next;         // after a value of the next turn: " of the next hour"
  std::string_view unit, units;  // what a step counts: "minute", "minutes"
};

constexpr std::array<Wording, Schedule::kFieldCount> WORDINGS{{
    {60, Vocabulary::Numbers, "at", "minute ", "minutes ", " of the next hour", "minute",
     "minutes"},
    {24, Vocabulary::Numbers, "at", "hour ", "hours ", " of the next day", "hour", "hours"},
    {31, Vocabulary::Numbers, "on", "day ", "days ", "", "day", "days"},
    {12, Vocabulary::Months, "in", "", "", " of the next year", "month", "months"},
    {7, Vocabulary::Weekdays, "on", "", "", "", "day", "days"},
}};

// A turn holds every value of its field but the week's 7, which is Sunday's 0 again.
constexpr bool turns_follow_limits() {
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    const std::uint64_t values = TIME_FIELDS[i].max - TIME_FIELDS[i].min + 1;
    if (WORDINGS[i].turn != (i == kWeekday ? values - 1 : values)) return false;
  }
  return true;
}
static_assert(turns_follow_limits());

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

// One value in a step message: "minute 56", "hour 0 of the next day", "31 January".
struct Point {
  std::size_t column;
  std::uint64_t value;
  bool next_turn;       // a value of the next turn, after the end of the field
  std::uint64_t month;  // for a day of the month: its month
};

// The week's day written first: Monday, or the start of a run of days that holds Monday and
// Sunday ("Saturday to Monday").
std::uint64_t week_start(Bits week) {
  std::uint64_t start = 1;
  if (week == kWeek) return start;
  while (week & bit((start + 6) % 7)) start = (start + 6) % 7;
  return start;
}

fmt::appender write_value(fmt::appender out, Vocabulary vocabulary, std::uint64_t value,
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

fmt::appender write_words(fmt::appender out, const Words& words) {
  // The entries in writing order: single values, and runs of three or more.
  struct Entry {
    std::uint64_t from, to;
  };
  std::array<Entry, 64> entries;
  std::size_t count = 0;
  const bool week = words.vocabulary == Vocabulary::Weekdays;
  std::uint64_t run_start = 0, run_length = 0;
  const auto end_run = [&](std::uint64_t last) {
    if (run_length >= 3) {
      entries[count++] = {run_start, last};
    } else {
      if (run_length == 2) entries[count++] = {run_start, run_start};
      if (run_length >= 1) entries[count++] = {last, last};
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

  out = fmt::format_to(out, "{}", std::popcount(words.bits) == 1 ? words.one : words.many);
  const bool elide = words.elide && count > 5;
  for (std::size_t i = 0; i < count; ++i) {
    if (elide && i == 3) {
      out = fmt::format_to(out, ", ...");
      i = count - 1;
    }
    if (i > 0) out = fmt::format_to(out, "{}", i + 1 == count && !elide ? words.last_joint : ", ");
    out = write_value(out, words.vocabulary, entries[i].from, words.suffix);
    if (entries[i].to != entries[i].from) {
      out = fmt::format_to(out, " to ");
      out = write_value(out, words.vocabulary, entries[i].to, words.suffix);
    }
  }
  return out;
}

fmt::appender write_point(fmt::appender out, const Point& point) {
  if (point.column == kDay) {
    return fmt::format_to(out, "{} {}", point.value, MONTH_WORDS[(point.month + 11) % 12]);
  }
  const Wording& wording = WORDINGS[point.column];
  out = fmt::format_to(out, "{}", wording.one);
  out = write_value(out, wording.vocabulary, point.value, "");
  return fmt::format_to(out, "{}", point.next_turn ? wording.next : "");
}

}  // namespace
}  // namespace lintkeeper

template <>
struct fmt::formatter<lintkeeper::Words> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(const lintkeeper::Words& words, format_context& ctx) const {
    return lintkeeper::write_words(ctx.out(), words);
  }
};

template <>
struct fmt::formatter<lintkeeper::Point> {
  constexpr auto parse(format_parse_context& ctx) { return ctx.begin(); }
  auto format(const lintkeeper::Point& point, format_context& ctx) const {
    return lintkeeper::write_point(ctx.out(), point);
  }
};

namespace lintkeeper {
namespace {

// The values of the schedule's days and months, and how cron joins its two day fields. The
// minutes and hours are read only for a step.
struct Timing {
  Bits days, months, week;  // the week's 7 folded into 0
  bool day_star;            // the day of month starts with '*'
  bool week_star;           // the day of week starts with '*'
  // Neither day field starts with '*': cron runs the job on a day that either of them lists.
  bool either_day() const { return !day_star && !week_star; }
};

Bits item_bits(const FieldSpec& spec, const FieldItem& item) {
  // Names of valid fields are known; any other name stands for no value.
  const auto name = [&](std::string_view text) { return name_value(spec, text).value_or(64); };
  if (std::holds_alternative<Star>(item)) return span(spec.min, spec.max);
  if (const Time* time = std::get_if<Time>(&item)) return bit(time->value);
  if (const StarStep* s = std::get_if<StarStep>(&item)) return stepped(spec.min, spec.max, s->step);
  if (const Range* r = std::get_if<Range>(&item)) return span(r->start, r->end);
  if (const RangeStep* r = std::get_if<RangeStep>(&item)) {
    return stepped(r->start, r->end, r->step);
  }
  if (const Text* t = std::get_if<Text>(&item)) return bit(name(t->name));
  if (const TextRange* r = std::get_if<TextRange>(&item)) {
    return span(name(r->start), name(r->end));
  }
  const auto& r = std::get<TextRangeStep>(item);
  return stepped(name(r.start), name(r.end), r.step);
}

constexpr Bits fold_week(Bits bits) { return (bits | bits >> 7) & kWeek; }

// Every value of each field.
constexpr std::array<Bits, Schedule::kFieldCount> kAll = [] {
  std::array<Bits, Schedule::kFieldCount> all{};
  for (std::size_t i = 0; i < all.size(); ++i)
    all[i] = span(TIME_FIELDS[i].min, TIME_FIELDS[i].max);
  all[kWeekday] = fold_week(all[kWeekday]);
  return all;
}();

// The values of a field's items; in the week, 7 is folded into 0.
Bits items_bits(const Field& field, std::size_t column) {
  const FieldSpec& spec = TIME_FIELDS[column];
  Bits bits = 0;
  for (const FieldItem& item : field.items) bits |= item_bits(spec, item);
  bits &= span(spec.min, spec.max);
  return column == kWeekday ? fold_week(bits) : bits;
}

// The same, but that the most common field, a lone '*', needs no look at its item.
inline Bits field_bits(const Schedule& schedule, std::size_t column) {
  const Field& field = schedule.fields[column];
  return field.text.size() == 1 && field.text[0] == '*' ? kAll[column] : items_bits(field, column);
}

Timing timing_of(const Schedule& schedule) {
  return {field_bits(schedule, kDay), field_bits(schedule, kMonth), field_bits(schedule, kWeekday),
          schedule.fields[kDay].text.starts_with('*'),
          schedule.fields[kWeekday].text.starts_with('*')};
}

std::uint64_t lowest(Bits bits) { return static_cast<std::uint64_t>(std::countr_zero(bits)); }
std::uint64_t highest(Bits bits) { return 63 - static_cast<std::uint64_t>(std::countl_zero(bits)); }

// Whether some day of the month and the next are listed, within a listed month or from its
// last day to the 1st of the next (leap days aside).
bool month_days_in_a_row(Bits days, Bits months) {
  const Bits pairs = days & (days >> 1);  // bit d: days d and d + 1
  for (Bits m = months; m != 0; m &= m - 1) {
    const std::uint64_t length = MONTH_DAYS[lowest(m) - 1];
    if (pairs & span(1, length - 1)) return true;
    if ((days & bit(length)) && (days & bit(1)) && (months & bit(next_month(lowest(m))))) {
      return true;
    }
  }
  return false;
}

// Whether cron runs the schedule on two days in a row, in some year.
bool runs_on_days_in_a_row(const Timing& t) {
  const Bits week = t.week;
  // A listed day of the month falls after a listed day of the week in some year.
  if (t.either_day() && week != 0) return true;
  const Bits pairs = week & ((week >> 1) | (week & 1) << 6);  // bit d: days d and d + 1
  // Either day alone decides with an empty week; otherwise both must match.
  return (week == 0 || pairs != 0) && month_days_in_a_row(t.days, t.months);
}

// Whether some listed month has one of the listed days of the month (leap years included).
bool some_month_has(Bits days, Bits months) {
  for (Bits m = months; m != 0; m &= m - 1) {
    if (days & span(1, MONTH_DAYS[lowest(m) - 1])) return true;
  }
  return false;
}

// "February has no day 30", "April and June have no day 31": the listed months, none of which
// has a listed day of the month.
std::string months_without_days(const Timing& t) {
  return fmt::format("{} {} no day {}", Words{.bits = t.months, .vocabulary = Vocabulary::Months},
                     std::popcount(t.months) == 1 ? "has" : "have",
                     Words{.bits = t.days, .last_joint = " or "});
}

bool report_empty(const Schedule& schedule, std::size_t column, LineFindings& found) {
  found.add(MessageKind::NEVER_FIRES,
            "Cron will never run this: \"{}\" in field \"{}\" selects no {}, as cron does not "
            "wrap a range past {}.",
            schedule.fields[column].text, TIME_FIELDS[column].display_name, WORDINGS[column].unit,
            column == kMonth ? MONTH_WORDS.back() : WEEKDAY_WORDS.back());
  return true;
}

// NEVER_FIRES for a month or day of week field that selects nothing where that stops every
// run, or for days of the month that no listed month has; LEAP_DAY_ONLY when only 29
// February is left. Returns whether cron never runs the schedule.
bool check_days_exist(const Schedule& schedule, const Timing& t, LineFindings& found) {
  if (t.months == 0) return report_empty(schedule, kMonth, found);
  if (t.week == 0 && t.day_star) return report_empty(schedule, kWeekday, found);
  // Unless the days of the month decide alone, each listed day of the week comes.
  if (!t.week_star && t.week != 0) return false;
  if (some_month_has(t.days, t.months)) return false;
  if ((t.months & bit(kFebruary)) && (t.days & bit(29))) {
    found.add(MessageKind::LEAP_DAY_ONLY,
              "Cron will run this only on 29 February, which comes once in four years.");
    return false;
  }
  found.add(MessageKind::NEVER_FIRES, "Cron will never run this: {}.", months_without_days(t));
  return true;
}

// DAY_OR: both day fields restricted, so cron runs the job on the days either lists. Where no
// listed month has a listed day of the month, the days of the week alone run it.
void check_either_day(const Timing& t, LineFindings& found) {
  if (!t.either_day() || t.week == 0) return;
  const Wording& day = WORDINGS[kDay];
  const Words days{.bits = t.days, .one = day.one, .many = day.many};
  const std::uint64_t first = week_start(t.week);
  const Words weekdays{.bits = t.week, .vocabulary = Vocabulary::Weekdays, .first = first};
  const Words plural{
      .bits = t.week, .vocabulary = Vocabulary::Weekdays, .suffix = "s", .first = first};
  if (some_month_has(t.days, t.months)) {
    found.add(MessageKind::DAY_OR,
              "Cron runs this on {} of the month and on every {}, not only on {} that are {}.",
              days, weekdays, plural, days);
    return;
  }
  found.add(MessageKind::DAY_OR, "Cron runs this on every {}, not only on {} that are {}: {}.",
            weekdays, plural, days, months_without_days(t));
}

// A step over a whole turn of its field: first, first + step, ..., last.
struct Progression {
  std::uint64_t first, last, step;
};

std::optional<Progression> whole_turn_step(std::size_t column, const FieldItem& item) {
  const FieldSpec& spec = TIME_FIELDS[column];
  std::uint64_t first = 0, end = 0, step = 0;
  if (const StarStep* s = std::get_if<StarStep>(&item)) {
    first = spec.min, end = spec.max, step = s->step;
  } else if (const RangeStep* r = std::get_if<RangeStep>(&item)) {
    first = r->start, end = r->end, step = r->step;
  } else if (const TextRangeStep* n = std::get_if<TextRangeStep>(&item)) {
    first = name_value(spec, n->start).value_or(64);
    end = name_value(spec, n->end).value_or(0);
    step = n->step;
  } else {
    return std::nullopt;
  }
  if (step == 0 || first > end || end > spec.max || end - first + 1 < WORDINGS[column].turn) {
    return std::nullopt;
  }
  return Progression{first, first + (end - first) / step * step, step};
}

// Whether cron runs the schedule in two turns of the column in a row: two hours in a row for
// the minutes, two days in a row for the hours. The days of the month or of the week turn
// with the months or weeks when they alone decide the days.
bool turns_follow(const Schedule& schedule, std::size_t column, const Timing& t) {
  switch (column) {
    case kMinute: {
      const Bits hours = field_bits(schedule, kHour);
      return (hours & (hours >> 1)) != 0 ||
             ((hours & bit(23)) && (hours & bit(0)) && runs_on_days_in_a_row(t));
    }
    case kHour:
      return runs_on_days_in_a_row(t);
    case kDay:
      return t.week_star && t.week == kAll[kWeekday];
    case kWeekday:
      return t.day_star && t.days == kAll[kDay];
    default:
      return true;
  }
}

void report_step(const Field& field, std::size_t column, const Progression& p, Point from, Point to,
                 std::uint64_t gap, Bits bits, LineFindings& found) {
  const Wording& w = WORDINGS[column];
  found.add(MessageKind::UNEVEN_STEP,
            "\"{}\" in field \"{}\" runs {} {}: from {} to {} is {} {}, not {}.", field.text,
            TIME_FIELDS[column].display_name, w.at,
            Words{.bits = bits,
                  .vocabulary = w.vocabulary,
                  .one = w.one,
                  .many = w.many,
                  .first = p.first % 7,
                  .elide = true},
            from, to, gap, gap == 1 ? w.unit : w.units, p.step);
}

// The days of the month turn at each month's end: the step from a month's last day run to
// the 1st of the next month is shortest in the month that has the most days after it.
void check_day_step(const Field& field, const Timing& t, const Progression& p,
                    LineFindings& found) {
  std::uint64_t gap = p.step, month = 0, last = 0;
  for (Bits m = t.months; m != 0; m &= m - 1) {
    if (!(t.months & bit(next_month(lowest(m))))) continue;
    const std::uint64_t length = MONTH_DAYS[lowest(m) - 1];
    const std::uint64_t last_day = highest(t.days & span(1, length));
    if (length - last_day + p.first < gap) {
      gap = length - last_day + p.first;
      month = lowest(m);
      last = last_day;
    }
  }
  if (month == 0) return;
  report_step(field, kDay, p, Point{kDay, last, false, month},
              Point{kDay, p.first, true, next_month(month)}, gap, t.days, found);
}

// UNEVEN_STEP: a field of one step over its whole turn, where the runs at the end of one turn
// and at the start of the next come closer than the step.
void check_steps(const Schedule& schedule, const Timing& t, LineFindings& found) {
  for (std::size_t column = 0; column < Schedule::kFieldCount; ++column) {
    const Field& field = schedule.fields[column];
    if (field.items.size() != 1) continue;
    const std::optional<Progression> p = whole_turn_step(column, field.items.front());
    if (!p || !turns_follow(schedule, column, t)) continue;
    if (column == kDay) {
      check_day_step(field, t, *p, found);
      continue;
    }
    // In the week a last value of 7 is the first, 0, again: the runs are a week apart.
    const std::uint64_t gap = p->first + WORDINGS[column].turn - p->last;
    if (gap == 0 || gap >= p->step) continue;
    report_step(field, column, *p, Point{column, p->last, false, 0},
                Point{column, p->first, true, 0}, gap, field_bits(schedule, column), found);
  }
}

}  // namespace

void check_timing(const Schedule& schedule, LineFindings& found) {
  const Timing t = timing_of(schedule);
  if (check_days_exist(schedule, t, found)) return;
  check_either_day(t, found);
  check_steps(schedule, t, found);
}

}  // namespace lintkeeper
