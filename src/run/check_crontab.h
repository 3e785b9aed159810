// The check of one crontab file: that it exists, its name, then every line, into a store of
// findings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_identity.h"
#include "base/file_system.h"
#include "base/output.h"
#include "checks/check_user.h"
#include "findings/store.h"
#include "grammar/line.h"

namespace lintkeeper {

// How each line is written back as it is read: not at all, or by one of the printers.
enum class PrintForm { None, Echo, Debug, DebugVerbose };

// How a crontab is read and checked.
struct CrontabReading {
  CrontabFlavor flavor = CrontabFlavor::SystemCrontab;
  PrintForm print = PrintForm::None;
  Output* printed = nullptr;  // where the printers write, for a form other than None
  UserRules users;
  // lintkeeper's rule of the file's name (FILE_NAME); lintkeeper-audit applies cron's own
  // where cron has one.
  bool name_rule = true;
  // Whether the cron takes a '%' for a line break (BARE_PERCENT), and ignores the whole file
  // for a last line without a line feed (MISSING_NEWLINE): all but cronie and busybox.
  bool percent_newline = true;
  bool missing_newline_whole_file = true;
};

// Called for every line of a crontab after lintkeeper's checks of the line and before the line
// is finished, so that what it adds belongs to the line.
class LineHook {
 public:
  virtual ~LineHook() = default;
  // raw is the line as read, with its line feed when it has one; line is its parse, or null
  // for a line that is not UTF-8 (which has no findings of its own).
  virtual void line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
                    LineFindings& found) = 0;
  // After the last line, when the whole file was read.
  virtual void end() {}
};

// Checks the crontab at path into the store: that it exists, the file-name rule, then every
// line. Never fails: every problem with the file becomes a finding. Returns the identity of
// the file read, or of the file found when it could not be opened.
// The file is read from target when one is given (a link followed by the caller); the
// findings name path.
std::optional<FileIdentity> check_crontab(FileSystem& fs, const std::string& path,
                                          const CrontabReading& reading, FindingStore& store,
                                          LineHook* hook = nullptr,
                                          const std::string* target = nullptr);

}  // namespace lintkeeper
