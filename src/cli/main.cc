// lintkeeper: checks one crontab file and exits 0, 1 or 2.
#include <unistd.h>

#include "base/output.h"
#include "cli/check_file.h"
#include "cli/options.h"
#include "cli/program.h"

int main(int argc, char** argv) {
  using namespace lintkeeper;
  CommandLine<Args> command_line;
  if (const auto status = start_program(argc, argv, LINTKEEPER_COMMAND, command_line)) {
    return *status;
  }
  // Writes to standard output that fail are not lintkeeper's errors: its users rely on it.
  Output out(STDOUT_FILENO);
  LintkeeperRun run(command_line.args, out);
  const int status = run.run(disk());
  out.flush();
  return status;
}
