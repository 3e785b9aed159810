// The command line: one table of options drives the parser and both help texts.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "cli/args.h"

namespace lintkeeper {

enum class Arity { Flag, One, Many };

struct Option {
  std::string_view long_name;   // "fail-warnings"
  char short_name;              // 'f'
  std::string_view value_name;  // "FAIL_WARNINGS"; empty for a flag
  Arity arity;
  std::string_view help;       // shown by -h
  std::string_view more_help;  // paragraph added by --help
  // Stores the value; returns an empty text, or why the value is not accepted.
  std::string (*apply)(Args& args, std::string_view value);
};

extern const std::array<Option, 9> OPTIONS;

inline constexpr std::string_view PROGRAM_NAME = "lintkeeper";
inline constexpr std::string_view PROGRAM_VERSION = LINTKEEPER_VERSION;

// The outcome of reading the command line.
struct CommandLine {
  enum class Action { Run, ShortHelp, LongHelp, Version, Error };
  Action action = Action::Run;
  Args args;
  std::string error;  // for Error: the whole text for standard error
};

// args excludes the program name.
CommandLine parse_command_line(const std::vector<std::string_view>& args);

std::string short_help();
std::string long_help();
std::string version_text();

// Reads an unsigned 64-bit decimal number with an optional leading '+'. Returns an
// empty text, or why the value is not a number.
std::string parse_count(std::string_view text, std::uint64_t& value);

}  // namespace lintkeeper
