// How cronie (1.7.2, the cron of Fedora, RHEL, Rocky and Amazon Linux) reads one line of a
// crontab: whether it refuses it and why, what it warns of, and when a job runs.
//
// The model is held to two tables recorded from cronie's own programs (tests/oracles/cronie):
// `crontab -T` on 3,000 lines, each alone in a user crontab, and the next runs `cronnext`
// computes for 821 jobs. What differs from Debian's cron (cron/cron_line.h):
// - a range is checked value by value as it is counted: 11-24/19 is loaded in the hours
//   (24 is never reached) and 5-3 or 100-51 never counts nor checks a value;
// - a step larger than its range is loaded with a warning ("Step size 60 higher than possible
//   maximum of 59"), and the field keeps only the range's first value;
// - after a number, a name or a '*' comes ',', a blank or the end of the line: 1-5-7, 1? and
//   */2/3 are refused;
// - a~b picks one value at random when cronie reads the crontab;
// - a leading '-' (before the schedule or the '@') keeps the job's runs out of the syslog;
// - a day field that starts with '*' (*/2 too) is "any day" and its values are ignored; when
//   both do, the day of the month alone decides;
// - an assignment may have an empty value, and CRON_TZ= and RANDOM_DELAY= are read as any
//   other (crontab -T takes RANDOM_DELAY=1441, =-1 and =x alike);
// - a command has no limit of length: one of 140,000 bytes is loaded.
// cronie skips a refused line and reads on (the tables, of one line each, cannot tell; this is
// what is said of cronie).
#pragma once

#include <string_view>

#include "cron/cron_reading.h"
#include "grammar/line.h"

namespace lintkeeper {

// Reads one line of a crontab. `line` is the line without its line feed; `last` says that it
// is the last line of a file that has no line feed after it, which cronie drops (see
// CRONIE_MISSING_NEWLINE).
//
// The reading of a job whose a~b may pick a value outside its field is a Job with `reason` set
// to the refusal cronie makes when its pick falls there: the line is then refused, by chance.
CronReading read_cronie_line(std::string_view line, CrontabFlavor flavor, bool last);

// Our words, not cronie's, for a last line without line feed: cronie is said to drop that line
// alone and load the rest of the file. The tables end every line with a line feed, so they
// cannot tell; a blank line or a comment loses nothing and is Skipped.
inline constexpr std::string_view CRONIE_MISSING_NEWLINE = "no line feed at the end of the file";

// Our words for a system crontab's job that ends where its user should be: the tables hold no
// system crontab. cronie does not look the user up when it reads the line (that is said of
// cronie, and the tables cannot tell): an unknown user is loaded, and fails when the job runs.
inline constexpr std::string_view CRONIE_MISSING_USER = "missing user";

}  // namespace lintkeeper
