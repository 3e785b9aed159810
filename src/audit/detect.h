// Which cron runs the jobs of a root: found out from the root itself, as the table of signs
// says (the daemon's binary, its package's files, its folders, the distribution's release
// file).
#pragma once

#include <optional>
#include <string>

#include "base/file_system.h"
#include "cron/crons.h"

namespace lintkeeper {

struct CronChoice {
  CronName cron = CronName::Debian;
  std::string why;    // "/etc/os-release names Alpine Linux", "--cron busybox"
  bool known = true;  // false when nothing told: the audit goes on as Debian's cron
};

// The cron of the root (a path of fs, "" for "/"), from the first sign found.
CronChoice detect_cron(FileSystem& fs, const std::string& root);

}  // namespace lintkeeper
