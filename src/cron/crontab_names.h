// The names of the crontabs of /etc/cron.d: the rule by which cron reads or skips a file, and
// lintkeeper's own rule, which lets more names pass.
//
// cron reads a file of /etc/cron.d only when its name is made of [A-Za-z0-9_-], as run-parts
// names go (cron(8)), so that the "backup.dpkg-old" or "backup~" left by a package manager or
// an editor is not read. lintkeeper's rule, which its users rely on, also passes names ending
// in ".disabled", ".cron" and ".in", "cron.d" itself and NAME.cron.d: files kept in a
// repository under such names are meant to be installed under another. lintkeeper-audit
// follows cron's rule in the folders it reads as cron reads /etc/cron.d, and lintkeeper's for
// a crontab named alone, whose name once installed it cannot know.
#pragma once

#include <optional>
#include <string_view>

namespace lintkeeper {

// The finding of a name that a rule does not let pass: FILE_NAME.
inline constexpr char CRON_NAME_RULE_TEXT[] =
    "Cron will not process this file - its name must match [A-Za-z0-9_-]+ .";

// Whether cron reads a file of /etc/cron.d of this name.
bool cron_reads_name(std::string_view name);

// Whether lintkeeper lets the name pass: cron's rule, and the names above.
bool lintkeeper_accepts_name(std::string_view name);

// The last component of a path when it is an ordinary name; nothing for a root, a path
// ending in "..", or "." alone.
std::optional<std::string_view> file_name_of(std::string_view path);

}  // namespace lintkeeper
