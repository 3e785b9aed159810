// The audit of a host's cron set-up, or of the crontabs named: which files are read, how cron
// and run-parts treat each, and the findings of each file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "cli/args.h"
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
};

// One file the audit looked at, with its findings.
struct AuditedFile {
  std::string path;     // as given, or its path under the root
  std::string reading;  // how it was read: "system crontab", "crontab of user alice", ...
  std::unique_ptr<FindingStore> findings;
};

struct Audit {
  std::vector<AuditedFile> files;
  // The root of the host audited, whose files' paths are taken from it; empty when the audit
  // read the paths it was given.
  std::string root;

  // Over all files.
  Counts counts() const;
};

// Audits the host under options.root, or the paths when there are any, reading them from fs.
// Never fails: every problem becomes a finding of the file it concerns.
Audit run_audit(const AuditOptions& options, FileSystem& fs = disk());

}  // namespace lintkeeper
