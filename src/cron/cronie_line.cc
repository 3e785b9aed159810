// How cronie reads one crontab line, as `crontab -T` and `cronnext` show it: the rules found
// in the recorded tables, each written where it applies.
#include "cron/cronie_line.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "base/chars.h"
#include "cron/assignment.h"
#include "cron/c_numbers.h"
#include "fields/time_fields.h"

namespace lintkeeper {
namespace {

using Verdict = CronReading::Verdict;

constexpr std::size_t kDayOfMonth = 2, kDayOfWeek = 4;

using CronieField = VixieField;
constexpr const auto& CRONIE_FIELDS = VIXIE_FIELDS;

constexpr std::string_view BAD_TIME_SPECIFIER = "bad time specifier";
// A line that ends where its command should start.
constexpr std::string_view BAD_COMMAND = "bad command";

// The @ names and the fields they stand for, as cronnext runs them. @reboot has none.
struct AtName {
  std::string_view name, fields;
};
constexpr std::array<AtName, 7> AT_SCHEDULES{{{"yearly", "0 0 1 1 *"},
                                              {"annually", "0 0 1 1 *"},
                                              {"monthly", "0 0 1 * *"},
                                              {"weekly", "0 0 * * 0"},
                                              {"daily", "0 0 * * *"},
                                              {"midnight", "0 0 * * *"},
                                              {"hourly", "0 * * * *"}}};
static_assert(AT_SCHEDULES.size() + 1 == AT_NAMES.size());

constexpr bool is_alnum(char c) { return is_ascii_digit(c) || is_ascii_letter(c); }

// The bytes of a line as cronie's reader takes them; the end of the line reads as its line
// feed. The tables hold no NUL byte and no carriage return: both are read as any other byte.
class Chars {
 public:
  explicit Chars(std::string_view text) : text_(text) {}
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\n'; }
  void next() { ++pos_; }  // after a peek that did not return the line feed
  void skip_blanks() {
    while (is_ascii_blank(peek())) next();
  }
  // The bytes from here up to the first that `stop` accepts (or the end), passed over.
  template <class Stop>
  std::string_view take_until(Stop stop) {
    const std::size_t begin = pos_;
    while (pos_ < text_.size() && !stop(text_[pos_])) ++pos_;
    return text_.substr(begin, pos_ - begin);
  }
  std::size_t pos() const { return pos_; }
  std::string_view since(std::size_t begin) const { return text_.substr(begin, pos_ - begin); }
  std::string_view rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// After a number, a name, a '*' or a step comes a comma, a blank or the line feed; anything
// else refuses the field (1-5-7, 1?, *x).
bool item_ends(const Chars& in) {
  const char c = in.peek();
  return c == ',' || c == '\n' || is_ascii_blank(c);
}

// A number or a name: the letters and digits from here, unchecked against the field's limits
// (a range checks the values it counts). The tables show no limit on the number of digits.
std::optional<std::int32_t> read_value(Chars& in, const CronieField& field) {
  const std::string_view token = in.take_until([](char c) { return !is_alnum(c); });
  if (token.empty()) return std::nullopt;
  if (all_digits(token)) return long_as_int(token);
  for (std::size_t i = 0; i < field.names.size(); ++i) {
    if (same_name(token, field.names[i])) return field.min + static_cast<std::int32_t>(i);
  }
  return std::nullopt;
}

std::uint64_t bit(std::int64_t value) { return std::uint64_t{1} << value; }

// What the reading of the time fields gathers on the way.
struct Gathered {
  std::string warning;      // the first warning
  std::string misread;      // in words after "runs this ", joined by "; "
  std::string_view chance;  // the reason of the first field a random pick may refuse
  bool random = false;      // the field read last holds a random pick

  template <class... Args>
  void add_misread(fmt::format_string<Args...> format, Args&&... args) {
    if (!misread.empty()) misread += "; ";
    fmt::format_to(std::back_inserter(misread), format, std::forward<Args>(args)...);
  }
};

// The values from low to high by step, each checked against the field as it is counted: a
// value outside the field refuses it, a value past high is never reached (11-24/19 is 11 in
// the hours). A range that runs backwards counts nothing and checks nothing (100-51 in the
// minutes, 19-17/-2147483648 in the days); any other step must be above 0. cronie counts in an
// int: a step that carries the count past the largest int brings it back below the field's
// minimum, and refuses the field (the tables cannot tell; the int arithmetic says so).
bool count_range(const CronieField& field, std::int32_t low, std::int32_t high, std::int32_t step,
                 std::uint64_t& bits) {
  if (low > high) return true;
  if (step <= 0 || low < field.min) return false;
  std::int64_t value = low;
  for (; value <= high; value += step) {
    if (value > field.max) return false;
    bits |= bit(value);
  }
  return value <= std::numeric_limits<std::int32_t>::max();
}

// The step after '/': digits only. cronie warns of a step larger than high - low (or than 1,
// for a range of one value or one that runs backwards) and loads the field with the range's
// first value alone, as cronnext runs it; a step of 0 is refused even on a range that runs
// backwards (5-3/0).
bool read_step(Chars& in, const CronieField& field, std::int32_t low, std::int32_t high,
               std::uint64_t& bits, Gathered& gathered) {
  in.next();
  const std::string_view token = in.take_until([](char c) { return !is_alnum(c); });
  if (token.empty() || !all_digits(token) || !item_ends(in)) return false;
  const std::int32_t step = long_as_int(token);
  const std::int64_t span = std::max<std::int64_t>(std::int64_t{high} - low, 1);
  if (step > span && gathered.warning.empty()) {
    gathered.warning = fmt::format("Step size {} higher than possible maximum of {}", step, span);
  }
  if (step == 0) return false;
  return count_range(field, low, high, step, bits);
}

// a~b, ~b, a~ or ~: one value picked at random from a to b (the field's limits where a number
// is left out) when cronie reads the crontab, so the bits hold every value it may pick.
// cronie's manual says so, and that a must not be above b: 10~5 is refused. The pick is
// checked as any value is: the table loads 0~30 in the hours once and refuses 0~60 and ~59
// there, so a range that runs past the field loads or refuses the line by chance (a first
// number below the field is taken the same way; the tables hold none). A random range takes
// no step (0~30/5 is refused).
bool read_random(Chars& in, const CronieField& field, std::optional<std::int32_t> low,
                 std::size_t begin, std::uint64_t& bits, Gathered& gathered) {
  in.next();
  std::optional<std::int32_t> high;
  if (!item_ends(in) && !(high = read_value(in, field))) return false;
  if (!item_ends(in)) return false;
  const std::int32_t a = low.value_or(field.min), b = high.value_or(field.max);
  const std::int32_t first = std::max(a, field.min), last = std::min(b, field.max);
  if (a > b || first > last) return false;
  for (std::int64_t v = first; v <= last; ++v) bits |= bit(v);
  gathered.random = true;
  const bool may_refuse = a < field.min || b > field.max;
  const std::string_view item = in.since(begin);
  if (!may_refuse) {
    gathered.add_misread("at one {} picked from {} to {} when cronie reads the crontab ({})",
                         field.display_name, a, b, item);
    return true;
  }
  if (gathered.chance.empty()) gathered.chance = field.reason;
  gathered.add_misread(
      "at one {} picked from {} to {} when cronie reads the crontab ({}), or never: a pick "
      "outside {} to {} refuses the line",
      field.display_name, a, b, item, field.min, field.max);
  return true;
}

// One item of a list: *, */step, value, value-value, value-value/step, or a random range.
// A single value is checked against the field and takes no step (1/2 is refused).
bool read_item(Chars& in, const CronieField& field, std::uint64_t& bits, Gathered& gathered) {
  const std::size_t begin = in.pos();
  if (in.peek() == '*') {
    in.next();
    if (in.peek() == '/') return read_step(in, field, field.min, field.max, bits, gathered);
    return item_ends(in) && count_range(field, field.min, field.max, 1, bits);
  }
  std::optional<std::int32_t> low;
  if (in.peek() != '~' && !(low = read_value(in, field))) return false;
  if (in.peek() == '~') return read_random(in, field, low, begin, bits, gathered);
  if (in.peek() != '-') return item_ends(in) && count_range(field, *low, *low, 1, bits);
  in.next();
  const std::optional<std::int32_t> high = read_value(in, field);
  if (!high) return false;
  const bool counted = in.peek() == '/' ? read_step(in, field, *low, *high, bits, gathered)
                                        : item_ends(in) && count_range(field, *low, *high, 1, bits);
  if (counted && *low > *high) {
    gathered.add_misread("at no {} for {}: cronie counts no range that runs backwards",
                         field.display_name, in.since(begin));
  }
  return counted;
}

// A comma-separated list of items. The line feed may end the field; the next field then finds
// nothing ("* * * *" is refused as a bad day-of-week, "* * * * *" as a bad command).
bool read_field(Chars& in, const CronieField& field, std::uint64_t& bits, Gathered& gathered) {
  while (true) {
    if (!read_item(in, field, bits, gathered)) return false;
    if (in.peek() != ',') return true;
    in.next();
  }
}

constexpr std::uint64_t all_bits(const CronieField& field) {
  return ((std::uint64_t{1} << (field.max - field.min + 1)) - 1) << field.min;
}

// How the two day fields join, as cronnext runs every job of its table: a field that starts
// with '*' (*/2 and *,5 too) is "any day", and its values are ignored; when both start with
// '*', the day of the month alone decides. The field cronie ignores gets every day, so that
// "both must match" gives the other alone; its written values are a misread when they were not
// every day. Sunday is 0 (7 joins it).
void join_days(std::span<const std::string_view, Schedule::kFieldCount> texts, JobTimes& times,
               Gathered& gathered) {
  auto& bits = times.bits;
  if ((bits[kDayOfWeek] & bit(7)) != 0) bits[kDayOfWeek] = (bits[kDayOfWeek] & ~bit(7)) | bit(0);
  const bool month_star = texts[kDayOfMonth].starts_with('*');
  const bool week_star = texts[kDayOfWeek].starts_with('*');
  const std::uint64_t every_week_day = all_bits(CRONIE_FIELDS[kDayOfWeek]) & ~bit(7);
  const std::uint64_t every_month_day = all_bits(CRONIE_FIELDS[kDayOfMonth]);
  if (week_star) {
    if (bits[kDayOfWeek] != every_week_day) {
      gathered.add_misread("on every day of the week: cronie takes {} as any day",
                           texts[kDayOfWeek]);
    }
    bits[kDayOfWeek] = every_week_day;
    times.any_day_of_week = true;
    times.any_day_of_month = month_star && bits[kDayOfMonth] == every_month_day;
  } else if (month_star) {
    if (bits[kDayOfMonth] != every_month_day) {
      gathered.add_misread("on every day of the month: cronie takes {} as any day",
                           texts[kDayOfMonth]);
    }
    bits[kDayOfMonth] = every_month_day;
    times.any_day_of_month = true;
  }
}

// The five time fields from here, with the blanks after them. On a refusal, the reason.
std::optional<std::string_view> read_schedule(Chars& in, JobTimes& times, Gathered& gathered) {
  std::array<std::string_view, Schedule::kFieldCount> texts;
  for (std::size_t i = 0; i < CRONIE_FIELDS.size(); ++i) {
    const std::size_t begin = in.pos();
    gathered.random = false;
    if (!read_field(in, CRONIE_FIELDS[i], times.bits[i], gathered)) return CRONIE_FIELDS[i].reason;
    if (gathered.random) times.random_fields |= static_cast<std::uint8_t>(1u << i);
    texts[i] = in.since(begin);
    in.skip_blanks();
  }
  join_days(texts, times, gathered);
  times.follows_clock = texts[0].starts_with('*') || texts[1].starts_with('*');
  return std::nullopt;
}

CronReading refused(std::string_view reason, std::string warning) {
  CronReading r;
  r.verdict = Verdict::Refused;
  r.reason = reason;
  r.warning = std::move(warning);
  return r;
}

// The user column of a system crontab (a word up to a blank, not looked up), then the command:
// the rest of the line, trailing blanks kept. An empty command is refused.
CronReading read_user_and_command(Chars& in, CrontabFlavor flavor, CronReading r) {
  if (flavor == CrontabFlavor::SystemCrontab) {
    r.user = in.take_until(is_ascii_blank);
    if (r.user.empty()) return refused(CRONIE_MISSING_USER, std::move(r.warning));
    in.skip_blanks();
  }
  r.command = in.rest();
  if (r.command.empty()) return refused(BAD_COMMAND, std::move(r.warning));
  r.verdict = Verdict::Job;
  return r;
}

// @name, then the command. The name ends at a blank only, and is matched in lower case:
// @daily# and @DAILY are refused.
CronReading read_at_job(Chars& in, CrontabFlavor flavor) {
  in.next();
  const std::string_view name = in.take_until(is_ascii_blank);
  CronReading r;
  if (name == "reboot") {
    r.at_reboot = true;
  } else {
    const AtName* at = nullptr;
    for (const AtName& a : AT_SCHEDULES) at = a.name == name ? &a : at;
    if (at == nullptr) return refused(BAD_TIME_SPECIFIER, "");
    Chars fields(at->fields);
    Gathered unused;
    read_schedule(fields, r.times, unused);
  }
  in.skip_blanks();
  return read_user_and_command(in, flavor, std::move(r));
}

// Five time fields, then the command. Only spaces and tabs part the fields.
CronReading read_scheduled_job(Chars& in, CrontabFlavor flavor) {
  CronReading r;
  Gathered gathered;
  if (const std::optional<std::string_view> reason = read_schedule(in, r.times, gathered)) {
    return refused(*reason, std::move(gathered.warning));
  }
  r.reason = gathered.chance;
  r.misread = std::move(gathered.misread);
  r.warning = std::move(gathered.warning);
  return read_user_and_command(in, flavor, std::move(r));
}

}  // namespace

// A line is first read as an assignment, then as a job: a leading '-', then @name or five
// fields. cronie's manual gives the '-' to root, to keep the job's runs out of the syslog; the
// tables load it and cannot tell what it does in another user's crontab. A blank after it
// refuses the minute; blanks before it are passed over as before any line (the tables hold
// none).
CronReading read_cronie_line(std::string_view line, CrontabFlavor flavor, bool last) {
  Chars in(line);
  in.skip_blanks();
  if (in.peek() == '\n' || in.peek() == '#') return {};
  if (last) return refused(CRONIE_MISSING_NEWLINE, "");
  if (std::optional<CronReading> assignment = read_vixie_assignment(in.rest(), true))
    return *assignment;
  if (in.peek() == '-') in.next();
  if (in.peek() == '@') return read_at_job(in, flavor);
  return read_scheduled_job(in, flavor);
}

}  // namespace lintkeeper
