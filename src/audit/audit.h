// The audit of a host's cron set-up, or of the crontabs named: which files are read, how cron
// and run-parts treat each, and the findings of each file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "report/message_kind.h"
#include "report/report.h"

namespace lintkeeper {

struct AuditOptions {
  std::string root = "/";          // the host's file system
  std::vector<std::string> paths;  // files and directories to check instead of the host's
  bool user = false;               // read the files of paths as user crontabs
  std::vector<std::string> whitelist;
  bool no_check_passwd = false;
  KindSet disabled;         // switched off for the whole run
  bool every_line = false;  // keep every line's record, for a report that lists them all
};

// One file the audit looked at, with its findings.
struct AuditedFile {
  std::string path;     // as given, or its path under the root
  std::string reading;  // how it was read: "system crontab", "crontab of user alice", ...
  std::unique_ptr<Report> report;
};

struct Audit {
  std::vector<AuditedFile> files;
  // The root of the host audited, whose files' paths are taken from it; empty when the audit
  // read the paths it was given.
  std::string root;

  std::uint64_t errors() const;
  std::uint64_t warnings() const;
  // As lintkeeper's, over all files: 2 for an error, 1 for more warnings than the limit.
  int exit_status(std::optional<std::uint64_t> fail_warnings) const;
};

// Audits the host under options.root, or the paths when there are any. Never fails: every
// problem becomes a finding of the file it concerns.
Audit run_audit(const AuditOptions& options);

}  // namespace lintkeeper
