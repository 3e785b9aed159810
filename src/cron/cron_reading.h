// How a cron reads one line of a crontab: the verdict, and for a job when it runs. Each cron's
// model of its own reading (cron/cron_line.h for Debian's, and the others beside it) answers
// in these terms, so that the audit asks every cron the same question.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

// When a job runs, as a cron reads its five fields: the values each gets, and how the two day
// fields join.
struct JobTimes {
  // Bit v is set when the job runs at value v: minutes 0 to 59, hours 0 to 23, days of the
  // month 1 to 31, months 1 to 12, days of the week 0 to 6 (Sunday is 0).
  std::array<std::uint64_t, Schedule::kFieldCount> bits{};
  // Whether the cron takes a day field as "any day", so that the other alone decides; when
  // neither is, a day of either field runs the job.
  bool any_day_of_month = false;
  bool any_day_of_week = false;
  friend bool operator==(const JobTimes&, const JobTimes&) = default;
};

// How a cron reads one line. Every view points into the line read, or is a literal.
struct CronReading {
  enum class Verdict {
    Skipped,     // a blank line, a comment, or a line the cron passes over without a word
    Assignment,  // name = value, which the cron honours or not (see the cron's table)
    Job,         // a job the cron loads
    Refused,     // the cron refuses the line (and, for some crons, the file with it)
    Crashes,     // the cron stops on the line: none of its jobs runs
  };
  Verdict verdict = Verdict::Skipped;
  std::string_view reason;   // Refused, Crashes: why, in the cron's words where it has them
  std::string_view user;     // Job in a crontab with a user column: that column
  std::string_view name;     // Assignment: the variable's name, without its quotes
  std::string_view command;  // Job: the command as the cron keeps it; Assignment: the value
  // Job: when it runs, unless at_reboot.
  JobTimes times;
  bool at_reboot = false;  // an @reboot job: at the cron's start
  // Job: what the cron does with fields it reads otherwise than they are written, in words
  // after "runs this " ("every day: 7 is out of its range"); empty when it reads them as
  // written.
  std::string misread;
};

}  // namespace lintkeeper
