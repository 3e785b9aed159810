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

// The options of one audit.
struct AuditArgs {
  AuditOptions audit;
  Format format = Format::Text;
  std::optional<std::string> output;  // a file to write the report to, instead of stdout
};

inline CheckOptions& check_options(AuditArgs& args) { return args.audit.check; }

extern const Command<AuditArgs> AUDIT_COMMAND;

// args excludes the program name.
CommandLine<AuditArgs> parse_audit_command_line(const std::vector<std::string_view>& args);

}  // namespace lintkeeper
