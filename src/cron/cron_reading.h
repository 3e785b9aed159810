// How a cron reads one line of a crontab: the verdict, and for a job when it runs. Each cron's
// model of its own reading (cron/cron_line.h for Debian's, and the others beside it) answers
// in these terms, so that the audit asks every cron the same question.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
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
  // Whether the minute or the hour is spelled with a leading '*': a cron that makes up for a
  // change of its clock then follows the new clock, and makes up only for fixed times.
  bool follows_clock = false;
  // The fields (a bit each, by column) that hold a value the cron picks at random when it
  // reads the crontab (cronie's 0~30): their bits are every value it may pick, and the job's
  // runs are not known in advance.
  std::uint8_t random_fields = 0;
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
    Continued,   // the line goes on in the next one (busybox: it ends in '\'), whose reading
                 // is theirs together
  };
  Verdict verdict = Verdict::Skipped;
  // Refused, Crashes: why, in the cron's words where it has them. Job: the refusal the cron
  // makes instead when a random pick goes against the line (cronie's 0~30 in the hours), so
  // that it loads the job or refuses the line by chance; empty when the job surely loads.
  std::string_view reason;
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
  // Job, Refused: the cron's first warning about the line, in its words ("Step size 60 higher
  // than possible maximum of 59"); empty when it warns of nothing.
  std::string warning;
};

// How one cron reads the lines of one crontab, fed in order: a cron that joins lines or counts
// them keeps what it needs between calls.
class CrontabModel {
 public:
  virtual ~CrontabModel() = default;
  // raw is the line as read, with its line feed when it has one (only the last may lack it).
  virtual CronReading line(std::string_view raw) = 0;
  // The end of the file: what the cron makes of lines it still holds (busybox's after a last
  // line that ends in '\'), whose views are good while the model lives.
  virtual std::optional<CronReading> finish() { return std::nullopt; }
};

}  // namespace lintkeeper
