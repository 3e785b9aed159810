// What the two command lines share: the version and the exit statuses.
#include "cli/shared_options.h"

#include <fmt/format.h>

#include "findings/verdict.h"

namespace lintkeeper {

std::string version_text(std::string_view program_name) {
  return fmt::format("{} {}\n", program_name, PROGRAM_VERSION);
}

std::string exit_status_help(std::string_view more_for_errors) {
  std::string out = "Exit status:";
  for (const ExitStatusInfo& s : EXIT_STATUSES) {
    fmt::format_to(std::back_inserter(out), "\n  {}  {}{}", s.status, s.meaning,
                   s.status == EXIT_STATUSES.back().status ? more_for_errors : "");
  }
  return out;
}

}  // namespace lintkeeper
