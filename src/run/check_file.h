// The check of one crontab file: its existence, its name, every line; and lintkeeper's run
// of it, from its header line to its exit status.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_identity.h"
#include "checks/check_user.h"
#include "cli/args.h"
#include "grammar/line.h"
#include "report/report.h"

namespace lintkeeper {

// How each line is written back as it is read: not at all, or by one of the printers.
enum class PrintForm { None, Echo, Debug, DebugVerbose };

// How a crontab is read and checked.
struct CrontabReading {
  CrontabFlavor flavor = CrontabFlavor::SystemCrontab;
  PrintForm print = PrintForm::None;
  UserRules users;
};

// Called for every line of a crontab after lintkeeper's checks of the line and before the line
// is finished, so that what it adds to the report belongs to the line.
class LineHook {
 public:
  virtual ~LineHook() = default;
  // raw is the line as read, with its line feed when it has one; line is its parse, or null
  // for a line that is not UTF-8 (which has no line of the report: add file messages then).
  virtual void line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
                    Report& report) = 0;
};

// Checks the crontab at path into report: that it exists, the file-name rule, then every
// line. Never fails: every problem with the file becomes a message. Returns the identity of
// the file read, or of the file found when it could not be opened.
// The file is read from target when one is given (a link followed by the caller); the
// messages name path.
std::optional<FileIdentity> check_crontab(const std::string& path, const CrontabReading& reading,
                                          Report& report, LineHook* hook = nullptr,
                                          const std::string* target = nullptr);

// lintkeeper's run: the header line, check_crontab of args.crontab, the summary and the JUnit
// file. Returns the exit status (0, 1 or 2).
int check_file(const Args& args, Report& report);

// The file-name rule: true when cron would process a file of this name.
bool file_name_is_accepted(std::string_view name);

// The last component of a path when it is an ordinary name; nothing for a root, a path
// ending in "..", or "." alone.
std::optional<std::string_view> file_name_of(std::string_view path);

}  // namespace lintkeeper
