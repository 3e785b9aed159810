// Timing checks, worked out on bit sets of the values of each field.
#include "audit/check_timing.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include <fmt/format.h>

#include "audit/words.h"
#include "fields/time_fields.h"

namespace lintkeeper {
namespace {

using words::bit;
using words::Bits;
using words::highest;
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
using words::span;
using words::Vocabulary;
using words::week_start;
using words::WEEKDAY_WORDS;
using words::Words;
using words::write_value;

// Every step-th value from first up to last.
constexpr Bits stepped(std::uint64_t first, std::uint64_t last, std::uint64_t step) {
  if (step == 1) return span(first, last);
  Bits bits = 0;
  for (std::uint64_t v = first; step != 0 && v <= last && v < 64; v += step) bits |= bit(v);
  return bits;
}

constexpr std::uint64_t next_month(std::uint64_t month) { return month % 12 + 1; }

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

// One value in a step message: "minute 56", "hour 0 of the next day", "31 January".
struct Point {
  std::size_t column;
  std::uint64_t value;
  bool next_turn;       // a value of the next turn, after the end of the field
  std::uint64_t month;  // for a day of the month: its month
};

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
  bool day_star;            // cron takes the day of month as any day (it starts with '*')
  bool week_star;           // the same of the day of week
  // Neither day field is "any day": cron runs the job on a day that either of them lists.
  bool either_day() const { return !day_star && !week_star; }
  const JobTimes& times;  // every field's values, as the cron reads them
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

Timing timing_of(const JobTimes& times) {
  return {times.bits[kDay],       times.bits[kMonth],    times.bits[kWeekday],
          times.any_day_of_month, times.any_day_of_week, times};
}

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
  return words::months_without_days(t.months, t.days);
}

bool report_empty(const Schedule& schedule, std::size_t column, LineFindings& found,
                  std::string_view who) {
  found.add(MessageKind::NEVER_FIRES,
            "{} will never run this: \"{}\" in field \"{}\" selects no {}, as cron does not "
            "wrap a range past {}.",
            who, schedule.fields[column].text, TIME_FIELDS[column].display_name,
            WORDINGS[column].unit, column == kMonth ? MONTH_WORDS.back() : WEEKDAY_WORDS.back());
  return true;
}

// NEVER_FIRES for a month or day of week field that selects nothing where that stops every
// run, or for days of the month that no listed month has; LEAP_DAY_ONLY when only 29
// February is left. Returns whether cron never runs the schedule.
bool check_days_exist(const Schedule& schedule, const Timing& t, LineFindings& found,
                      std::string_view who) {
  if (t.months == 0) return report_empty(schedule, kMonth, found, who);
  if (t.week == 0 && t.day_star) return report_empty(schedule, kWeekday, found, who);
  // Unless the days of the month decide alone, each listed day of the week comes.
  if (!t.week_star && t.week != 0) return false;
  if (some_month_has(t.days, t.months)) return false;
  if ((t.months & bit(kFebruary)) && (t.days & bit(29))) {
    found.add(MessageKind::LEAP_DAY_ONLY,
              "{} will run this only on 29 February, which comes once in four years.", who);
    return false;
  }
  found.add(MessageKind::NEVER_FIRES, "{} will never run this: {}.", who, months_without_days(t));
  return true;
}

// DAY_OR: both day fields restricted, so cron runs the job on the days either lists. Where no
// listed month has a listed day of the month, the days of the week alone run it.
void check_either_day(const Timing& t, LineFindings& found, std::string_view who) {
  if (!t.either_day() || t.week == 0) return;
  const Wording& day = WORDINGS[kDay];
  const Words days{.bits = t.days, .one = day.one, .many = day.many};
  const std::uint64_t first = week_start(t.week);
  const Words weekdays{.bits = t.week, .vocabulary = Vocabulary::Weekdays, .first = first};
  const Words plural{
      .bits = t.week, .vocabulary = Vocabulary::Weekdays, .suffix = "s", .first = first};
  if (some_month_has(t.days, t.months)) {
    found.add(MessageKind::DAY_OR,
              "{} runs this on {} of the month and on every {}, not only on {} that are {}.", who,
              days, weekdays, plural, days);
    return;
  }
  found.add(MessageKind::DAY_OR, "{} runs this on every {}, not only on {} that are {}: {}.", who,
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
bool turns_follow(std::size_t column, const Timing& t) {
  switch (column) {
    case kMinute: {
      const Bits hours = t.times.bits[kHour];
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
    // A step the cron reads otherwise than written (cronie's "any day" */2) is not this one.
    if (!p || t.times.bits[column] != field_bits(schedule, column) || !turns_follow(column, t)) {
      continue;
    }
    if (column == kDay) {
      check_day_step(field, t, *p, found);
      continue;
    }
    // In the week a last value of 7 is the first, 0, again: the runs are a week apart.
    const std::uint64_t gap = p->first + WORDINGS[column].turn - p->last;
    if (gap == 0 || gap >= p->step) continue;
    report_step(field, column, *p, Point{column, p->last, false, 0},
                Point{column, p->first, true, 0}, gap, t.times.bits[column], found);
  }
}

}  // namespace

JobTimes times_of(const Schedule& schedule) {
  JobTimes times;
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) times.bits[i] = field_bits(schedule, i);
  times.any_day_of_month = schedule.fields[kDay].text.starts_with('*');
  times.any_day_of_week = schedule.fields[kWeekday].text.starts_with('*');
  return times;
}

void check_timing(const Schedule& schedule, LineFindings& found) {
  check_timing(schedule, times_of(schedule), found);
}

void check_timing(const Schedule& schedule, const JobTimes& times, LineFindings& found,
                  std::string_view who) {
  const Timing t = timing_of(times);
  if (check_days_exist(schedule, t, found, who)) return;
  check_either_day(t, found, who);
  check_steps(schedule, t, found);
}

}  // namespace lintkeeper
