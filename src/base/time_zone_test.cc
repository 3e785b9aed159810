// Tests the civil calendar, the TZif reader and its footer rules, and holds every zone of
// /usr/share/zoneinfo to glibc's localtime_r.
#include "base/time_zone.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/file_system.h"
#include "base/memory_file_system.h"
#include "testing/tzif.h"

namespace lintkeeper {
namespace {

constexpr const char* kZoneinfo = "/usr/share/zoneinfo";

// ---- The calendar ---------------------------------------------------------------------------

TEST(TimeZoneCivil, KnownDays) {
  struct Row {
    int64_t year;
    int month, day;
    int64_t days;
    int weekday;
  };
  const Row rows[] = {
      {1970, 1, 1, 0, 4},         {1969, 12, 31, -1, 3},   {1, 1, 1, -719162, 1},
      {9999, 12, 31, 2932896, 5}, {2000, 2, 29, 11016, 2}, {2026, 3, 29, 20541, 0},
      {1600, 2, 29, -135081, 2},  {1900, 3, 1, -25508, 4}, {2100, 2, 28, 47540, 0},
      {4, 2, 29, -718008, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.year << "-" << r.month << "-" << r.day);
    EXPECT_EQ(days_from_civil(r.year, r.month, r.day), r.days);
    EXPECT_EQ(civil_from_days(r.days), (CivilDate{r.year, r.month, r.day}));
    EXPECT_EQ(weekday(r.days), r.weekday);
  }
}

// Every day of years 1 to 9999, counted one by one with the leap rule.
TEST(TimeZoneCivil, EveryDayOfYears1To9999) {
  int64_t days = -719162;  // 0001-01-01, a Monday
  int week_day = 1;
  int failures = 0;
  for (int64_t year = 1; year <= 9999; ++year) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    const int lengths[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= lengths[month - 1]; ++day, ++days, week_day = (week_day + 1) % 7) {
        if (days_from_civil(year, month, day) != days ||
            civil_from_days(days) != CivilDate{year, month, day} || weekday(days) != week_day) {
          if (++failures <= 5) ADD_FAILURE() << year << "-" << month << "-" << day;
        }
      }
      if (days_in_month(year, month) != lengths[month - 1] && ++failures <= 5) {
        ADD_FAILURE() << "length of " << year << "-" << month;
      }
    }
  }
  EXPECT_EQ(days, 2932897);
  EXPECT_EQ(failures, 0);
}

// ---- RFC 3339 -------------------------------------------------------------------------------

TEST(TimeZoneRfc3339, Format) {
  struct Row {
    int64_t instant;
    int32_t offset;
    Rfc3339Style style;
    std::string_view text;
  };
  const Row rows[] = {
      {1774746000, 7200, {}, "2026-03-29T03:00:00+02:00"},
      {1774746000, -14400, {}, "2026-03-28T21:00:00-04:00"},
      {1774746000, 37800, {}, "2026-03-29T11:30:00+10:30"},
      {1774746000, 0, {}, "2026-03-29T01:00:00+00:00"},
      {1774746000, 0, {.z_for_zero = true}, "2026-03-29T01:00:00Z"},
      {1774746000, 7200, {.z_for_zero = true}, "2026-03-29T03:00:00+02:00"},
      {1774746059, 7200, {.seconds = false}, "2026-03-29T03:00:00+02:00"},
      {1774746059, 7200, {}, "2026-03-29T03:00:59+02:00"},
      {-1, 0, {.seconds = false}, "1969-12-31T23:59:00+00:00"},
      // Offsets with seconds are shown rounded to the minute, the wall clock with them.
      {-2500000000, 3208, {}, "1890-10-11T20:26:20+00:53"},    // Berlin LMT +00:53:28
      {-2500000000, 1172, {}, "1890-10-11T19:53:20+00:20"},    // Amsterdam AMT +00:19:32
      {-2500000000, -1521, {}, "1890-10-11T19:08:20-00:25"},   // Dublin DMT -00:25:21
      {-2500000000, -19931, {}, "1890-10-11T14:01:20-05:32"},  // Detroit LMT -05:32:11
      {0, -30, {}, "1969-12-31T23:59:00-00:01"},
      {0, 29, {.z_for_zero = true}, "1970-01-01T00:00:00Z"},
      {0, -29, {}, "1970-01-01T00:00:00+00:00"},
      {-62135596800, 0, {}, "0001-01-01T00:00:00+00:00"},
      {-62135596800, -60, {}, ""},
      {253402300799, 0, {}, "9999-12-31T23:59:59+00:00"},
      {253402300799, 60, {}, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.instant << " at " << r.offset);
    EXPECT_EQ(format_rfc3339(r.instant, r.offset, r.style), r.text);
  }
}

// ---- Real zones -----------------------------------------------------------------------------

std::optional<TimeZone> system_zone(std::string_view name) {
  ZoneResult result = find_zone(disk(), "", name);
  EXPECT_TRUE(result.zone) << result.error;
  return std::move(result.zone);
}

#define SKIP_WITHOUT_ZONEINFO()                                              \
  do {                                                                       \
    FileStatus st;                                                           \
    if (disk().stat(kZoneinfo, st) != 0) GTEST_SKIP() << "no " << kZoneinfo; \
  } while (false)

// Each checked with zdump -v and TZ=zone date.
TEST(TimeZone, TypeAtInstants) {
  SKIP_WITHOUT_ZONEINFO();
  struct Row {
    std::string_view zone;
    int64_t instant;
    int32_t offset;
    std::string_view abbreviation;
    bool dst;
    std::string_view text;
  };
  const Row rows[] = {
      {"Europe/Berlin", 1774745999, 3600, "CET", false, "2026-03-29T01:59:59+01:00"},
      {"Europe/Berlin", 1774746000, 7200, "CEST", true, "2026-03-29T03:00:00+02:00"},
      {"Europe/Berlin", 1792889999, 7200, "CEST", true, "2026-10-25T02:59:59+02:00"},
      {"Europe/Berlin", 1792890000, 3600, "CET", false, "2026-10-25T02:00:00+01:00"},
      {"Europe/Berlin", -2500000000, 3208, "LMT", false, "1890-10-11T20:26:20+00:53"},
      {"Europe/Berlin", std::numeric_limits<int64_t>::min(), 3208, "LMT", false, ""},
      {"America/New_York", 1772953199, -18000, "EST", false, "2026-03-08T01:59:59-05:00"},
      {"America/New_York", 1772953200, -14400, "EDT", true, "2026-03-08T03:00:00-04:00"},
      {"America/New_York", 1793512799, -14400, "EDT", true, "2026-11-01T01:59:59-04:00"},
      {"America/New_York", 1793512800, -18000, "EST", false, "2026-11-01T01:00:00-05:00"},
      {"Australia/Lord_Howe", 1775314799, 39600, "+11", true, "2026-04-05T01:59:59+11:00"},
      {"Australia/Lord_Howe", 1775314800, 37800, "+1030", false, "2026-04-05T01:30:00+10:30"},
      {"Australia/Lord_Howe", 1791041399, 37800, "+1030", false, "2026-10-04T01:59:59+10:30"},
      {"Australia/Lord_Howe", 1791041400, 39600, "+11", true, "2026-10-04T02:30:00+11:00"},
      {"Australia/Sydney", 1775318399, 39600, "AEDT", true, "2026-04-05T02:59:59+11:00"},
      {"Australia/Sydney", 1775318400, 36000, "AEST", false, "2026-04-05T02:00:00+10:00"},
      {"Australia/Sydney", 1791043200, 39600, "AEDT", true, "2026-10-04T03:00:00+11:00"},
      {"Asia/Tokyo", 1782864000, 32400, "JST", false, "2026-07-01T09:00:00+09:00"},
      {"Asia/Tokyo", std::numeric_limits<int64_t>::max(), 32400, "JST", false, ""},
      {"UTC", 1774746000, 0, "UTC", false, "2026-03-29T01:00:00+00:00"},
      // Moscow: summer time kept all year from 2011, then standard time again from 2014.
      {"Europe/Moscow", 1269730800, 14400, "MSD", true, "2010-03-28T03:00:00+04:00"},
      {"Europe/Moscow", 1301180399, 10800, "MSK", false, "2011-03-27T01:59:59+03:00"},
      {"Europe/Moscow", 1301180400, 14400, "MSK", false, "2011-03-27T03:00:00+04:00"},
      {"Europe/Moscow", 1414274399, 14400, "MSK", false, "2014-10-26T01:59:59+04:00"},
      {"Europe/Moscow", 1414274400, 10800, "MSK", false, "2014-10-26T01:00:00+03:00"},
      // Dublin's footer has negative DST: GMT in winter is its DST.
      {"Europe/Dublin", 4103697600, 0, "GMT", true, "2100-01-15T12:00:00+00:00"},
      {"Europe/Dublin", 4118126400, 3600, "IST", false, "2100-07-01T13:00:00+01:00"},
      // 2100, long after the last transition: the footer's rule.
      {"Europe/Berlin", 4109878799, 3600, "CET", false, "2100-03-28T01:59:59+01:00"},
      {"Europe/Berlin", 4109878800, 7200, "CEST", true, "2100-03-28T03:00:00+02:00"},
      {"Europe/Berlin", 4128627600, 3600, "CET", false, "2100-10-31T02:00:00+01:00"},
      {"America/New_York", 4108690800, -14400, "EDT", true, "2100-03-14T03:00:00-04:00"},
      {"America/New_York", 4129250400, -18000, "EST", false, "2100-11-07T01:00:00-05:00"},
      {"Australia/Lord_Howe", 4110447600, 37800, "+1030", false, "2100-04-04T01:30:00+10:30"},
      {"Australia/Lord_Howe", 4126174200, 39600, "+11", true, "2100-10-03T02:30:00+11:00"},
      {"Australia/Sydney", 4110451200, 36000, "AEST", false, "2100-04-04T02:00:00+10:00"},
      {"Australia/Sydney", 4126176000, 39600, "AEDT", true, "2100-10-03T03:00:00+11:00"},
      // Year 12026, 25 cycles of 400 years after 2026.
      {"Europe/Berlin", 317344265999, 3600, "CET", false, ""},
      {"Europe/Berlin", 317344266000, 7200, "CEST", true, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.zone << " " << r.instant);
    const std::optional<TimeZone> zone = system_zone(r.zone);
    ASSERT_TRUE(zone);
    const LocalTimeType type = zone->type_at(r.instant);
    EXPECT_EQ(type.offset, r.offset);
    EXPECT_EQ(type.abbreviation, r.abbreviation);
    EXPECT_EQ(type.dst, r.dst);
    EXPECT_EQ(zone->rfc3339(r.instant), r.text);
  }
}

TEST(TimeZone, Transitions) {
  SKIP_WITHOUT_ZONEINFO();
  struct Row {
    std::string_view zone;
    int64_t from, to;
    std::vector<ZoneTransition> transitions;
  };
  const Row rows[] = {
      {"Europe/Berlin",
       1767225600,  // 2026
       1798761600,
       {{1774746000, 3600, 7200}, {1792890000, 7200, 3600}}},
      {"Europe/Berlin", 1774746000, 1774746001, {{1774746000, 3600, 7200}}},
      {"Europe/Berlin", 1774745000, 1774746000, {}},
      // The file's last transition is in 2037; 2038 is the footer's.
      {"Europe/Berlin",
       2114380800,
       2177452800,
       {{2121901200, 3600, 7200},
        {2140045200, 7200, 3600},
        {2153350800, 3600, 7200},
        {2172099600, 7200, 3600}}},
      {"Europe/Berlin",
       4102444800,  // 2100
       4133980800,
       {{4109878800, 3600, 7200}, {4128627600, 7200, 3600}}},
      {"America/New_York",
       1767225600,
       1798761600,
       {{1772953200, -18000, -14400}, {1793512800, -14400, -18000}}},
      {"Australia/Lord_Howe",
       1767225600,
       1798761600,
       {{1775314800, 39600, 37800}, {1791041400, 37800, 39600}}},
      {"Australia/Sydney",
       1767225600,
       1798761600,
       {{1775318400, 39600, 36000}, {1791043200, 36000, 39600}}},
      {"Europe/Moscow",
       1293840000,  // 2011 to 2015
       1420070400,
       {{1301180400, 10800, 14400}, {1414274400, 14400, 10800}}},
      // British Standard Time: from DST to standard time at +01:00 in 1968 is no change.
      {"Europe/London",
       -63158400,  // 1968 to 1972
       63072000,
       {{-59004000, 0, 3600}, {57722400, 3600, 0}}},
      {"Asia/Tokyo", 0, 4133980800, {}},
      {"UTC", std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(), {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.zone << " " << r.from << " to " << r.to);
    const std::optional<TimeZone> zone = system_zone(r.zone);
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->transitions(r.from, r.to), r.transitions);
  }
}

TEST(TimeZone, InstantsOfWallClock) {
  SKIP_WITHOUT_ZONEINFO();
  struct Row {
    std::string_view zone;
    LocalDateTime local;
    std::vector<LocalInstant> instants;
  };
  const Row rows[] = {
      {"Europe/Berlin", {2026, 3, 29, 1, 59, 59}, {{1774745999, 3600}}},
      {"Europe/Berlin", {2026, 3, 29, 2, 0, 0}, {}},
      {"Europe/Berlin", {2026, 3, 29, 2, 30, 0}, {}},
      {"Europe/Berlin", {2026, 3, 29, 3, 0, 0}, {{1774746000, 7200}}},
      {"Europe/Berlin", {2026, 10, 25, 2, 30, 0}, {{1792888200, 7200}, {1792891800, 3600}}},
      {"Europe/Berlin", {2026, 10, 25, 3, 0, 0}, {{1792893600, 3600}}},
      {"Europe/Berlin", {2100, 3, 28, 2, 30, 0}, {}},
      {"Europe/Berlin", {2100, 10, 31, 2, 30, 0}, {{4128625800, 7200}, {4128629400, 3600}}},
      {"America/New_York", {2026, 3, 8, 2, 30, 0}, {}},
      {"America/New_York", {2026, 11, 1, 1, 30, 0}, {{1793511000, -14400}, {1793514600, -18000}}},
      // Lord Howe's half hour: 02:00 to 02:30 is skipped, 01:30 to 02:00 comes twice.
      {"Australia/Lord_Howe", {2026, 10, 4, 2, 15, 0}, {}},
      {"Australia/Lord_Howe", {2026, 10, 4, 2, 30, 0}, {{1791041400, 39600}}},
      {"Australia/Lord_Howe", {2026, 4, 5, 1, 45, 0}, {{1775313900, 39600}, {1775315700, 37800}}},
      {"Australia/Sydney", {2026, 10, 4, 2, 30, 0}, {}},
      {"Australia/Sydney", {2026, 4, 5, 2, 30, 0}, {{1775316600, 39600}, {1775320200, 36000}}},
      {"Europe/Moscow", {2011, 3, 27, 2, 30, 0}, {}},
      {"Europe/Moscow", {2014, 10, 26, 1, 30, 0}, {{1414272600, 14400}, {1414276200, 10800}}},
      {"Asia/Tokyo", {2026, 3, 29, 2, 30, 0}, {{1774719000, 32400}}},
      {"UTC", {2026, 3, 29, 2, 30, 0}, {{1774751400, 0}}},
      // Not a date, or out of years 1 to 9999.
      {"UTC", {2026, 2, 29, 0, 0, 0}, {}},
      {"UTC", {2026, 4, 31, 0, 0, 0}, {}},
      {"UTC", {2026, 13, 1, 0, 0, 0}, {}},
      {"UTC", {2026, 1, 1, 24, 0, 0}, {}},
      {"UTC", {2026, 1, 1, 0, 60, 0}, {}},
      {"UTC", {10000, 1, 1, 0, 0, 0}, {}},
      {"UTC", {2024, 2, 29, 0, 0, 0}, {{1709164800, 0}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.zone << " " << r.local.year << "-" << r.local.month << "-"
                                    << r.local.day << " " << r.local.hour << ":" << r.local.minute);
    const std::optional<TimeZone> zone = system_zone(r.zone);
    ASSERT_TRUE(zone);
    const LocalInstants found = zone->instants_of(r.local);
    EXPECT_EQ(std::vector<LocalInstant>(found.begin(), found.end()), r.instants);
  }
}

TEST(TimeZone, UtcAndFixedOffsets) {
  const TimeZone utc = TimeZone::utc();
  EXPECT_EQ(utc.name(), "UTC");
  EXPECT_EQ(utc.type_at(1774746000).abbreviation, "UTC");
  EXPECT_EQ(utc.rfc3339(1774746000, {.z_for_zero = true}), "2026-03-29T01:00:00Z");
  EXPECT_EQ(utc.transitions(std::numeric_limits<int64_t>::min(), 0), std::vector<ZoneTransition>{});

  struct Row {
    int32_t offset;
    std::string_view name;  // also its abbreviation
    std::string_view text;  // of 1774746000
  };
  const Row rows[] = {
      {19800, "+05:30", "2026-03-29T06:30:00+05:30"},
      {-34200, "-09:30", "2026-03-28T15:30:00-09:30"},
      {0, "+00:00", "2026-03-29T01:00:00+00:00"},
      {3208, "+00:53:28", "2026-03-29T01:53:00+00:53"},
      {93599, "+25:59:59", "2026-03-30T03:00:00+26:00"},
      {-89999, "-24:59:59", "2026-03-28T00:00:00-25:00"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offset);
    const std::optional<TimeZone> zone = TimeZone::fixed(r.offset);
    ASSERT_TRUE(zone);
    EXPECT_EQ(zone->name(), r.name);
    EXPECT_EQ(zone->type_at(0).abbreviation, r.name);
    EXPECT_EQ(zone->offset_at(std::numeric_limits<int64_t>::max()), r.offset);
    EXPECT_EQ(zone->rfc3339(1774746000), r.text);
  }
  EXPECT_FALSE(TimeZone::fixed(93600));
  EXPECT_FALSE(TimeZone::fixed(-90000));
}

// ---- TZif files made here -------------------------------------------------------------------

TEST(TimeZoneTzif, FooterRules) {
  struct Row {
    std::string_view footer;
    int64_t instant;
    int32_t offset;
    std::string_view abbreviation;
    bool dst;
  };
  // Checked with glibc (TZ=footer), but for the rows that say otherwise: glibc 2.36 finds a
  // rule's changes in the UTC year of the instant only, and errs before year 1.
  const Row rows[] = {
      // Jn: day n of 365, so J60 is March 1 in leap years too.
      {"AAA3BBB,J60/2,J300/2", 1709269199, -10800, "AAA", false},  // 2024-03-01T01:59:59
      {"AAA3BBB,J60/2,J300/2", 1709269200, -7200, "BBB", true},
      {"AAA3BBB,J60/2,J300/2", 1730001599, -7200, "BBB", true},  // 2024-10-27T01:59:59
      {"AAA3BBB,J60/2,J300/2", 1730001600, -10800, "AAA", false},
      {"AAA3BBB,J60/2,J300/2", 1740805200, -7200, "BBB", true},  // 2025-03-01T03:00
      // n: counted from 0 with February 29, so 59 is February 29 in a leap year.
      {"AAA3BBB,59/2,299/2", 1709182799, -10800, "AAA", false},  // 2024-02-29T01:59:59
      {"AAA3BBB,59/2,299/2", 1709182800, -7200, "BBB", true},
      {"AAA3BBB,59/2,299/2", 1740805199, -10800, "AAA", false},  // 2025-03-01T01:59:59
      {"AAA3BBB,59/2,299/2", 1740805200, -7200, "BBB", true},
      {"AAA3BBB,59/2,299/2", 1729915199, -7200, "BBB", true},  // 2024-10-26T01:59:59
      {"AAA3BBB,59/2,299/2", 1729915200, -10800, "AAA", false},
      {"AAA3BBB,59/2,299/2", 1761537600, -10800, "AAA", false},  // 2025-10-27T01:00
      // Times before the day and past its end.
      {"AAA3BBB,M3.2.0/-1:30,M11.1.0/26:15", 1772933399, -10800, "AAA", false},
      {"AAA3BBB,M3.2.0/-1:30,M11.1.0/26:15", 1772933400, -7200, "BBB", true},  // 03-07 23:30
      {"AAA3BBB,M3.2.0/-1:30,M11.1.0/26:15", 1793592899, -7200, "BBB", true},
      {"AAA3BBB,M3.2.0/-1:30,M11.1.0/26:15", 1793592900, -10800, "AAA", false},  // 11-02 01:15
      {"AAA3BBB,M3.2.0/100,M11.1.0/-100", 1773298799, -10800, "AAA", false},
      {"AAA3BBB,M3.2.0/100,M11.1.0/-100", 1773298800, -7200, "BBB", true},  // 03-12 05:00
      {"AAA3BBB,M3.2.0/100,M11.1.0/-100", 1793138399, -7200, "BBB", true},
      {"AAA3BBB,M3.2.0/100,M11.1.0/-100", 1793138400, -10800, "AAA", false},  // 10-27 19:00
      // Week 5 is the last: February 2026 has four Sundays.
      {"AAA3BBB,M2.5.0,M10.5.0", 1771736399, -10800, "AAA", false},
      {"AAA3BBB,M2.5.0,M10.5.0", 1771736400, -7200, "BBB", true},  // 2026-02-22T03:00
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 1774745999, -7200, "-02", false},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 1774746000, -3600, "-01", true},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 1792889999, -3600, "-01", true},
      {"<-02>2<-01>,M3.5.0/-1,M10.5.0/0", 1792890000, -7200, "-02", false},
      {"<+0530>-5:30", 1782864000, 19800, "+0530", false},
      {"AAA-1:00:30BBB-2:00:45,M3.5.0,M10.5.0/3", 1782864000, 7245, "BBB", true},
      {"AAA-1:00:30BBB-2:00:45,M3.5.0,M10.5.0/3", 1767225600, 3630, "AAA", false},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", 1782864000, 3600, "IST", false},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", 1768435200, 0, "GMT", true},
      // DST all year (RFC 8536 §3.3.1): it ends at 2026-01-01T05:00Z as 2026's starts. glibc
      // 2.36 gives EST for the hour before.
      {"EST5EDT,0/0,J365/25", 1782864000, -14400, "EDT", true},
      {"EST5EDT,0/0,J365/25", 1767243599, -14400, "EDT", true},
      {"EST5EDT,0/0,J365/25", 1767243600, -14400, "EDT", true},
      // The rule repeats every 400 years, before year 1 too (-7974-03-29, a last Sunday of
      // March, as 2026-03-29 is; glibc 2.36 errs on years before 1).
      {"CET-1CEST,M3.5.0,M10.5.0/3", 317344266000, 7200, "CEST", true},
      {"CET-1CEST,M3.5.0,M10.5.0/3", -313794774001, 3600, "CET", false},
      {"CET-1CEST,M3.5.0,M10.5.0/3", -313794774000, 7200, "CEST", true},
      // The ends of int64: 2196-12-04 and 2143-01-27 of the cycle, winter, Dublin's DST.
      {"IST-1GMT0,M10.5.0,M3.5.0/1", std::numeric_limits<int64_t>::max(), 0, "GMT", true},
      {"IST-1GMT0,M10.5.0,M3.5.0/1", std::numeric_limits<int64_t>::min(), 0, "GMT", true},
      // A change that falls in the year before its own (glibc 2.36 takes it in the UTC year)...
      {"AAA-13BBB,J1/0,J182/0", 1767178799, 46800, "AAA", false},  // 2025-12-31T10:59:59Z
      {"AAA-13BBB,J1/0,J182/0", 1767178800, 50400, "BBB", true},   // 2026-01-01T00:00 local
      // ...and two in the year after theirs: 2025's end on 2026-01-01T08:00Z and its start on
      // 2026-01-04T07:00Z, so that DST from 2024's start holds up to 08:00 (glibc 2.36 errs).
      {"AAA3BBB,J365/100,J365/30", 1767236400, -7200, "BBB", true},    // 2026-01-01T03:00Z
      {"AAA3BBB,J365/100,J365/30", 1767258000, -10800, "AAA", false},  // 2026-01-01T08:00Z
      {"AAA3BBB,J365/100,J365/30", 1767509999, -10800, "AAA", false},
      {"AAA3BBB,J365/100,J365/30", 1767510000, -7200, "BBB", true},  // 2026-01-04T07:00Z
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.footer << " at " << r.instant);
    const ZoneResult result = parse_tzif(footer_only(std::string(r.footer)).bytes(), "test");
    ASSERT_TRUE(result.zone) << result.error;
    const LocalTimeType type = result.zone->type_at(r.instant);
    EXPECT_EQ(type.offset, r.offset);
    EXPECT_EQ(type.abbreviation, r.abbreviation);
    EXPECT_EQ(type.dst, r.dst);
  }
}

TEST(TimeZoneTzif, FooterTransitions) {
  struct Row {
    std::string_view footer;
    int64_t from, to;
    std::vector<ZoneTransition> transitions;
  };
  const Row rows[] = {
      {"EST5EDT,0/0,J365/25", 1735689600, 1798761600, {}},  // 2025 and 2026
      // 2025's changes, both in 2026.
      {"AAA3BBB,J365/100,J365/30",
       1767225600,  // 2026
       1798761600,
       {{1767254400, -7200, -10800}, {1767510000, -10800, -7200}}},
      {"<+0530>-5:30",
       std::numeric_limits<int64_t>::min(),
       std::numeric_limits<int64_t>::max(),
       {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.footer);
    const ZoneResult result = parse_tzif(footer_only(std::string(r.footer)).bytes(), "test");
    ASSERT_TRUE(result.zone) << result.error;
    EXPECT_EQ(result.zone->transitions(r.from, r.to), r.transitions);
  }
}

// Two transitions in 1970 and a footer that disagrees with the last: the file holds up to its
// last transition, the footer after it, and the step between them is a transition.
TEST(TimeZoneTzif, TransitionsThenFooter) {
  for (const char version : {'2', '3', '4'}) {
    SCOPED_TRACE(version);
    Tzif file;
    file.version = version;
    file.times = {0, 1000};
    file.indices = {1, 2};
    file.types = {{100, 0, 0}, {3600, 1, 4}, {7200, 0, 8}};
    file.chars = std::string("LMT\0ONE\0TWO\0", 12);
    file.footer = "<+03>-3";
    const ZoneResult result = parse_tzif(file.bytes(), "test");
    ASSERT_TRUE(result.zone) << result.error;
    const TimeZone& zone = *result.zone;
    EXPECT_EQ(zone.name(), "test");
    EXPECT_EQ(zone.type_at(-1).abbreviation, "LMT");
    EXPECT_EQ(zone.type_at(0).abbreviation, "ONE");
    EXPECT_TRUE(zone.type_at(0).dst);
    EXPECT_EQ(zone.type_at(1000).abbreviation, "TWO");
    EXPECT_EQ(zone.type_at(1001).abbreviation, "+03");
    EXPECT_EQ(
        zone.transitions(-10, 2000),
        (std::vector<ZoneTransition>{{0, 100, 3600}, {1000, 3600, 7200}, {1001, 7200, 10800}}));
  }
}

TEST(TimeZoneTzif, SkipsTheVersionOneBlockOfLaterVersions) {
  Tzif file = footer_only("<+05>-5");
  file.stub_types = 0;  // counts a reader of the 32-bit data would refuse
  file.stub_leaps = 2;
  const ZoneResult result = parse_tzif(file.bytes(), "test");
  ASSERT_TRUE(result.zone) << result.error;
  EXPECT_EQ(result.zone->offset_at(0), 18000);
}

// Version 1: 32-bit data, no footer; the last type holds after the last transition.
TEST(TimeZoneTzif, VersionOne) {
  Tzif file;
  file.version = 0;
  file.times = {-2147483648LL, 0, 2147483647LL};
  file.indices = {1, 2, 1};
  file.types = {{0, 0, 0}, {-18000, 0, 4}, {-14400, 1, 8}};
  file.chars = std::string("LMT\0EST\0EDT\0", 12);
  file.indicators = 3;
  const ZoneResult result = parse_tzif(file.bytes(), "v1");
  ASSERT_TRUE(result.zone) << result.error;
  const TimeZone& zone = *result.zone;
  EXPECT_EQ(zone.offset_at(-2147483649LL), 0);
  EXPECT_EQ(zone.offset_at(-1), -18000);
  EXPECT_EQ(zone.offset_at(0), -14400);
  EXPECT_EQ(zone.offset_at(std::numeric_limits<int64_t>::max()), -18000);
  EXPECT_EQ(zone.type_at(std::numeric_limits<int64_t>::max()).abbreviation, "EST");
}

TEST(TimeZoneTzif, EmptyFooterKeepsTheLastType) {
  Tzif file;
  file.times = {0};
  file.indices = {1};
  file.types = {{0, 0, 0}, {-18000, 0, 0}};
  file.footer = "";
  const ZoneResult result = parse_tzif(file.bytes(), "test");
  ASSERT_TRUE(result.zone) << result.error;
  EXPECT_EQ(result.zone->offset_at(4102444800), -18000);
}

TEST(TimeZoneTzif, Refused) {
  struct Row {
    std::string_view what;
    std::string (*bytes)();
    std::string_view error;
  };
  const Row rows[] = {
      {"empty", [] { return std::string(); }, "the file ends inside a header"},
      {"not TZif", [] { return "TZjf" + Tzif().bytes().substr(4); },
       "not a TZif file: no \"TZif\" at its start"},
      {"version 5",
       [] {
         Tzif f;
         f.version = '5';
         return f.bytes();
       },
       "TZif version byte 0x35 is unknown"},
      {"headers disagree",
       [] {
         std::string b = Tzif().bytes();
         b[4] = '3';
         return b;
       },
       "the two headers give different versions"},
      {"cut in the 32-bit data", [] { return Tzif().bytes().substr(0, 48); },
       "the file ends inside its data"},
      {"cut in the second header", [] { return Tzif().bytes().substr(0, 60); },
       "the file ends inside a header"},
      {"cut in the 64-bit data", [] { return Tzif().bytes().substr(0, 51 + 44 + 5); },
       "the file ends inside its 64-bit data"},
      {"no footer", [] { return Tzif().bytes().substr(0, 51 + 44 + 10); },
       "the file has no footer after its 64-bit data"},
      {"footer not ended",
       [] {
         std::string b = Tzif().bytes();
         b.pop_back();
         return b;
       },
       "the file has no footer after its 64-bit data"},
      {"no type",
       [] {
         Tzif f;
         f.types.clear();
         return f.bytes();
       },
       "the file has no local time type"},
      {"no designation",
       [] {
         Tzif f;
         f.chars.clear();
         return f.bytes();
       },
       "the file has no designation characters"},
      {"indicators",
       [] {
         Tzif f;
         f.indicators = 2;
         return f.bytes();
       },
       "the counts of UT and standard-time indicators are not that of the types"},
      {"indicator 2",
       [] {
         Tzif f;
         f.indicators = 1;
         std::string b = f.bytes();
         b[b.size() - 7] = 2;  // the UT indicator, before "\nUTC0\n"
         return b;
       },
       "an indicator is neither 0 nor 1"},
      {"leap seconds",
       [] {
         Tzif f;
         f.leaps = 1;
         return f.bytes();
       },
       "leap-second records (of a right/ zone) are not supported"},
      {"times out of order",
       [] {
         Tzif f;
         f.times = {10, 10};
         f.indices = {0, 0};
         return f.bytes();
       },
       "the transition times are not in ascending order"},
      {"index past the types",
       [] {
         Tzif f;
         f.times = {10};
         f.indices = {1};
         return f.bytes();
       },
       "transition 0 leads to type 1 of 1"},
      {"offset too far east",
       [] {
         Tzif f;
         f.types[0].offset = 93600;
         return f.bytes();
       },
       "type 0 has a UTC offset of 93600 s, beyond -89999 to 93599"},
      {"offset too far west",
       [] {
         Tzif f;
         f.types[0].offset = std::numeric_limits<int32_t>::min();
         return f.bytes();
       },
       "type 0 has a UTC offset of -2147483648 s, beyond -89999 to 93599"},
      {"DST flag 2",
       [] {
         Tzif f;
         f.types[0].dst = 2;
         return f.bytes();
       },
       "type 0 has a DST flag of 2"},
      {"designation past the characters",
       [] {
         Tzif f;
         f.types[0].designation = 4;
         return f.bytes();
       },
       "type 0 has no designation ended by a NUL"},
      {"designation not ended",
       [] {
         Tzif f;
         f.chars = "UTC";
         return f.bytes();
       },
       "type 0 has no designation ended by a NUL"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    const ZoneResult result = parse_tzif(r.bytes(), "test");
    EXPECT_FALSE(result.zone);
    EXPECT_EQ(result.error, r.error);
  }
}

TEST(TimeZoneTzif, RefusedFooters) {
  const std::string_view footers[] = {
      "AB3",                         // a name of two letters
      "<AB>3",                       // and quoted
      "<+05-5",                      // not closed
      "<+0 5>-5",                    // a space in the name
      "AAA",                         // no offset
      "AAA25",                       // past 24 hours
      "AAA3:60",                     // minutes past 59
      "AAA3BBB",                     // DST without its rule
      "AAA3BBB2",                    // the same, with its offset
      "AAA3BBB,M3.2.0",              // one day only
      "AAA3BBB,M13.2.0,M11.1.0",     // no month 13
      "AAA3BBB,M3.6.0,M11.1.0",      // no week 6
      "AAA3BBB,M3.2.7,M11.1.0",      // no weekday 7
      "AAA3BBB,J0,J365",             // J counts from 1
      "AAA3BBB,366,0",               // n stops at 365
      "AAA3BBB,M3.2.0/168,M11.1.0",  // past 167 hours
      "AAA3BBB,M3.2.0,M11.1.0x",     // something after the rule
  };
  for (const std::string_view footer : footers) {
    SCOPED_TRACE(footer);
    const ZoneResult result = parse_tzif(footer_only(std::string(footer)).bytes(), "test");
    EXPECT_FALSE(result.zone);
    EXPECT_EQ(result.error, "the footer's TZ string \"" + std::string(footer) + "\" is not valid");
  }
}

// ---- Finding a zone -------------------------------------------------------------------------

TEST(TimeZone, FindZoneInsideTheRoot) {
  MemoryFileSystem fs;
  const std::string zones = "/img/usr/share/zoneinfo/";
  fs.add_file(zones + "Europe/Berlin", footer_only("CET-1CEST,M3.5.0,M10.5.0/3").bytes());
  fs.add_link(zones + "Absolute", "/usr/share/zoneinfo/Europe/Berlin");  // into the image
  fs.add_link(zones + "US/Relative", "../Europe/Berlin");
  fs.add_link(zones + "Escape", "../../../../../../usr/share/zoneinfo/Europe/Berlin");
  fs.add_link(zones + "Loop", "Loop");
  fs.add_link(zones + "Dangling", "Nowhere");
  fs.add_dir(zones + "Folder");
  fs.add_file(zones + "zone.tab", "# not a zone\n");
  fs.add_file(zones + "Locked", "");
  fs.fail(zones + "Locked", EACCES);
  struct Row {
    std::string_view name;
    std::string_view error;  // empty: found, with the offset of CET in July
  };
  const Row rows[] = {
      {"Europe/Berlin", ""},
      {"Absolute", ""},
      {"US/Relative", ""},
      {"Escape", ""},
      {"Europe//Berlin", ""},
      {"Loop", "/img/usr/share/zoneinfo/Loop: Too many levels of symbolic links (os error 40)"},
      {"Dangling", "/img/usr/share/zoneinfo/Dangling: No such file or directory (os error 2)"},
      {"Asia/Tokyo", "/img/usr/share/zoneinfo/Asia/Tokyo: No such file or directory (os error 2)"},
      {"Folder", "/img/usr/share/zoneinfo/Folder: not a regular file"},
      {"zone.tab", "/img/usr/share/zoneinfo/zone.tab: not a TZif file: no \"TZif\" at its start"},
      {"Locked", "/img/usr/share/zoneinfo/Locked: Permission denied (os error 13)"},
      {"", "\"\" is not the name of a zone"},
      {"/Europe/Berlin", "\"/Europe/Berlin\" is not the name of a zone"},
      {"../zoneinfo/Europe/Berlin", "\"../zoneinfo/Europe/Berlin\" is not the name of a zone"},
      {"Europe/../Europe/Berlin", "\"Europe/../Europe/Berlin\" is not the name of a zone"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const ZoneResult result = find_zone(fs, "/img", r.name);
    EXPECT_EQ(result.error, r.error);
    if (r.error.empty()) {
      ASSERT_TRUE(result.zone);
      EXPECT_EQ(result.zone->name(), r.name);
      EXPECT_EQ(result.zone->offset_at(1782864000), 7200);
    } else {
      EXPECT_FALSE(result.zone);
    }
  }
}

// ---- glibc as the oracle --------------------------------------------------------------------

// The zone files under a folder of zoneinfo, by their names: files (or links to files) that
// start with "TZif", posix/ and right/ left out (copies of the others, and leap seconds).
void zone_files(const std::string& folder, const std::string& prefix,
                std::vector<std::string>& names) {
  std::vector<std::string> entries;
  if (disk().read_dir(folder, entries) != 0) return;
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    const std::string name = prefix + entry;
    const std::string path = folder + "/" + entry;
    if (name == "posix" || name == "right") continue;
    FileStatus st;
    if (disk().lstat(path, st) != 0) continue;
    if (S_ISDIR(st.mode)) {
      zone_files(path, name + "/", names);
      continue;
    }
    std::string bytes;
    if (disk().stat(path, st) == 0 && S_ISREG(st.mode) &&
        read_whole_file(disk(), path, bytes) == 0 && bytes.starts_with("TZif")) {
      names.push_back(name);
    }
  }
}

// Sets TZ for the test and puts it back after.
class ScopedTz {
 public:
  ScopedTz() {
    if (const char* old = std::getenv("TZ")) old_ = old;
  }
  ~ScopedTz() {
    if (old_) {
      setenv("TZ", old_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  void set(const std::string& value) {
    setenv("TZ", value.c_str(), 1);
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

// Every zone, at instants every 997 hours from 1970 to 2100 and on both sides of each of its
// transitions there: the offset and abbreviation glibc gives, and the instant among those of
// the wall clock glibc shows.
TEST(TimeZoneOracle, AgreesWithGlibcOnEveryZone) {
  SKIP_WITHOUT_ZONEINFO();
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::string> names;
  zone_files(kZoneinfo, "", names);
  ASSERT_GT(names.size(), 300u);
  constexpr int64_t kFrom = 0;         // 1970
  constexpr int64_t kTo = 4102444800;  // 2100
  ScopedTz tz;
  long instants = 0;
  long transitions = 0;
  int failures = 0;
  for (const std::string& name : names) {
    const ZoneResult result = find_zone(disk(), "", name);
    if (!result.zone) {
      ADD_FAILURE() << name << ": " << result.error;
      continue;
    }
    const TimeZone& zone = *result.zone;
    tz.set(":" + std::string(kZoneinfo) + "/" + name);
    std::vector<int64_t> probes;
    for (int64_t t = kFrom; t < kTo; t += 997 * 3600) probes.push_back(t);
    for (const ZoneTransition& t : zone.transitions(kFrom, kTo)) {
      probes.push_back(t.at - 1);
      probes.push_back(t.at);
      ++transitions;
    }
    for (const int64_t t : probes) {
      const time_t when = static_cast<time_t>(t);
      struct tm tm {};
      ASSERT_TRUE(localtime_r(&when, &tm));
      const LocalTimeType type = zone.type_at(t);
      const LocalInstants back = zone.instants_of(
          {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec});
      const LocalInstant expected{t, static_cast<int32_t>(tm.tm_gmtoff)};
      const bool found = std::find(back.begin(), back.end(), expected) != back.end();
      if (type.offset != tm.tm_gmtoff || type.abbreviation != tm.tm_zone ||
          type.dst != (tm.tm_isdst > 0) || !found) {
        if (++failures <= 10) {
          ADD_FAILURE() << name << " at " << t << ": " << type.offset << " " << type.abbreviation
                        << " dst " << type.dst << ", glibc " << tm.tm_gmtoff << " " << tm.tm_zone
                        << " dst " << tm.tm_isdst
                        << (found ? "" : "; the wall clock does not lead back");
        }
      }
      ++instants;
    }
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("[ oracle   ] %zu zones, %ld instants (%ld transitions), %d disagree, %.2f s\n",
              names.size(), instants, transitions, failures, seconds);
  RecordProperty("zones", static_cast<int>(names.size()));
  RecordProperty("instants", static_cast<int>(instants));
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace lintkeeper
