// lintkeeper-audit's command line: its options and the texts of its help.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit.h"
#include "cli/command_line.h"
#include "formats/formats.h"

namespace lintkeeper {

inline constexpr std::string_view AUDIT_PROGRAM_NAME = "lintkeeper-audit";

// The options of one audit.
struct AuditArgs {
  AuditOptions audit;
  std::optional<std::uint64_t> fail_warnings;
  Format format = Format::Text;
  std::optional<std::string> output;  // a file to write the report to, instead of stdout
};

extern const Command<AuditArgs> AUDIT_COMMAND;

// args excludes the program name.
CommandLine<AuditArgs> parse_audit_command_line(const std::vector<std::string_view>& args);

}  // namespace lintkeeper
