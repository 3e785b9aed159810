// Tests the echo form and the two debug forms of a parsed line, and the quoting of texts.
#include "grammar/print.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "grammar/parse_line.h"

namespace lintkeeper {
namespace {

constexpr CrontabFlavor SYS = CrontabFlavor::SystemCrontab;
constexpr CrontabFlavor USR = CrontabFlavor::UserCrontab;

constexpr std::string_view kBackupLine =
    "*/15 8-18/2 1,15 jan-jun mon-fri/2 backup  /usr/local/bin/sync --fast";

TEST(Print, ScheduledLineEcho) {
  EXPECT_EQ(format_echo(parse_line(kBackupLine, SYS)),
            "*/15\t8-18/2\t1,15\tjan-jun\tmon-fri/2\tbackup\t/usr/local/bin/sync --fast\n");
}

TEST(Print, ScheduledLineDebug) {
  EXPECT_EQ(format_debug(parse_line(kBackupLine, SYS)),
            R"(System { minutes: Field { text: "*/15", items: [StarStep(15)], error: None }, )"
            R"(hours: Field { text: "8-18/2", items: [RangeStep { start: 8, end: 18, step: 2 }], )"
            R"(error: None }, days: Field { text: "1,15", items: [Time(1), Time(15)], )"
            R"(error: None }, months: Field { text: "jan-jun", items: [TextRange { )"
            R"(start: "jan", end: "jun" }], error: None }, week_days: Field { )"
            R"(text: "mon-fri/2", items: [TextRangeStep { start: "mon", end: "fri", step: 2 }], )"
            R"(error: None }, user: "backup", command: "/usr/local/bin/sync --fast" })");
}

TEST(Print, ScheduledLineDebugVerbose) {
  EXPECT_EQ(format_debug_verbose(parse_line(kBackupLine, SYS)), R"--(System {
    minutes: Field {
        text: "*/15",
        items: [
            StarStep(
                15,
            ),
        ],
        error: None,
    },
    hours: Field {
        text: "8-18/2",
        items: [
            RangeStep {
                start: 8,
                end: 18,
                step: 2,
            },
        ],
        error: None,
    },
    days: Field {
        text: "1,15",
        items: [
            Time(
                1,
            ),
            Time(
                15,
            ),
        ],
        error: None,
    },
    months: Field {
        text: "jan-jun",
        items: [
            TextRange {
                start: "jan",
                end: "jun",
            },
        ],
        error: None,
    },
    week_days: Field {
        text: "mon-fri/2",
        items: [
            TextRangeStep {
                start: "mon",
                end: "fri",
                step: 2,
            },
        ],
        error: None,
    },
    user: "backup",
    command: "/usr/local/bin/sync --fast",
})--");
}

constexpr std::string_view kFieldErrorLine = "5-x * * * * backup run";

TEST(Print, FieldErrorDebug) {
  EXPECT_EQ(format_debug(parse_line(kFieldErrorLine, SYS)),
            R"(System { minutes: Field { text: "5-x", items: [], error: Some("\"5-[[x]]\"") }, )"
            R"(hours: Field { text: "*", items: [Star], error: None }, )"
            R"(days: Field { text: "*", items: [Star], error: None }, )"
            R"(months: Field { text: "*", items: [Star], error: None }, )"
            R"(week_days: Field { text: "*", items: [Star], error: None }, )"
            R"(user: "backup", command: "run" })");
}

TEST(Print, FieldErrorDebugVerbose) {
  EXPECT_EQ(format_debug_verbose(parse_line(kFieldErrorLine, SYS)), R"--(System {
    minutes: Field {
        text: "5-x",
        items: [],
        error: Some(
            "\"5-[[x]]\"",
        ),
    },
    hours: Field {
        text: "*",
        items: [
            Star,
        ],
        error: None,
    },
    days: Field {
        text: "*",
        items: [
            Star,
        ],
        error: None,
    },
    months: Field {
        text: "*",
        items: [
            Star,
        ],
        error: None,
    },
    week_days: Field {
        text: "*",
        items: [
            Star,
        ],
        error: None,
    },
    user: "backup",
    command: "run",
})--");
}

struct Case {
  std::string_view line;
  CrontabFlavor flavor;
  std::string_view debug;
  std::string_view echo;
};

// The other kinds of line, and the edge cases of the two one-line forms.
constexpr Case kForms[] = {
    {"", SYS, "Blank", "\n"},
    {"# nightly jobs", SYS, R"(Comment(" nightly jobs"))", "# nightly jobs\n"},
    {"# lintkeeper: disable-msg=SHELL_VAR", SYS,
     R"(LintkeeperCmd { comment: " lintkeeper: disable-msg=SHELL_VAR", )"
     R"(command: "disable-msg", msg_kind: "SHELL_VAR" })",
     "# lintkeeper: disable-msg=SHELL_VAR\n"},
    {"MAILTO=ops", SYS, R"(EnvVar { name: "MAILTO", value: "ops" })", "MAILTO=ops\n"},
    {"@daily backup /usr/local/bin/rotate", SYS,
     R"(Special { macro_name: "daily", user: Some("backup"), command: "/usr/local/bin/rotate" })",
     "@daily\tbackup\t/usr/local/bin/rotate\n"},
    {"@reboot $HOME/bin/start", USR,
     R"(Special { macro_name: "reboot", user: None, command: "$HOME/bin/start" })",
     "@reboot\t$HOME/bin/start\n"},
    {"0 4 * * sun $HOME/bin/weekly", USR,
     R"(Standard { minutes: Field { text: "0", items: [Time(0)], error: None }, )"
     R"(hours: Field { text: "4", items: [Time(4)], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "sun", items: [Text("sun")], error: None }, )"
     R"(command: "$HOME/bin/weekly" })",
     "0\t4\t*\t*\tsun\t$HOME/bin/weekly\n"},
    {"nonsense here", SYS, R"(Unknown("nonsense here"))", "nonsense here\n"},
    // A directive without a user column keeps two columns in the echo form.
    {"@reboot  x   y", USR, R"(Special { macro_name: "reboot", user: None, command: "x   y" })",
     "@reboot\tx   y\n"},
    // The value keeps its leading white space; the white space before '=' is dropped.
    {"FOO = bar", SYS, R"(EnvVar { name: "FOO", value: " bar" })", "FOO= bar\n"},
    {"FOO\t=\tbar", SYS, R"(EnvVar { name: "FOO", value: "\tbar" })", "FOO=\tbar\n"},
    // Quotes, backslashes and tabs are escaped in the debug form only.
    {"* * * * * root run \"a b\"", SYS,
     R"(System { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "run \"a b\"" })",
     "*\t*\t*\t*\t*\troot\trun \"a b\"\n"},
    {"@hourly run \"a\\b\"\tc", USR,
     R"(Special { macro_name: "hourly", user: None, command: "run \"a\\b\"\tc" })",
     "@hourly\trun \"a\\b\"\tc\n"},
    // Leading zeros live on in the field text only; a saturated number prints in full.
    {"007 * * * * root x", SYS,
     R"(System { minutes: Field { text: "007", items: [Time(7)], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x" })",
     "007\t*\t*\t*\t*\troot\tx\n"},
    {"99999999999999999999 * * * * x", USR,
     R"(Standard { minutes: Field { text: "99999999999999999999", )"
     R"(items: [Time(18446744073709551615)], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(command: "x" })",
     "99999999999999999999\t*\t*\t*\t*\tx\n"},
    // Runs of white space between columns become one tab; the command keeps its own.
    {"*/5  1 \u00a0*\t\t* *   root   a  b", SYS,
     R"(System { minutes: Field { text: "*/5", items: [StarStep(5)], error: None }, )"
     R"(hours: Field { text: "1", items: [Time(1)], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "a  b" })",
     "*/5\t1\t*\t*\t*\troot\ta  b\n"},
    // A comment is everything after the first '#'.
    {"##x", SYS, R"(Comment("#x"))", "##x\n"},
    {"#", SYS, R"(Comment(""))", "#\n"},
    {"#lintkeeper:=X", SYS,
     R"(LintkeeperCmd { comment: "lintkeeper:=X", command: "", msg_kind: "X" })",
     "#lintkeeper:=X\n"},
};

TEST(Print, DebugAndEchoForms) {
  for (const Case& c : kForms) {
    SCOPED_TRACE(c.line);
    const CrontabLine line = parse_line(c.line, c.flavor);
    EXPECT_EQ(format_debug(line), c.debug);
    EXPECT_EQ(format_echo(line), c.echo);
  }
}

struct VerboseCase {
  std::string_view line;
  CrontabFlavor flavor;
  std::string_view verbose;
};

constexpr VerboseCase kVerbose[] = {
    {"", SYS, "Blank"},
    {"# nightly jobs", SYS, "Comment(\n    \" nightly jobs\",\n)"},
    {"nonsense here", SYS, "Unknown(\n    \"nonsense here\",\n)"},
    {"MAILTO=ops", SYS, "EnvVar {\n    name: \"MAILTO\",\n    value: \"ops\",\n}"},
    {"# lintkeeper: disable-msg=SHELL_VAR", SYS,
     "LintkeeperCmd {\n"
     "    comment: \" lintkeeper: disable-msg=SHELL_VAR\",\n"
     "    command: \"disable-msg\",\n"
     "    msg_kind: \"SHELL_VAR\",\n"
     "}"},
    {"@daily backup /usr/local/bin/rotate", SYS,
     "Special {\n"
     "    macro_name: \"daily\",\n"
     "    user: Some(\n"
     "        \"backup\",\n"
     "    ),\n"
     "    command: \"/usr/local/bin/rotate\",\n"
     "}"},
    {"@reboot $HOME/bin/start", USR,
     "Special {\n"
     "    macro_name: \"reboot\",\n"
     "    user: None,\n"
     "    command: \"$HOME/bin/start\",\n"
     "}"},
};

TEST(Print, VerboseDebugForms) {
  for (const VerboseCase& c : kVerbose) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(format_debug_verbose(parse_line(c.line, c.flavor)), c.verbose);
  }
}

// The items of one field in the verbose form, one variant of each kind.
TEST(Print, FieldItemsVerbose) {
  const Field field = {"*,*/2,3,1-5,1-5/2,jan,mon-fri,Jan-DEC/2",
                       {Star{}, StarStep{2}, Time{3}, Range{1, 5}, RangeStep{1, 5, 2}, Text{"jan"},
                        TextRange{"mon", "fri"}, TextRangeStep{"Jan", "DEC", 2}},
                       std::nullopt};
  EXPECT_EQ(format_debug_verbose(field), R"--(Field {
    text: "*,*/2,3,1-5,1-5/2,jan,mon-fri,Jan-DEC/2",
    items: [
        Star,
        StarStep(
            2,
        ),
        Time(
            3,
        ),
        Range {
            start: 1,
            end: 5,
        },
        RangeStep {
            start: 1,
            end: 5,
            step: 2,
        },
        Text(
            "jan",
        ),
        TextRange {
            start: "mon",
            end: "fri",
        },
        TextRangeStep {
            start: "Jan",
            end: "DEC",
            step: 2,
        },
    ],
    error: None,
})--");
}

struct QuoteCase {
  std::string_view text;
  std::string_view quoted;
};

// Characters that are escaped, and some that are written as they are.
constexpr QuoteCase kQuoted[] = {
    {"a\"b", R"("a\"b")"},
    {"a\\b", R"("a\\b")"},
    {"a\tb", R"("a\tb")"},
    {"a\nb", R"("a\nb")"},
    {"a\rb", R"("a\rb")"},
    {std::string_view("a\0b", 3), R"("a\0b")"},
    {"a\x01z", R"("a\u{1}z")"},
    {"a\x1fz", R"("a\u{1f}z")"},
    {"a\x7fz", R"("a\u{7f}z")"},
    {"a\xc2\x85z", R"("a\u{85}z")"},
    {"a\u00a0b", R"("a\u{a0}b")"},
    {"a\u200bb", R"("a\u{200b}b")"},
    {"e\u0301", R"("e\u{301}")"},
    {"a\ufeffb", R"("a\u{feff}b")"},
    {"a\u2028b", R"("a\u{2028}b")"},
    {"a\u2029b", R"("a\u{2029}b")"},
    {"a\u3000b", R"("a\u{3000}b")"},
    {"a\ue000b", R"("a\u{e000}b")"},
    {"a\u0378b", R"("a\u{378}b")"},
    {"a\U000e0041b", R"("a\u{e0041}b")"},
    {"a\U0010ffffb", R"("a\u{10ffff}b")"},
    // Marks with the Grapheme_Extend property are escaped whatever their category.
    {"\u09be", R"("\u{9be}")"},
    {"\uff9e", R"("\u{ff9e}")"},
    {"\u0903", "\"\u0903\""},
    {"\u2000", R"("\u{2000}")"},
    {"\u00e9t\u00e9", R"("été")"},
    {"é", R"("é")"},
    {"𝐀", R"("𝐀")"},
    {"€ and 😀", R"("€ and 😀")"},
    {"it's a b", R"("it's a b")"},
    {"", R"("")"},
};

TEST(Print, QuotedTextsInBothDebugForms) {
  for (const QuoteCase& c : kQuoted) {
    SCOPED_TRACE(c.quoted);
    const CrontabLine line = Comment{c.text};
    EXPECT_EQ(format_debug(line), "Comment(" + std::string(c.quoted) + ")");
    EXPECT_EQ(format_debug_verbose(line), "Comment(\n    " + std::string(c.quoted) + ",\n)");
  }
}

// Echo writes texts exactly as they stand.
TEST(Print, EchoWritesTextsRaw) {
  const std::string text = std::string("a\"\\\t\0\x01", 6) + "\u00a0\u200b\u2028𝐀";
  EXPECT_EQ(format_echo(Comment{text}), "#" + text + "\n");
  EXPECT_EQ(format_echo(Unknown{text}), text + "\n");
}

}  // namespace
}  // namespace lintkeeper
