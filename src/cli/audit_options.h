// lintkeeper-audit's command line: its options and the texts of its help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit.h"
#include "cli/command_line.h"
#include "cli/shared_options.h"
#include "formats/formats.h"

namespace lintkeeper {

inline constexpr std::string_view AUDIT_PROGRAM_NAME = "lintkeeper-audit";
// The most runs --next lists of a job.
inline constexpr std::uint64_t kMaxNextRuns = 10000;

// The options of one audit.
struct AuditArgs {
  AuditOptions audit;
  Format format = Format::Text;
  std::optional<std::string> output;     // a file to write the report to, instead of stdout
  std::optional<std::int64_t> now;       // --now; else the current time
  std::optional<std::string> time_zone;  // --time-zone, to find in the root's zone data
  // --diff, --fix, --unsafe-fixes: show the fixes as a diff, or make them in the files.
  bool diff = false;
  bool fix = false;
  bool unsafe_fixes = false;
};

inline CheckOptions& check_options(AuditArgs& args) { return args.audit.check; }

extern const Command<AuditArgs> AUDIT_COMMAND;

// args excludes the program name.
CommandLine<AuditArgs> parse_audit_command_line(const std::vector<std::string_view>& args);

// Makes the options of a parsed command line whole for run_audit: the instant to count from
// (now, without --now), the audit's TZ variable (null for none), and the zone of --time-zone,
// read from fs in the root's zone data, else this machine's. Returns the whole text of the
// argument error when that zone cannot be read, else nothing.
std::optional<std::string> prepare_audit(AuditArgs& args, FileSystem& fs, std::int64_t now,
                                         const char* tz);

}  // namespace lintkeeper
