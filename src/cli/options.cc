// lintkeeper's command line: the option table and the help texts.
#include "cli/options.h"

#include <fmt/format.h>

#include "findings/message_kind.h"

namespace lintkeeper {

namespace {

constexpr DocText kFailWarningsDoc =
    DocText().add(FAIL_WARNINGS_SUMMARY).add("\n\nErrors still give exit status 2.");

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
    fail_warnings_option<Args>(kFailWarningsDoc.view()),
    {"quiet", 'q', "", Arity::Flag,
     "be quiet\n\nNothing is printed, the exit status is the only result.",
     set_flag<Args, &Args::quiet>},
    user_option<Args>(
        "Parse user crontab instead of system\n\nThe lines of a user crontab have no user column: "
        "`minute hour day month weekday command`."),
    whitelist_option<Args>(),
    no_check_passwd_option<Args>(
        "disable user lookup\n\nLike lintkeeper.py, every user that is not ignored is then "
        "reported as `USER_NOT_FOUND`. Outside unix there is nothing to look in, so without this "
        "option no user is reported."),
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

std::string after_long_help() {
  std::string out = exit_status_help("");
  out +=
      "\n\n"
      "A message can be turned off from a line on, and back on, with a comment:\n"
      "  # lintkeeper: disable-msg=KIND\n"
      "  # lintkeeper: enable-msg=KIND\n"
      "\n"
      "Message kinds:";
  // The kind names stand in a column two blanks wider than the longest.
  constexpr std::size_t kKindColumn = LONGEST_LINE_KIND_NAME + 2;
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

}  // namespace lintkeeper
