// lintkeeper's command line: its options and the texts of its help.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/args.h"
#include "cli/command_line.h"

namespace lintkeeper {

inline constexpr std::string_view PROGRAM_NAME = "lintkeeper";
inline constexpr std::string_view PROGRAM_VERSION = LINTKEEPER_VERSION;

extern const Command<Args> LINTKEEPER_COMMAND;

// args excludes the program name.
CommandLine<Args> parse_lintkeeper_command_line(const std::vector<std::string_view>& args);

// "NAME VERSION\n", as --version prints it.
std::string version_text(std::string_view program_name);

// The rows of the options that every program has, last in its table.
template <typename Args>
constexpr Option<Args> HELP_OPTION{"help",
                                   'h',
                                   "",
                                   Arity::Flag,
                                   "Print help (see a summary with '-h')",
                                   nullptr,
                                   false,
                                   Action::ShortHelp,
                                   Action::LongHelp,
                                   "Print help (see more with '--help')"};
template <typename Args>
constexpr Option<Args> VERSION_OPTION{"version",       'V',     "",    Arity::Flag,
                                      "Print version", nullptr, false, Action::Version,
                                      Action::Version};

// Sets a flag of Args; the value of a flag is always empty.
template <typename Args, bool Args::*member>
std::string set_flag(Args& args, std::string_view) {
  args.*member = true;
  return {};
}

}  // namespace lintkeeper
