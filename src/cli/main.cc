// lintkeeper: checks one crontab file and exits 0, 1 or 2.
#include <unistd.h>

#include <csignal>
#include <string_view>
#include <vector>

#include "base/output.h"
#include "cli/check_file.h"
#include "cli/options.h"

int main(int argc, char** argv) {
  using namespace lintkeeper;
  // A reader that goes away (`| head`) must not kill the run: writes then fail quietly.
  std::signal(SIGPIPE, SIG_IGN);

  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine<Args> command_line = parse_lintkeeper_command_line(arguments);
  if (const auto answer =
          answer_without_run(command_line, LINTKEEPER_COMMAND, version_text(PROGRAM_NAME))) {
    Output(answer->is_error ? STDERR_FILENO : STDOUT_FILENO).write(answer->text);
    return answer->status;
  }
  Output out(STDOUT_FILENO);
  LintkeeperRun run(command_line.args, out);
  const int status = run.run(disk());
  out.flush();
  return status;
}
