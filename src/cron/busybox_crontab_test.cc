// Tests BusyboxCrontab against what busybox's crond did: every line of the recording
// tests/oracles/busybox/lines.tsv, and the runs of lines and the values at run time that the
// recording's one line a crontab cannot show (tests/oracles/busybox/experiments.md).
#include "cron/busybox_crontab.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "testing/tables.h"

namespace lintkeeper {
namespace {

using namespace std::string_literals;
using Verdict = CronReading::Verdict;

// ---------------------------------------------------------------------------------------
// The recording: a row per line, each line a crontab of its own (a user's, not root's).

// The recording's form of bytes, as record.py writes it.
std::string escape(std::string_view bytes) {
  std::string out;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte >= 0x7F) {
      constexpr std::string_view kHex = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

// The model's answer in the recording's columns: verdict, the five fields, the command.
std::vector<std::string> model_row(std::string_view line) {
  BusyboxCrontab crontab("u000001");
  const std::string raw = std::string(line) + "\n";  // the reading's views point into it
  CronReading r = crontab.line(raw);
  if (r.verdict == Verdict::Continued) r = crontab.finish().value_or(CronReading{});
  const BusyboxLog log = crontab.log();
  std::vector<std::string> row(7, "-");
  switch (r.verdict) {
    case Verdict::Job: {
      row[0] = "loaded";
      for (std::size_t i = 0; i < log.fields.size(); ++i) {
        row[i + 1] = escape(log.fields[i]);
        if (log.fields[i].starts_with("parse error at ")) row[0] = "error";
      }
      row[6] = escape(r.command);
      break;
    }
    case Verdict::Skipped:
    case Verdict::Assignment:
      row[0] = log.header ? "skipped" : "dropped";
      break;
    case Verdict::Crashes:
      row[0] = "crashed";
      break;
    case Verdict::Refused:
    case Verdict::Continued:
      row[0] = "no such verdict in the recording";
      break;
  }
  return row;
}

// LINTKEEPER_BUSYBOX_LINES names another recording (record.py with another seed), to hold the
// model to more lines by hand.
TEST(BusyboxOracle, EveryRecordedLine) {
  const char* other = std::getenv("LINTKEEPER_BUSYBOX_LINES");
  const std::string path = other != nullptr && *other != '\0' ? std::string(other)
                                                              : LINTKEEPER_SOURCE_DIR
                               "/tests/oracles/busybox/lines.tsv";
  std::ifstream tsv(path, std::ios::binary);
  ASSERT_TRUE(tsv) << "cannot open " << path;
  std::string row;
  std::getline(tsv, row);
  ASSERT_EQ(row, "line\tverdict\tminute\thour\tday_of_month\tmonth\tday_of_week\tcommand");
  std::size_t rows = 0, differ = 0;
  std::ostringstream report;
  for (std::size_t number = 2; std::getline(tsv, row); ++number) {
    const std::vector<std::string> recorded = testing::split_tabs(row);
    ASSERT_EQ(recorded.size(), 8u) << "lines.tsv:" << number;
    ++rows;
    const std::vector<std::string> model = model_row(testing::unescape_cell(recorded[0]));
    if (std::equal(model.begin(), model.end(), recorded.begin() + 1)) continue;
    if (++differ > 10) continue;
    report << "lines.tsv:" << number << ": " << recorded[0] << "\n";
    constexpr std::string_view kNames[] = {"verdict", "minute",      "hour",   "day_of_month",
                                           "month",   "day_of_week", "command"};
    for (std::size_t i = 0; i < model.size(); ++i) {
      if (model[i] == recorded[i + 1]) continue;
      report << "  " << kNames[i] << ": crond " << recorded[i + 1] << ", model " << model[i]
             << "\n";
    }
  }
  EXPECT_GE(rows, 3000u);
  EXPECT_EQ(differ, 0u) << differ << " of " << rows << " rows differ; the first:\n" << report.str();
}

// ---------------------------------------------------------------------------------------
// Runs of lines: joined with '\', and counted toward the limit.

// "Continued", "Skipped" (nothing logged), "Passed over" (a header only), "Assignment:
// NAME=[VALUE]", "Job: [COMMAND]", "Refused: REASON" or "Crashes".
std::string describe(const CronReading& r, const BusyboxLog& log) {
  switch (r.verdict) {
    case Verdict::Continued:
      return "Continued";
    case Verdict::Skipped:
      return log.header ? "Passed over" : "Skipped";
    case Verdict::Assignment:
      return "Assignment: " + std::string(r.name) + "=[" + std::string(r.command) + "]";
    case Verdict::Job:
      return "Job: [" + std::string(r.command) + "]";
    case Verdict::Refused:
      return "Refused: " + std::string(r.reason);
    case Verdict::Crashes:
      return "Crashes";
  }
  return "?";
}

// The readings of the lines, then "End: READING" when the end of the file reads what was
// joined.
std::vector<std::string> read_all(std::string_view user, const std::vector<std::string>& lines) {
  BusyboxCrontab crontab(user);
  std::vector<std::string> readings;
  for (const std::string& line : lines) {
    const CronReading r = crontab.line(line);
    readings.push_back(describe(r, crontab.log()));
  }
  if (const std::optional<CronReading> end = crontab.finish()) {
    readings.push_back("End: " + describe(*end, crontab.log()));
  }
  return readings;
}

struct RunCase {
  std::string_view name;
  std::vector<std::string> lines;
  std::vector<std::string> expected;
};

// experiments.md, "Runs of lines".
const RunCase kRuns[] = {
    {"joined inside the fields",
     {"1 2 3 \\\n", "4 5 cont-in-schedule\n"},
     {"Continued", "Job: [cont-in-schedule]"}},
    {"joined to a whole line",
     {"* * * * * back\\\n", "* * * * * next\n"},
     {"Continued", "Job: [back* * * * * next]"}},
    {"the next line's blanks kept",
     {"1 2 3 4 5 c1 \\\n", "   c2-indented\n"},
     {"Continued", "Job: [c1    c2-indented]"}},
    {"lines of a backslash alone",
     {"1 2 3 4 5 g1\\\n", "\\\n", "\\\n", "g2\n", "3 2 3 4 5 g3\n"},
     {"Continued", "Continued", "Continued", "Job: [g1g2]", "Job: [g3]"}},
    {"a doubled backslash joins",
     {"1 2 3 4 5 e1\\\\\n", "2 2 3 4 5 e2\n"},
     {"Continued", "Job: [e1\\2 2 3 4 5 e2]"}},
    {"a comment swallowed by the job",
     {"1 2 3 4 5 d1\\\n", "# comment\n", "2 2 3 4 5 d2\n"},
     {"Continued", "Job: [d1]", "Job: [d2]"}},
    {"a comment swallows the job",
     {"# x \\\n", "1 2 3 4 5 comment-continued\n"},
     {"Continued", "Skipped"}},
    {"not before a carriage return",
     {"1 2 3 4 5 f1\\\r\n", "2 2 3 4 5 f2\n"},
     {"Job: [f1\\\r]", "Job: [f2]"}},
    {"not before a blank", {"1 2 3 4 5 i1\\ \n", "2 2 3 4 5 i2\n"}, {"Job: [i1\\]", "Job: [i2]"}},
    {"a backslash before the end of the file",
     {"1 2 3 4 5 h1\\\n"},
     {"Continued", "End: Job: [h1]"}},
    {"a backslash in a last line without line feed", {"1 2 3 4 5 h1\\"}, {"Job: [h1]"}},
    {"a last line without line feed", {"1 2 3 4 5 no-final-lf"}, {"Job: [no-final-lf]"}},
    {"a NUL ends the command, the next line is whole",
     {"1 2 3 4 5 a\0rest\n"s, "2 2 3 4 5 after-nul-line\n"},
     {"Job: [a]", "Job: [after-nul-line]"}},
    {"a NUL in the fields",
     {"0\0"
      "6 * * * k1\n"s,
      "2 2 3 4 5 k2\n"},
     {"Passed over", "Job: [k2]"}},
    {"a backslash before a NUL is kept, and joins nothing",
     {"1 2 3 4 5 a\\\0b\n"s, "2 2 3 4 5 next\n"},
     {"Job: [a\\]", "Job: [next]"}},
    {"a backslash after a NUL joins",
     {"1 2 3 4 5 a\0b\\\n"s, "2 2 3 4 5 swallowed\n", "3 2 3 4 5 third\n"},
     {"Continued", "Job: [a]", "Job: [third]"}},
    {"assignments",
     {"MAILTO=a b c d e f\n", "SHELL= /bin/dash\n", " SHELL=/x # c\n", "MAILTO = other\n",
      "FOO=bar\n", "FOO=bar baz qux quux quuz corge\n", "MAILTO = m6 a b c d\n"},
     {"Assignment: MAILTO=[a]", "Assignment: SHELL=[]", "Assignment: SHELL=[/x]", "Passed over",
      "Assignment: FOO=[bar]", "Job: [corge]", "Job: [c d]"}},
    {"@ lines",
     {"@daily g\n", "  @reboot echo '#'\n", "@daily\n", "@DAILY x\n", "@ daily x\n",
      "@every_minute x\n"},
     {"Crashes", "Crashes", "Passed over", "Passed over", "Passed over", "Passed over"}},
};

TEST(BusyboxCrontab, RunsOfLines) {
  for (const RunCase& c : kRuns) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read_all("daemon", c.lines), c.expected);
  }
}

struct LimitCase {
  std::string_view user;
  std::string_view filler;  // a line, given filler_count times before the jobs
  int filler_count;
  int jobs;
  int loaded, refused;  // jobs loaded and lines refused: the jobs, or the filler if a job
};

// experiments.md, "The limit of lines".
const LimitCase kLimits[] = {
    {"daemon", "", 0, 300, 255, 45},
    {"root", "", 0, 300, 300, 0},
    {"root", "", 0, 5000, 5000, 0},
    {"toor", "", 0, 300, 255, 45},
    {"daemon", "", 0, 254, 254, 0},
    {"daemon", "", 0, 255, 255, 0},
    {"daemon", "", 0, 256, 255, 1},
    {"bin", "# a comment\n", 250, 20, 20, 0},
    {"sys", "\n", 250, 20, 20, 0},
    {"sys", " \t\n", 250, 20, 20, 0},
    {"sync", "FOO=n\n", 250, 20, 5, 15},
    {"man", "* * *\n", 250, 20, 5, 15},
    {"games", "60 * * * * error\n", 250, 20, 255, 15},
};

TEST(BusyboxCrontab, LinesPastTheLimit) {
  for (const LimitCase& c : kLimits) {
    SCOPED_TRACE(std::string(c.user) + " " + std::string(c.filler) + std::to_string(c.jobs));
    BusyboxCrontab crontab(c.user);
    int loaded = 0, refused = 0;
    const auto count = [&](const CronReading& r) {
      loaded += r.verdict == Verdict::Job;
      refused += r.verdict == Verdict::Refused;
      if (r.verdict == Verdict::Refused) {
        EXPECT_EQ(r.reason, "too many lines");
      }
    };
    for (int i = 0; i < c.filler_count; ++i) count(crontab.line(c.filler));
    for (int i = 0; i < c.jobs; ++i) count(crontab.line("1 2 3 4 5 job\n"));
    EXPECT_EQ(loaded, c.loaded);
    EXPECT_EQ(refused, c.refused);
  }
}

// 254 jobs, then one joined from two lines: the 255th counted line, loaded whole; the next is
// past the limit, and so is a comment after it (experiments.md, "The limit of lines").
TEST(BusyboxCrontab, JoinedLineCountsOnce) {
  BusyboxCrontab crontab("daemon");
  for (int i = 0; i < 254; ++i) ASSERT_EQ(crontab.line("0 1 1 1 1 j\n").verdict, Verdict::Job);
  EXPECT_EQ(crontab.line("0 1 1 1 1 joined\\\n").verdict, Verdict::Continued);
  const CronReading joined = crontab.line("-part\n");
  EXPECT_EQ(describe(joined, crontab.log()), "Job: [joined-part]");
  EXPECT_EQ(describe(crontab.line("0 2 1 1 1 after\n"), crontab.log()), "Refused: too many lines");
  EXPECT_EQ(describe(crontab.line("# note\n"), crontab.log()), "Skipped");
}

// ---------------------------------------------------------------------------------------
// When jobs run: values crond keeps that its log does not show, seen at run time.

// A field's values: "0", "0,6,12-20"; a day field that counts as any day ends in '*'.
std::string values(std::uint64_t bits, int first, int last) {
  std::string out;
  for (int v = first; v <= last; ++v) {
    if (!(bits >> v & 1)) continue;
    int end = v;
    while (end < last && (bits >> (end + 1) & 1)) ++end;
    if (!out.empty()) out += ',';
    out += std::to_string(v);
    if (end > v) out += (end == v + 1 ? "," : "-") + std::to_string(end);
    v = end;
  }
  return out;
}

std::string times_text(const JobTimes& t) {
  return "m=" + values(t.bits[0], 0, 59) + " h=" + values(t.bits[1], 0, 23) +
         " dom=" + values(t.bits[2], 0, 31) + (t.any_day_of_month ? "*" : "") +
         " mon=" + values(t.bits[3], 0, 12) + " dow=" + values(t.bits[4], 0, 6) +
         (t.any_day_of_week ? "*" : "");
}

struct TimesCase {
  std::string_view line;
  std::string_view times;    // times_text of the reading
  std::string_view misread;  // after "runs this "
};

// experiments.md, "Values at run time": a value is in a field's set when the line with it
// fired at that value (minute 58 of hour 20, and minutes 41 to 48 of hour 21, on Wednesday the
// 9th of December), out of it when it did not.
const TimesCase kTimes[] = {
    {"0 6 * * 7 x", "m=0 h=6 dom=1-31* mon=1-12 dow=0-6*", "every day: 7 is out of its range"},
    {"58 20 * * 8 x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*", "every day: 8 is out of its range"},
    {"60 20 * * * x", "m=0-59 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "every minute: 60 is out of its range"},
    {"58 24 * * * x", "m=58 h=0-23 dom=1-31* mon=1-12 dow=0-6*",
     "every hour: 24 is out of its range"},
    {"58 20 32 * * x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "every day: 32 is out of its range"},
    {"58 20 * 13 * x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "every month: 13 is out of its range"},
    {"58 20 0 * * x", "m=58 h=20 dom= mon=1-12 dow=0-6*", "on no day: there is no day 0"},
    {"58 20 * 0 * x", "m=58 h=20 dom=1-31* mon= dow=0-6*",
     "in no month: there is no month 0, 0 sets 6 in field \"day of week\""},
    // Junk: the values before it are kept.
    {"58,x 20 * * * x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "at minute 58 only: of `58,x`, only `58,` is read"},
    {"x,58 20 * * * x", "m= h=20 dom=1-31* mon=1-12 dow=0-6*",
     "at no minute: `x,58` is not read at all"},
    {"60,x 20 * * * x", "m=0-59 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "every minute: 60 is out of its range"},
    {"58/x 20 * * * x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "at minute 58 only: `58/` is read as 58, of `58/x`, only `58/` is read"},
    {"58-x 20 * * * x", "m= h=20 dom=1-31* mon=1-12 dow=0-6*",
     "at no minute: `58-x` is not read at all"},
    {"58 20,mon * * * x", "m=58 h=20 dom=1-31* mon=1-12 dow=0-6*",
     "at hour 20 only: of `20,mon`, only `20,` is read"},
    {"58 ,20 * * * x", "m=58 h= dom=1-31* mon=1-12 dow=0-6*",
     "at no hour: `,20` is not read at all"},
    {"58 20 * * 3L x", "m=58 h=20 dom=1-31* mon=1-12 dow=3",
     "on Wednesday only: of `3L`, only `3` is read"},
    {"44 21 * * Wedday x", "m=44 h=21 dom=1-31* mon=1-12 dow=3",
     "on Wednesday only: of `Wedday`, only `Wed` is read"},
    {"** 21 * * * x", "m=0-59 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "every minute: of `**`, only `*` is read"},
    // The two day fields: a full map is any day, else either field runs the job.
    {"58 20 9 * 4 x", "m=58 h=20 dom=9 mon=1-12 dow=4", ""},
    {"58 20 1-31 * 4 x", "m=58 h=20 dom=1-31 mon=1-12 dow=4", ""},
    {"58 20 0-31 * 4 x", "m=58 h=20 dom=1-31* mon=1-12 dow=4",
     "on Thursday only: there is no day 0, `0-31` is every day of the month, so the day of the "
     "week alone decides"},
    {"58 20 */1 * 4 x", "m=58 h=20 dom=1-31* mon=1-12 dow=4", ""},
    {"58 20 10 * 0-6 x", "m=58 h=20 dom=10 mon=1-12 dow=0-6*",
     "on day 10 of the month only: `0-6` is every day of the week, so the day of the month alone "
     "decides"},
    {"58 20 10 * 7 x", "m=58 h=20 dom=10 mon=1-12 dow=0-6*",
     "on day 10 of the month only: 7 is out of its range"},
    // A range that never meets its end keeps every skip-th of 1024 counts.
    {"43-60/61 21 * * * x", "m=43-59 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "at minutes 43 to 59: 60 is out of its range"},
    {"41-60/1023 21 * * * x", "m=41,44 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "at minutes 41 and 44: 60 is out of its range"},
    {"40-60/1024 21 * * * x", "m=40 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "at minute 40 only: 60 is out of its range"},
    {"44-60/60 21 * * * x", "m=44 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "at minute 44 only: 60 is out of its range"},
    {"43 22-24/24 * * * x", "m=43 h=22 dom=1-31* mon=1-12 dow=0-6*",
     "at hour 22 only: 24 is out of its range"},
    // ... and ends the field: the items after it are not read.
    {"60/60,43 21 * * * x", "m=0 h=21 dom=1-31* mon=1-12 dow=0-6*",
     "at minute 0 only: `60/60` is read as 60, 60 is out of its range"},
    // Values below 0 set values of other fields, and count as none in a range.
    {"44 22 9,4294967293 * * x", "m=44 h=21,22 dom=9 mon=1-12 dow=0-6*",
     "on day 9 of the month only: 4294967293 is read as -3, 4294967293 sets 21 in field "
     "\"hour\""},
    {"48 21 * 12,4294967293 4 x", "m=48 h=21 dom=1-31* mon=12 dow=3,4",
     "in December only: 4294967293 is read as -3, 4294967293 sets 3 in field \"day of week\""},
    {"48,4294967264 21 1-31 * 4 x", "m=48 h=21 dom=1-31* mon=1-12 dow=4",
     "at minute 48 only: 4294967264 is read as -32, 4294967264 sets 0 in field \"day of month\"; "
     "on "
     "Thursday only: `1-31` is every day of the month, so the day of the week alone decides"},
    {"48 21 * * 4294967295 x", "m=48 h=21 dom=1-31* mon=1-12 dow=",
     "on no day: 4294967295 is read as -1, 4294967295 sets a byte of crond's own before the "
     "fields"},
    {"48 21 4294967295 * * x", "m=48 h=21,23 dom= mon=1-12 dow=0-6*",
     "on no day: 4294967295 is read as -1, 4294967295 sets 23 in field \"hour\""},
};

TEST(BusyboxCrontab, JobTimes) {
  for (const TimesCase& c : kTimes) {
    SCOPED_TRACE(c.line);
    BusyboxCrontab crontab("root");
    const CronReading r = crontab.line(std::string(c.line) + "\n");
    ASSERT_EQ(r.verdict, Verdict::Job);
    EXPECT_EQ(times_text(r.times), c.times);
    EXPECT_EQ(r.misread, c.misread);
  }
}

// What crond does instead of what the line says, in words, where its log shows the values.
const TimesCase kMisreads[] = {
    {"0 6 * * * x", "", ""},
    {"*/15 1-5 * jan mon-fri x", "", ""},
    {"5-1 * * * * x", "", ""},
    {"0 0 * * 6-0 x", "", ""},
    {"0 0 * * 7-2 x", "", ""},
    {"0 0 */2 * * x", "", "on days 2, 4, 6, ..., 30 of the month: `*/2` counts from day 0"},
    {"0 0 */2 * 1 x", "",
     "on days 2, 4, 6, ..., 30 of the month and on Monday: `*/2` counts from day 0, `*/2` is not "
     "every day of the month, so either day field runs it"},
    {"0 0 1 * */2 x", "",
     "on day 1 of the month and on Sunday, Tuesday, Thursday and Saturday: `*/2` is not every "
     "day of the week, so either day field runs it"},
    {"5/15 * * * * x", "", "at minute 5 only: `5/15` is read as 5"},
    {"*/0 * * * * x", "", "at minute 0 only: a step of 0 keeps only the first value"},
    {"*/ * * * * x", "", "at minute 0 only: a step of 0 keeps only the first value"},
    {"4294967297 * * * * x", "", "at minute 1 only: 4294967297 is read as 1"},
    {"99999999999999999999 * * * * x", "",
     "at no minute: 99999999999999999999 is read as -1, 99999999999999999999 sets 31 in "
     "field \"day of month\""},
    {"60-5 * * * * x", "", "at minutes 0 to 5: 60 is read as 0 in `60-5`"},
    {"0 0 * 13-2 * x", "", "in January and February: 13 is read as 1 in `13-2`"},
    {"0 0 * 0-5 * x", "", "in May only: there is no month 0"},
    {"0 1-30/7 * * * x", "", "every hour: 30 is out of its range"},
    {"0 0-30/6 * * * x", "", "at hours 0, 6, 12 and 18: 30 is out of its range"},
};

TEST(BusyboxCrontab, Misreads) {
  for (const TimesCase& c : kMisreads) {
    SCOPED_TRACE(c.line);
    BusyboxCrontab crontab("root");
    const CronReading r = crontab.line(std::string(c.line) + "\n");
    ASSERT_EQ(r.verdict, Verdict::Job);
    EXPECT_EQ(r.misread, c.misread);
  }
}

}  // namespace
}  // namespace lintkeeper
