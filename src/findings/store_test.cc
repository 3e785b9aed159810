// Tests the store of findings with lintkeeper's text report: line finishing and layout,
// dropped kinds, in-file commands, file findings, the summary, quiet runs and the exit status.
#include "findings/store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/output.h"
#include "formats/text_report.h"

namespace lintkeeper {
namespace {

constexpr std::string_view kShellVar =
    "Variable assignments in crontabs are not like shell.  $VAR is not expanded.";
constexpr std::string_view kComment =
    "Variable assignments in crontabs are not like shell.  # comment is not allowed.";
constexpr std::string_view kQuote =
    "Variable assignments in crontabs must contain non-whitespace characters (try quotes).";
constexpr std::string_view kPercent =
    "A bare % is a line break in crontab and is commonly not intended.";
constexpr std::string_view kNewline = "Cron will not process this file - missing trailing newline";

// One message to add to the current line.
struct Add {
  MessageKind kind;
  std::string_view text;
};

// A store whose findings are printed as lintkeeper prints them, unless quiet.
struct Printed {
  explicit Printed(bool quiet = false) : store(FindingStore::Keep::All, quiet ? nullptr : &text) {}
  Output out;
  TextReport text{out};
  FindingStore store;
};

void add(FindingStore& store, const Add& a) { store.line().add(a.kind, "{}", a.text); }

// Checks an in-file command on the current line and finishes it with the command.
void command_line(FindingStore& store, std::uint64_t number, std::string_view text,
                  const LintkeeperCmd& command) {
  check_kind_switch(command, store.line());
  store.finish_line(number, text, &command);
}

// The kept records as "N TEXT" followed by one "  S: KIND: text" line per finding.
class Records final : public FindingReader {
 public:
  void file_finding(const Finding&) override {}
  void line(const LineRecord& record) override {
    out += std::to_string(record.number) + " " + std::string(record.text) + "\n";
    for (const Finding& f : record.findings) {
      out += f.severity() == Severity::Error ? "  E: " : "  W: ";
      out += finding_text(f) + "\n";
    }
  }
  std::string out;
};

std::string kept_records(const FindingStore& store) {
  Records records;
  store.walk(records);
  return records.out;
}

TEST(FinishLine, OrdersErrorsFirstAndPrintsUnderAHeader) {
  struct Case {
    std::string_view name;
    std::uint64_t number;
    std::string_view text;
    std::vector<Add> adds;
    std::string_view printed;
  };
  const Case cases[] = {
      {"documented example, line 3",
       3,
       "FOO=$HOME # x",
       {{MessageKind::SHELL_VAR, kShellVar}, {MessageKind::COMMENT, kComment}},
       "E: 3: FOO=$HOME # x\n"
       "e:    COMMENT: Variable assignments in crontabs are not like shell.  # comment is not "
       "allowed.\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n"},
      {"two-digit line number",
       42,
       "FOO=",
       {{MessageKind::QUOTE_VALUES, kQuote}},
       "E: 42: FOO=\n"
       "e:     QUOTE_VALUES: Variable assignments in crontabs must contain non-whitespace "
       "characters (try quotes).\n"},
      {"three-digit line number",
       100,
       "@daily date +%F",
       {{MessageKind::BARE_PERCENT, kPercent}},
       "W: 100: @daily date +%F\n"
       "w:      BARE_PERCENT: A bare % is a line break in crontab and is commonly not "
       "intended.\n"},
      {"twenty-digit line number",
       UINT64_MAX,
       "x",
       {{MessageKind::LINE_ERROR, "Failed to parse line."}},
       "E: 18446744073709551615: x\n"
       "e:                       LINE_ERROR: Failed to parse line.\n"},
      {"warnings only give a W header",
       7,
       "0 3 * * * nobody date +%F",
       {{MessageKind::USER_NOT_FOUND, "User \"nobody\" not found."},
        {MessageKind::BARE_PERCENT, kPercent}},
       "W: 7: 0 3 * * * nobody date +%F\n"
       "w:    USER_NOT_FOUND: User \"nobody\" not found.\n"
       "w:    BARE_PERCENT: A bare % is a line break in crontab and is commonly not intended.\n"},
      {"stable within each severity",
       9,
       "mixed",
       {{MessageKind::HOURS_NOT_MINUTES, "w1"},
        {MessageKind::FIELD_VALUE_ERROR, "e1"},
        {MessageKind::USER_NOT_FOUND, "w2"},
        {MessageKind::FIELD_PARSE_ERROR, "e2"},
        {MessageKind::BARE_PERCENT, "w3"},
        {MessageKind::INVALID_USER, "e3"}},
       "E: 9: mixed\n"
       "e:    FIELD_VALUE_ERROR: e1\n"
       "e:    FIELD_PARSE_ERROR: e2\n"
       "e:    INVALID_USER: e3\n"
       "w:    HOURS_NOT_MINUTES: w1\n"
       "w:    USER_NOT_FOUND: w2\n"
       "w:    BARE_PERCENT: w3\n"},
      {"an error added last still leads",
       5,
       "t",
       {{MessageKind::SHELL_VAR, "w"}, {MessageKind::COMMENT, "e"}},
       "E: 5: t\n"
       "e:    COMMENT: e\n"
       "w:    SHELL_VAR: w\n"},
      {"no messages print nothing", 1, "# a comment", {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Printed p;
    Output& out = p.out;
    FindingStore& report = p.store;
    for (const Add& a : c.adds) add(report, a);
    report.finish_line(c.number, c.text);
    EXPECT_EQ(out.contents(), c.printed);
    EXPECT_TRUE(report.line().all().empty());
  }
}

TEST(FinishLine, KeepsEveryLineWithItsOrderedMessages) {
  Printed p;
  FindingStore& report = p.store;
  report.finish_line(1, "");
  report.line().add(MessageKind::SHELL_VAR, "{}", kShellVar);
  report.line().add(MessageKind::COMMENT, "{}", kComment);
  report.finish_line(2, "FOO=$HOME # x");
  report.finish_line(3, "# just a comment");
  report.line().add(MessageKind::BARE_PERCENT, "{}", kPercent);
  report.finish_line(4, "0 3 * * * root date +%F");
  EXPECT_EQ(kept_records(report),
            "1 \n"
            "2 FOO=$HOME # x\n"
            "  E: COMMENT: Variable assignments in crontabs are not like shell.  # comment is "
            "not allowed.\n"
            "  W: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
            "expanded.\n"
            "3 # just a comment\n"
            "4 0 3 * * * root date +%F\n"
            "  W: BARE_PERCENT: A bare % is a line break in crontab and is commonly not "
            "intended.\n");
  EXPECT_EQ(report.counts().errors, 1u);
  EXPECT_EQ(report.counts().warnings, 2u);
}

TEST(FinishLine, KeepsTextsThatOutliveTheCallersBuffers) {
  Printed p(true);
  FindingStore& report = p.store;
  std::string text = "FOO=$X";
  std::string message = "first text";
  report.line().add(MessageKind::SHELL_VAR, "{}", message);
  message.assign("overwritten");
  report.finish_line(1, text);
  text.assign("overwritten too");
  EXPECT_EQ(kept_records(report), "1 FOO=$X\n  W: SHELL_VAR: first text\n");
}

TEST(FinishLine, KeepsManyLongMessagesOfOneLine) {
  // More message text on one line than the first room for it: the texts move and every
  // message must follow. A joined message sits among them.
  Printed p(true);
  FindingStore& report = p.store;
  std::string expected = "7 x\n";
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 300; ++i) {
      const std::string text = std::to_string(i) + std::string(40, 'a' + i % 26);
      report.line().add(MessageKind::LINE_ERROR, "{}", text);
      if (round == 0) expected += "  E: LINE_ERROR: " + text + "\n";
      if (i == 150)
        report.line().add_joined(MessageKind::USER_NOT_FOUND, "User \"", "u", "\" not found.");
    }
    ASSERT_EQ(report.line().all().size(), 301u);
    EXPECT_EQ(report.line().all()[0].text, "0" + std::string(40, 'a'));
    EXPECT_EQ(report.line().all()[151].text, "User \"u\" not found.");
    if (round == 0) {
      expected += "  W: USER_NOT_FOUND: User \"u\" not found.\n";
      report.finish_line(7, "x");
    }
  }
  EXPECT_EQ(kept_records(report), expected);
}

TEST(FindingText, KindNameThenTextOrTheTextAlone) {
  EXPECT_EQ(finding_text({"Failed to parse line.", MessageKind::LINE_ERROR}),
            "LINE_ERROR: Failed to parse line.");
  EXPECT_EQ(finding_text({kNewline, MessageKind::MISSING_NEWLINE}),
            "Cron will not process this file - missing trailing newline");
}

// An in-file command on line 1, checked by what its line prints and counts.
TEST(ApplyCommand, ErrorsOfOneCommand) {
  struct Case {
    std::string_view command, kind;
    std::string_view printed;
    std::uint64_t errors;
  };
  const Case cases[] = {
      {"disable-msg", "SHELL_VAR", "", 0},
      {"enable-msg", "SHELL_VAR", "", 0},  // never disabled: nothing changes, nothing earned
      {"disable-msg", "LINTKEEPER_ERROR", "", 0},
      {"disable-msg", "NO_SUCH",
       "E: 1: # cmd\ne:    LINTKEEPER_ERROR: \"NO_SUCH\" is an unknown error message.\n", 1},
      {"enable-msg", "shell_var",
       "E: 1: # cmd\ne:    LINTKEEPER_ERROR: \"shell_var\" is an unknown error message.\n", 1},
      {"disable-msg", "SHELL_VAR ",
       "E: 1: # cmd\ne:    LINTKEEPER_ERROR: \"SHELL_VAR \" is an unknown error message.\n", 1},
      {"disable-msg", "",
       "E: 1: # cmd\ne:    LINTKEEPER_ERROR: \"\" is an unknown error message.\n", 1},
      {"disable", "SHELL_VAR",
       "E: 1: # cmd\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       1},
      {"Disable-msg", "SHELL_VAR",
       "E: 1: # cmd\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       1},
      {"disable-msg ", "SHELL_VAR",
       "E: 1: # cmd\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       1},
      {"enable-msgs", "COMMENT",
       "E: 1: # cmd\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       1},
      {"frobnicate", "NO_SUCH",
       "E: 1: # cmd\n"
       "e:    LINTKEEPER_ERROR: \"NO_SUCH\" is an unknown error message.\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + "=" + std::string(c.kind));
    Printed p;
    Output& out = p.out;
    FindingStore& report = p.store;
    command_line(report, 1, "# cmd", {"", c.command, c.kind});
    EXPECT_EQ(out.contents(), c.printed);
    EXPECT_EQ(report.counts().errors, c.errors);
    EXPECT_EQ(report.counts().warnings, 0u);
  }
}

// A crontab told line by line: a line is either an in-file command or a line that earns
// the given messages. Lines are numbered from 1.
struct ScriptLine {
  std::string_view text;
  std::optional<LintkeeperCmd> command;
  std::vector<Add> adds;
};

LintkeeperCmd cmd(std::string_view command, std::string_view kind) { return {"", command, kind}; }

TEST(ApplyCommand, SwitchesKindsOffAndOnForLaterLines) {
  const Add shell_var{MessageKind::SHELL_VAR, kShellVar};
  const Add comment{MessageKind::COMMENT, kComment};
  const Add percent{MessageKind::BARE_PERCENT, kPercent};
  struct Case {
    std::string_view name;
    std::vector<ScriptLine> lines;
    std::string_view printed;
    std::uint64_t errors, warnings;
  };
  const Case cases[] = {
      {"disabled on line 4, enabled on line 9",
       {
           {"A=$X", {}, {shell_var}},
           {"# c", {}, {}},
           {"B=$X", {}, {shell_var}},
           {"# lintkeeper: disable-msg=SHELL_VAR", cmd("disable-msg", "SHELL_VAR"), {}},
           {"C=$X", {}, {shell_var}},
           {"D=$X", {}, {shell_var}},
           {"# c", {}, {}},
           {"E=$X", {}, {shell_var}},
           {"# lintkeeper: enable-msg=SHELL_VAR", cmd("enable-msg", "SHELL_VAR"), {}},
           {"F=$X", {}, {shell_var}},
       },
       "W: 1: A=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n"
       "W: 3: B=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n"
       "W: 10: F=$X\n"
       "w:     SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n",
       0,
       3},
      {"only the named kind is dropped; the header follows the kept messages",
       {
           {"# lintkeeper: disable-msg=COMMENT", cmd("disable-msg", "COMMENT"), {}},
           {"FOO=$HOME # x", {}, {shell_var, comment}},
           {"0 3 * * * root date +%F", {}, {percent}},
       },
       "W: 2: FOO=$HOME # x\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n"
       "W: 3: 0 3 * * * root date +%F\n"
       "w:    BARE_PERCENT: A bare % is a line break in crontab and is commonly not "
       "intended.\n",
       0,
       2},
      {"a line whose messages are all dropped prints nothing",
       {
           {"# lintkeeper: disable-msg=SHELL_VAR", cmd("disable-msg", "SHELL_VAR"), {}},
           {"# lintkeeper: disable-msg=COMMENT", cmd("disable-msg", "COMMENT"), {}},
           {"FOO=$HOME # x", {}, {shell_var, comment}},
       },
       "",
       0,
       0},
      {"disabled twice, enabled once: enabled",
       {
           {"# lintkeeper: disable-msg=SHELL_VAR", cmd("disable-msg", "SHELL_VAR"), {}},
           {"# lintkeeper: disable-msg=SHELL_VAR", cmd("disable-msg", "SHELL_VAR"), {}},
           {"A=$X", {}, {shell_var}},
           {"# lintkeeper: enable-msg=SHELL_VAR", cmd("enable-msg", "SHELL_VAR"), {}},
           {"B=$X", {}, {shell_var}},
       },
       "W: 5: B=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n",
       0,
       1},
      {"enabling a kind never disabled changes nothing",
       {
           {"# lintkeeper: enable-msg=BARE_PERCENT", cmd("enable-msg", "BARE_PERCENT"), {}},
           {"@daily date +%F", {}, {percent}},
       },
       "W: 2: @daily date +%F\n"
       "w:    BARE_PERCENT: A bare % is a line break in crontab and is commonly not "
       "intended.\n",
       0,
       1},
      {"an unknown kind changes nothing else",
       {
           {"# lintkeeper: disable-msg=NO_SUCH", cmd("disable-msg", "NO_SUCH"), {}},
           {"A=$X", {}, {shell_var}},
       },
       "E: 1: # lintkeeper: disable-msg=NO_SUCH\n"
       "e:    LINTKEEPER_ERROR: \"NO_SUCH\" is an unknown error message.\n"
       "W: 2: A=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n",
       1,
       1},
      {"a bad command word switches nothing off",
       {
           {"# lintkeeper: disabled-msg=SHELL_VAR", cmd("disabled-msg", "SHELL_VAR"), {}},
           {"A=$X", {}, {shell_var}},
       },
       "E: 1: # lintkeeper: disabled-msg=SHELL_VAR\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n"
       "W: 2: A=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n",
       1,
       1},
      {"LINTKEEPER_ERROR switched off silences later bad commands until enabled",
       {
           {"# lintkeeper: disable-msg=LINTKEEPER_ERROR",
            cmd("disable-msg", "LINTKEEPER_ERROR"),
            {}},
           {"# lintkeeper: disable-msg=NO_SUCH", cmd("disable-msg", "NO_SUCH"), {}},
           {"# lintkeeper: bogus=NO_SUCH", cmd("bogus", "NO_SUCH"), {}},
           {"# lintkeeper: bogus=SHELL_VAR", cmd("bogus", "SHELL_VAR"), {}},
           {"A=$X", {}, {shell_var}},
           {"# lintkeeper: enable-msg=LINTKEEPER_ERROR", cmd("enable-msg", "LINTKEEPER_ERROR"), {}},
           {"# lintkeeper: bogus=SHELL_VAR", cmd("bogus", "SHELL_VAR"), {}},
       },
       "W: 5: A=$X\n"
       "w:    SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
       "expanded.\n"
       "E: 7: # lintkeeper: bogus=SHELL_VAR\n"
       "e:    LINTKEEPER_ERROR: Invalid lintkeeper command - must be enable-msg or "
       "disable-msg.\n",
       1,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Printed p;
    Output& out = p.out;
    FindingStore& report = p.store;
    std::uint64_t number = 0;
    for (const ScriptLine& line : c.lines) {
      if (line.command) {
        command_line(report, ++number, line.text, *line.command);
        continue;
      }
      for (const Add& a : line.adds) add(report, a);
      report.finish_line(++number, line.text);
    }
    EXPECT_EQ(out.contents(), c.printed);
    EXPECT_EQ(report.counts().errors, c.errors);
    EXPECT_EQ(report.counts().warnings, c.warnings);
  }
}

TEST(ApplyCommand, DroppedFindingsAreNotKept) {
  Printed p;
  FindingStore& report = p.store;
  command_line(report, 1, "# lintkeeper: disable-msg=COMMENT", cmd("disable-msg", "COMMENT"));
  report.line().add(MessageKind::SHELL_VAR, "{}", kShellVar);
  report.line().add(MessageKind::COMMENT, "{}", kComment);
  report.finish_line(2, "FOO=$HOME # x");
  EXPECT_EQ(kept_records(report),
            "1 # lintkeeper: disable-msg=COMMENT\n"
            "2 FOO=$HOME # x\n"
            "  W: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR is not "
            "expanded.\n");
}

TEST(FileFindings, PrintedAtOnceAndNeverSwitchedOff) {
  struct Case {
    bool quiet;
    std::string_view printed;
  };
  const Case cases[] = {
      {false,
       "W: Cron will not process this file - its name must match [A-Za-z0-9_-]+ .\n"
       "E: Cron will not process this file - missing trailing newline\n"},
      {true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quiet ? "quiet" : "not quiet");
    Printed p(c.quiet);
    Output& out = p.out;
    FindingStore& report = p.store;
    for (const KindInfo& info : MESSAGE_KINDS) {
      if (info.scope == Scope::Line) {
        command_line(report, 1, "# off", cmd("disable-msg", info.name));
      }
    }
    report.line().add(MessageKind::SHELL_VAR, "{}", kShellVar);  // dropped, and nothing is pending
    report.add_file(MessageKind::FILE_NAME,
                    "Cron will not process this file - its name must match [A-Za-z0-9_-]+ .");
    report.add_file(MessageKind::MISSING_NEWLINE, "{}", kNewline);
    EXPECT_EQ(out.contents(), c.printed);  // before any line is finished
    EXPECT_EQ(report.counts().errors, 1u);
    EXPECT_EQ(report.counts().warnings, 1u);
    ASSERT_EQ(report.file_findings().size(), 2u);
    EXPECT_EQ(report.file_findings()[0].kind, MessageKind::FILE_NAME);
    EXPECT_EQ(report.file_findings()[1].text, kNewline);
    EXPECT_EQ(report.file_findings()[1].kind, MessageKind::MISSING_NEWLINE);
    EXPECT_TRUE(report.line().all().empty());
  }
}

TEST(WriteSummary, Wording) {
  struct Case {
    int line_errors, line_warnings, file_errors, file_warnings;
    std::string_view summary;
  };
  const Case cases[] = {
      {0, 0, 0, 0, ""},
      {1, 0, 0, 0, "E: There were 1 errors and 0 warnings.\n"},
      {0, 1, 0, 0, "W: There were 1 warnings.\n"},
      {2, 3, 0, 0, "E: There were 2 errors and 3 warnings.\n"},
      {0, 12, 0, 0, "W: There were 12 warnings.\n"},
      {0, 0, 1, 0, "E: There were 1 errors and 0 warnings.\n"},
      {0, 0, 0, 1, "W: There were 1 warnings.\n"},
      {1, 1, 1, 1, "E: There were 2 errors and 2 warnings.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.line_errors << " " << c.line_warnings << " "
                                      << c.file_errors << " " << c.file_warnings);
    Printed p;
    Output& out = p.out;
    FindingStore& report = p.store;
    for (int i = 0; i < c.line_errors; ++i) report.line().add(MessageKind::LINE_ERROR, "{}", "e");
    for (int i = 0; i < c.line_warnings; ++i) report.line().add(MessageKind::SHELL_VAR, "{}", "w");
    report.finish_line(1, "x");
    for (int i = 0; i < c.file_errors; ++i) report.add_file(MessageKind::READ_ERROR, "fe");
    for (int i = 0; i < c.file_warnings; ++i) report.add_file(MessageKind::FILE_NAME, "fw");
    const std::size_t before = out.contents().size();
    write_summary(out, report.counts());
    EXPECT_EQ(out.contents().substr(before), c.summary);
  }
}

TEST(Quiet, PrintsNothingAndCountsTheSame) {
  int statuses[2] = {};
  std::uint64_t counts[2][2] = {};
  std::string printed[2];
  for (const bool quiet : {false, true}) {
    Printed p(quiet);
    Output& out = p.out;
    FindingStore& report = p.store;
    report.add_file(MessageKind::FILE_NAME,
                    "Cron will not process this file - its name must match [A-Za-z0-9_-]+ .");
    report.line().add(MessageKind::SHELL_VAR, "{}", kShellVar);
    report.line().add(MessageKind::COMMENT, "{}", kComment);
    report.finish_line(1, "FOO=$HOME # x");
    command_line(report, 2, "# lintkeeper: disable-msg=NO_SUCH", cmd("disable-msg", "NO_SUCH"));
    report.add_file(MessageKind::MISSING_NEWLINE, "{}", kNewline);
    statuses[quiet] = WarningLimit{std::nullopt}.exit_status(report.counts());
    counts[quiet][0] = report.counts().errors;
    counts[quiet][1] = report.counts().warnings;
    printed[quiet] = std::string(out.contents());
  }
  EXPECT_EQ(printed[true], "");
  EXPECT_NE(printed[false], "");
  EXPECT_EQ(counts[true][0], 3u);
  EXPECT_EQ(counts[true][1], 2u);
  EXPECT_EQ(counts[false][0], counts[true][0]);
  EXPECT_EQ(counts[false][1], counts[true][1]);
  EXPECT_EQ(statuses[true], 2);
  EXPECT_EQ(statuses[false], 2);
}

TEST(ExitStatus, FromTheCountsAndTheWarningLimit) {
  struct Case {
    int errors, warnings;
    std::optional<std::uint64_t> fail_warnings;
    int status;
  };
  const Case cases[] = {
      {0, 0, std::nullopt, 0},
      {0, 0, 0, 0},
      {0, 0, 5, 0},
      {0, 1, std::nullopt, 1},
      {0, 1, 0, 1},
      {0, 1, 1, 0},
      {0, 1, 2, 0},
      {0, 2, 1, 1},
      {0, 2, 2, 0},
      {0, 3, 2, 1},
      {0, 3, UINT64_MAX, 0},
      {1, 0, std::nullopt, 2},
      {1, 0, UINT64_MAX, 2},
      {1, 5, 10, 2},
      {2, 5, 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << c.errors << " errors, " << c.warnings << " warnings, fail_warnings "
                 << (c.fail_warnings ? std::to_string(*c.fail_warnings) : "absent"));
    Printed p(true);
    FindingStore& report = p.store;
    for (int i = 0; i < c.errors; ++i) report.line().add(MessageKind::LINE_ERROR, "{}", "e");
    for (int i = 0; i < c.warnings; ++i) report.line().add(MessageKind::BARE_PERCENT, "{}", "w");
    report.finish_line(1, "x");
    EXPECT_EQ(WarningLimit{c.fail_warnings}.exit_status(report.counts()), c.status);
  }
}

TEST(ExitStatus, FileFindingsCount) {
  Printed p(true);
  FindingStore& report = p.store;
  report.add_file(MessageKind::FILE_NAME, "w");
  EXPECT_EQ(WarningLimit{std::nullopt}.exit_status(report.counts()), 1);
  EXPECT_EQ(WarningLimit{1}.exit_status(report.counts()), 0);
  report.add_file(MessageKind::READ_ERROR, "e");
  EXPECT_EQ(WarningLimit{1}.exit_status(report.counts()), 2);
}

}  // namespace
}  // namespace lintkeeper
