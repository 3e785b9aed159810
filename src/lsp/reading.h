// How the language server reads an open document: as which cron and whether as a user
// crontab, from where the file is (the places each cron reads, audit/host_layout.h), unless
// the editor's settings say otherwise.
#pragma once

#include <optional>
#include <string_view>

#include "cron/crons.h"

namespace lintkeeper {

// What lintkeeper-audit is told of a file it is named: --cron (none: its default) and --user.
struct DocumentReading {
  std::optional<CronName> cron;
  bool user = false;
  // A copy that crontab -e opens, whose name is no crontab's: no finding about its name.
  bool edit_copy = false;
  friend bool operator==(const DocumentReading&, const DocumentReading&) = default;
};

// The editor's settings: each, when given, wins over the file's place.
struct ReadingSettings {
  std::optional<CronName> cron;
  std::optional<bool> user;
  friend bool operator==(const ReadingSettings&, const ReadingSettings&) = default;
};

// The name crontab -e gives the copy it opens in the editor: "crontab." and a suffix, in a
// folder for temporary files.
inline constexpr std::string_view CRONTAB_EDIT_PREFIX = "crontab.";

// The reading of the file at path (absolute), as the crons read their places: the file of a
// crontab place, or one in a folder of crontabs or a spool, as the first cron in the order of
// CRONS that reads it there, or own (the machine's cron, when it is known) when it reads it
// there too; a place read only instead of another counts after those read first. A copy of
// crontab -e's is a user crontab of own. Anything else is read as lintkeeper-audit reads a
// file it is named.
DocumentReading reading_of_path(std::string_view path, std::optional<CronName> own);

DocumentReading with_settings(DocumentReading reading, const ReadingSettings& settings);

}  // namespace lintkeeper
