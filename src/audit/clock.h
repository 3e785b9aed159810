// The clock of a host's cron daemon: the time zone it runs its jobs in, found where the host
// keeps it, with the zone data of the host audited.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/file_system.h"
#include "base/time_zone.h"

namespace lintkeeper {

// The daemon's zone and why it is that one: "etc/localtime links to it".
struct DaemonClock {
  TimeZone zone;
  std::string why;
};

// The zone of an IANA name in the zone data of root (empty for this machine), else in this
// machine's: an image's tzdata may be older or newer than the machine's.
ZoneResult find_audit_zone(FileSystem& fs, const std::string& root, std::string_view name);

// The zone the daemon of the root uses: root's etc/localtime (a link into the zone data, or a
// zone file of its own), else the zone etc/timezone names, else the zone of tz (the audit's TZ,
// a name or a POSIX rule; null or empty for none), else UTC.
DaemonClock daemon_clock(FileSystem& fs, const std::string& root, const char* tz);

}  // namespace lintkeeper
