// The options of one run, filled once from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lintkeeper {

struct Args {
  bool debug = false;
  bool debug_verbose = false;
  bool echo = false;
  std::optional<std::uint64_t> fail_warnings;  // absent counts as 0
  bool quiet = false;
  bool user = false;  // a user crontab: no user column
  std::vector<std::string> whitelist;
  bool no_check_passwd = false;
  std::optional<std::string> junit;  // a path: any bytes
  std::string crontab;               // a path: any bytes
};

}  // namespace lintkeeper
