// Tests the command line: option forms, argument errors, actions and the help texts.
#include "cli/options.h"

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

using Action = CommandLine::Action;

// Every member of Args on one line, so that a mismatch shows the whole record.
std::string describe(const Args& a) {
  std::ostringstream out;
  out << "debug=" << a.debug << " debug_verbose=" << a.debug_verbose << " echo=" << a.echo
      << " fail_warnings=" << (a.fail_warnings ? std::to_string(*a.fail_warnings) : "none")
      << " quiet=" << a.quiet << " user=" << a.user << " whitelist=[";
  for (std::size_t i = 0; i < a.whitelist.size(); ++i) {
    out << (i ? "|" : "") << a.whitelist[i];
  }
  out << "] no_check_passwd=" << a.no_check_passwd
      << " junit=" << (a.junit ? "<" + *a.junit + ">" : "none") << " crontab=<" << a.crontab << ">";
  return out.str();
}

std::string joined(const std::vector<std::string_view>& argv) {
  std::string out;
  for (const std::string_view arg : argv) out += "[" + std::string(arg) + "]";
  return out;
}

TEST(ParseCommandLine, OptionForms) {
  struct Case {
    std::vector<std::string_view> argv;
    void (*set)(Args& expected);  // on top of the defaults and crontab "c"
  };
  const Case cases[] = {
      {{"crontab"}, [](Args& a) { a.crontab = "crontab"; }},
      {{"--debug", "c"}, [](Args& a) { a.debug = true; }},
      {{"-d", "c"}, [](Args& a) { a.debug = true; }},
      {{"--debug-verbose", "c"}, [](Args& a) { a.debug_verbose = true; }},
      {{"-D", "c"}, [](Args& a) { a.debug_verbose = true; }},
      {{"--echo", "c"}, [](Args& a) { a.echo = true; }},
      {{"-e", "c"}, [](Args& a) { a.echo = true; }},
      {{"--quiet", "c"}, [](Args& a) { a.quiet = true; }},
      {{"-q", "c"}, [](Args& a) { a.quiet = true; }},
      {{"--user", "c"}, [](Args& a) { a.user = true; }},
      {{"-u", "c"}, [](Args& a) { a.user = true; }},
      {{"--no-check-passwd", "c"}, [](Args& a) { a.no_check_passwd = true; }},
      {{"-n", "c"}, [](Args& a) { a.no_check_passwd = true; }},
      {{"--junit", "out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"--junit=out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"-j", "out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"-jout.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"--whitelist", "alice", "c"}, [](Args& a) { a.whitelist = {"alice"}; }},
      {{"--whitelist=alice", "c"}, [](Args& a) { a.whitelist = {"alice"}; }},
      {{"-w", "alice", "c"}, [](Args& a) { a.whitelist = {"alice"}; }},
      {{"-walice", "c"}, [](Args& a) { a.whitelist = {"alice"}; }},
      // The fail-warnings value in every form.
      {{"-f", "3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"--fail-warnings=3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"--fail-warnings", "3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"--fail-warnings", "+3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"-f3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"-f=3", "c"}, [](Args& a) { a.fail_warnings = 3; }},
      {{"-f", "0", "c"}, [](Args& a) { a.fail_warnings = 0; }},
      {{"-f", "007", "c"}, [](Args& a) { a.fail_warnings = 7; }},
      {{"--fail-warnings=18446744073709551615", "c"},
       [](Args& a) { a.fail_warnings = UINT64_MAX; }},
      // Short flags grouped, and a valued option ending a group.
      {{"-qf3", "c"},
       [](Args& a) {
         a.fail_warnings = 3;
         a.quiet = true;
       }},
      {{"-qe", "c"},
       [](Args& a) {
         a.echo = true;
         a.quiet = true;
       }},
      {{"-dDeq", "c"},
       [](Args& a) {
         a.debug = true;
         a.debug_verbose = true;
         a.echo = true;
         a.quiet = true;
       }},
      {{"-qw", "alice", "c"},
       [](Args& a) {
         a.quiet = true;
         a.whitelist = {"alice"};
       }},
      // Options after the crontab.
      {{"c", "-q", "-w", "alice", "--fail-warnings", "2"},
       [](Args& a) {
         a.fail_warnings = 2;
         a.quiet = true;
         a.whitelist = {"alice"};
       }},
      // "--" ends the options.
      {{"--", "-q"}, [](Args& a) { a.crontab = "-q"; }},
      {{"-u", "--", "--help"},
       [](Args& a) {
         a.user = true;
         a.crontab = "--help";
       }},
      // The whitelist keeps every name, in order, never split.
      {{"-w", "alice", "-w", "bob", "c"},
       [](Args& a) {
         a.whitelist = {"alice", "bob"};
       }},
      {{"-w", "bob", "c", "--whitelist=alice", "-w", "bob"},
       [](Args& a) {
         a.whitelist = {"bob", "alice", "bob"};
       }},
      {{"-w", "alice,bob", "c"}, [](Args& a) { a.whitelist = {"alice,bob"}; }},
      {{"-w", "jürgen", "c"}, [](Args& a) { a.whitelist = {"jürgen"}; }},
      // Every option at once, long names.
      {{"--debug", "--debug-verbose", "--echo", "--fail-warnings", "5", "--quiet", "--user",
        "--whitelist", "ops", "--no-check-passwd", "--junit", "r.xml", "/etc/crontab"},
       [](Args& a) {
         a = {true, true, true, 5, true, true, {"ops"}, true, "r.xml", "/etc/crontab"};
       }},
      // Paths are taken as given.
      {{"./dir/my crontab"}, [](Args& a) { a.crontab = "./dir/my crontab"; }},
      {{"-"}, [](Args& a) { a.crontab = "-"; }},
      // Paths may hold any bytes; only whitelist names must be UTF-8.
      {{"-j", "r\xFF.xml", "c\xFE"},
       [](Args& a) {
         a.junit = "r\xFF.xml";
         a.crontab = "c\xFE";
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.argv));
    const CommandLine result = parse_command_line(c.argv);
    EXPECT_EQ(result.action, Action::Run) << result.error;
    Args expected;
    expected.crontab = "c";
    c.set(expected);
    EXPECT_EQ(describe(result.args), describe(expected));
    EXPECT_EQ(result.error, "");
  }
}

TEST(ParseCommandLine, ArgumentErrors) {
  struct Case {
    std::vector<std::string_view> argv;
    std::string_view problem;  // a sentence the error names, or empty when not fixed
  };
  const Case cases[] = {
      {{}, ""},
      {{"-q"}, ""},
      {{"a", "b"}, ""},
      {{"--", "a", "b"}, ""},
      {{"--nope", "c"}, "unexpected argument '--nope' found"},
      {{"-x", "c"}, "unexpected argument '-x' found"},
      {{"c", "--fail", "3"}, "unexpected argument '--fail' found"},  // no abbreviations
      {{"--deb", "c"}, "unexpected argument '--deb' found"},
      {{"--Debug", "c"}, "unexpected argument '--Debug' found"},
      {{"-d", "-d", "c"}, ""},
      {{"-dd", "c"}, ""},
      {{"--quiet", "-q", "c"}, ""},
      {{"--user", "--user", "c"}, ""},
      {{"--junit", "a", "--junit", "b", "c"}, ""},
      {{"--fail-warnings", "1", "--fail-warnings", "1", "c"}, ""},
      {{"-f", "1", "--fail-warnings=2", "c"}, ""},
      {{"c", "--fail-warnings"}, ""},
      {{"c", "-f"}, ""},
      {{"c", "--junit"}, ""},
      {{"c", "-w"}, ""},
      {{"--fail-warnings=-1", "c"}, ""},
      {{"--fail-warnings=", "c"}, ""},
      {{"--fail-warnings=+", "c"}, ""},
      {{"--fail-warnings=1.5", "c"}, ""},
      {{"--fail-warnings= 1", "c"}, ""},
      {{"--fail-warnings=1 ", "c"}, ""},
      {{"--fail-warnings=0x10", "c"}, ""},
      {{"--fail-warnings=++1", "c"}, ""},
      {{"--fail-warnings=18446744073709551616", "c"}, ""},
      {{"--fail-warnings=99999999999999999999", "c"}, ""},
      {{"-f", "-1", "c"}, ""},
      {{"-f", "three", "c"}, ""},
      {{"--quiet=yes", "c"}, ""},
      {{"--debug=", "c"}, ""},
      {{"-w", "bob\xFF", "c"}, ""},  // a whitelist name must be UTF-8
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.argv));
    const CommandLine result = parse_command_line(c.argv);
    EXPECT_EQ(result.action, Action::Error);
    EXPECT_TRUE(result.error.starts_with("error: ")) << result.error;
    EXPECT_NE(result.error.find("\n\nUsage: lintkeeper [OPTIONS] <CRONTAB>\n"), std::string::npos)
        << result.error;
    EXPECT_TRUE(result.error.ends_with("\nFor more information, try '--help'.\n")) << result.error;
    if (!c.problem.empty()) {
      EXPECT_NE(result.error.find(c.problem), std::string::npos) << result.error;
    }
  }
}

TEST(ParseCommandLine, HelpAndVersionActions) {
  struct Case {
    std::vector<std::string_view> argv;
    Action action;
  };
  const Case cases[] = {
      {{"-h"}, Action::ShortHelp},       {{"--help"}, Action::LongHelp},
      {{"-V"}, Action::Version},         {{"--version"}, Action::Version},
      {{"-q", "-h"}, Action::ShortHelp}, {{"c", "--help"}, Action::LongHelp},
      {{"-qh"}, Action::ShortHelp},      {{"--user", "-V", "c"}, Action::Version},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.argv));
    EXPECT_EQ(parse_command_line(c.argv).action, c.action);
  }
  EXPECT_NE(version_text().find("lintkeeper"), std::string::npos);
  EXPECT_NE(version_text().find("1.1.1"), std::string::npos);
}

TEST(ParseCount, UnsignedDecimalWithOptionalPlus) {
  struct Case {
    std::string_view text;
    std::optional<std::uint64_t> value;  // none: not a number
  };
  const Case cases[] = {
      {"0", 0},
      {"+0", 0},
      {"3", 3},
      {"+3", 3},
      {"0003", 3},
      {"18446744073709551615", UINT64_MAX},
      {"+18446744073709551615", UINT64_MAX},
      {"18446744073709551616", std::nullopt},
      {"18446744073709551620", std::nullopt},
      {"100000000000000000000", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"-1", std::nullopt},
      {"-0", std::nullopt},
      {"1.5", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1_000", std::nullopt},
      {"١", std::nullopt},  // an Arabic-Indic digit is not ASCII
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::uint64_t value = 12345;
    const std::string error = parse_count(c.text, value);
    if (c.value) {
      EXPECT_EQ(error, "");
      EXPECT_EQ(value, *c.value);
    } else {
      EXPECT_NE(error, "");
    }
  }
}

// The option helps: the names of each option ("-f, --fail-warnings <FAIL_WARNINGS>"), its short
// help and the paragraph that only the long help adds.
struct OptionHelp {
  std::string_view names, help, more;
};
constexpr OptionHelp kOptionHelps[] = {
    {"-d, --debug", "Print each lines as they were parsed",
     "For debugging the parser. Wins over `--echo`."},
    {"-D, --debug-verbose", "Print each lines as they were parsed using {:#?}",
     "For debugging the parser. Wins over `--debug` and `--echo`."},
    {"-e, --echo", "Echo each line as they were parsed as a string",
     "For debugging the parser: the line is written back from what was understood of it."},
    {"-f, --fail-warnings <FAIL_WARNINGS>",
     "exit(1) only if more than this number of warnings are emitted (default 0)",
     "Errors still give exit status 2."},
    {"-q, --quiet", "be quiet", "Nothing is printed, the exit status is the only result."},
    {"-u, --user", "Parse user crontab instead of system",
     "The lines of a user crontab have no user column: `minute hour day month weekday "
     "command`."},
    {"-w, --whitelist <WHITELIST>",
     "user to ignore when warning of unrecognized users; may be passed multiple times",
     "`postgres` and `buildbot` are always ignored."},
    {"-n, --no-check-passwd", "disable user lookup",
     "Like lintkeeper.py, every user that is not ignored is then reported as "
     "`USER_NOT_FOUND`. Outside unix there is nothing to look in, so without this option no "
     "user is reported."},
    {"-j, --junit <FILE>", "Also write the result as a junit XML file",
     "The normal output is not changed. There is a test case for the file and one for each "
     "line that is not blank or a comment, so that a CI pipeline can show them, like GitLab "
     "does with `artifacts:reports:junit`. A warning makes a test case fail only if there are "
     "more warnings than `--fail-warnings`."},
};

constexpr std::string_view kAfterHelp =
    "Exit status:\n"
    "  0  no error, and no more warnings than --fail-warnings\n"
    "  1  more warnings than --fail-warnings\n"
    "  2  at least one error\n"
    "\n"
    "A message can be turned off from a line on, and back on, with a comment:\n"
    "  # lintkeeper: disable-msg=KIND\n"
    "  # lintkeeper: enable-msg=KIND\n"
    "\n"
    "Message kinds:\n"
    "  BARE_PERCENT       a % that is not escaped in the command\n"
    "  LINTKEEPER_ERROR   a bad `# lintkeeper:` command\n"
    "  COMMENT            a comment at the end of a variable assignment\n"
    "  FIELD_PARSE_ERROR  a time field that does not parse\n"
    "  FIELD_VALUE_ERROR  a time field with a value out of its limits\n"
    "  HOURS_NOT_MINUTES  a fixed hour with every minute\n"
    "  INVALID_AT         an unknown @ directive\n"
    "  INVALID_USER       a user name that can not be a user name\n"
    "  LINE_ERROR         a line that is not understood at all\n"
    "  QUOTE_VALUES       an empty variable assignment\n"
    "  SHELL_VAR          a shell-like variable assignment\n"
    "  USER_NOT_FOUND     a user that is not in the password database";

constexpr std::string_view kAbout = "Parse crontab files; check for potential syntax errors";
constexpr std::string_view kLongAbout =
    "Parse crontab files; check for potential syntax errors.\n\nChecks system crontabs "
    "(`/etc/crontab`, `/etc/cron.d/*`) or, with `--user`, user crontabs. Errors (`E:`) are on "
    "lines cron rejects or misreads, warnings (`W:`) are on lines that are valid but suspect.";

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    lines.push_back(text.substr(0, nl));
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
  return lines;
}

TEST(Help, AboutUsageAndSections) {
  const std::string brief = short_help();
  const std::string full = long_help();
  EXPECT_TRUE(brief.starts_with(std::string(kAbout) + "\n")) << brief;
  EXPECT_TRUE(full.starts_with(kLongAbout)) << full;
  EXPECT_FALSE(contains(brief, "Checks system crontabs"));
  for (const std::string& help : {brief, full}) {
    SCOPED_TRACE(help);
    EXPECT_TRUE(contains(help, "\n\nUsage: lintkeeper [OPTIONS] <CRONTAB>\n\n"));
    EXPECT_TRUE(contains(help, "Arguments"));
    EXPECT_TRUE(contains(help, "Options"));
    EXPECT_TRUE(contains(help, "<CRONTAB>"));
    EXPECT_TRUE(contains(help, "crontab file to parse"));
    EXPECT_TRUE(contains(help, "-V, --version"));
    EXPECT_TRUE(contains(help, "Print each lines as they were parsed using {:#?}"));
    // The usage comes before the arguments, the arguments before the options.
    EXPECT_LT(help.find("Usage:"), help.find("Arguments"));
    EXPECT_LT(help.find("Arguments"), help.find("Options"));
  }
  EXPECT_TRUE(contains(brief, "Print help (see more with '--help')"));
  EXPECT_FALSE(contains(brief, "Print help (see a summary with '-h')"));
  EXPECT_TRUE(contains(full, "Print help (see a summary with '-h')"));
  EXPECT_FALSE(contains(full, "Print help (see more with '--help')"));
}

TEST(Help, OptionHelpsShortAndLong) {
  const std::string brief = short_help();
  const std::string full = long_help();
  for (std::size_t i = 0; i < std::size(kOptionHelps); ++i) {
    const OptionHelp& o = kOptionHelps[i];
    SCOPED_TRACE(o.names);
    const std::size_t next_brief = i + 1 < std::size(kOptionHelps)
                                       ? brief.find(kOptionHelps[i + 1].names)
                                       : brief.find("-h, --help");
    const std::size_t next_full = i + 1 < std::size(kOptionHelps)
                                      ? full.find(kOptionHelps[i + 1].names)
                                      : full.find("-h, --help");

    // -h: the names, then the short help, before the next option; no paragraph anywhere.
    const std::size_t names_brief = brief.find(o.names);
    ASSERT_NE(names_brief, std::string::npos) << brief;
    const std::size_t help_brief = brief.find(o.help, names_brief);
    EXPECT_LT(help_brief, next_brief) << brief;
    EXPECT_FALSE(contains(brief, o.more)) << brief;

    // --help: the names, the short help, then its paragraph, before the next option.
    const std::size_t names_full = full.find(o.names);
    ASSERT_NE(names_full, std::string::npos) << full;
    const std::size_t help_full = full.find(o.help, names_full);
    ASSERT_NE(help_full, std::string::npos) << full;
    const std::size_t more_full = full.find(o.more, help_full + o.help.size());
    EXPECT_LT(more_full, next_full) << full;
  }
  // Only the long help of --fail-warnings ends its first sentence with a period.
  EXPECT_TRUE(contains(full, "warnings are emitted (default 0).\n"));
  EXPECT_FALSE(contains(brief, "(default 0)."));
  EXPECT_FALSE(contains(full, "be quiet."));
}

TEST(Help, AfterHelpOnlyInTheLongHelp) {
  const std::string brief = short_help();
  const std::string full = long_help();
  EXPECT_TRUE(contains(full, kAfterHelp)) << full;
  // It comes last.
  EXPECT_GT(full.find(kAfterHelp), full.find("-V, --version"));
  EXPECT_TRUE(full.ends_with(std::string(kAfterHelp) + "\n")) << full;

  const std::vector<std::string_view> lines = split_lines(kAfterHelp);
  ASSERT_EQ(lines.size(), 22u);
  for (const std::string_view line : lines) {
    if (line.empty()) continue;
    SCOPED_TRACE(line);
    EXPECT_FALSE(contains(brief, line));
  }
  // Lines 11 to 22: the descriptions start in column 22 (index 21) of the printed help.
  const std::vector<std::string_view> printed = split_lines(full);
  std::size_t kind_lines = 0;
  bool in_kinds = false;
  for (const std::string_view line : printed) {
    if (line == "Message kinds:") {
      in_kinds = true;
      continue;
    }
    if (!in_kinds) continue;
    SCOPED_TRACE(line);
    ++kind_lines;
    ASSERT_GT(line.size(), 21u);
    EXPECT_EQ(line.substr(0, 2), "  ");
    EXPECT_NE(line[2], ' ');
    EXPECT_EQ(line[20], ' ');
    EXPECT_NE(line[21], ' ');
    EXPECT_NE(line.substr(21, 2), "  ");
  }
  EXPECT_EQ(kind_lines, 12u);
}

}  // namespace
}  // namespace lintkeeper
