// The check of one crontab file, from its header line to its exit status.
#pragma once

#include <optional>
#include <string_view>

#include "cli/args.h"
#include "report/report.h"

namespace lintkeeper {

// Checks args.crontab line by line into report and returns the exit status (0, 1 or 2).
// Never fails: every problem with the file becomes a message.
int check_file(const Args& args, Report& report);

// The file-name rule: true when cron would process a file of this name.
bool file_name_is_accepted(std::string_view name);

// The last component of a path when it is an ordinary name; nothing for a root, a path
// ending in "..", or "." alone.
std::optional<std::string_view> file_name_of(std::string_view path);

}  // namespace lintkeeper
