// How Debian's cron (3.0pl1) reads one line of a crontab: whether it refuses it, and why.
//
// The model is worked out by experiment with `crontab -n FILE`, which checks a user crontab
// the way the daemon reads it, and is decided apart from lintkeeper's own checks: cron loads
// `5-3`, `*/60` and `1?`, and refuses `60` and `*/0`. One refused line makes cron ignore the
// whole file.
#pragma once

#include <cstddef>
#include <string_view>

#include "cron/cron_reading.h"
#include "grammar/line.h"

namespace lintkeeper {

// Reads one line of a crontab, followed in the file by a line feed. `line` is the line without
// its line feed, every other byte kept as it is (a carriage return stays).
//
// A NUL byte ends an assignment or a command for cron, which reads the bytes after it as a line
// of their own: the reading describes the part before the NUL, and is Refused, with that
// line's reason, when a line read after a NUL is refused.
CronReading read_cron_line(std::string_view line, CrontabFlavor flavor);

// Reads the last line of a file that does not end in a line feed. cron refuses it with
// CRON_MISSING_NEWLINE unless it is blank or a comment; a NUL byte in it changes that (see
// the .cc file).
CronReading read_cron_last_line(std::string_view line, CrontabFlavor flavor);

// The longest command cron keeps, in bytes, from its first byte after the blanks that follow
// the schedule (or the user) up to the line feed, trailing blanks and carriage return included.
// One byte more: "command too long". The line as a whole has no limit: 200,000 blanks between
// the fields and the command, or 5,000 bytes passed over after a field, are loaded.
inline constexpr std::size_t CRON_MAX_COMMAND = 998;

// cron reads an assignment from its first byte after the leading blanks, and only its first
// 998 bytes: the rest of the line is dropped unread. A name or quoted value that does not end
// within them makes the assignment fail (and the line is then read as a job).
inline constexpr std::size_t CRON_MAX_ASSIGNMENT = 998;

// The longest number or name in a time field, in letters and digits; one more is refused
// even when it is a zero-padded valid number.
inline constexpr std::size_t CRON_MAX_TOKEN = 999;

// `crontab -n` refuses a file of more than 10,000 line feeds with "crontab is too long; maximum
// number of lines is 10000." (an unterminated last line is not counted). The daemon is said to
// ignore such a file as well; only the oracle's limit is verified.
inline constexpr std::size_t CRON_MAX_LINES = 10000;

// cron refuses a file whose last line has no line feed after it, unless that line is blank
// or a comment ("new crontab file is missing newline before EOF").
inline constexpr std::string_view CRON_MISSING_NEWLINE =
    "new crontab file is missing newline before EOF";

}  // namespace lintkeeper
