// How busybox's crond (1.35) reads a crontab, line after line: what it makes of each line, when
// its jobs run, and what it logs of them as it loads them.
//
// The model is worked out by running the real daemon (tests/oracles/busybox: record.py and the
// recording it made, lines.tsv, which the test holds the model to row by row) and is decided
// apart from lintkeeper's own checks. busybox reads otherwise than most crons: it loads a job
// whose fields it cannot read (a field with a value out of its range gets every value, or with
// a step some), has no user column, cuts a line at any '#', joins a line ending in '\' with
// the next, keeps at most BUSYBOX_MAX_LINES lines of a user's crontab and dies on an @ line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cron/cron_reading.h"
#include "grammar/line.h"

namespace lintkeeper {

// A crontab but root's (by name: a user of uid 0 by another name is limited) keeps this many
// lines that crond counts, every line but blank lines and comments; crond logs
// BUSYBOX_TOO_MANY_LINES as it keeps the last of them, even when nothing follows, and reads no
// further.
inline constexpr std::size_t BUSYBOX_MAX_LINES = 255;
inline constexpr std::string_view BUSYBOX_TOO_MANY_LINES = "too many lines";

// crond dies of a segmentation fault as it loads "@NAME COMMAND" for every NAME of AT_NAMES (in
// lower case, followed by a blank and a command): no job of any crontab runs. No word of its
// own: these are ours.
inline constexpr std::string_view BUSYBOX_AT_CRASH =
    "crond dies of a segmentation fault loading an @ line with a command";

// What crond logs about one line as it loads it (crond -l 0).
struct BusyboxLog {
  // The header "user:NAME entry:(null)": crond counts the line (see BUSYBOX_MAX_LINES). Blank
  // lines and comments have none.
  bool header = false;
  // A job's five fields, each as crond logs it right after reading it: the bit map, one '0' or
  // '1' a value from the lowest (minute 0, hour 0, day 0, January, Sunday: 60, 24, 32, 12 and 7
  // characters), or "parse error at FIELD" for a field it could not read. Empty for any other
  // line.
  std::array<std::string, Schedule::kFieldCount> fields;
};

// One crontab as crond reads it: its lines are given in order, and each is answered as it comes.
//
// A line that ends in '\' before its line feed goes on in the next one: it is answered
// Continued, and the line that ends the run is answered for all of them. So the views of a
// reading point into the line given or, after a Continued one, into the text the model joined;
// either way they are good until the next call. A line that crashes crond is answered Crashes,
// and the lines after it as crond would read them if it lived on.
class BusyboxCrontab final : public CrontabModel {
 public:
  // The crontab of the user it is named after.
  explicit BusyboxCrontab(std::string_view user);

  // Reads the next line, with its line feed when it has one (only the last line of a file may
  // lack it).
  CronReading line(std::string_view raw) override;

  // The end of the file. After a line answered Continued, crond reads what was joined as a
  // line of its own: its reading, which belongs to the last line given; otherwise nothing.
  std::optional<CronReading> finish() override;

  // What crond logged about the line answered last (Continued lines log nothing of their own).
  BusyboxLog log() const;

 private:
  CronReading read_text(std::string_view text);
  CronReading read_job(std::string_view text);

  bool limited_;
  std::size_t counted_ = 0;
  bool past_limit_ = false;
  bool joining_ = false;
  std::string joined_;
  // The log of the line answered last: the header, and for a job the bits of each field as
  // crond logged them and the field's text (a view into the line), logged when it could not
  // read the field.
  bool header_ = false;
  bool job_ = false;
  std::array<std::uint64_t, Schedule::kFieldCount> logged_bits_{};
  std::array<std::string_view, Schedule::kFieldCount> field_texts_{};
  std::array<bool, Schedule::kFieldCount> field_ok_{};
};

}  // namespace lintkeeper
