// The rules a cron applies to a file before it reads it (and to a crontab it has read whole):
// each gives its finding and the reason that IGNORED_BY_CRON names, once. What each cron
// checks is its row of cron/crons.h.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"
#include "checks/check_user.h"
#include "cron/crons.h"
#include "findings/message_kind.h"

namespace lintkeeper {

// who names the cron at the start of the findings' sentences (CronInfo::speaker).

// One reason a cron skips a file: the finding that says so, and the reason as IGNORED_BY_CRON
// gives it ("it is writable by others than root").
struct Skip {
  MessageKind kind;
  std::string text;
  std::string reason;
  friend bool operator==(const Skip&, const Skip&) = default;
};

// What the cron's checks of a file before it reads it found.
struct Gate {
  std::vector<Skip> skips;
  bool readable = true;  // whether there is a regular file to read
};

// /etc/crontab and /etc/cron.d: a regular file (a symbolic link to one is followed to
// target), and whatever else the cron's rule asks: owned by root (a link and its file both),
// not writable by group or others, one hard link.
Gate system_gate(FileSystem& fs, const std::string& path, const std::string& target,
                 const SystemRule& rule, std::string_view who);

// A crontab of the spool named after user: a user that exists (lookup, uid), a regular file
// (a symbolic link, where the cron follows one, to target), and what the cron's rule asks of
// its owner, its mode, its links.
Gate spool_gate(FileSystem& fs, const std::string& path, const std::string& target,
                std::string_view user, UserLookup lookup, uid_t uid, const SpoolRule& rule,
                std::string_view who);

// An entry of a folder of crontabs named on the command line: only that it is a regular file.
Gate entry_gate(FileSystem& fs, const std::string& path, std::string_view who);

// The name of a file in a folder of crontabs, by the cron's rule of the folder.
std::optional<Skip> name_rule(std::string_view name, const NameRule& rule, std::string_view who);

// The lines a cron reads of a crontab, when more make it ignore the whole file.
std::optional<Skip> length_rule(const CronInfo& cron, std::uint64_t line_feeds);

}  // namespace lintkeeper
