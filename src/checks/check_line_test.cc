// Tests the line checks: trailing comments, bare percents, @ names and the dispatch by
// line kind with the order of its messages.
#include "checks/check_line.h"

#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/output.h"
#include "fields/parse_field.h"
#include "findings/store.h"
#include "formats/text_report.h"
#include "testing/users.h"

namespace lintkeeper {
namespace {

// A user directory that knows nobody.
testing::FixedUsers kNobody(UserLookup::NotFound);

TEST(HasTrailingComment, Examples) {
  struct Case {
    std::string_view value;  // the text after the '='
    bool expected;
  };
  const Case cases[] = {
      {"\"a\" # note", true},
      {"\"a\"#note", true},
      {"\"a\"  # note", false},  // two blanks
      {"\"\" # note", false},    // the quote right after the opening one is passed over
      {"\"\"#note", false},
      {"a#b", true},
      {" #b", true},  // the leading blank is the first character
      {"#b", false},  // the first character is not looked at
      {"#", false},
      {"##", true},
      {"", false},
      {"a", false},
      {"\"", false},
      {"\"a\"", false},
      {"\"a # b\"", false},      // inside the quotes
      {"\"a\" b # c", false},    // after the quote comes " b", not a comment
      {"\"a\"\t# note", false},  // only a single blank counts
      {"\"a\"\" #x", true},      // the second closing quote is followed by " #"
      {"\"a\" \"b\" #c", true},
      {"\"é\"#x", true},  // a quote after a two-byte character
      {"é#", true},
      {"#é", false},
      {"$HOME # x", true},
      {"a b c", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(has_trailing_comment(c.value), c.expected);
  }
}

TEST(FindBarePercent, Examples) {
  struct Case {
    std::string_view command;
    bool expected;
  };
  const Case cases[] = {
      {"printf '%s %s'", true},
      {"echo 100\\%", false},
      {"%x", true},  // first character of the command
      {"%", true},
      {"\\%", false},
      {"\\\\%", false},  // only the one character before the % is looked at
      {"a%", true},
      {"date +\\%F", false},
      {"date +%F", true},
      {"echo \\%d %d", true},  // the second % is bare
      {"\\%%", true},
      {"%%", true},
      {"é%", true},  // a non-ASCII character before the %
      {"\\é%", true},
      {"ü\\%", false},
      {"", false},
      {"date", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EXPECT_EQ(find_bare_percent(c.command), c.expected);
  }
  // A leading % has no previous character, whatever lies before the command in memory.
  constexpr std::string_view kLine = "\\%x";
  EXPECT_TRUE(find_bare_percent(kLine.substr(1)));
}

TEST(IsValidAtName, TheEightNamesExactly) {
  struct Case {
    std::string_view name;
    bool expected;
  };
  const Case cases[] = {
      {"reboot", true},     {"yearly", true},    {"annually", true}, {"monthly", true},
      {"weekly", true},     {"daily", true},     {"midnight", true}, {"hourly", true},
      {"Daily", false},     {"Hourly", false},   {"REBOOT", false},  {"every5", false},
      {"", false},          {"reboot=1", false}, {"dail", false},  // 4 bytes
      {"annuallyy", false},                                        // 9 bytes
      {"daily ", false},    {"hour", false},     {"midnigh", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(is_valid_at_name(c.name), c.expected);
  }
}

constexpr std::string_view kQuote =
    "E: QUOTE_VALUES: Variable assignments in crontabs must contain non-whitespace characters "
    "(try quotes).";
constexpr std::string_view kShellVar =
    "W: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not expanded.";
constexpr std::string_view kComment =
    "E: COMMENT: Variable assignments in crontabs are not like shell.  # comment is not "
    "allowed.";
constexpr std::string_view kPercent =
    "W: BARE_PERCENT: A bare % is a line break in crontab and is commonly not intended.";
constexpr std::string_view kHoursNotMinutes =
    "W: HOURS_NOT_MINUTES: Cron will run this every minute for the hours set.";

// The line's findings in the order they were added, as "S: KIND: text".
std::vector<std::string> added(const LineFindings& found) {
  std::vector<std::string> out;
  for (const Finding& f : found.all()) {
    out.push_back(std::string(1, severity_letter(f.severity())) + ": " + finding_text(f));
  }
  return out;
}

// The fields of a CrontabLine built by hand; they point into the texts given.
struct Fields {
  Schedule schedule;
  explicit Fields(std::string_view m, std::string_view h, std::string_view d, std::string_view mo,
                  std::string_view w)
      : schedule(parse_schedule({m, h, d, mo, w})) {}
  System system(std::string_view user, std::string_view command) const {
    return {schedule, user, command};
  }
  Standard standard(std::string_view command) const { return {schedule, command}; }
};

TEST(CheckLine, MessagesByLineKindInCheckOrder) {
  const Fields daily_at_3("0", "3", "*", "*", "*");
  const Fields every_minute_at_3("*", "3", "*", "*", "*");
  const Fields out_of_range("60", "3", "*", "*", "*");
  struct Case {
    std::string_view name;
    CrontabLine line;
    std::vector<std::string_view> whitelist;
    std::vector<std::string_view> expected;
  };
  const Case cases[] = {
      {"blank", Blank{}, {}, {}},
      {"comment", Comment{" a comment with %"}, {}, {}},
      // Assignments: the three checks run in turn, independent of each other.
      {"FOO=", EnvVar{"FOO", ""}, {}, {kQuote}},
      {"FOO= (white space only)", EnvVar{"FOO", " "}, {}, {kQuote}},
      {"Unicode white space only", EnvVar{"FOO", "\t\u3000 "}, {}, {kQuote}},
      {"FOO= x", EnvVar{"FOO", " x"}, {}, {}},
      {"FOO=$HOME/bin", EnvVar{"FOO", "$HOME/bin"}, {}, {kShellVar}},
      {"FOO='$HOME'", EnvVar{"FOO", "'$HOME'"}, {}, {kShellVar}},
      {"FOO=a#b", EnvVar{"FOO", "a#b"}, {}, {kComment}},
      {"FOO= #b", EnvVar{"FOO", " #b"}, {}, {kComment}},
      {"FOO=#b", EnvVar{"FOO", "#b"}, {}, {}},
      {"FOO=\"$HOME\" # home", EnvVar{"FOO", "\"$HOME\" # home"}, {}, {kShellVar, kComment}},
      {"FOO=$HOME # x", EnvVar{"FOO", "$HOME # x"}, {}, {kShellVar, kComment}},
      {"FOO=\"a\"  # note", EnvVar{"FOO", "\"a\"  # note"}, {}, {}},
      {"FOO=%d", EnvVar{"FOO", "%d"}, {}, {}},  // no bare-percent check on assignments
      // @ lines: the name, then the user, then the command.
      {"@annually /bin/x", Special{"annually", std::nullopt, "/bin/x"}, {}, {}},
      {"@midnight /bin/x", Special{"midnight", std::nullopt, "/bin/x"}, {}, {}},
      {"@Hourly /bin/x",
       Special{"Hourly", std::nullopt, "/bin/x"},
       {},
       {"E: INVALID_AT: Invalid @ directive \"Hourly\""}},
      {"@every5 /bin/x",
       Special{"every5", std::nullopt, "/bin/x"},
       {},
       {"E: INVALID_AT: Invalid @ directive \"every5\""}},
      {"@ /bin/x",
       Special{"", std::nullopt, "/bin/x"},
       {},
       {"E: INVALID_AT: Invalid @ directive \"\""}},
      {"@Daily root x",
       Special{"Daily", "root", "x"},
       {},
       {"E: INVALID_AT: Invalid @ directive \"Daily\"",
        "W: USER_NOT_FOUND: User \"root\" not found."}},
      {"@daily nobody date +%s",
       Special{"daily", "nobody", "date +%s"},
       {},
       {"W: USER_NOT_FOUND: User \"nobody\" not found.", kPercent}},
      {"@Weekly a:b echo %",
       Special{"Weekly", "a:b", "echo %"},
       {},
       {"E: INVALID_AT: Invalid @ directive \"Weekly\"",
        "E: INVALID_USER: Invalid username \"a:b\"", kPercent}},
      {"@daily alice date +%s (whitelisted)",
       Special{"daily", "alice", "date +%s"},
       {"alice"},
       {kPercent}},
      {"@reboot /usr/local/bin/job arg",
       Special{"reboot", "/usr/local/bin/job", "arg"},
       {},
       {"E: INVALID_USER: Invalid username \"/usr/local/bin/job\""}},
      {"@daily date +%s (user crontab)",
       Special{"daily", std::nullopt, "date +%s"},
       {},
       {kPercent}},
      // Scheduled lines: the schedule, then (system only) the user, then the command.
      {"0 3 * * * date +%F", daily_at_3.standard("date +%F"), {}, {kPercent}},
      {"0 3 * * * echo \\%", daily_at_3.standard("echo \\%"), {}, {}},
      {"* 3 * * * date +%F",
       every_minute_at_3.standard("date +%F"),
       {},
       {kHoursNotMinutes, kPercent}},
      {"0 3 * * * root date +%F",
       daily_at_3.system("root", "date +%F"),
       {},
       {"W: USER_NOT_FOUND: User \"root\" not found.", kPercent}},
      {"* 3 * * * root date +%F",
       every_minute_at_3.system("root", "date +%F"),
       {},
       {kHoursNotMinutes, "W: USER_NOT_FOUND: User \"root\" not found.", kPercent}},
      {"60 3 * * * -x date +%F",
       out_of_range.system("-x", "date +%F"),
       {},
       {"E: FIELD_VALUE_ERROR: 60 is too high for field \"minute\" (60)",
        "E: INVALID_USER: Invalid username \"-x\"", kPercent}},
      {"0 3 * * * postgres true", daily_at_3.system("postgres", "true"), {}, {}},
      // An unparsable line gets exactly one message.
      {"unknown", Unknown{"this is not cron"}, {}, {"E: LINE_ERROR: Failed to parse line."}},
      {"unknown with % and $",
       Unknown{"FOO BAR=$x %"},
       {},
       {"E: LINE_ERROR: Failed to parse line."}},
      // In-file commands get nothing but their own errors.
      {"bad in-file command",
       LintkeeperCmd{" lintkeeper: disable-msg=NO_SUCH", "disable-msg", "NO_SUCH"},
       {},
       {"E: LINTKEEPER_ERROR: \"NO_SUCH\" is an unknown error message."}},
      {"good in-file command",
       LintkeeperCmd{" lintkeeper: disable-msg=SHELL_VAR", "disable-msg", "SHELL_VAR"},
       {},
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UserRules args;
    args.users = &kNobody;
    args.no_check_passwd = true;  // the host's user database stays out of it
    const std::vector<std::string> whitelist(c.whitelist.begin(), c.whitelist.end());
    args.whitelist = whitelist;
    LineFindings found;
    check_line(c.line, args, found);
    EXPECT_EQ(added(found), std::vector<std::string>(c.expected.begin(), c.expected.end()));
  }
}

TEST(CheckLine, FinishedLineShowsErrorsFirst) {
  UserRules args;
  args.users = &kNobody;
  Output out;
  TextReport text(out);
  FindingStore store(FindingStore::Keep::None, &text);
  check_line(EnvVar{"FOO", "\"$HOME\" # home"}, args, store.line());
  store.finish_line(12, "FOO=\"$HOME\" # home");
  EXPECT_EQ(out.contents(),
            "E: 12: FOO=\"$HOME\" # home\n"
            "e:     COMMENT: Variable assignments in crontabs are not like shell.  # comment is "
            "not allowed.\n"
            "w:     SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
            "expanded.\n");
}

TEST(CheckLine, SwitchedOffKindsAreNeitherAddedNorCounted) {
  struct Case {
    std::string_view kind;
    CrontabLine line;
    std::vector<std::string_view> expected;
  };
  const Case cases[] = {
      {"SHELL_VAR", EnvVar{"FOO", "$X"}, {}},
      {"SHELL_VAR", EnvVar{"FOO", "$X # x"}, {kComment}},
      {"BARE_PERCENT", Special{"daily", std::nullopt, "date +%s"}, {}},
      {"INVALID_AT", Special{"Daily", std::nullopt, "date +%s"}, {kPercent}},
      {"LINE_ERROR", Unknown{"nonsense"}, {}},
      {"USER_NOT_FOUND", Special{"daily", "nobody", "true"}, {}},
      {"INVALID_USER", Special{"daily", "a:b", "true"}, {}},  // and no look-up after it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    UserRules args;
    args.users = &kNobody;
    args.no_check_passwd = true;
    FindingStore store;
    const LintkeeperCmd command{"", "disable-msg", c.kind};
    check_line(command, args, store.line());
    store.finish_line(1, "# lintkeeper: disable-msg=...", &command);
    check_line(c.line, args, store.line());
    EXPECT_EQ(added(store.line()), std::vector<std::string>(c.expected.begin(), c.expected.end()));
    store.finish_line(2, "...");
    EXPECT_EQ(store.counts().total(), c.expected.size());
  }
}

}  // namespace
}  // namespace lintkeeper
