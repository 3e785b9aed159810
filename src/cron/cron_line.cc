// How Debian's cron reads one crontab line, as `crontab -n` shows it: the rules found by
// experiment, each written where it applies.
#include "cron/cron_line.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "base/chars.h"
#include "cron/assignment.h"
#include "cron/c_numbers.h"
#include "fields/time_fields.h"

namespace lintkeeper {
namespace {

using Verdict = CronReading::Verdict;

constexpr std::size_t kNone = std::string_view::npos;

using CronField = VixieField;
constexpr const auto& CRON_FIELDS = VIXIE_FIELDS;
constexpr std::size_t kDayOfMonth = 2, kDayOfWeek = 4;

// The schedules the @ names stand for, as cron reads them: "@daily" is "0 0 * * *".
struct AtSchedule {
  std::string_view name;
  JobTimes times;
};
constexpr std::uint64_t kEvery = ~std::uint64_t{0};
constexpr std::uint64_t bit(int v) { return std::uint64_t{1} << v; }
constexpr std::uint64_t values(int first, int last) { return (bit(last) << 1) - bit(first); }
constexpr JobTimes at_times(std::uint64_t minute, std::uint64_t hour, std::uint64_t day,
                            std::uint64_t month, std::uint64_t week, bool any_day, bool any_week) {
  return {{minute, hour, day & values(1, 31), month & values(1, 12), week & values(0, 6)},
          any_day,
          any_week};
}
// "@hourly" is "0 * * * *": its hour is '*'.
constexpr JobTimes hourly() {
  JobTimes times = at_times(bit(0), kEvery & values(0, 23), kEvery, kEvery, kEvery, true, true);
  times.follows_clock = true;
  return times;
}
constexpr auto AT_SCHEDULES = std::to_array<AtSchedule>({
    {"reboot", {}},
    {"yearly", at_times(bit(0), bit(0), bit(1), bit(1), kEvery, false, true)},
    {"annually", at_times(bit(0), bit(0), bit(1), bit(1), kEvery, false, true)},
    {"monthly", at_times(bit(0), bit(0), bit(1), kEvery, kEvery, false, true)},
    {"weekly", at_times(bit(0), bit(0), kEvery, kEvery, bit(0), true, false)},
    {"daily", at_times(bit(0), bit(0), kEvery, kEvery, kEvery, true, true)},
    {"midnight", at_times(bit(0), bit(0), kEvery, kEvery, kEvery, true, true)},
    {"hourly", hourly()},
});
constexpr bool at_schedules_follow_names() {
  if (AT_SCHEDULES.size() != AT_NAMES.size()) return false;
  for (std::size_t i = 0; i < AT_NAMES.size(); ++i) {
    if (AT_SCHEDULES[i].name != AT_NAMES[i]) return false;
  }
  return true;
}
static_assert(at_schedules_follow_names(), "a schedule for each @ name, in their order");

constexpr std::string_view BAD_TIME_SPECIFIER = "bad time specifier";
constexpr std::string_view COMMAND_TOO_LONG = "command too long";
// A command that starts with '*', or runs into the end of the file (a last line without line
// feed).
constexpr std::string_view BAD_COMMAND = "bad command";
// No word for the user of a system crontab job: the oracle does not read system crontabs, so
// these are our words.
constexpr std::string_view MISSING_USER = "missing user";

// The end of the file, as cron's character reader returns it.
constexpr int kEof = -1;

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr bool is_alnum(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The bytes of a line as cron's field reader takes them. It holds a character in a signed
// char, so a 0xFF byte reads as the end of the file; so does the end of a last line without
// line feed. The end of any other line reads as '\n'.
class CronChars {
 public:
  CronChars(std::string_view text, bool last) : text_(text), last_(last) {}

  int peek() const {
    if (pos_ == text_.size()) return last_ ? kEof : '\n';
    const auto c = static_cast<unsigned char>(text_[pos_]);
    return c == 0xFF ? kEof : c;
  }
  void next() { ++pos_; }  // after a peek that did not return '\n' or kEof
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
  std::string_view text() const { return text_; }
  bool last() const { return last_; }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  bool last_;
};

// A number or name: the letters and digits from here, at most CRON_MAX_TOKEN of them.
std::optional<std::int32_t> read_value(CronChars& in, const CronField& field) {
  const std::string_view token = in.take_until([](char c) { return !is_alnum(c); });
  if (token.empty() || token.size() > CRON_MAX_TOKEN) return std::nullopt;
  if (all_digits(token)) {
    const std::int32_t value = long_as_int(token);
    if (value < field.min || value > field.max) return std::nullopt;
    return value;
  }
  for (std::size_t i = 0; i < field.names.size(); ++i) {
    if (same_name(token, field.names[i])) return field.min + static_cast<std::int32_t>(i);
  }
  return std::nullopt;
}

// The step after '/' of a range from low to high: digits only, above 0 as an int. cron counts
// from low to high in an int, so a step that carries low past the largest int refuses the
// field; a range that runs backwards (5-3) is never counted.
std::optional<std::int32_t> read_step(CronChars& in, std::int32_t low, std::int32_t high) {
  in.next();
  const std::string_view token = in.take_until([](char c) { return !is_alnum(c); });
  if (token.empty() || token.size() > CRON_MAX_TOKEN || !all_digits(token)) return std::nullopt;
  const std::int32_t step = long_as_int(token);
  if (step <= 0) return std::nullopt;
  if (low <= high && step > std::numeric_limits<std::int32_t>::max() - low) return std::nullopt;
  return step;
}

// Adds the values from low up to high, every step-th, as cron counts them: none when the
// range runs backwards.
void add_values(std::uint64_t& bits, std::int32_t low, std::int32_t high, std::int32_t step) {
  for (std::int64_t v = low; v <= high; v += step) bits |= std::uint64_t{1} << v;
}

// One item of a list, whose values are added to bits: *, */step, value, value-value or
// value-value/step. A single value may not take a step (1/2 is refused).
bool read_item(CronChars& in, const CronField& field, std::uint64_t& bits) {
  std::int32_t low = field.min, high = field.max;
  if (in.peek() == '*') {
    in.next();
  } else {
    const std::optional<std::int32_t> first = read_value(in, field);
    if (!first) return false;
    low = high = *first;
    if (in.peek() != '-') {
      if (in.peek() == '/') return false;
      add_values(bits, low, high, 1);
      return true;
    }
    in.next();
    const std::optional<std::int32_t> last = read_value(in, field);
    if (!last) return false;
    high = *last;
  }
  std::int32_t step = 1;
  if (in.peek() == '/') {
    const std::optional<std::int32_t> read = read_step(in, low, high);
    if (!read) return false;
    step = *read;
  }
  add_values(bits, low, high, step);
  return true;
}

// A comma-separated list of items, then the blanks before the next field. Whatever follows
// the list up to the next blank is passed over (1?, */2/3, 1-2-3 are loaded), 0xFF bytes too,
// but the end of the file right after the list, or where the next field should start, refuses
// this field.
bool read_field(CronChars& in, const CronField& field, std::uint64_t& bits) {
  while (true) {
    if (!read_item(in, field, bits)) return false;
    if (in.peek() != ',') break;
    in.next();
  }
  if (in.peek() == kEof) return false;
  in.take_until(is_ascii_blank);
  in.skip_blanks();
  return in.peek() != kEof;
}

// A line as cron read it, and where the line cron reads next starts (after a NUL that ended
// this one) or kNone.
struct Part {
  CronReading reading;
  std::size_t rest = kNone;
};

Part refused(std::string_view reason) {
  CronReading r;
  r.verdict = Verdict::Refused;
  r.reason = reason;
  return {r, kNone};
}

CronReading job(std::string_view user, std::string_view command) {
  CronReading r;
  r.verdict = Verdict::Job;
  r.user = user;
  r.command = command;
  return r;
}

// The command runs from here to the line's end or its first NUL; cron reads the bytes after
// the NUL as its next line.
Part read_command(CronChars& in, std::string_view user) {
  const std::string_view command = in.take_until([](char c) { return c == '\0'; });
  if (command.size() > CRON_MAX_COMMAND) return refused(COMMAND_TOO_LONG);
  const std::size_t end = in.pos();
  if (end == in.text().size()) {
    if (in.last()) return refused(BAD_COMMAND);
    return {job(user, command), kNone};
  }
  return {job(user, command), end + 1};
}

// The word cron reads in one go: up to a blank, the end of the line, or a NUL (which then
// ends the command too).
std::string_view read_word(CronChars& in) {
  return in.take_until([](char c) { return c == ' ' || c == '\t' || c == '\0'; });
}

// The user column of a system crontab, then the command. cron refuses a '*' where the schedule
// ends, which would be a sixth time field; whether before or after the user column, the oracle
// cannot tell: before.
Part read_user_and_command(CronChars& in, CrontabFlavor flavor) {
  if (in.peek() == '*') return refused(BAD_COMMAND);
  std::string_view user;
  if (flavor == CrontabFlavor::SystemCrontab) {
    user = read_word(in);
    if (user.empty()) return refused(MISSING_USER);
    in.skip_blanks();
  }
  return read_command(in, user);
}

// @name, then the command. The name ends at a blank only: @daily? is refused.
Part read_at_job(CronChars& in, CrontabFlavor flavor) {
  in.next();
  const std::string_view name = read_word(in);
  const auto found = std::find_if(AT_SCHEDULES.begin(), AT_SCHEDULES.end(),
                                  [&](const AtSchedule& at) { return at.name == name; });
  if (found == AT_SCHEDULES.end()) return refused(BAD_TIME_SPECIFIER);
  in.skip_blanks();
  Part part = read_user_and_command(in, flavor);
  part.reading.times = found->times;
  part.reading.at_reboot = found->name == "reboot";
  return part;
}

// Five time fields, then the command. Only spaces and tabs part the fields. A day field
// written starting with '*' is "any day" to cron, whatever follows the star.
Part read_scheduled_job(CronChars& in, CrontabFlavor flavor) {
  JobTimes times;
  for (std::size_t i = 0; i < CRON_FIELDS.size(); ++i) {
    const bool star = in.peek() == '*';
    if (i < 2 && star) times.follows_clock = true;
    if (!read_field(in, CRON_FIELDS[i], times.bits[i])) return refused(CRON_FIELDS[i].reason);
    if (i == kDayOfMonth) times.any_day_of_month = star;
    if (i == kDayOfWeek) times.any_day_of_week = star;
  }
  // Sunday is both 0 and 7.
  std::uint64_t& week = times.bits[kDayOfWeek];
  week = (week | week >> 7) & 0x7F;
  Part part = read_user_and_command(in, flavor);
  part.reading.times = times;
  return part;
}

bool is_blank_or_comment(std::string_view text, std::size_t first) {
  return first == text.size() || text[first] == '#';
}

// One line up to the NUL that ends it for cron, if any.
Part read_part(std::string_view text, CrontabFlavor flavor, bool last) {
  CronChars in(text, last);
  in.skip_blanks();
  const std::size_t first = in.pos();
  // Comments run to the line feed, NUL bytes and all.
  if (is_blank_or_comment(text, first)) return {};
  // cron first reads the line as an assignment: up to a NUL or the line feed, and checks
  // there that the file has one.
  const std::size_t nul = text.find('\0', first);
  if (last && nul == kNone) return refused(CRON_MISSING_NEWLINE);
  const std::size_t end = nul == kNone ? text.size() : nul;
  const std::size_t kept = end - first < CRON_MAX_ASSIGNMENT ? end - first : CRON_MAX_ASSIGNMENT;
  if (std::optional<CronReading> assignment =
          read_vixie_assignment(text.substr(first, kept), false)) {
    return {*assignment, nul == kNone ? kNone : nul + 1};
  }
  if (in.peek() == '@') return read_at_job(in, flavor);
  return read_scheduled_job(in, flavor);
}

CronReading read_line(std::string_view text, CrontabFlavor flavor, bool last) {
  const Part part = read_part(text, flavor, last);
  std::size_t rest = part.rest;
  while (rest != kNone) {
    text.remove_prefix(rest);
    const Part next = read_part(text, flavor, last);
    if (next.reading.verdict == Verdict::Refused) return next.reading;
    rest = next.rest;
  }
  return part.reading;
}

}  // namespace

CronReading read_cron_line(std::string_view line, CrontabFlavor flavor) {
  return read_line(line, flavor, false);
}

// In a last line without line feed, cron's reader meets the end of the file instead: where it
// first reads the line as an assignment (refused with CRON_MISSING_NEWLINE unless a NUL comes
// first), where it reads the time fields (each refused as by a 0xFF byte), and at the end of a
// command (refused with "bad command"). A comment or blank line reads to the end unharmed.
CronReading read_cron_last_line(std::string_view line, CrontabFlavor flavor) {
  return read_line(line, flavor, true);
}

}  // namespace lintkeeper
