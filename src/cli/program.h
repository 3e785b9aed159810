// What the main of every program does first: standard output that goes away must not kill
// the run, then the command line, and the answer of one that asks for no run.
#pragma once

#include <unistd.h>

#include <csignal>
#include <optional>
#include <string_view>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/shared_options.h"

namespace lintkeeper {

// Reads the command line into line. Returns the exit status of a command line that asks for
// no run (the help, the version, an argument error), after writing its answer; nothing when
// the program is to run.
template <typename Args>
std::optional<int> start_program(int argc, char** argv, const Command<Args>& command,
                                 CommandLine<Args>& line) {
  // A reader that goes away (`| head`) must not kill the run: its writes fail instead.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  line = parse_command_line(command, arguments);
  const std::optional<Answer> answer =
      answer_without_run(line, command, version_text(command.name));
  if (!answer) return std::nullopt;
  Output(answer->is_error ? STDERR_FILENO : STDOUT_FILENO).write(answer->text);
  return answer->status;
}

}  // namespace lintkeeper
