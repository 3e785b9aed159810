// The clock of a host's cron daemon.
#include "audit/clock.h"

#include <sys/stat.h>

#include <fmt/format.h>

#include "base/os_error.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

constexpr std::string_view kLocaltime = "/etc/localtime";
constexpr std::string_view kTimezone = "/etc/timezone";
constexpr std::string_view kZoneinfo = "zoneinfo/";

// The name of the first line of etc/timezone, or nothing.
std::optional<std::string> timezone_name(FileSystem& fs, const std::string& root) {
  std::string content;
  if (read_whole_file(fs, root + std::string(kTimezone), content) != 0) return std::nullopt;
  const std::string_view name = trim(std::string_view(content).substr(0, content.find('\n')));
  if (name.empty()) return std::nullopt;
  return std::string(name);
}

// The zone of etc/localtime, when there is one: the zone its link names, or its own bytes,
// named after the zone of etc/timezone when that zone's file holds the same bytes.
std::optional<DaemonClock> localtime_clock(FileSystem& fs, const std::string& root) {
  const std::string path = root + std::string(kLocaltime);
  FileStatus st;
  if (fs.lstat(path, st) != 0) return std::nullopt;
  std::string target;
  if (S_ISLNK(st.mode) && fs.read_link(path, target) == 0) {
    if (const std::size_t at = target.rfind(kZoneinfo); at != std::string::npos) {
      const std::string name = target.substr(at + kZoneinfo.size());
      ZoneResult found = find_audit_zone(fs, root, name);
      if (found.zone) return DaemonClock{std::move(*found.zone), "etc/localtime links to it"};
      return DaemonClock{TimeZone::utc(),
                         fmt::format("etc/localtime links to {}, which is no zone here ({}), "
                                     "so cron runs in UTC",
                                     lossy_utf8(name), found.error)};
    }
    target = target.starts_with('/') ? root + target : path.substr(0, path.rfind('/') + 1) + target;
  } else {
    target = path;
  }
  std::string bytes;
  if (const int error = read_whole_file(fs, target, bytes); error != 0) {
    return DaemonClock{TimeZone::utc(), fmt::format("etc/localtime can not be read ({}), so cron "
                                                    "runs in UTC",
                                                    os_error(error))};
  }
  std::string name(kLocaltime);
  std::string why = "the zone of etc/localtime";
  if (const std::optional<std::string> named = timezone_name(fs, root)) {
    std::string file;
    const std::string zone_file = root + "/usr/share/zoneinfo/" + *named;
    if (read_whole_file(fs, zone_file, file) == 0 && file == bytes) {
      name = *named;
      why = "etc/localtime holds it, as etc/timezone says";
    }
  }
  ZoneResult parsed = parse_tzif(bytes, name);
  if (!parsed.zone) {
    return DaemonClock{
        TimeZone::utc(),
        fmt::format("etc/localtime is no zone file ({}), so cron runs in UTC", parsed.error)};
  }
  return DaemonClock{std::move(*parsed.zone), std::move(why)};
}

}  // namespace

ZoneResult find_audit_zone(FileSystem& fs, const std::string& root, std::string_view name) {
  ZoneResult found = find_zone(fs, root, name);
  if (found.zone || root.empty()) return found;
  ZoneResult machine = find_zone(fs, "", name);
  if (machine.zone) return machine;
  found.error += ", nor in this machine's zone data";
  return found;
}

DaemonClock daemon_clock(FileSystem& fs, const std::string& root, const char* tz) {
  if (std::optional<DaemonClock> clock = localtime_clock(fs, root)) return std::move(*clock);
  if (const std::optional<std::string> named = timezone_name(fs, root)) {
    ZoneResult found = find_audit_zone(fs, root, *named);
    if (found.zone) {
      return {std::move(*found.zone),
              "etc/timezone names it; cron itself reads etc/localtime, which is missing"};
    }
  }
  if (tz != nullptr && *tz != '\0') {
    const std::string_view value = *tz == ':' ? std::string_view(tz + 1) : std::string_view(tz);
    ZoneResult found = find_audit_zone(fs, root, value);
    if (!found.zone) found = parse_tz_rule(value);
    if (found.zone) return {std::move(*found.zone), "TZ names it"};
  }
  return {TimeZone::utc(), "nothing sets a zone (etc/localtime, etc/timezone, TZ)"};
}

}  // namespace lintkeeper
