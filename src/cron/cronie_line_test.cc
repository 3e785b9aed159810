// Holds read_cronie_line to cronie 1.7.2's own answers (tests/oracles/cronie): the verdict and
// first message of `crontab -T` on every line of its table, the next runs of cronnext for every
// job of its table, then the cases that matter most, with their exact readings.
#include "cron/cronie_line.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "testing/tables.h"

namespace lintkeeper {
namespace {

using namespace std::string_view_literals;
using Verdict = CronReading::Verdict;
using testing::read_table;
using testing::unescape_cell;

constexpr CrontabFlavor SYS = CrontabFlavor::SystemCrontab;
constexpr CrontabFlavor USR = CrontabFlavor::UserCrontab;
constexpr std::size_t kShown = 10;  // differing rows shown when a table disagrees

// --- The tables ---

// A line as the report of a differing row shows it: escaped, and cut when long.
std::string shown(std::string_view escaped) {
  if (escaped.size() <= 100) return std::string(escaped);
  return fmt::format("{}... ({} characters)", escaped.substr(0, 100), escaped.size());
}

std::string report(const std::vector<std::string>& differing) {
  std::string text = fmt::format("{} rows differ; the first:\n", differing.size());
  for (std::size_t i = 0; i < differing.size() && i < kShown; ++i) text += differing[i] + "\n";
  return text;
}

// --- Readings as text ---

// The set values of a field: "0-5,7", or "none".
std::string values(std::uint64_t bits, int min, int max) {
  std::string text;
  for (int v = min; v <= max; ++v) {
    if ((bits >> v & 1) == 0) continue;
    int last = v;
    while (last < max && (bits >> (last + 1) & 1) != 0) ++last;
    text += fmt::format("{}{}", text.empty() ? "" : ",", v);
    if (last > v) text += fmt::format("-{}", last);
    v = last;
  }
  return text.empty() ? "none" : text;
}

// "minute hour day-of-month month day-of-week", a day field marked "(any)" when it is any day.
std::string times_text(const JobTimes& t) {
  return fmt::format("{} {} {}{} {} {}{}", values(t.bits[0], 0, 59), values(t.bits[1], 0, 23),
                     values(t.bits[2], 1, 31), t.any_day_of_month ? "(any)" : "",
                     values(t.bits[3], 1, 12), values(t.bits[4], 0, 7),
                     t.any_day_of_week ? "(any)" : "");
}

// "Skipped", "Assignment: NAME=[VALUE]", "Refused: REASON" or "Job: [user=USER ]TIMES
// [COMMAND]", then " | chance: REASON", " | warning: TEXT" and " | misread: TEXT" when set.
std::string describe(const CronReading& r) {
  std::string text;
  switch (r.verdict) {
    case Verdict::Skipped:
      text = "Skipped";
      break;
    case Verdict::Continued:
      text = "Continued";
      break;
    case Verdict::Assignment:
      text = fmt::format("Assignment: {}=[{}]", r.name, r.command);
      break;
    case Verdict::Refused:
    case Verdict::Crashes:
      text = fmt::format("Refused: {}", r.reason);
      break;
    case Verdict::Job:
      text = fmt::format("Job: {}{} [{}]", r.user.empty() ? "" : fmt::format("user={} ", r.user),
                         r.at_reboot ? "@reboot" : times_text(r.times), r.command);
      if (!r.reason.empty()) text += fmt::format(" | chance: {}", r.reason);
      break;
  }
  if (!r.warning.empty()) text += fmt::format(" | warning: {}", r.warning);
  if (!r.misread.empty()) text += fmt::format(" | misread: {}", r.misread);
  return text;
}

// --- crontab -T ---

// What `crontab -T` answered on a line: the reason after "FILE":N: of a refusal, or the
// warning it printed first (then the reason is not shown).
struct CrontabAnswer {
  bool accepted;
  std::string reason, warning;
};

CrontabAnswer crontab_answer(std::string_view verdict, std::string_view message) {
  CrontabAnswer answer{verdict == "accept", "", ""};
  constexpr std::string_view kWarning = "Warning: ";
  if (message.starts_with(kWarning)) {
    answer.warning = message.substr(kWarning.size());
  } else if (message.starts_with("\"FILE\":")) {
    answer.reason = message.substr(message.find(": ") + 2);
  }
  return answer;
}

// Whether the model gives cronie's answer. A job whose random pick may refuse it (reason set)
// agrees with an acceptance and with a refusal for that reason.
bool agrees(const CronReading& r, const CrontabAnswer& answer) {
  if (r.warning != answer.warning) return false;
  const bool chance = r.verdict == Verdict::Job && !r.reason.empty();
  if (answer.accepted) return r.verdict != Verdict::Refused;
  if (r.verdict != Verdict::Refused && !chance) return false;
  return answer.reason.empty() || r.reason == answer.reason;
}

TEST(CronieUserLines, EveryRowAgreesWithCrontabT) {
  const auto rows = read_table("tests/oracles/cronie/user-lines.tsv");
  ASSERT_EQ(rows.size(), 3000u);
  std::vector<std::string> differing, by_chance;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 3u) << "row " << i + 2;
    const std::string line = unescape_cell(rows[i][0]);
    const CronReading r = read_cronie_line(line, USR, false);
    if (r.verdict == Verdict::Job && !r.reason.empty()) by_chance.push_back(line);
    if (agrees(r, crontab_answer(rows[i][1], rows[i][2]))) continue;
    differing.push_back(fmt::format("row {}: {}\n  cronie: {}: {}\n  model:  {}", i + 2,
                                    shown(rows[i][0]), rows[i][1], rows[i][2], describe(r)));
  }
  EXPECT_TRUE(differing.empty()) << report(differing);
  // The lines whose random pick may fall outside the hours or the minutes: cronie loaded the
  // first and the third and refused the others.
  EXPECT_EQ(by_chance, (std::vector<std::string>{"0 0~30 * * * true", "0 ~59 * * * true",
                                                 "0~60 3 * * * true", "0 0~60 * * * true"}));
}

// --- cronnext ---

using Minute = std::chrono::sys_time<std::chrono::minutes>;

// "2026-02-11T10:04:00Z".
Minute parse_instant(std::string_view text) {
  const auto number = [&](std::size_t at, std::size_t size) {
    int n = 0;
    for (const char c : text.substr(at, size)) n = n * 10 + (c - '0');
    return n;
  };
  const std::chrono::year_month_day day{std::chrono::year(number(0, 4)),
                                        std::chrono::month(static_cast<unsigned>(number(5, 2))),
                                        std::chrono::day(static_cast<unsigned>(number(8, 2)))};
  return std::chrono::sys_days(day) + std::chrono::hours(number(11, 2)) +
         std::chrono::minutes(number(14, 2));
}

std::string instant_text(Minute m) {
  const auto day = std::chrono::floor<std::chrono::days>(m);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss time{m - day};
  return fmt::format("{:04}-{:02}-{:02}T{:02}:{:02}:00Z", static_cast<int>(ymd.year()),
                     static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                     time.hours().count(), time.minutes().count());
}

bool has(std::uint64_t bits, unsigned value) { return (bits >> value & 1) != 0; }

// Whether a job runs on a day: its month, and the day rule (when either day field is any day,
// both must match; else either).
bool runs_on(const JobTimes& t, std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd{day};
  const bool month_day = has(t.bits[2], static_cast<unsigned>(ymd.day()));
  const bool week_day = has(t.bits[4], std::chrono::weekday(day).c_encoding());
  const bool days =
      t.any_day_of_month || t.any_day_of_week ? month_day && week_day : month_day || week_day;
  return days && has(t.bits[3], static_cast<unsigned>(ymd.month()));
}

bool runs_at(const JobTimes& t, Minute m) {
  const auto day = std::chrono::floor<std::chrono::days>(m);
  const std::chrono::hh_mm_ss time{m - day};
  return runs_on(t, day) && has(t.bits[1], static_cast<unsigned>(time.hours().count())) &&
         has(t.bits[0], static_cast<unsigned>(time.minutes().count()));
}

// The next five runs at or after `now`, minute by minute, passing over a day or an hour that
// cannot run; within fifty years.
std::string next_runs(const JobTimes& t, Minute now) {
  std::vector<std::string> runs;
  const Minute end = now + std::chrono::days(50 * 366);
  for (Minute m = now; runs.size() < 5 && m < end;) {
    const auto day = std::chrono::floor<std::chrono::days>(m);
    const auto hour = std::chrono::floor<std::chrono::hours>(m);
    if (!runs_on(t, day)) {
      m = day + std::chrono::days(1);
    } else if (!has(t.bits[1], static_cast<unsigned>((hour - day).count()))) {
      m = hour + std::chrono::hours(1);
    } else {
      if (runs_at(t, m)) runs.push_back(instant_text(m));
      m += std::chrono::minutes(1);
    }
  }
  std::string text;
  for (const std::string& run : runs) text += (text.empty() ? "" : ",") + run;
  return text;
}

// A line with a random a~b holds every value cronie may pick, not the one it picked: only that
// each run cronnext gives is among them can be checked. The table holds no such line.
bool allows_every_run(const JobTimes& t, std::string_view runs) {
  for (std::size_t start = 0; start < runs.size();) {
    const std::size_t comma = std::min(runs.find(',', start), runs.size());
    if (!runs_at(t, parse_instant(runs.substr(start, comma - start)))) return false;
    start = comma + 1;
  }
  return true;
}

TEST(CronieNextRuns, EveryJobRunsWhenCronnextSays) {
  const auto rows = read_table("tests/oracles/cronie/cronnext-utc.tsv");
  ASSERT_EQ(rows.size(), 821u);
  std::vector<std::string> differing;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 3u) << "row " << i + 2;
    const std::string line = unescape_cell(rows[i][0]);
    const CronReading r = read_cronie_line(line, USR, false);
    std::string model = describe(r);
    bool ok = r.verdict == Verdict::Job && !r.at_reboot && r.reason.empty();
    if (ok && line.find('~') != std::string::npos) {
      ok = allows_every_run(r.times, rows[i][2]);
    } else if (ok) {
      model = next_runs(r.times, parse_instant(rows[i][1]));
      ok = model == rows[i][2];
    }
    if (ok) continue;
    differing.push_back(fmt::format("row {}: {} from {}\n  cronnext: {}\n  model:    {}", i + 2,
                                    shown(rows[i][0]), rows[i][1], rows[i][2], model));
  }
  EXPECT_TRUE(differing.empty()) << report(differing);
}

// --- The cases that matter most ---

struct Case {
  std::string_view line;
  CrontabFlavor flavor;
  bool last;
  std::string_view expected;  // describe() of the reading
};

const Case kCases[] = {
    // Blank lines and comments; the rest is an assignment or a job.
    {"", USR, false, "Skipped"},
    {" \t# note", USR, false, "Skipped"},
    {"a", USR, false, "Refused: bad minute"},
    // cronie's own variables are assignments like any other, whatever their value.
    {"CRON_TZ=Europe/Berlin", USR, false, "Assignment: CRON_TZ=[Europe/Berlin]"},
    {"CRON_TZ=Europe/Berlin # note", USR, false, "Assignment: CRON_TZ=[Europe/Berlin # note]"},
    {"CRON_TZ=\"Europe/Paris\"", USR, false, "Assignment: CRON_TZ=[Europe/Paris]"},
    {"CRON_TZ=", USR, false, "Assignment: CRON_TZ=[]"},
    {"RANDOM_DELAY=30", USR, false, "Assignment: RANDOM_DELAY=[30]"},
    {"RANDOM_DELAY=1441", USR, false, "Assignment: RANDOM_DELAY=[1441]"},
    {"@reboot=1 root x", USR, false, "Assignment: @reboot=[1 root x]"},
    {"FOO= \"a\" # x", USR, false, "Refused: bad minute"},
    // A leading '-', right before the schedule or the '@'.
    {"-0 3 * * * cmd", USR, false, "Job: 0 3 1-31(any) 1-12 0-6(any) [cmd]"},
    {"-@daily cmd", USR, false, "Job: 0 0 1-31(any) 1-12 0-6(any) [cmd]"},
    {"- 0 3 * * * cmd", USR, false, "Refused: bad minute"},
    {"--0 3 * * * cmd", USR, false, "Refused: bad minute"},
    // Random picks: every value that may be picked; past the field, a refusal by chance.
    {"0~30 * * * * cmd", USR, false,
     "Job: 0-30 0-23 1-31(any) 1-12 0-6(any) [cmd] | misread: at one minute picked from 0 to "
     "30 when cronie reads the crontab (0~30)"},
    {"~ 3 * * * cmd", USR, false,
     "Job: 0-59 3 1-31(any) 1-12 0-6(any) [cmd] | misread: at one minute picked from 0 to 59 "
     "when cronie reads the crontab (~)"},
    {"46~ 1 * * ~3 cmd", USR, false,
     "Job: 46-59 1 1-31(any) 1-12 0-3 [cmd] | misread: at one minute picked from 46 to 59 when "
     "cronie reads the crontab (46~); at one day of week picked from 0 to 3 when cronie reads "
     "the crontab (~3)"},
    {"0 0~30 * * * cmd", USR, false,
     "Job: 0 0-23 1-31(any) 1-12 0-6(any) [cmd] | chance: bad hour | misread: at one hour "
     "picked from 0 to 30 when cronie reads the crontab (0~30), or never: a pick outside 0 to "
     "23 refuses the line"},
    {"0 30~40 * * * cmd", USR, false, "Refused: bad hour"},
    {"10~5 3 * * * cmd", USR, false, "Refused: bad minute"},
    {"0~30/5 3 * * * cmd", USR, false, "Refused: bad minute"},
    {"*~2 3 * * * cmd", USR, false, "Refused: bad minute"},
    {"1-5~3 3 * * * cmd", USR, false, "Refused: bad minute"},
    // Steps: larger than the range, a warning and the range's first value alone.
    {"*/60 * * * * cmd", USR, false,
     "Job: 0 0-23 1-31(any) 1-12 0-6(any) [cmd] | warning: Step size 60 higher than possible "
     "maximum of 59"},
    {"*/59 * * * * cmd", USR, false, "Job: 0,59 0-23 1-31(any) 1-12 0-6(any) [cmd]"},
    {"5-5/1 * * * * cmd", USR, false, "Job: 5 0-23 1-31(any) 1-12 0-6(any) [cmd]"},
    {"5-5/2 * * * * cmd", USR, false,
     "Job: 5 0-23 1-31(any) 1-12 0-6(any) [cmd] | warning: Step size 2 higher than possible "
     "maximum of 1"},
    {"0 0-23/30 32 * * cmd", USR, false,
     "Refused: bad day-of-month | warning: Step size 30 higher than possible maximum of 23"},
    {"*/0 * * * * cmd", USR, false, "Refused: bad minute"},
    {"5-3/0 * * * * cmd", USR, false, "Refused: bad minute"},
    {"*/2147483648 * * * * cmd", USR, false, "Refused: bad minute"},
    // A range is checked as it is counted; one that runs backwards gives nothing.
    {"0 11-24/19 * * * cmd", USR, false,
     "Job: 0 11 1-31(any) 1-12 0-6(any) [cmd] | warning: Step size 19 higher than possible "
     "maximum of 13"},
    {"0 0-24/12 * * * cmd", USR, false, "Refused: bad hour"},
    {"37-3/24 * * * * cmd", USR, false,
     "Job: none 0-23 1-31(any) 1-12 0-6(any) [cmd] | warning: Step size 24 higher than "
     "possible maximum of 1 | misread: at no minute for 37-3/24: cronie counts no range that "
     "runs backwards"},
    {"100-51 * * * * cmd", USR, false,
     "Job: none 0-23 1-31(any) 1-12 0-6(any) [cmd] | misread: at no minute for 100-51: cronie "
     "counts no range that runs backwards"},
    {"32-6418334732956993616874125 * * * * cmd", USR, false,
     "Job: none 0-23 1-31(any) 1-12 0-6(any) [cmd] | misread: at no minute for "
     "32-6418334732956993616874125: cronie counts no range that runs backwards"},
    {"99999999999999999999-52 * * * * cmd", USR, false, "Refused: bad minute"},
    {"0 0 19-17/2147483648 * * cmd", USR, false,
     "Job: 0 0 none 1-12 0-6(any) [cmd] | misread: at no day of month for 19-17/2147483648: "
     "cronie counts no range that runs backwards"},
    {"1-5-7 * * * * cmd", USR, false, "Refused: bad minute"},
    {"1? * * * * cmd", USR, false, "Refused: bad minute"},
    {"5, * * * * cmd", USR, false, "Refused: bad minute"},
    // Names, and Sunday as 7.
    {"0 3 * Jan-MAR Mon cmd", USR, false, "Job: 0 3 1-31(any) 1-3 1 [cmd]"},
    {"0 3 * * monday cmd", USR, false, "Refused: bad day-of-week"},
    {"0 3 * * jan cmd", USR, false, "Refused: bad day-of-week"},
    {"0 3 * * 5-7 cmd", USR, false, "Job: 0 3 1-31(any) 1-12 0,5-6 [cmd]"},
    // The day fields: one that starts with '*' is any day, the day of the week first.
    {"0 0 1,15 * 1 cmd", USR, false, "Job: 0 0 1,15 1-12 1 [cmd]"},
    {"0 0 */2 * 1 cmd", USR, false,
     "Job: 0 0 1-31(any) 1-12 1 [cmd] | misread: on every day of the month: cronie takes */2 "
     "as any day"},
    {"0 0 */7 * */7 cmd", USR, false,
     "Job: 0 0 1,8,15,22,29 1-12 0-6(any) [cmd] | misread: on every day of the week: cronie "
     "takes */7 as any day"},
    {"0 3 * * */8 cmd", USR, false,
     "Job: 0 3 1-31(any) 1-12 0-6(any) [cmd] | warning: Step size 8 higher than possible "
     "maximum of 7 | misread: on every day of the week: cronie takes */8 as any day"},
    {"0 3 * * sat-mon cmd", USR, false,
     "Job: 0 3 1-31(any) 1-12 none [cmd] | misread: at no day of week for sat-mon: cronie "
     "counts no range that runs backwards"},
    // The end of the schedule, and the command as cronie keeps it, '%' and trailing blanks
    // included.
    {"* * * *", USR, false, "Refused: bad day-of-week"},
    {"* * * * *", USR, false, "Refused: bad command"},
    {"* * * * * root  ", USR, false, "Job: 0-59 0-23 1-31(any) 1-12 0-6(any) [root  ]"},
    {"0 3 * * * echo 100% done\\%", USR, false,
     "Job: 0 3 1-31(any) 1-12 0-6(any) [echo 100% done\\%]"},
    // @ names, in lower case only.
    {"@reboot cmd", USR, false, "Job: @reboot [cmd]"},
    {"@reboot", USR, false, "Refused: bad command"},
    {"@weekly cmd", USR, false, "Job: 0 0 1-31(any) 1-12 0 [cmd]"},
    {"@monthly cmd", USR, false, "Job: 0 0 1 1-12 0-6(any) [cmd]"},
    {"@yearly cmd", USR, false, "Job: 0 0 1 1 0-6(any) [cmd]"},
    {"@hourly cmd", USR, false, "Job: 0 0-23 1-31(any) 1-12 0-6(any) [cmd]"},
    {"@DAILY cmd", USR, false, "Refused: bad time specifier"},
    {"@daily# cmd", USR, false, "Refused: bad time specifier"},
    // A system crontab's user, not looked up.
    {"0 3 * * * root cmd", SYS, false, "Job: user=root 0 3 1-31(any) 1-12 0-6(any) [cmd]"},
    {"-@daily nosuchuser cmd", SYS, false,
     "Job: user=nosuchuser 0 0 1-31(any) 1-12 0-6(any) [cmd]"},
    {"0 3 * * * root", SYS, false, "Refused: bad command"},
    {"0 3 * * *", SYS, false, "Refused: missing user"},
    // The last line of a file without line feed: dropped unless it holds nothing.
    {"0 3 * * * cmd", USR, true, "Refused: no line feed at the end of the file"},
    {"FOO=1", USR, true, "Refused: no line feed at the end of the file"},
    {"# note", USR, true, "Skipped"},
    {" ", USR, true, "Skipped"},
};

TEST(CronieLine, Cases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(describe(read_cronie_line(c.line, c.flavor, c.last)), c.expected);
  }
}

// cronie sets no limit on a command: the table loads one of 140,000 bytes.
TEST(CronieLine, CommandsHaveNoLengthLimit) {
  for (const std::size_t size : {131072u, 131073u}) {
    SCOPED_TRACE(size);
    const std::string line = "0 3 * * * " + std::string(size, 'x');
    const CronReading r = read_cronie_line(line, USR, false);
    EXPECT_EQ(r.verdict, Verdict::Job);
    EXPECT_EQ(r.command.size(), size);
  }
}

}  // namespace
}  // namespace lintkeeper
