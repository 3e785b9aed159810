// What a cron reads of a host: the places, in the order the audit reports them, each with the
// flavour its crontabs are read as and the rules cron applies to a file before reading it.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

enum class PlaceKind : std::uint8_t {
  Crontab,     // one crontab
  CrontabDir,  // a folder of crontabs, each named as the name rule allows
  Spool,       // a folder of user crontabs, each named after its user
  RunParts,    // a folder of scripts, run by run-parts
};

// What cron checks of a file before it reads it.
enum class FileRules : std::uint8_t {
  None,    // nothing: a file named on the command line
  System,  // owned by root (a symbolic link and its file), not writable by group or others
  Spool,   // no symbolic link, owned by its user, mode 0600
};

struct Place {
  std::string_view path;
  PlaceKind kind;
  CrontabFlavor flavor;
  FileRules rules;
  // Read only when the place before it is not a folder: the spool of Fedora and its kin,
  // which holds its crontabs beside other folders, where Debian's has its own folder.
  bool instead_of_previous = false;
};

// Debian's cron and run-parts (cron 3.0pl1, debianutils).
inline constexpr auto DEBIAN_PLACES = std::to_array<Place>({
    {"/etc/crontab", PlaceKind::Crontab, CrontabFlavor::SystemCrontab, FileRules::System},
    {"/etc/cron.d", PlaceKind::CrontabDir, CrontabFlavor::SystemCrontab, FileRules::System},
    {"/var/spool/cron/crontabs", PlaceKind::Spool, CrontabFlavor::UserCrontab, FileRules::Spool},
    {"/var/spool/cron", PlaceKind::Spool, CrontabFlavor::UserCrontab, FileRules::Spool, true},
    {"/etc/cron.hourly", PlaceKind::RunParts, CrontabFlavor::SystemCrontab, FileRules::None},
    {"/etc/cron.daily", PlaceKind::RunParts, CrontabFlavor::SystemCrontab, FileRules::None},
    {"/etc/cron.weekly", PlaceKind::RunParts, CrontabFlavor::SystemCrontab, FileRules::None},
    {"/etc/cron.monthly", PlaceKind::RunParts, CrontabFlavor::SystemCrontab, FileRules::None},
});
static_assert(!DEBIAN_PLACES.front().instead_of_previous);

// The password file of a root, whose users an audit of another root looks up.
inline constexpr std::string_view PASSWD_FILE = "/etc/passwd";

}  // namespace lintkeeper
