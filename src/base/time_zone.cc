// The TZif reader (RFC 8536), the footer's POSIX TZ rule, the civil calendar and RFC 3339 text.
#include "base/time_zone.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <utility>

#include <fmt/format.h>

#include "base/os_error.h"

namespace lintkeeper {

namespace {

constexpr int64_t kDay = 86400;
// 400 Gregorian years, a whole number of weeks: the calendar and every rule repeat after it.
constexpr int64_t kCycleDays = 146097;
constexpr int64_t kCycle = kCycleDays * kDay;
// The instants of 0001-01-01T00:00:00Z and 10000-01-01T00:00:00Z.
constexpr int64_t kYear1 = -62135596800;
constexpr int64_t kYear10000 = 253402300800;

int64_t floor_div(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return q - ((a % b != 0) && ((a < 0) != (b < 0)));
}

int64_t year_of(int64_t instant) { return civil_from_days(floor_div(instant, kDay)).year; }

// "+05:30", "-03:00", and "+00:53:28" for an offset with seconds, which RFC 3339 cannot write.
std::string offset_text(int64_t offset) {
  const char sign = offset < 0 ? '-' : '+';
  const int64_t size = offset < 0 ? -offset : offset;
  if (size % 60 != 0) {
    return fmt::format("{}{:02}:{:02}:{:02}", sign, size / 3600, size / 60 % 60, size % 60);
  }
  return fmt::format("{}{:02}:{:02}", sign, size / 3600, size / 60 % 60);
}

}  // namespace

bool is_leap_year(int64_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int days_in_month(int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && is_leap_year(year) ? 29 : kDays[month - 1];
}

// Years are counted from March 1 so that the leap day ends a year; a 400-year cycle of such
// years starts on 0000-03-01, which is day -719468.
int64_t days_from_civil(int64_t year, int month, int day) {
  const int64_t march_year = month <= 2 ? year - 1 : year;
  const int64_t cycle = floor_div(march_year, 400);
  const int64_t year_of_cycle = march_year - cycle * 400;           // 0 to 399
  const int month_from_march = month <= 2 ? month + 9 : month - 3;  // 0 to 11
  // Months from March run 31, 30, 31, 30, 31 days: 153 days each five months.
  const int day_of_year = (153 * month_from_march + 2) / 5 + day - 1;
  const int64_t day_of_cycle =
      year_of_cycle * 365 + year_of_cycle / 4 - year_of_cycle / 100 + day_of_year;
  return cycle * kCycleDays + day_of_cycle - 719468;
}

CivilDate civil_from_days(int64_t days) {
  const int64_t shifted = days + 719468;
  const int64_t cycle = floor_div(shifted, kCycleDays);
  const int64_t day_of_cycle = shifted - cycle * kCycleDays;  // 0 to 146096
  // The leap days before a day of the cycle: one each 1461 days, less one each 36524, more one
  // at the cycle's last day.
  const int64_t year_of_cycle =
      (day_of_cycle - day_of_cycle / 1460 + day_of_cycle / 36524 - day_of_cycle / 146096) / 365;
  const int64_t day_of_year =
      day_of_cycle - (365 * year_of_cycle + year_of_cycle / 4 - year_of_cycle / 100);
  const int month_from_march = static_cast<int>((5 * day_of_year + 2) / 153);
  CivilDate date;
  date.day = static_cast<int>(day_of_year - (153 * month_from_march + 2) / 5 + 1);
  date.month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
  date.year = cycle * 400 + year_of_cycle + (date.month <= 2 ? 1 : 0);
  return date;
}

int weekday(int64_t days) {
  const int64_t w = (days + 4) % 7;  // 1970-01-01 was a Thursday
  return static_cast<int>(w < 0 ? w + 7 : w);
}

LocalDateTime local_date_time(int64_t instant, int32_t offset) {
  int64_t days = instant / kDay;
  int64_t seconds = instant % kDay + offset;
  const int64_t carry = floor_div(seconds, kDay);
  days += carry;
  seconds -= carry * kDay;
  const CivilDate date = civil_from_days(days);
  return {date.year,
          date.month,
          date.day,
          static_cast<int>(seconds / 3600),
          static_cast<int>(seconds / 60 % 60),
          static_cast<int>(seconds % 60)};
}

std::string format_rfc3339(int64_t instant, int32_t offset, Rfc3339Style style) {
  const int64_t size = offset < 0 ? -int64_t(offset) : offset;
  const int64_t shown = (offset < 0 ? -60 : 60) * ((size + 30) / 60);
  const LocalDateTime t = local_date_time(instant, static_cast<int32_t>(shown));
  if (t.year < 1 || t.year > 9999) return {};
  std::string text = fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:{:02}", t.year, t.month, t.day,
                                 t.hour, t.minute, style.seconds ? t.second : 0);
  text += shown == 0 && style.z_for_zero ? "Z" : offset_text(shown);
  return text;
}

namespace {

// The number of exactly `digits` ASCII digits at text[pos], or nothing.
std::optional<int> digits_at(std::string_view text, std::size_t pos, std::size_t digits) {
  if (pos + digits > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = pos; i < pos + digits; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<int64_t> parse_rfc3339(std::string_view text) {
  // YYYY-MM-DDTHH:MM:SS at 0 to 18, then a fraction, then the offset.
  const auto year = digits_at(text, 0, 4), month = digits_at(text, 5, 2),
             day = digits_at(text, 8, 2), hour = digits_at(text, 11, 2),
             minute = digits_at(text, 14, 2), second = digits_at(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second || text[4] != '-' || text[7] != '-' ||
      (text[10] != 'T' && text[10] != 't' && text[10] != ' ') || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  if (*year < 1 || *month < 1 || *month > 12 || *day < 1 || *day > days_in_month(*year, *month) ||
      *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  std::size_t pos = 19;
  if (pos < text.size() && text[pos] == '.') {  // a fraction of a second: the instant is its second
    const std::size_t digits = text.find_first_not_of("0123456789", pos + 1);
    if (digits == pos + 1) return std::nullopt;
    pos = digits == std::string_view::npos ? text.size() : digits;
  }
  int32_t offset = 0;
  const std::string_view zone = text.substr(std::min(pos, text.size()));
  if (zone == "Z" || zone == "z") {
    offset = 0;
  } else {
    const auto hours = digits_at(zone, 1, 2), minutes = digits_at(zone, 4, 2);
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || !hours ||
        !minutes || *hours > 23 || *minutes > 59) {
      return std::nullopt;
    }
    offset = (zone[0] == '-' ? -1 : 1) * (*hours * 3600 + *minutes * 60);
  }
  return days_from_civil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second -
         offset;
}

// ---- The zone -------------------------------------------------------------------------------

TimeZone TimeZone::utc() {
  TimeZone zone;
  zone.name_ = "UTC";
  zone.types_.push_back({0, false, "UTC"});
  return zone;
}

std::optional<TimeZone> TimeZone::fixed(int32_t offset) {
  if (offset < kMinZoneOffset || offset > kMaxZoneOffset) return std::nullopt;
  TimeZone zone;
  zone.name_ = offset_text(offset);
  zone.types_.push_back({offset, false, zone.name_});
  return zone;
}

LocalTimeType TimeZone::type_at(int64_t instant) const {
  const Type& type = types_[type_index_at(instant)];
  return {type.offset, type.dst, type.abbreviation};
}

std::size_t TimeZone::type_index_at(int64_t instant) const {
  if (times_.empty()) return rule_.present ? rule_type_at(instant) : 0;
  if (instant < times_.front()) return 0;
  if (rule_.present && instant > times_.back()) return rule_type_at(instant);
  const auto next = std::upper_bound(times_.begin(), times_.end(), instant);
  return indices_[static_cast<std::size_t>(next - times_.begin()) - 1];
}

int64_t TimeZone::day_number(const RuleDay& day, int64_t year) {
  const int64_t january_1 = days_from_civil(year, 1, 1);
  switch (day.kind) {
    case RuleDay::Kind::Julian:
      return january_1 + day.day - 1 + (day.day >= 60 && is_leap_year(year) ? 1 : 0);
    case RuleDay::Kind::ZeroBased:
      return january_1 + day.day;
    case RuleDay::Kind::MonthWeekDay:
      break;
  }
  const int64_t first = days_from_civil(year, day.month, 1);
  int64_t found = first + (day.weekday - weekday(first) + 7) % 7 + 7 * (day.week - 1);
  if (found >= first + days_in_month(year, day.month)) found -= 7;  // week 5: the last
  return found;
}

void TimeZone::rule_changes(int64_t year, RuleChange (&changes)[2]) const {
  const int64_t start = day_number(rule_.start, year) * kDay + rule_.start.time;
  const int64_t end = day_number(rule_.end, year) * kDay + rule_.end.time;
  changes[0] = {start - types_[rule_.std_type].offset, rule_.dst_type};
  changes[1] = {end - types_[rule_.dst_type].offset, rule_.std_type};
}

// The type of the rule at an instant: that of the rule's last change at or before it (of two
// changes at one instant, the later year's, so that DST all year, which ends as the next year's
// starts, stays DST). A change lies within about eight days of its year, so the years from two
// before the instant's to the one after hold the last change before it.
std::size_t TimeZone::rule_type_at(int64_t instant) const {
  if (!rule_.has_dst) return rule_.std_type;
  if (instant < kYear1 || instant >= kYear10000) {
    // The same instant of a cycle within 2000 to 2400.
    constexpr int64_t kBase = 946684800;
    int64_t within = (instant % kCycle - kBase % kCycle) % kCycle;
    if (within < 0) within += kCycle;
    instant = kBase + within;
  }
  const int64_t year = year_of(instant);
  int64_t best_at = std::numeric_limits<int64_t>::min();
  std::size_t best = rule_.std_type;
  for (int64_t y = year - 2; y <= year + 1; ++y) {
    RuleChange changes[2];
    rule_changes(y, changes);
    for (const RuleChange& change : changes) {
      if (change.at <= instant && change.at >= best_at) {
        best_at = change.at;
        best = change.type;
      }
    }
  }
  return best;
}

std::vector<ZoneTransition> TimeZone::transitions(int64_t from, int64_t to) const {
  std::vector<ZoneTransition> found;
  if (from >= to) return found;
  const auto first = std::lower_bound(times_.begin(), times_.end(), from);
  for (auto it = first; it != times_.end() && *it < to; ++it) {
    const std::size_t i = static_cast<std::size_t>(it - times_.begin());
    const int32_t before = types_[i == 0 ? 0 : indices_[i - 1]].offset;
    const int32_t after = types_[indices_[i]].offset;
    if (before != after) found.push_back({*it, before, after});
  }
  if (!rule_.present) return found;
  // The rule's changes, after the last transition; and the step onto the rule itself.
  int64_t low = std::max(from, kYear1);
  const int64_t high = std::min(to, kYear10000);
  std::vector<int64_t> candidates;
  if (!times_.empty()) {
    if (times_.back() >= high - 1) return found;
    low = std::max(low, times_.back() + 1);
    if (low == times_.back() + 1) candidates.push_back(low);
  }
  if (low >= high) return found;
  if (rule_.has_dst) {
    for (int64_t y = year_of(low) - 1; y <= year_of(high - 1) + 1; ++y) {
      RuleChange changes[2];
      rule_changes(y, changes);
      for (const RuleChange& change : changes) {
        if (change.at >= low && change.at < high) candidates.push_back(change.at);
      }
    }
  }
  std::sort(candidates.begin(), candidates.end());
  candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
  for (const int64_t at : candidates) {
    const int32_t before = offset_at(at - 1);
    const int32_t after = offset_at(at);
    if (before != after) found.push_back({at, before, after});
  }
  return found;
}

LocalInstants TimeZone::instants_of(const LocalDateTime& local) const {
  LocalInstants found;
  if (local.year < 1 || local.year > 9999 || local.month < 1 || local.month > 12 || local.day < 1 ||
      local.day > days_in_month(local.year, local.month) || local.hour < 0 || local.hour > 23 ||
      local.minute < 0 || local.minute > 59 || local.second < 0 || local.second > 59) {
    return found;
  }
  const int64_t wall = days_from_civil(local.year, local.month, local.day) * kDay +
                       local.hour * 3600 + local.minute * 60 + local.second;
  // Every instant that may read `wall` lies within the widest offsets of it.
  const int64_t low = wall - kMaxZoneOffset;
  const int64_t high = wall - kMinZoneOffset;
  SmallVector<int32_t, 4> offsets{offset_at(low)};
  for (const ZoneTransition& t : transitions(low, high + 1)) {
    if (std::find(offsets.begin(), offsets.end(), t.offset_after) == offsets.end()) {
      new (offsets.prepare_back()) int32_t(t.offset_after);
      offsets.commit_back();
    }
  }
  for (const int32_t offset : offsets) {
    const int64_t at = wall - offset;
    if (offset_at(at) != offset) continue;
    new (found.prepare_back()) LocalInstant{at, offset};
    found.commit_back();
  }
  std::sort(found.begin(), found.end(),
            [](const LocalInstant& a, const LocalInstant& b) { return a.at < b.at; });
  return found;
}

// ---- Reading TZif ---------------------------------------------------------------------------

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_alpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The footer's POSIX TZ string: std offset [dst [offset] [,start[/time],end[/time]]]. Offsets
// count hours west, 0 to 24 (the sign before them says east); the times of the rule, in
// seconds, may be -167 to 167 hours (RFC 8536 §3.3.1).
class TzString {
 public:
  explicit TzString(std::string_view text) : text_(text) {}

  bool at_end() const { return pos_ == text_.size(); }
  bool take(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }
  bool peek_name() const {
    return pos_ < text_.size() && (text_[pos_] == '<' || is_alpha(text_[pos_]));
  }

  // "CET", or "<+0530>" (held without its brackets): three or more characters.
  bool name(std::string& out) {
    const std::size_t begin = pos_;
    if (take('<')) {
      while (pos_ < text_.size() && text_[pos_] != '>') {
        const char c = text_[pos_];
        if (!is_alpha(c) && !is_digit(c) && c != '+' && c != '-') return false;
        ++pos_;
      }
      out = text_.substr(begin + 1, pos_ - begin - 1);
      return take('>') && out.size() >= 3;
    }
    while (pos_ < text_.size() && is_alpha(text_[pos_])) ++pos_;
    out = text_.substr(begin, pos_ - begin);
    return out.size() >= 3;
  }

  // [+-]hh[:mm[:ss]] in seconds, hours up to max_hours.
  bool duration(int32_t& out, int max_hours) {
    const bool negative = take('-');
    if (!negative) take('+');
    int hours = 0;
    if (!number(hours, 3) || hours > max_hours) return false;
    int minutes = 0;
    int seconds = 0;
    if (take(':') && (!number(minutes, 2) || minutes > 59)) return false;
    if (take(':') && (!number(seconds, 2) || seconds > 59)) return false;
    out = (hours * 3600 + minutes * 60 + seconds) * (negative ? -1 : 1);
    return true;
  }

  // Up to max_digits digits.
  bool number(int& out, int max_digits) {
    const std::size_t begin = pos_;
    out = 0;
    while (pos_ < text_.size() && is_digit(text_[pos_]) && pos_ - begin < std::size_t(max_digits)) {
      out = out * 10 + (text_[pos_++] - '0');
    }
    return pos_ > begin;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

uint32_t be32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

struct Counts {
  uint32_t isut = 0, isstd = 0, leap = 0, time = 0, type = 0, chars = 0;

  // The size of the data block after the header, with times of time_size bytes.
  uint64_t data_size(uint64_t time_size) const {
    return uint64_t(time) * (time_size + 1) + uint64_t(type) * 6 + chars +
           uint64_t(leap) * (time_size + 4) + isstd + isut;
  }
};

}  // namespace

// Reads one file into a zone, each step failing with the text of what is wrong.
class TzifReader {
 public:
  TzifReader(std::string_view bytes, std::string name) : bytes_(bytes) {
    zone_.name_ = std::move(name);
  }

  ZoneResult read() {
    if (!read_all()) return {std::nullopt, std::move(error_)};
    return {std::move(zone_), {}};
  }

  // A rule alone, as the TZ variable holds one.
  ZoneResult read_rule(std::string_view text) {
    if (!rule(text)) return {std::nullopt, fmt::format("\"{}\" is no POSIX TZ rule", text)};
    return {std::move(zone_), {}};
  }

 private:
  bool fail(std::string text) {
    error_ = std::move(text);
    return false;
  }
  const unsigned char* at(std::size_t pos) const {
    return reinterpret_cast<const unsigned char*>(bytes_.data()) + pos;
  }

  bool read_all() {
    int version = 0;
    Counts counts;
    if (!header(0, version, counts)) return false;
    if (bytes_.size() - 44 < counts.data_size(4)) return fail("the file ends inside its data");
    if (version == 1) return check(counts) && block(44, counts, 4);
    // Version 2 and later: the 32-bit data is there for old readers only, and skipped.
    const std::size_t second = 44 + static_cast<std::size_t>(counts.data_size(4));
    int second_version = 0;
    if (!header(second, second_version, counts)) return false;
    if (second_version != version) return fail("the two headers give different versions");
    if (!check(counts)) return false;
    if (bytes_.size() - second - 44 < counts.data_size(8)) {
      return fail("the file ends inside its 64-bit data");
    }
    if (!block(second + 44, counts, 8)) return false;
    return footer(second + 44 + static_cast<std::size_t>(counts.data_size(8)));
  }

  bool header(std::size_t pos, int& version, Counts& counts) {
    if (!std::string_view("TZif").starts_with(bytes_.substr(pos, 4))) {
      return fail("not a TZif file: no \"TZif\" at its start");
    }
    if (bytes_.size() < pos + 44) return fail("the file ends inside a header");
    const unsigned char v = *at(pos + 4);
    if (v == 0) {
      version = 1;
    } else if (v >= '2' && v <= '4') {
      version = v - '0';
    } else {
      return fail(fmt::format("TZif version byte 0x{:02x} is unknown", v));
    }
    const unsigned char* c = at(pos + 20);
    counts = {be32(c), be32(c + 4), be32(c + 8), be32(c + 12), be32(c + 16), be32(c + 20)};
    return true;
  }

  // The counts of the header whose data is read.
  bool check(const Counts& counts) {
    if (counts.type == 0) return fail("the file has no local time type");
    if (counts.chars == 0) return fail("the file has no designation characters");
    if ((counts.isut != 0 && counts.isut != counts.type) ||
        (counts.isstd != 0 && counts.isstd != counts.type)) {
      return fail("the counts of UT and standard-time indicators are not that of the types");
    }
    if (counts.leap != 0) return fail("leap-second records (of a right/ zone) are not supported");
    return true;
  }

  bool block(std::size_t pos, const Counts& counts, std::size_t time_size) {
    if (!transitions(pos, counts, time_size)) return false;
    pos += counts.time * (time_size + 1);
    const std::size_t chars = pos + counts.type * 6;
    if (!types(pos, counts, bytes_.substr(chars, counts.chars))) return false;
    // Leap-second records are refused; the indicators only matter to POSIX TZ defaults.
    const std::size_t indicators = chars + counts.chars;
    for (std::size_t i = 0; i < std::size_t(counts.isstd) + counts.isut; ++i) {
      if (*at(indicators + i) > 1) return fail("an indicator is neither 0 nor 1");
    }
    return true;
  }

  bool transitions(std::size_t pos, const Counts& counts, std::size_t time_size) {
    zone_.times_.resize(counts.time);
    zone_.indices_.resize(counts.time);
    for (std::size_t i = 0; i < counts.time; ++i) {
      const unsigned char* p = at(pos + i * time_size);
      const uint64_t raw = time_size == 4 ? uint64_t(int64_t(int32_t(be32(p))))
                                          : uint64_t(be32(p)) << 32 | be32(p + 4);
      zone_.times_[i] = static_cast<int64_t>(raw);
      if (i > 0 && zone_.times_[i] <= zone_.times_[i - 1]) {
        return fail("the transition times are not in ascending order");
      }
      zone_.indices_[i] = *at(pos + counts.time * time_size + i);
      if (zone_.indices_[i] >= counts.type) {
        return fail(
            fmt::format("transition {} leads to type {} of {}", i, zone_.indices_[i], counts.type));
      }
    }
    return true;
  }

  bool types(std::size_t pos, const Counts& counts, std::string_view chars) {
    zone_.types_.resize(counts.type);
    for (std::size_t i = 0; i < counts.type; ++i) {
      const unsigned char* p = at(pos + i * 6);
      const int32_t offset = static_cast<int32_t>(be32(p));
      if (offset < kMinZoneOffset || offset > kMaxZoneOffset) {
        return fail(
            fmt::format("type {} has a UTC offset of {} s, beyond -89999 to 93599", i, offset));
      }
      if (p[4] > 1) return fail(fmt::format("type {} has a DST flag of {}", i, p[4]));
      const std::size_t end = chars.find('\0', p[5]);
      if (p[5] >= chars.size() || end == std::string_view::npos) {
        return fail(fmt::format("type {} has no designation ended by a NUL", i));
      }
      zone_.types_[i] = {offset, p[4] == 1, std::string(chars.substr(p[5], end - p[5]))};
    }
    return true;
  }

  bool footer(std::size_t pos) {
    const std::size_t end = bytes_.find('\n', pos + 1);
    if (pos >= bytes_.size() || bytes_[pos] != '\n' || end == std::string_view::npos) {
      return fail("the file has no footer after its 64-bit data");
    }
    const std::string_view text = bytes_.substr(pos + 1, end - pos - 1);
    if (text.empty()) return true;  // the last type holds after the last transition
    if (!rule(text)) return fail(fmt::format("the footer's TZ string \"{}\" is not valid", text));
    return true;
  }

  bool rule(std::string_view text) {
    TzString tz(text);
    TimeZone::Type standard;
    int32_t west = 0;
    if (!tz.name(standard.abbreviation) || !tz.duration(west, 24)) return false;
    standard.offset = -west;
    TimeZone::Rule& rule = zone_.rule_;
    rule.present = true;
    rule.std_type = add_type(std::move(standard));
    if (tz.at_end()) return true;
    TimeZone::Type daylight;
    daylight.dst = true;
    if (!tz.peek_name() || !tz.name(daylight.abbreviation)) return false;
    daylight.offset = zone_.types_[rule.std_type].offset + 3600;
    if (!tz.at_end() && !tz.take(',')) {
      if (!tz.duration(west, 24)) return false;
      daylight.offset = -west;
      if (!tz.take(',')) return false;  // DST needs its rule in a footer
    } else if (tz.at_end()) {
      return false;
    }
    if (daylight.offset < kMinZoneOffset || daylight.offset > kMaxZoneOffset) return false;
    rule.has_dst = true;
    rule.dst_type = add_type(std::move(daylight));
    return rule_day(tz, rule.start) && tz.take(',') && rule_day(tz, rule.end) && tz.at_end();
  }

  // Jn, n or Mm.w.d, then an optional /time.
  static bool rule_day(TzString& tz, TimeZone::RuleDay& day) {
    using Kind = TimeZone::RuleDay::Kind;
    if (tz.take('J')) {
      day.kind = Kind::Julian;
      if (!tz.number(day.day, 3) || day.day < 1 || day.day > 365) return false;
    } else if (tz.take('M')) {
      day.kind = Kind::MonthWeekDay;
      if (!tz.number(day.month, 2) || day.month < 1 || day.month > 12 || !tz.take('.') ||
          !tz.number(day.week, 1) || day.week < 1 || day.week > 5 || !tz.take('.') ||
          !tz.number(day.weekday, 1) || day.weekday > 6) {
        return false;
      }
    } else {
      day.kind = Kind::ZeroBased;
      if (!tz.number(day.day, 3) || day.day > 365) return false;
    }
    day.time = 7200;
    return !tz.take('/') || tz.duration(day.time, 167);
  }

  std::size_t add_type(TimeZone::Type type) {
    zone_.types_.push_back(std::move(type));
    return zone_.types_.size() - 1;
  }

  std::string_view bytes_;
  TimeZone zone_;
  std::string error_;
};

ZoneResult parse_tz_rule(std::string_view rule) {
  return TzifReader({}, std::string(rule)).read_rule(rule);
}

ZoneResult parse_tzif(std::string_view bytes, std::string name) {
  return TzifReader(bytes, std::move(name)).read();
}

// ---- Finding a zone -------------------------------------------------------------------------

namespace {

std::vector<std::string> components(std::string_view path) {
  std::vector<std::string> parts;
  std::size_t begin = 0;
  while (begin <= path.size()) {
    std::size_t end = path.find('/', begin);
    if (end == std::string_view::npos) end = path.size();
    if (end > begin) parts.emplace_back(path.substr(begin, end - begin));
    begin = end + 1;
  }
  return parts;
}

// The path of root + "/" + relative with its symbolic links followed inside root: an absolute
// link starts again at root, and ".." stops at it. 0, or the errno of the failure.
int resolve_in_root(FileSystem& fs, const std::string& root, std::string_view relative,
                    std::string& path) {
  constexpr int kMaxLinks = 40;  // as the kernel: more is a loop
  std::vector<std::string> todo = components(relative);
  std::reverse(todo.begin(), todo.end());  // taken from the back
  std::vector<std::string> done;
  int links = 0;
  path = root;
  while (!todo.empty()) {
    const std::string part = std::move(todo.back());
    todo.pop_back();
    if (part == ".") continue;
    if (part == "..") {
      if (!done.empty()) done.pop_back();
      path = root;
      for (const std::string& d : done) path += "/" + d;
      continue;
    }
    const std::string next = path + "/" + part;
    FileStatus st;
    if (const int error = fs.lstat(next, st); error != 0) return error;
    if (!S_ISLNK(st.mode)) {
      done.push_back(part);
      path = next;
      continue;
    }
    std::string target;
    if (++links > kMaxLinks) return ELOOP;
    if (const int error = fs.read_link(next, target); error != 0) return error;
    if (target.starts_with('/')) {
      done.clear();
      path = root;
    }
    std::vector<std::string> more = components(target);
    todo.insert(todo.end(), more.rbegin(), more.rend());
  }
  return 0;
}

}  // namespace

ZoneResult find_zone(FileSystem& fs, const std::string& root, std::string_view name) {
  if (name.empty() || name.starts_with('/') || name.find("..") != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return {std::nullopt, fmt::format("\"{}\" is not the name of a zone", name)};
  }
  const std::string relative = "usr/share/zoneinfo/" + std::string(name);
  std::string path;
  if (const int error = resolve_in_root(fs, root, relative, path); error != 0) {
    return {std::nullopt, fmt::format("{}/{}: {}", root, relative, os_error(error))};
  }
  FileStatus st;
  if (const int error = fs.stat(path, st); error != 0) {
    return {std::nullopt, fmt::format("{}: {}", path, os_error(error))};
  }
  if (!S_ISREG(st.mode)) return {std::nullopt, fmt::format("{}: not a regular file", path)};
  std::string bytes;
  if (const int error = read_whole_file(fs, path, bytes); error != 0) {
    return {std::nullopt, fmt::format("{}: {}", path, os_error(error))};
  }
  ZoneResult result = parse_tzif(bytes, std::string(name));
  if (!result.zone) result.error = fmt::format("{}: {}", path, result.error);
  return result;
}

}  // namespace lintkeeper
