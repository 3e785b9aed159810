// Holds the runs worked out for a job to those the real daemons made: on the mornings of
// daylight-saving changes under a fake clock (tests/oracles/dst), and cronie's cronnext in UTC
// (tests/oracles/cronie); then the findings about the changes of the coming year.
#include "audit/next_runs.h"

#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/file_system.h"
#include "cron/cron_line.h"
#include "cron/cronie_line.h"
#include "testing/findings.h"
#include "testing/tables.h"
#include "testing/tzif.h"

namespace lintkeeper {
namespace {

using testing::read_table;

std::string joined(const std::vector<std::int64_t>& runs, const TimeZone& zone) {
  std::string text;
  for (const std::int64_t run : runs) text += (text.empty() ? "" : ",") + zone.rfc3339(run);
  return text;
}

// A zone of the tables: a name of the zoneinfo files, or a POSIX TZ rule of its own.
std::optional<TimeZone> table_zone(const std::string& name) {
  ZoneResult result = name.find(',') == std::string::npos
                          ? find_zone(disk(), "", name)
                          : parse_tzif(footer_only(name).bytes(), name);
  EXPECT_TRUE(result.zone) << name << ": " << result.error;
  return std::move(result.zone);
}

JobTimes times_of_fields(const std::string& fields) {
  const CronReading r = read_cron_line(fields + " job", CrontabFlavor::UserCrontab);
  EXPECT_EQ(r.verdict, CronReading::Verdict::Job) << fields;
  return r.times;
}

// Every job of every morning: the runs from the daemon's start to the end of the window, in
// the order and at the minutes the daemon made them.
TEST(NextRuns, AsTheDaemonsRanThemOnClockChanges) {
  FileStatus st;
  if (disk().stat("/usr/share/zoneinfo/Europe/Berlin", st) != 0) {
    GTEST_SKIP() << "no /usr/share/zoneinfo (apt-get install tzdata)";
  }
  std::string header;
  const auto rows = read_table("tests/oracles/dst/runs.tsv", &header);
  ASSERT_EQ(header, "cron\tcase\tzone\tstart\tend\tjob\tfields\truns");
  ASSERT_GE(rows.size(), 400u);
  std::size_t differ = 0;
  for (const std::vector<std::string>& row : rows) {
    ASSERT_EQ(row.size(), 8u);
    const std::optional<CronName> cron = cron_from_name(row[0]);
    const std::optional<TimeZone> zone = table_zone(row[2]);
    const std::optional<std::int64_t> start = parse_rfc3339(row[3]), end = parse_rfc3339(row[4]);
    ASSERT_TRUE(cron && zone && start && end) << row[0] << " " << row[1];
    const std::string runs = joined(
        runs_between(times_of_fields(row[6]), *zone, cron_info(*cron).clock, *start, *end), *zone);
    if (runs == row[7]) continue;
    if (++differ <= 10) {
      ADD_FAILURE() << row[0] << " " << row[1] << " " << row[5] << " (" << row[6]
                    << ")\n  daemon: " << row[7] << "\n  runs:   " << runs;
    }
  }
  EXPECT_EQ(differ, 0u);
}

// cronnext's next five runs of every job of its table, with cronie's reading of the line.
TEST(NextRuns, AsCronnextGivesThem) {
  const auto rows = read_table("tests/oracles/cronie/cronnext-utc.tsv");
  ASSERT_EQ(rows.size(), 821u);
  const TimeZone utc = TimeZone::utc();
  std::size_t differ = 0;
  for (const std::vector<std::string>& row : rows) {
    const CronReading r =
        read_cronie_line(testing::unescape_cell(row[0]), CrontabFlavor::UserCrontab, false);
    const std::optional<std::int64_t> now = parse_rfc3339(row[1]);
    ASSERT_TRUE(now) << row[1];
    const std::string runs =
        joined(next_runs(r.times, utc, cron_info(CronName::Cronie).clock, *now, 5), utc);
    std::string expected = row[2];
    for (std::size_t z = expected.find('Z'); z != std::string::npos; z = expected.find('Z', z)) {
      expected.replace(z, 1, "+00:00");
    }
    if (runs == expected) continue;
    if (++differ <= 10) {
      ADD_FAILURE() << row[0] << " from " << row[1] << "\n  cronnext: " << expected
                    << "\n  runs:     " << runs;
    }
  }
  EXPECT_EQ(differ, 0u);
}

// The runs of a job that never runs, and of one that runs once in years.
TEST(NextRuns, RareAndNever) {
  const TimeZone utc = TimeZone::utc();
  const ClockRule rule = ClockRule::MakesUp;
  const std::int64_t now = *parse_rfc3339("2026-12-09T12:00:00Z");
  EXPECT_EQ(joined(next_runs(times_of_fields("0 0 30 2 *"), utc, rule, now, 5), utc), "");
  EXPECT_EQ(joined(next_runs(times_of_fields("0 0 29 2 *"), utc, rule, now, 2), utc),
            "2028-02-29T00:00:00+00:00,2032-02-29T00:00:00+00:00");
  // 1 February when it is a Friday: a day field that starts with "*" makes both count.
  EXPECT_EQ(joined(next_runs(times_of_fields("0 0 */31 2 5"), utc, rule, now, 1), utc),
            "2030-02-01T00:00:00+00:00");
  EXPECT_EQ(joined(next_runs(times_of_fields("0 0 * * *"), utc, rule, now, 0), utc), "");
}

// DST_SKIPPED and DST_REPEATED of the changes of the year after now, as each cron takes them.
TEST(NextRuns, ClockChangeFindings) {
  FileStatus st;
  if (disk().stat("/usr/share/zoneinfo/Europe/Berlin", st) != 0) {
    GTEST_SKIP() << "no /usr/share/zoneinfo (apt-get install tzdata)";
  }
  struct Case {
    std::string_view fields;
    CronName cron;
    std::string_view zone;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"30 2 * * *",
       CronName::Debian,
       "Europe/Berlin",
       {"DST_REPEATED: On 25 October 2026 the clock of Europe/Berlin goes back from 03:00 to "
        "02:00, so 02:30 comes twice: Cron runs it once, at the first.",
        "DST_SKIPPED: On 28 March 2027 the clock of Europe/Berlin goes from 02:00 to 03:00, "
        "skipping 02:30: Cron runs it at 03:00 instead."}},
      {"*/20 2 * * *",
       CronName::Debian,
       "Europe/Berlin",
       {"DST_REPEATED: On 25 October 2026 the clock of Europe/Berlin goes back from 03:00 to "
        "02:00, so its 3 times from 02:00 to 02:40 come twice: Cron runs it twice.",
        "DST_SKIPPED: On 28 March 2027 the clock of Europe/Berlin goes from 02:00 to 03:00, "
        "skipping its 3 times from 02:00 to 02:40: Cron does not run it then."}},
      {"15,45 1,2 * * *",
       CronName::Busybox,
       "America/New_York",
       {"DST_REPEATED: On 1 November 2026 the clock of America/New_York goes back from 02:00 to "
        "01:00, so its 2 times from 01:15 to 01:45 come twice: busybox runs it twice.",
        "DST_SKIPPED: On 14 March 2027 the clock of America/New_York goes from 02:00 to 03:00, "
        "skipping its 2 times from 02:15 to 02:45: busybox does not run it then."}},
      {"0 3 * * *", CronName::Debian, "Europe/Berlin", {}},
      {"30 2 * * *", CronName::Debian, "UTC", {}},
  };
  const std::int64_t now = *parse_rfc3339("2026-06-01T00:00:00Z");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    const std::optional<TimeZone> zone = table_zone(std::string(c.zone));
    ASSERT_TRUE(zone);
    LineFindings found;
    check_clock_changes(times_of_fields(std::string(c.fields)), *zone, cron_info(c.cron), now,
                        found);
    std::vector<std::string> texts;
    for (const testing::Found& f : testing::found(found.all())) {
      texts.push_back(fmt::format("{}: {}", kind_name(f.kind), f.text));
    }
    EXPECT_EQ(texts, c.expected);
  }
}

}  // namespace
}  // namespace lintkeeper
