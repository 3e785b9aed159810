// The rules cron applies to a file before it reads it (and to a crontab it has read whole):
// each gives its finding and the reason that IGNORED_BY_CRON names, once.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"
#include "checks/check_user.h"
#include "findings/message_kind.h"

namespace lintkeeper {

// One reason cron skips a file: the finding that says so, and the reason as IGNORED_BY_CRON
// gives it ("it is writable by others than root").
struct Skip {
  MessageKind kind;
  std::string text;
  std::string reason;
  friend bool operator==(const Skip&, const Skip&) = default;
};

// What cron's checks of a file before it reads it found.
struct Gate {
  std::vector<Skip> skips;
  bool readable = true;  // whether there is a regular file to read
};

// /etc/crontab and /etc/cron.d: a regular file (a symbolic link to one is followed to
// target), owned by root (a link and its file both), not writable by group or others, one
// hard link.
Gate system_gate(FileSystem& fs, const std::string& path, const std::string& target);

// A spool crontab: named after a user that exists, a regular file (no symbolic link) owned by
// that user, mode 0600, one hard link. lookup and uid are the answer for the user.
Gate spool_gate(FileSystem& fs, const std::string& path, std::string_view user, UserLookup lookup,
                uid_t uid);

// An entry of a folder of crontabs named on the command line: only that it is a regular file.
Gate entry_gate(FileSystem& fs, const std::string& path);

// cron reads only the files of /etc/cron.d named as run-parts wants.
std::optional<Skip> name_rule(std::string_view name);

// cron reads at most CRON_MAX_LINES lines of a crontab, and else none.
std::optional<Skip> length_rule(std::uint64_t line_feeds);

}  // namespace lintkeeper
