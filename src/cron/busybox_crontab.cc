// How busybox's crond 1.35 reads a crontab, as the real daemon showed it: the rules found by
// experiment (tests/oracles/busybox), each written where it applies.
#include "cron/busybox_crontab.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "base/chars.h"
#include "fields/time_fields.h"

namespace lintkeeper {
namespace {

using Verdict = CronReading::Verdict;
using Bits = std::uint64_t;
constexpr std::size_t kFields = Schedule::kFieldCount;
enum Column : std::size_t { kMinute, kHour, kDay, kMonth, kWeekday };

// crond keeps a field as an array of one byte a value, counted from 0: minute 0, hour 0, day 0
// (which no date has), January, Sunday. A number in the month field is kept one less than
// written, so month 0 is -1; a name is its place among the names.
//
// The five arrays of a job lie in memory in the order day of week, month, hour, day of month,
// minute, after other data. A value below 0 sets the byte that far before its array, which is
// a value of another field or, before the day of week, that other data: no map shows those
// bytes, and crond went on running jobs with them set (tests/oracles/busybox/experiments.md).
struct BusyboxField {
  std::int32_t size;
  std::int32_t shift;                       // added to a number as written
  std::span<const std::string_view> names;  // three letters, in any case
  std::size_t at;                           // where the array starts in the job's block
};
constexpr std::size_t kOtherData = 6;
constexpr std::array<BusyboxField, kFields> FIELDS{{
    {60, 0, {}, kOtherData + 7 + 12 + 24 + 32},
    {24, 0, {}, kOtherData + 7 + 12},
    {32, 0, {}, kOtherData + 7 + 12 + 24},
    {12, -1, MONTH_NAMES, kOtherData + 7},
    {7, 0, WEEKDAY_NAMES, kOtherData},
}};
constexpr std::size_t kBlockSize = kOtherData + 7 + 12 + 24 + 32 + 60;
using Block = std::array<bool, kBlockSize>;

constexpr bool fields_fit() {
  for (const BusyboxField& f : FIELDS) {
    // A value from -(size - 1) to size - 1 stays inside the block.
    if (f.at + 1 < static_cast<std::size_t>(f.size) || f.at + f.size > kBlockSize) return false;
  }
  // The values as written are those of TIME_FIELDS, with a day 0 and without the week's 7.
  const auto values = [](Column c) {
    return static_cast<std::int32_t>(TIME_FIELDS[c].max - TIME_FIELDS[c].min + 1);
  };
  return FIELDS[kMinute].size == values(kMinute) && FIELDS[kHour].size == values(kHour) &&
         FIELDS[kDay].size == values(kDay) + 1 && FIELDS[kMonth].size == values(kMonth) &&
         FIELDS[kWeekday].size == values(kWeekday) - 1 && FIELDS[kMonth].shift == -1 &&
         static_cast<std::int32_t>(TIME_FIELDS[kMonth].min) == -FIELDS[kMonth].shift;
}
static_assert(fields_fit());

// "Not given yet": crond reads a value into the start of a range while the start is below 0,
// so a value below 0 (month 0, 4294967295) counts as none when another follows it.
constexpr std::int32_t kUnset = -1;
// A range that never reaches its end is given up after this many counts.
constexpr int kFillLimit = 1024;

constexpr std::int32_t to_int(std::uint64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// strtol(text + pos, &end, 10) in the C locale: white space skipped, a sign, digits, the value
// held at the largest or smallest long. pos moves past the digits, or not at all without one.
std::int64_t c_strtol(std::string_view text, std::size_t& pos) {
  std::size_t i = pos;
  while (i < text.size() && is_ascii_space(text[i])) ++i;
  const bool negative = i < text.size() && text[i] == '-';
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  if (i == text.size() || !is_ascii_digit(text[i])) return 0;
  const std::uint64_t limit = (std::uint64_t{1} << 63) - (negative ? 0 : 1);
  std::uint64_t value = 0;
  for (; i < text.size() && is_ascii_digit(text[i]); ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    value = value > (limit - digit) / 10 ? limit : value * 10 + digit;
  }
  pos = i;
  return static_cast<std::int64_t>(negative ? 0 - value : value);
}

// The value of digits as written, or any value past an unsigned int once it is one: crond
// never keeps such a value as written.
std::uint64_t written_number(std::string_view digits) {
  std::uint64_t value = 0;
  for (const char c : digits) {
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return value;
  }
  return value;
}

bool same_letters(std::string_view text, std::string_view name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    if ((text[i] | 0x20) != name[i]) return false;
  }
  return true;
}

// The months and days as the notes name them, in the order of the names crond reads.
constexpr std::array<std::string_view, MONTH_NAMES.size()> MONTH_WORDS{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<std::string_view, WEEKDAY_NAMES.size()> WEEKDAY_WORDS{
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

// Values in words, ascending: "5", "0 to 5 and 30", "2, 4, 6, ..., 30"; three values or more
// in a row are "A to B", and over five entries the first three, "..." and the last are kept.
std::string list_words(Bits bits, int first, int last, std::span<const std::string_view> words) {
  struct Entry {
    int from, to;
  };
  std::array<Entry, 64> entries{};
  std::size_t count = 0;
  for (int v = first; v <= last; ++v) {
    if (!(bits >> v & 1)) continue;
    int end = v;
    while (end < last && (bits >> (end + 1) & 1)) ++end;
    if (end - v >= 2) {
      entries[count++] = {v, end};
      v = end;
    } else {
      entries[count++] = {v, v};
    }
  }
  const auto word = [&](int v) {
    return words.empty() ? fmt::format("{}", v) : std::string(words[v - first]);
  };
  std::string text;
  const bool elide = count > 5;
  for (std::size_t i = 0; i < count; ++i) {
    if (elide && i == 3) {
      text += ", ...";
      i = count - 1;
    }
    if (i > 0) text += i + 1 == count && !elide ? " and " : ", ";
    text += word(entries[i].from);
    if (entries[i].to != entries[i].from) text += " to " + word(entries[i].to);
  }
  return text;
}

// The note of what crond keeps for a job: how it reads each field otherwise than written.
struct Notes {
  std::array<std::string, kFields> why;  // ", "-joined reasons, usually none
  void add(std::size_t column, std::string reason) {
    std::string& to = why[column];
    if (!to.empty()) to += ", ";
    to += reason;
  }
};

// One field of a job as crond reads it into the block.
class FieldReader {
 public:
  FieldReader(Block& block, std::size_t column, std::string_view token, Notes& notes)
      : block_(block), column_(column), field_(FIELDS[column]), token_(token), notes_(notes) {}

  // Whether crond reads the whole field; when it does not (its log: "parse error at FIELD"),
  // the values set so far are kept.
  bool read() {
    while (true) {
      const std::size_t item = pos_;
      if (!read_range()) return junk(item);
      const std::int32_t skip = read_step(item);
      note_start(item);
      if (!fill(skip)) {
        notes_.add(column_, fmt::format("{} is out of its range", high_text_));
        return false;
      }
      if (peek() != ',') break;
      ++pos_;
      low_ = high_ = kUnset;
    }
    return pos_ == token_.size() || junk(pos_);
  }

 private:
  char peek() const { return pos_ < token_.size() ? token_[pos_] : '\0'; }

  // '*' or a value, then, while the end is not given, '-' and the next item: its '*' makes
  // the range every value again ("1-*" is "*"), its value is the start while the start is
  // below 0, and the end otherwise.
  bool read_range() {
    star_ = false;
    while (true) {
      if (peek() == '*') {
        ++pos_;
        low_ = 0;
        high_ = field_.size - 1;
        star_ = true;
      } else if (!read_value()) {
        return false;
      }
      if (peek() != '-' || high_ >= 0) break;
      ++pos_;
    }
    single_ = high_ < 0;
    if (single_) {
      high_ = low_;
      high_text_ = low_text_;
    }
    return true;
  }

  // A number (a digit first, then strtol, in an int) or one of the field's names.
  bool read_value() {
    const std::size_t start = pos_;
    std::int32_t value = 0;
    if (is_ascii_digit(peek())) {
      value = to_int(static_cast<std::uint64_t>(c_strtol(token_, pos_)) +
                     static_cast<std::uint64_t>(static_cast<std::int64_t>(field_.shift)));
      note_number(token_.substr(start, pos_ - start), value);
    } else {
      std::size_t i = 0;
      while (i < field_.names.size() &&
             (token_.size() - pos_ < 3 || !same_letters(token_.substr(pos_), field_.names[i]))) {
        ++i;
      }
      if (i == field_.names.size()) return false;
      pos_ += 3;
      value = static_cast<std::int32_t>(i);
    }
    const std::string_view text = token_.substr(start, pos_ - start);
    if (low_ < 0) {
      low_ = value;
      low_text_ = text;
    } else {
      high_ = value;
      high_text_ = text;
    }
    return true;
  }

  // A number crond keeps otherwise than written: one past an int, and the day and month 0.
  void note_number(std::string_view digits, std::int32_t value) {
    const std::int64_t kept = std::int64_t{value} - field_.shift;
    if (written_number(digits) != static_cast<std::uint64_t>(kept)) {
      notes_.add(column_, fmt::format("{} is read as {}", digits, kept));
    }
    if (kept == 0 && column_ == kDay) notes_.add(column_, "there is no day 0");
    if (kept == 0 && column_ == kMonth) notes_.add(column_, "there is no month 0");
  }

  // The step after '/': strtol's value, digits or none (0).
  std::int32_t read_step(std::size_t item) {
    if (peek() != '/') return 1;
    const std::size_t slash = pos_++;
    const std::int32_t skip = to_int(static_cast<std::uint64_t>(c_strtol(token_, pos_)));
    const std::string_view text = token_.substr(item, pos_ - item);
    if (single_) {
      notes_.add(column_,
                 fmt::format("`{}` is read as {}", text, token_.substr(item, slash - item)));
    } else if (skip <= 0) {
      notes_.add(column_, fmt::format("a step of {} keeps only the first value", skip));
    } else if (star_ && column_ == kDay && skip > 1) {
      notes_.add(column_, fmt::format("`{}` counts from day 0", text));
    }
    return skip;
  }

  // A range whose start is past the field's end starts over from 0 (60-5 is 0-5), so that a
  // range of the week from 7 starts on Sunday, as written.
  void note_start(std::size_t item) {
    if (single_ || star_ || low_ < field_.size) return;
    if (column_ == kWeekday && low_ == 7) return;
    notes_.add(column_,
               fmt::format("{} is read as {} in `{}`", low_text_, low_ % field_.size - field_.shift,
                           token_.substr(item, pos_ - item)));
  }

  // crond's fill of a range: from its start, counting up and wrapping at the field's size,
  // every skip-th value is set until the count meets the end. An end it never meets (60 in
  // the minutes, the week's 7) stops the fill after kFillLimit counts, with what it set: every
  // value for a step of 1, every skip-th of the counts for another (0-60/10 keeps 0, 10, ...,
  // 50). A skip of 0 or less sets the first value only.
  bool fill(std::int32_t skip) {
    std::int32_t n = low_ % field_.size;
    std::int64_t countdown = 1;
    bool below = false;
    for (int count = 1;; ++count) {
      if (--countdown == 0) {
        below = below || n < 0;
        block_[static_cast<std::size_t>(static_cast<std::int64_t>(field_.at) + n)] = true;
        countdown = skip;
      }
      if (count == kFillLimit || n == high_) break;
      n = (n + 1) % field_.size;
    }
    if (below) notes_.add(column_, fmt::format("{} {}", low_text_, spilled(low_ % field_.size)));
    return n == high_;
  }

  // What a value below 0 sets, the byte that far before the field's array: "sets 6 in field
  // "day of week"", or crond's other data.
  std::string spilled(std::int32_t n) const {
    const std::int64_t at = static_cast<std::int64_t>(field_.at) + n;
    for (std::size_t c = 0; c < FIELDS.size(); ++c) {
      const BusyboxField& f = FIELDS[c];
      if (at >= static_cast<std::int64_t>(f.at) && at < static_cast<std::int64_t>(f.at) + f.size) {
        return fmt::format("sets {} in field \"{}\"",
                           at - static_cast<std::int64_t>(f.at) - f.shift,
                           TIME_FIELDS[c].display_name);
      }
    }
    return "sets a byte of crond's own before the fields";
  }

  // What crond could not read: at `from`, the start of an item it could not read or what
  // follows the last it read.
  bool junk(std::size_t from) {
    if (from == 0) {
      notes_.add(column_, fmt::format("`{}` is not read at all", token_));
    } else {
      notes_.add(column_,
                 fmt::format("of `{}`, only `{}` is read", token_, token_.substr(0, from)));
    }
    return false;
  }

  Block& block_;
  std::size_t column_;
  const BusyboxField& field_;
  std::string_view token_;
  Notes& notes_;
  std::size_t pos_ = 0;
  std::int32_t low_ = kUnset, high_ = kUnset;
  std::string_view low_text_, high_text_;
  bool star_ = false, single_ = false;
};

Bits field_bits(const Block& block, std::size_t column) {
  Bits bits = 0;
  for (std::int32_t v = 0; v < FIELDS[column].size; ++v) {
    if (block[FIELDS[column].at + static_cast<std::size_t>(v)]) bits |= Bits{1} << v;
  }
  return bits;
}

constexpr Bits all_values(std::size_t column) { return (Bits{1} << FIELDS[column].size) - 1; }

// The job's times as the audit counts them: days of the month from 1 (crond's day 0 is no
// day), months from 1. A day field whose map is full counts as any day, so that the other
// alone decides; otherwise a day of either field runs the job.
JobTimes job_times(const Block& block) {
  JobTimes times;
  for (std::size_t column = 0; column < kFields; ++column) {
    times.bits[column] = field_bits(block, column);
  }
  times.any_day_of_month = times.bits[kDay] == all_values(kDay);
  times.any_day_of_week = times.bits[kWeekday] == all_values(kWeekday);
  times.bits[kDay] &= ~Bits{1};
  times.bits[kMonth] <<= 1;
  return times;
}

// The days a job runs on, in words: "every day", "on day 1 of the month only", "on Monday and
// Friday", "on days 1 to 7 of the month and on Monday", "on no day".
std::string days_words(const JobTimes& t) {
  const Bits days = t.any_day_of_month ? 0 : t.bits[kDay];
  const Bits week = t.any_day_of_week ? 0 : t.bits[kWeekday];
  if (t.any_day_of_month && t.any_day_of_week) return "every day";
  const std::string of_month = fmt::format(
      "{} {} of the month", std::popcount(days) == 1 ? "day" : "days", list_words(days, 1, 31, {}));
  const std::string of_week = list_words(week, 0, 6, WEEKDAY_WORDS);
  const bool one = std::popcount(days) + std::popcount(week) == 1;
  if (days == 0 && week == 0) return "on no day";
  if (week == 0) return fmt::format("on {}{}", of_month, one ? " only" : "");
  if (days == 0) return fmt::format("on {}{}", of_week, one ? " only" : "");
  return fmt::format("on {} and on {}", of_month, of_week);
}

std::string values_words(Bits bits, std::size_t column) {
  const int size = FIELDS[column].size;
  const bool one = std::popcount(bits) == 1;
  if (column == kMinute) {
    if (bits == all_values(column)) return "every minute";
    if (bits == 0) return "at no minute";
    return fmt::format("at {} {}{}", one ? "minute" : "minutes", list_words(bits, 0, size - 1, {}),
                       one ? " only" : "");
  }
  if (column == kHour) {
    if (bits == all_values(column)) return "every hour";
    if (bits == 0) return "at no hour";
    return fmt::format("at {} {}{}", one ? "hour" : "hours", list_words(bits, 0, size - 1, {}),
                       one ? " only" : "");
  }
  if (bits == all_values(column) << 1) return "every month";
  if (bits == 0) return "in no month";
  return fmt::format("in {}{}", list_words(bits, 1, 12, MONTH_WORDS), one ? " only" : "");
}

// How crond joins the day fields where most crons do otherwise: they take a day field written
// with '*' first as any day, crond one whose map is full.
void note_day_rule(const std::array<std::string_view, kFields>& tokens, const JobTimes& t,
                   Notes& notes) {
  const bool month_star = tokens[kDay].starts_with('*');
  const bool week_star = tokens[kWeekday].starts_with('*');
  if (month_star && !t.any_day_of_month && !t.any_day_of_week) {
    notes.add(kDay, fmt::format("`{}` is not every day of the month, so either day field runs it",
                                tokens[kDay]));
  }
  if (week_star && !t.any_day_of_week && !t.any_day_of_month) {
    notes.add(kDay, fmt::format("`{}` is not every day of the week, so either day field runs it",
                                tokens[kWeekday]));
  }
  if (!week_star && t.any_day_of_week && !t.any_day_of_month) {
    notes.add(kDay,
              fmt::format("`{}` is every day of the week, so the day of the month alone decides",
                          tokens[kWeekday]));
  }
  if (!month_star && t.any_day_of_month && !t.any_day_of_week) {
    notes.add(kDay,
              fmt::format("`{}` is every day of the month, so the day of the week alone decides",
                          tokens[kDay]));
  }
}

// The notes in words after "runs this ", a field at a time, the two day fields as one:
// "every day: 7 is out of its range".
std::string misread_words(Notes& notes, const JobTimes& t) {
  if (!notes.why[kWeekday].empty()) notes.add(kDay, std::move(notes.why[kWeekday]));
  std::string text;
  for (const std::size_t column : {kMinute, kHour, kDay, kMonth}) {
    if (notes.why[column].empty()) continue;
    if (!text.empty()) text += "; ";
    text += column == kDay ? days_words(t) : values_words(t.bits[column], column);
    text += ": " + notes.why[column];
  }
  return text;
}

// The word after the blanks from pos on; returns where it ends.
std::size_t take_word(std::string_view text, std::size_t pos, std::string_view& word) {
  while (pos < text.size() && is_ascii_blank(text[pos])) ++pos;
  const std::size_t start = pos;
  while (pos < text.size() && !is_ascii_blank(text[pos])) ++pos;
  word = text.substr(start, pos - start);
  return pos;
}

std::string_view trim_end(std::string_view text) {
  while (!text.empty() && is_ascii_blank(text.back())) text.remove_suffix(1);
  return text;
}

CronReading verdict(Verdict v, std::string_view reason = {}) {
  CronReading r;
  r.verdict = v;
  r.reason = reason;
  return r;
}

// NAME=VALUE: the value runs to the first blank ("MAILTO= x" sets nothing).
CronReading assignment(std::string_view text, std::size_t equals) {
  CronReading r = verdict(Verdict::Assignment);
  r.name = text.substr(0, equals);
  const std::string_view value = text.substr(equals + 1);
  r.command = value.substr(0, value.find_first_of(" \t"));
  return r;
}

// MAILTO= and SHELL= as the first word: crond honours them (whatever follows the value).
bool is_honoured_assignment(std::string_view text) {
  return text.starts_with("MAILTO=") || text.starts_with("SHELL=");
}

// '@', a name crond knows (as written: "@Daily" is not) and a command make it crash; any other
// line starting with '@' is passed over, however many words it has.
CronReading read_at_line(std::string_view text) {
  const std::size_t end = std::min(text.find_first_of(" \t"), text.size());
  const std::string_view name = text.substr(1, end - 1);
  bool known = false;
  for (const std::string_view n : AT_NAMES) known = known || name == n;
  return known && end < text.size() ? verdict(Verdict::Crashes, BUSYBOX_AT_CRASH)
                                    : verdict(Verdict::Skipped);
}

}  // namespace

BusyboxCrontab::BusyboxCrontab(std::string_view user) : limited_(user != "root") {}

CronReading BusyboxCrontab::line(std::string_view raw) {
  std::string_view line = raw;
  const bool has_line_feed = line.ends_with('\n');
  if (has_line_feed) line.remove_suffix(1);
  if (!joining_) joined_.clear();
  job_ = header_ = false;
  if (past_limit_) {
    const std::size_t first = line.find_first_not_of(" \t");
    const bool blank_or_comment = first == std::string_view::npos || line[first] == '#';
    return blank_or_comment ? verdict(Verdict::Skipped)
                            : verdict(Verdict::Refused, BUSYBOX_TOO_MANY_LINES);
  }
  // A '\' right before the line feed (not before a carriage return or a blank) is dropped and
  // the next line read on from there, comments too; one at the end of the file is dropped.
  const bool continued = line.ends_with('\\');
  if (continued) line.remove_suffix(1);
  if (continued && has_line_feed) {
    joined_.append(line);
    joining_ = true;
    return verdict(Verdict::Continued);
  }
  if (!joining_) return read_text(line);
  joined_.append(line);
  joining_ = false;
  return read_text(joined_);
}

std::optional<CronReading> BusyboxCrontab::finish() {
  if (!joining_) return std::nullopt;
  joining_ = false;
  job_ = header_ = false;
  return read_text(joined_);
}

// One line as crond reads it, joined lines as one.
CronReading BusyboxCrontab::read_text(std::string_view text) {
  // A NUL byte ends the line (the rest up to the line feed is lost).
  text = text.substr(0, text.find('\0'));
  const std::size_t first = text.find_first_not_of(" \t");
  // Only spaces and tabs are blank: a carriage return or a no-break space makes a line.
  if (first == std::string_view::npos || text[first] == '#') return verdict(Verdict::Skipped);
  header_ = true;
  past_limit_ = limited_ && ++counted_ >= BUSYBOX_MAX_LINES;
  // Any '#' ends the line, in a field or in quotes; blanks before it go with it.
  text = trim_end(text.substr(first, text.find('#') - first));
  if (text.starts_with('@')) return read_at_line(text);
  if (is_honoured_assignment(text)) return assignment(text, text.find('='));
  return read_job(text);
}

// Five fields and a command, or a line crond passes over (logging only its header).
CronReading BusyboxCrontab::read_job(std::string_view text) {
  std::array<std::string_view, kFields> tokens;
  std::size_t pos = 0;
  for (std::string_view& token : tokens) pos = take_word(text, pos, token);
  while (pos < text.size() && is_ascii_blank(text[pos])) ++pos;
  if (pos == text.size()) {
    // An assignment but MAILTO= and SHELL=, which crond does not honour (so a line of six
    // words or more is a job, read as the others).
    const std::size_t equals = tokens[0].find('=');
    if (equals != 0 && equals != std::string_view::npos) return assignment(text, equals);
    return verdict(Verdict::Skipped);
  }
  Block block{};
  Notes notes;
  for (std::size_t column = 0; column < kFields; ++column) {
    field_ok_[column] = FieldReader(block, column, tokens[column], notes).read();
    logged_bits_[column] = field_bits(block, column);
    field_texts_[column] = tokens[column];
  }
  job_ = true;
  CronReading r = verdict(Verdict::Job);
  r.command = text.substr(pos);
  r.times = job_times(block);
  if (field_ok_[kDay] && field_ok_[kWeekday]) note_day_rule(tokens, r.times, notes);
  r.misread = misread_words(notes, r.times);
  return r;
}

BusyboxLog BusyboxCrontab::log() const {
  BusyboxLog log;
  log.header = header_;
  if (!job_) return log;
  for (std::size_t column = 0; column < kFields; ++column) {
    std::string& text = log.fields[column];
    if (!field_ok_[column]) {
      text = fmt::format("parse error at {}", field_texts_[column]);
      continue;
    }
    for (std::int32_t v = 0; v < FIELDS[column].size; ++v) {
      text += (logged_bits_[column] >> v & 1) ? '1' : '0';
    }
  }
  return log;
}

}  // namespace lintkeeper
