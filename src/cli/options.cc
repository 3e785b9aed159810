// lintkeeper's command line: the option table, the help texts and the version.
#include "cli/options.h"

#include <fmt/format.h>

#include "report/message_kind.h"

namespace lintkeeper {

namespace {

constexpr auto kOptions = std::to_array<Option<Args>>({
    {"debug", 'd', "", Arity::Flag,
     "Print each lines as they were parsed\n\nFor debugging the parser. Wins over `--echo`.",
     set_flag<Args, &Args::debug>},
    {"debug-verbose", 'D', "", Arity::Flag,
     "Print each lines as they were parsed using {:#?}\n\nFor debugging the parser. Wins over "
     "`--debug` and `--echo`.",
     set_flag<Args, &Args::debug_verbose>},
    {"echo", 'e', "", Arity::Flag,
     "Echo each line as they were parsed as a string\n\nFor debugging the parser: the line is "
     "written back from what was understood of it.",
     set_flag<Args, &Args::echo>},
    {"fail-warnings", 'f', "FAIL_WARNINGS", Arity::One,
     "exit(1) only if more than this number of warnings are emitted (default 0).\n\nErrors still "
     "give exit status 2.",
     [](Args& a, std::string_view v) {
       std::uint64_t n = 0;
       std::string error = parse_count(v, n);
       if (error.empty()) a.fail_warnings = n;
       return error;
     }},
    {"quiet", 'q', "", Arity::Flag,
     "be quiet\n\nNothing is printed, the exit status is the only result.",
     set_flag<Args, &Args::quiet>},
    {"user", 'u', "", Arity::Flag,
     "Parse user crontab instead of system\n\nThe lines of a user crontab have no user column: "
     "`minute hour day month weekday command`.",
     set_flag<Args, &Args::user>},
    {"whitelist", 'w', "WHITELIST", Arity::Many,
     "user to ignore when warning of unrecognized users; may be passed multiple times\n\n"
     "`postgres` and `buildbot` are always ignored.",
     [](Args& a, std::string_view v) {
       a.whitelist.emplace_back(v);
       return std::string();
     },
     /*utf8_value=*/true},
    {"no-check-passwd", 'n', "", Arity::Flag,
     "disable user lookup\n\nLike lintkeeper.py, every user that is not ignored is then reported "
     "as `USER_NOT_FOUND`. Outside unix there is nothing to look in, so without this option no "
     "user is reported.",
     set_flag<Args, &Args::no_check_passwd>},
    {"junit", 'j', "FILE", Arity::One,
     "Also write the result as a junit XML file\n\nThe normal output is not changed. There is a "
     "test case for the file and one for each line that is not blank or a comment, so that a CI "
     "pipeline can show them, like GitLab does with `artifacts:reports:junit`. A warning makes a "
     "test case fail only if there are more warnings than `--fail-warnings`.",
     [](Args& a, std::string_view v) {
       a.junit = std::string(v);
       return std::string();
     }},
    HELP_OPTION<Args>,
    VERSION_OPTION<Args>,
});

// The kind names stand in a column two blanks wider than the longest.
constexpr std::size_t kKindColumn = LONGEST_LINE_KIND_NAME + 2;
static_assert(kKindColumn == 19, "the long help lays the kinds out in this column");

std::string after_long_help() {
  std::string out =
      "Exit status:\n"
      "  0  no error, and no more warnings than --fail-warnings\n"
      "  1  more warnings than --fail-warnings\n"
      "  2  at least one error\n"
      "\n"
      "A message can be turned off from a line on, and back on, with a comment:\n"
      "  # lintkeeper: disable-msg=KIND\n"
      "  # lintkeeper: enable-msg=KIND\n"
      "\n"
      "Message kinds:";
  for (const MessageKind kind : HELP_ORDER) {
    fmt::format_to(std::back_inserter(out), "\n  {:<{}}{}", kind_name(kind), kKindColumn,
                   kind_info(kind).description);
  }
  return out;
}

}  // namespace

const Command<Args> LINTKEEPER_COMMAND{
    PROGRAM_NAME,
    "Parse crontab files; check for potential syntax errors",
    "Parse crontab files; check for potential syntax errors.\n\nChecks system crontabs "
    "(`/etc/crontab`, `/etc/cron.d/*`) or, with `--user`, user crontabs. Errors (`E:`) are on "
    "lines cron rejects or misreads, warnings (`W:`) are on lines that are valid but suspect.",
    {"CRONTAB", "crontab file to parse", false,
     [](Args& a, std::string_view v) {
       a.crontab = std::string(v);
       return std::string();
     }},
    kOptions,
    after_long_help,
};

CommandLine<Args> parse_lintkeeper_command_line(const std::vector<std::string_view>& args) {
  return parse_command_line(LINTKEEPER_COMMAND, args);
}

std::string version_text(std::string_view program_name) {
  return fmt::format("{} {}\n", program_name, PROGRAM_VERSION);
}

}  // namespace lintkeeper
