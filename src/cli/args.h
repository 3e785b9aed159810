// The options of one run, filled once from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lintkeeper {

// The options of the checks that lintkeeper and lintkeeper-audit share.
struct CheckOptions {
  bool user = false;  // user crontabs: no user column
  std::vector<std::string> whitelist;
  bool no_check_passwd = false;
  std::optional<std::uint64_t> fail_warnings;  // absent counts as 0
};

struct Args {
  bool debug = false;
  bool debug_verbose = false;
  bool echo = false;
  bool quiet = false;
  CheckOptions check;
  std::optional<std::string> junit;  // a path: any bytes
  std::string crontab;               // a path: any bytes
};

inline CheckOptions& check_options(Args& args) { return args.check; }

}  // namespace lintkeeper
