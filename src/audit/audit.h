// The audit of a host's cron set-up, or of the crontabs named: which files are read, how cron
// and run-parts treat each, and the findings of each file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audit/detect.h"
#include "base/file_system.h"
#include "base/time_zone.h"
#include "cli/args.h"
#include "cron/crons.h"
#include "findings/message_kind.h"
#include "findings/store.h"
#include "findings/verdict.h"

namespace lintkeeper {

struct AuditOptions {
  std::string root = "/";          // the host's file system
  std::vector<std::string> paths;  // files and directories to check instead of the host's
  CheckOptions check;              // user: read the files of paths as user crontabs
  KindSet disabled;                // switched off for the whole run
  bool every_line = false;         // keep every line's record, for a report that lists them all
  std::optional<CronName> cron;    // the cron to audit as; else found out from the root
  // When jobs run: the instant to count from (seconds since the epoch), the runs to list for
  // each job (none: no list of jobs), and the daemon's zone when it is given (--time-zone);
  // else the root's own, with tz the audit's TZ variable as the last resort.
  std::int64_t now = 0;
  std::size_t next = 0;
  std::optional<TimeZone> zone;
  std::optional<std::string> tz;
};

// One file the audit looked at, with its findings.
struct AuditedFile {
  std::string path;     // as given, or its path under the root
  std::string reading;  // how it was read: "system crontab", "crontab of user alice", ...
  std::unique_ptr<FindingStore> findings;
  // Whether the entry holds the findings about the whole host or the paths named (which
  // cron, nothing read) rather than a file's.
  bool whole = false;
  // Of a crontab whose lines were read: its path on this machine, and the size and FNV-1a
  // hash of the bytes read, which its fixes' edits are placed in.
  std::string host_path;
  std::uint64_t size = 0;
  std::uint64_t hash = 0;
};

// A run of a job: its instant and the UTC offset of its zone then.
struct JobRun {
  std::int64_t at = 0;
  std::int32_t offset = 0;
};

// A job a cron runs, in a crontab it reads.
struct AuditedJob {
  std::size_t file = 0;  // its crontab: an index of Audit::files
  std::uint64_t line = 0;
  std::optional<std::string> user;  // the user column; none in a user crontab
  std::string command;              // as the cron keeps it
  std::string schedule;             // the time fields as written, or the @ name
  std::string description;          // when it runs, in plain words
  std::string time_zone;            // the zone of its runs
  std::vector<JobRun> next;         // its next runs; none for @reboot or random picks
};

struct Audit {
  std::vector<AuditedFile> files;
  // The root of the host audited, whose files' paths are taken from it; empty when the audit
  // read the paths it was given.
  std::string root;
  // The cron audited as, and why; whether the text report says it (for a host, and for paths
  // when --cron chose it).
  CronChoice cron;
  bool cron_told = false;
  // The daemon's zone and why; the jobs, with as many runs each as asked for (none: the
  // report lists no jobs).
  std::string time_zone;
  std::string time_zone_why;
  std::size_t next = 0;
  std::vector<AuditedJob> jobs;

  // Over all files.
  Counts counts() const;
  // The entries that are files, not the one about the whole host.
  std::size_t file_count() const;
};

// Audits the host under options.root, or the paths when there are any, reading them from fs.
// Never fails: every problem becomes a finding of the file it concerns.
Audit run_audit(const AuditOptions& options, FileSystem& fs = disk());

}  // namespace lintkeeper
