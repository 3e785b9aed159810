// lintkeeper's command line: its options and the texts of its help.
#pragma once

#include <string_view>
#include <vector>

#include "cli/args.h"
#include "cli/command_line.h"
#include "cli/shared_options.h"

namespace lintkeeper {

inline constexpr std::string_view PROGRAM_NAME = "lintkeeper";

extern const Command<Args> LINTKEEPER_COMMAND;

// args excludes the program name.
CommandLine<Args> parse_lintkeeper_command_line(const std::vector<std::string_view>& args);

}  // namespace lintkeeper
