// The reading of an open document, from the crons' places.
#include "lsp/reading.h"

#include <vector>

#include "audit/host_layout.h"

namespace lintkeeper {

namespace {

// A cron that reads the file at the path, in one of its places.
struct PlaceMatch {
  CronName cron;
  PlaceKind kind;
  bool instead = false;  // the place is read only instead of another
};

// Whether the place holds the file at path as a crontab: it is the place, or the place is a
// folder of crontabs holding it.
bool holds(const Place& place, std::string_view path) {
  switch (place.kind) {
    case PlaceKind::Crontab:
      return path == place.path;
    case PlaceKind::CrontabDir:
    case PlaceKind::Spool: {
      const std::size_t slash = path.rfind('/');
      return slash != std::string_view::npos && slash + 1 < path.size() &&
             path.substr(0, slash) == place.path;
    }
    case PlaceKind::RunParts:
    case PlaceKind::Unread:
      return false;
  }
  return false;
}

std::vector<PlaceMatch> matches(std::string_view path) {
  std::vector<PlaceMatch> found;
  for (const CronInfo& info : CRONS) {
    if (is_unread_place(info.cron, path)) continue;
    for (const Place& place : places_of(info.cron)) {
      if (holds(place, path)) found.push_back({info.cron, place.kind, place.instead_of_previous});
    }
  }
  return found;
}

// The match to read by: of those read first, own's or else the first; else the same of
// those read instead of another.
const PlaceMatch* best(const std::vector<PlaceMatch>& found, std::optional<CronName> own) {
  for (const bool instead : {false, true}) {
    const PlaceMatch* first = nullptr;
    for (const PlaceMatch& m : found) {
      if (m.instead != instead) continue;
      if (own && m.cron == *own) return &m;
      if (first == nullptr) first = &m;
    }
    if (first != nullptr) return first;
  }
  return nullptr;
}

// "crontab." and a suffix.
bool is_edit_name(std::string_view name) {
  return name.starts_with(CRONTAB_EDIT_PREFIX) && name.size() > CRONTAB_EDIT_PREFIX.size();
}

// Whether the file is a copy crontab -e opens: a file of such a name, or a file named crontab
// in a folder of such a name (Debian's crontab -e makes such a folder for its copy).
bool is_edited_copy(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  if (is_edit_name(name)) return true;
  if (name != "crontab" || slash == std::string_view::npos) return false;
  const std::string_view folder = path.substr(0, slash);
  return is_edit_name(folder.substr(folder.rfind('/') + 1));
}

}  // namespace

DocumentReading reading_of_path(std::string_view path, std::optional<CronName> own) {
  const std::vector<PlaceMatch> found = matches(path);
  if (const PlaceMatch* m = best(found, own)) {
    return {m->cron, flavor_of(cron_info(m->cron), m->kind) == CrontabFlavor::UserCrontab};
  }
  if (is_edited_copy(path)) return {own, true, true};
  return {};
}

DocumentReading with_settings(DocumentReading reading, const ReadingSettings& settings) {
  if (settings.cron) reading.cron = settings.cron;
  if (settings.user) reading.user = *settings.user;
  return reading;
}

}  // namespace lintkeeper
