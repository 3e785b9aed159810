// Tests the command line: option forms, argument errors, actions and the help texts.
#include "cli/options.h"

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

// Every member of Args on one line, so that a mismatch shows the whole record.
std::string describe(const Args& a) {
  std::ostringstream out;
  out << "debug=" << a.debug << " debug_verbose=" << a.debug_verbose << " echo=" << a.echo
      << " fail_warnings="
      << (a.check.fail_warnings ? std::to_string(*a.check.fail_warnings) : "none")
      << " quiet=" << a.quiet << " user=" << a.check.user << " whitelist=[";
  for (std::size_t i = 0; i < a.check.whitelist.size(); ++i) {
    out << (i ? "|" : "") << a.check.whitelist[i];
  }
  out << "] no_check_passwd=" << a.check.no_check_passwd
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
      {{"--user", "c"}, [](Args& a) { a.check.user = true; }},
      {{"-u", "c"}, [](Args& a) { a.check.user = true; }},
      {{"--no-check-passwd", "c"}, [](Args& a) { a.check.no_check_passwd = true; }},
      {{"-n", "c"}, [](Args& a) { a.check.no_check_passwd = true; }},
      {{"--junit", "out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"--junit=out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"-j", "out.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"-jout.xml", "c"}, [](Args& a) { a.junit = "out.xml"; }},
      {{"--whitelist", "alice", "c"}, [](Args& a) { a.check.whitelist = {"alice"}; }},
      {{"--whitelist=alice", "c"}, [](Args& a) { a.check.whitelist = {"alice"}; }},
      {{"-w", "alice", "c"}, [](Args& a) { a.check.whitelist = {"alice"}; }},
      {{"-walice", "c"}, [](Args& a) { a.check.whitelist = {"alice"}; }},
      // The fail-warnings value in every form.
      {{"-f", "3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"--fail-warnings=3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"--fail-warnings", "3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"--fail-warnings", "+3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"-f3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"-f=3", "c"}, [](Args& a) { a.check.fail_warnings = 3; }},
      {{"-f", "0", "c"}, [](Args& a) { a.check.fail_warnings = 0; }},
      {{"-f", "007", "c"}, [](Args& a) { a.check.fail_warnings = 7; }},
      {{"--fail-warnings=18446744073709551615", "c"},
       [](Args& a) { a.check.fail_warnings = UINT64_MAX; }},
      // Short flags grouped, and a valued option ending a group.
      {{"-qf3", "c"},
       [](Args& a) {
         a.check.fail_warnings = 3;
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
         a.check.whitelist = {"alice"};
       }},
      // Options after the crontab.
      {{"c", "-q", "-w", "alice", "--fail-warnings", "2"},
       [](Args& a) {
         a.check.fail_warnings = 2;
         a.quiet = true;
         a.check.whitelist = {"alice"};
       }},
      // "--" ends the options.
      {{"--", "-q"}, [](Args& a) { a.crontab = "-q"; }},
      {{"-u", "--", "--help"},
       [](Args& a) {
         a.check.user = true;
         a.crontab = "--help";
       }},
      // The whitelist keeps every name, in order, never split.
      {{"-w", "alice", "-w", "bob", "c"},
       [](Args& a) {
         a.check.whitelist = {"alice", "bob"};
       }},
      {{"-w", "bob", "c", "--whitelist=alice", "-w", "bob"},
       [](Args& a) {
         a.check.whitelist = {"bob", "alice", "bob"};
       }},
      {{"-w", "alice,bob", "c"}, [](Args& a) { a.check.whitelist = {"alice,bob"}; }},
      {{"-w", "jürgen", "c"}, [](Args& a) { a.check.whitelist = {"jürgen"}; }},
      // Every option at once, long names.
      {{"--debug", "--debug-verbose", "--echo", "--fail-warnings", "5", "--quiet", "--user",
        "--whitelist", "ops", "--no-check-passwd", "--junit", "r.xml", "/etc/crontab"},
       [](Args& a) {
         a = {true, true, true, true, {true, {"ops"}, true, 5}, "r.xml", "/etc/crontab"};
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
    const CommandLine<Args> result = parse_lintkeeper_command_line(c.argv);
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
    std::string problem;  // the first paragraph of the error, after "error: "
  };
  const std::string kTwiceFailWarnings =
      "the argument '--fail-warnings <FAIL_WARNINGS>' cannot be used multiple times";
  const std::string kNoFailWarnings =
      "a value is required for '--fail-warnings <FAIL_WARNINGS>' but none was supplied";
  constexpr std::string_view kBadDigit =
      ": invalid digit found in string";  // after "invalid value 'V' for '--fail-warnings ...'"
  const auto bad_count = [](std::string_view value, std::string_view why) {
    return fmt::format("invalid value '{}' for '--fail-warnings <FAIL_WARNINGS>'{}", value, why);
  };
  const std::string kNoCrontab = "the following required arguments were not provided:\n  <CRONTAB>";
  const Case cases[] = {
      {{}, kNoCrontab},
      {{"-q"}, kNoCrontab},
      {{"a", "b"}, "unexpected argument 'b' found"},
      {{"--", "a", "b"}, "unexpected argument 'b' found"},
      {{"--nope", "c"}, "unexpected argument '--nope' found"},
      {{"-x", "c"}, "unexpected argument '-x' found"},
      {{"-\xC3\xA9", "c"}, "unexpected argument '-\xC3\xA9' found"},  // one whole character
      {{"c", "--fail", "3"}, "unexpected argument '--fail' found"},   // no abbreviations
      {{"--deb", "c"}, "unexpected argument '--deb' found"},
      {{"--Debug", "c"}, "unexpected argument '--Debug' found"},
      {{"-d", "-d", "c"}, "the argument '--debug' cannot be used multiple times"},
      {{"-dd", "c"}, "the argument '--debug' cannot be used multiple times"},
      {{"--quiet", "-q", "c"}, "the argument '--quiet' cannot be used multiple times"},
      {{"--user", "--user", "c"}, "the argument '--user' cannot be used multiple times"},
      {{"--junit", "a", "--junit", "b", "c"},
       "the argument '--junit <FILE>' cannot be used multiple times"},
      {{"--fail-warnings", "1", "--fail-warnings", "1", "c"}, kTwiceFailWarnings},
      {{"-f", "1", "--fail-warnings=2", "c"}, kTwiceFailWarnings},
      {{"c", "--fail-warnings"}, kNoFailWarnings},
      {{"c", "-f"}, kNoFailWarnings},
      {{"-f", "-1", "c"}, kNoFailWarnings},  // "-1" looks like an option, not a value
      {{"c", "--junit"}, "a value is required for '--junit <FILE>' but none was supplied"},
      {{"c", "-w"}, "a value is required for '--whitelist <WHITELIST>' but none was supplied"},
      {{"--fail-warnings=-1", "c"}, bad_count("-1", kBadDigit)},
      {{"--fail-warnings=", "c"}, bad_count("", ": cannot parse integer from empty string")},
      {{"--fail-warnings=+", "c"}, bad_count("+", ": cannot parse integer from empty string")},
      {{"--fail-warnings=1.5", "c"}, bad_count("1.5", kBadDigit)},
      {{"--fail-warnings= 1", "c"}, bad_count(" 1", kBadDigit)},
      {{"--fail-warnings=0x10", "c"}, bad_count("0x10", kBadDigit)},
      {{"-f", "three\xFF", "c"}, bad_count("three\xEF\xBF\xBD", kBadDigit)},
      {{"--fail-warnings=18446744073709551616", "c"},
       bad_count("18446744073709551616", ": number too large to fit in target type")},
      {{"--quiet=yes", "c"}, "unexpected value 'yes' for '--quiet' found; no more were expected"},
      {{"--debug=", "c"}, "unexpected value '' for '--debug' found; no more were expected"},
      {{"--help=x"}, "unexpected value 'x' for '--help' found; no more were expected"},
      {{"-w", "bob\xFF", "c"}, "invalid UTF-8 was detected in one or more arguments"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.argv));
    const CommandLine<Args> result = parse_lintkeeper_command_line(c.argv);
    EXPECT_EQ(result.action, Action::Error);
    EXPECT_EQ(result.error, fmt::format("error: {}\n\nUsage: lintkeeper [OPTIONS] <CRONTAB>\n\n"
                                        "For more information, try '--help'.\n",
                                        c.problem));
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
    EXPECT_EQ(parse_lintkeeper_command_line(c.argv).action, c.action);
  }
  EXPECT_EQ(version_text(PROGRAM_NAME), "lintkeeper " LINTKEEPER_VERSION "\n");
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

}  // namespace
}  // namespace lintkeeper
