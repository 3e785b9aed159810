// The fixes of the findings of a line, as the cron in hand reads it, and the commands that
// repair what no edit of a crontab's text does (its name, owner or mode).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "checks/check_user.h"
#include "cron/cron_reading.h"
#include "cron/crons.h"
#include "findings/finding.h"
#include "grammar/line.h"

namespace lintkeeper {

// What a fix of a line is tried against: the cron's reading of the fixed line and
// lintkeeper's checks of it.
struct LineFixContext {
  const CronInfo& cron;
  CrontabFlavor flavor;
  std::string_view user;  // the crontab's user (a spool's), or empty
  const UserRules& users;
};

// Gives the findings of the line the fixes the audit knows for their kinds. Each fix is
// tried on the line before it is given: the finding must be gone from the fixed line, as
// lintkeeper checks it and as the cron reads it, and no finding of another kind may come.
// raw is the line as read, with its line feed when it has one; line is lintkeeper's parse
// of it (its views point into raw).
// cron is the cron's reading of the line.
// number is the line's and offset where it starts in the file: the edits are placed in it.
void fix_line(const LineFixContext& context, std::uint64_t number, std::uint64_t offset,
              std::string_view raw, const CrontabLine& line, const CronReading& cron,
              LineFindings& found);

// The edit that adds the missing line feed at the end of the last line, raw, which starts
// at offset in the file.
Fix missing_newline_fix(std::uint64_t line, std::uint64_t offset, std::string_view raw);

// What a repair of a file needs to know: the path of the file on this machine, the file a
// symbolic link there leads to (the path itself when it is none), where the cron reads it and
// whose crontab it is.
struct FileRepair {
  std::string_view path;
  std::string_view target;
  bool spool = false;        // a crontab of the spool, else a system crontab or a script
  std::string_view user;     // of a spool crontab: its user
  bool dot_allowed = false;  // in the names run-parts runs
};

// The fix of a finding about a file that no edit of its text makes: the command that does
// (chmod, chown, mv, cp), never run by the audit; none for a kind it has none for.
std::optional<Fix> repair_fix(MessageKind kind, const CronInfo& cron, const FileRepair& file);

// A name that the rule of names takes, for a file named name: the name up to its first
// ".", when that is one, else the name with each other byte made "_".
std::string portable_name(std::string_view name, bool dot_allowed);

}  // namespace lintkeeper
