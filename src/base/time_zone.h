// Time zones read from TZif data (the files of /usr/share/zoneinfo, or their bytes handed in),
// UTC and fixed offsets, the civil calendar, and RFC 3339 text of an instant.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"
#include "base/small_vector.h"

namespace lintkeeper {

// The proleptic Gregorian calendar, days counted from 1970-01-01 (day 0). Exact for every
// year the arithmetic holds, and so for years 1 to 9999.
struct CivilDate {
  int64_t year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

bool is_leap_year(int64_t year);
int days_in_month(int64_t year, int month);
// The day number of a valid date, and back.
int64_t days_from_civil(int64_t year, int month, int day);
CivilDate civil_from_days(int64_t days);
// 0 for Sunday to 6 for Saturday, as cron numbers them.
int weekday(int64_t days);

// A wall-clock date and time.
struct LocalDateTime {
  int64_t year = 1970;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

// The wall clock of an instant (seconds since the epoch) at a UTC offset (seconds east).
LocalDateTime local_date_time(int64_t instant, int32_t offset);

// A change of the UTC offset: from the instant at on, offset_after holds.
struct ZoneTransition {
  int64_t at = 0;
  int32_t offset_before = 0;
  int32_t offset_after = 0;
  friend bool operator==(const ZoneTransition&, const ZoneTransition&) = default;
};

// An instant that has a given wall-clock time, and the offset it has it at.
struct LocalInstant {
  int64_t at = 0;
  int32_t offset = 0;
  friend bool operator==(const LocalInstant&, const LocalInstant&) = default;
};

// The instants of a wall-clock time, in order: none in a gap, one, or two in an overlap
// (more only where a zone changes its offset more than once within a day).
using LocalInstants = SmallVector<LocalInstant, 2>;

// What the clocks of a zone say at an instant. abbreviation views into the TimeZone.
struct LocalTimeType {
  int32_t offset = 0;  // seconds east of UTC
  bool dst = false;
  std::string_view abbreviation;
};

struct Rfc3339Style {
  bool seconds = true;      // false: the instant cut to its minute, written with ":00"
  bool z_for_zero = false;  // "Z" instead of "+00:00" for a zero offset
};

// "2026-03-29T03:00:00+02:00": the wall clock of the instant and its offset. RFC 3339 has no
// seconds in an offset, so an offset that is not whole minutes (local mean time) is written
// rounded to the nearest minute (halves away from zero) and the wall clock shown is the one
// of that rounded offset, so that the text still names the instant exactly: Berlin's LMT,
// +00:53:28, shows 1890-01-01T00:00:00Z as 1890-01-01T00:53:00+00:53. Empty when the date
// shown falls outside years 1 to 9999.
std::string format_rfc3339(int64_t instant, int32_t offset, Rfc3339Style style = {});

// The instant of an RFC 3339 date-time, "2026-03-28T12:00:00+01:00" or "…Z" ('T' and 'Z' in
// either case, or a space for the 'T'; a fraction of a second is cut off); nothing for any
// other text, an invalid date or time, or a leap second.
std::optional<int64_t> parse_rfc3339(std::string_view text);

// The offsets a TZif file may hold, -24:59:59 to +25:59:59; fixed zones keep to them too.
inline constexpr int32_t kMinZoneOffset = -89999;
inline constexpr int32_t kMaxZoneOffset = 93599;

// A time zone: its transitions, then the rule of its footer (a POSIX TZ string) for every
// instant after the last of them. Every instant of int64 has an offset.
class TimeZone {
 public:
  static TimeZone utc();
  // A zone always at the offset, named as "+05:30" (with ":ss" when it has seconds); none
  // outside kMinZoneOffset to kMaxZoneOffset.
  static std::optional<TimeZone> fixed(int32_t offset);

  const std::string& name() const { return name_; }

  LocalTimeType type_at(int64_t instant) const;
  int32_t offset_at(int64_t instant) const { return type_at(instant).offset; }
  LocalDateTime local_time(int64_t instant) const {
    return local_date_time(instant, offset_at(instant));
  }
  // The changes of offset at instants from `from` (included) to `to` (excluded), in order.
  // A change of abbreviation or of the DST flag alone is not one. Those of the footer's rule
  // are listed for years 1 to 9999.
  std::vector<ZoneTransition> transitions(int64_t from, int64_t to) const;
  // The instants whose wall clock reads `local`, a valid date and time of years 1 to 9999
  // (none otherwise).
  LocalInstants instants_of(const LocalDateTime& local) const;
  std::string rfc3339(int64_t instant, Rfc3339Style style = {}) const {
    return format_rfc3339(instant, offset_at(instant), style);
  }

 private:
  TimeZone() = default;

  // A day of the footer's rule: Jn (1 to 365, February 29 never counted), n (0 to 365, it
  // counted) or Mm.w.d (weekday d of week w of month m, week 5 the last), at a time of the
  // wall clock in force before the change, in seconds (-167 to 167 hours).
  struct RuleDay {
    enum class Kind : std::uint8_t { Julian, ZeroBased, MonthWeekDay };
    Kind kind = Kind::MonthWeekDay;
    int day = 0;  // of Julian and ZeroBased
    int month = 0, week = 0, weekday = 0;
    int32_t time = 7200;
  };
  // The footer: when it has DST, std_type outside start to end of each year and dst_type
  // inside (which spans the new year in the southern hemisphere).
  struct Rule {
    bool present = false;
    bool has_dst = false;
    std::size_t std_type = 0;
    std::size_t dst_type = 0;
    RuleDay start, end;
  };
  struct Type {
    int32_t offset = 0;
    bool dst = false;
    std::string abbreviation;
  };
  friend class TzifReader;

  // The day number of a rule's day in a year.
  static int64_t day_number(const RuleDay& day, int64_t year);
  std::size_t type_index_at(int64_t instant) const;
  std::size_t rule_type_at(int64_t instant) const;
  // The rule's two changes of a year, each its instant and the type it leads to: the start of
  // DST, then its end (which comes first in the southern hemisphere).
  struct RuleChange {
    int64_t at;
    std::size_t type;
  };
  void rule_changes(int64_t year, RuleChange (&changes)[2]) const;

  std::string name_;
  std::vector<int64_t> times_;          // of the transitions, ascending
  std::vector<std::uint16_t> indices_;  // the type each transition leads to
  std::vector<Type> types_;             // never empty; types_[0] holds before the first
  Rule rule_;
};

// A zone, or why there is none.
struct ZoneResult {
  std::optional<TimeZone> zone;
  std::string error;
};

// Reads the bytes of a TZif file (RFC 8536, versions 1 to 4; the 64-bit data and the footer
// of versions 2 and later). Files with leap-second records (the right/ zones) are refused.
ZoneResult parse_tzif(std::string_view bytes, std::string name);

// A zone of a POSIX TZ rule alone, as the TZ variable may hold one ("UTC0",
// "CET-1CEST,M3.5.0,M10.5.0/3"), named after it. A rule with DST needs its days of change.
ZoneResult parse_tz_rule(std::string_view rule);

// The zone named (as "Europe/Berlin") in root + "/usr/share/zoneinfo/", root being "" for the
// machine's own: its symbolic links followed inside root, as an image's absolute links point
// into the image. A name that is empty, absolute, or holds ".." is refused.
ZoneResult find_zone(FileSystem& fs, const std::string& root, std::string_view name);

}  // namespace lintkeeper
