// What each cron reads of a host: the places, in the order the audit reports them, each with
// the flavour its crontabs are read as and the rules cron applies to a file before reading it;
// and the places other crons read that this one never does.
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "cron/crons.h"
#include "grammar/line.h"

namespace lintkeeper {

enum class PlaceKind : std::uint8_t {
  Crontab,     // one system crontab
  CrontabDir,  // a folder of system crontabs, each named as the cron's name rule allows
  Spool,       // a folder of user crontabs, each named after its user
  RunParts,    // a folder of scripts, run by run-parts
  Unread,      // a folder or file another cron reads and this one never does
};

struct Place {
  std::string_view path;
  PlaceKind kind;
  // Read only when the place before it is not a folder.
  bool instead_of_previous = false;
};

// Debian's cron and run-parts (cron 3.0pl1, debianutils).
inline constexpr auto DEBIAN_PLACES = std::to_array<Place>({
    {"/etc/crontab", PlaceKind::Crontab},
    {"/etc/cron.d", PlaceKind::CrontabDir},
    {"/var/spool/cron/crontabs", PlaceKind::Spool},
    {"/var/spool/cron", PlaceKind::Spool, true},
    {"/etc/cron.hourly", PlaceKind::RunParts},
    {"/etc/cron.daily", PlaceKind::RunParts},
    {"/etc/cron.weekly", PlaceKind::RunParts},
    {"/etc/cron.monthly", PlaceKind::RunParts},
    {"/etc/crontabs", PlaceKind::Unread},
});

// cronie, with its hourly folder run from /etc/cron.d/0hourly and the others by anacron.
inline constexpr auto CRONIE_PLACES = std::to_array<Place>({
    {"/etc/crontab", PlaceKind::Crontab},
    {"/etc/cron.d", PlaceKind::CrontabDir},
    {"/var/spool/cron", PlaceKind::Spool},
    {"/etc/cron.hourly", PlaceKind::RunParts},
    {"/etc/cron.daily", PlaceKind::RunParts},
    {"/etc/cron.weekly", PlaceKind::RunParts},
    {"/etc/cron.monthly", PlaceKind::RunParts},
    {"/var/spool/cron/crontabs", PlaceKind::Unread},  // a folder of the spool, no crontab
    {"/etc/crontabs", PlaceKind::Unread},
});

// busybox's crond: Alpine starts it on /etc/crontabs, its default is /var/spool/cron/crontabs;
// Alpine's root crontab runs the periodic folders with busybox's run-parts.
inline constexpr auto BUSYBOX_PLACES = std::to_array<Place>({
    {"/etc/crontabs", PlaceKind::Spool},
    {"/var/spool/cron/crontabs", PlaceKind::Spool},
    {"/etc/periodic/15min", PlaceKind::RunParts},
    {"/etc/periodic/hourly", PlaceKind::RunParts},
    {"/etc/periodic/daily", PlaceKind::RunParts},
    {"/etc/periodic/weekly", PlaceKind::RunParts},
    {"/etc/periodic/monthly", PlaceKind::RunParts},
    {"/etc/crontab", PlaceKind::Unread},
    {"/etc/cron.d", PlaceKind::Unread},
    {"/etc/cron.hourly", PlaceKind::Unread},
    {"/etc/cron.daily", PlaceKind::Unread},
    {"/etc/cron.weekly", PlaceKind::Unread},
    {"/etc/cron.monthly", PlaceKind::Unread},
});

// By the order of CronName.
inline constexpr std::array<std::span<const Place>, CRONS.size()> CRON_PLACES{
    DEBIAN_PLACES, CRONIE_PLACES, BUSYBOX_PLACES};

constexpr std::span<const Place> places_of(CronName cron) {
  return CRON_PLACES[static_cast<std::size_t>(cron)];
}

// Whether the cron never reads what is at the path, another cron's place.
constexpr bool is_unread_place(CronName cron, std::string_view path) {
  for (const Place& place : places_of(cron)) {
    if (place.kind == PlaceKind::Unread && place.path == path) return true;
  }
  return false;
}

// The flavour of the crontabs of a place, for the cron: a spool's crontabs have no user
// column, and busybox's crontabs never have one.
constexpr CrontabFlavor flavor_of(const CronInfo& cron, PlaceKind kind) {
  return kind == PlaceKind::Spool || !cron.user_column ? CrontabFlavor::UserCrontab
                                                       : CrontabFlavor::SystemCrontab;
}

// The password file of a root, whose users an audit of another root looks up.
inline constexpr std::string_view PASSWD_FILE = "/etc/passwd";

}  // namespace lintkeeper
