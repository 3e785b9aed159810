// Tests parse_line: the kind chosen for a line, its columns, and that every text is a view.
#include "grammar/parse_line.h"

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "base/overloaded.h"
#include "grammar/print.h"

namespace lintkeeper {
namespace {

constexpr CrontabFlavor SYS = CrontabFlavor::SystemCrontab;
constexpr CrontabFlavor USR = CrontabFlavor::UserCrontab;

struct Case {
  std::string_view line;
  CrontabFlavor flavor;
  std::string_view debug;  // format_debug of the parsed line
};

// The parsed form of lines of every kind, and of lines that just miss a kind.
constexpr Case kLines[] = {
    {"", SYS, "Blank"},
    {"", USR, "Blank"},
    // Comments and in-file commands.
    {"#", SYS, R"(Comment(""))"},
    {"## x", SYS, R"(Comment("# x"))"},
    {"##x", SYS, R"(Comment("#x"))"},
    {"#lintkeeper:disable-msg=FOO", SYS,
     R"(LintkeeperCmd { comment: "lintkeeper:disable-msg=FOO", command: "disable-msg", )"
     R"(msg_kind: "FOO" })"},
    {"##lintkeeper:x=y", SYS,
     R"(LintkeeperCmd { comment: "#lintkeeper:x=y", command: "x", msg_kind: "y" })"},
    {"# lintkeeper: a=b=c", SYS,
     R"(LintkeeperCmd { comment: " lintkeeper: a=b=c", command: "a=b", msg_kind: "c" })"},
    {"# lintkeeper: disable-msg = FOO", SYS,
     R"(LintkeeperCmd { comment: " lintkeeper: disable-msg = FOO", command: "disable-msg ", )"
     R"(msg_kind: " FOO" })"},
    {"#lintkeeper:=X", SYS,
     R"(LintkeeperCmd { comment: "lintkeeper:=X", command: "", msg_kind: "X" })"},
    {"# lintkeeper: disable-msg=", SYS,
     R"(LintkeeperCmd { comment: " lintkeeper: disable-msg=", command: "disable-msg", )"
     R"(msg_kind: "" })"},
    {"# lintkeeper: disable-msg=X", USR,
     R"(LintkeeperCmd { comment: " lintkeeper: disable-msg=X", command: "disable-msg", )"
     R"(msg_kind: "X" })"},
    {"#\t lintkeeper:\tenable-msg=X # y", SYS,
     R"(LintkeeperCmd { comment: "\t lintkeeper:\tenable-msg=X # y", command: "enable-msg", )"
     R"(msg_kind: "X # y" })"},
    {"# lintkeeper: nothing", SYS, R"(Comment(" lintkeeper: nothing"))"},
    {"# lintkeeper:", SYS, R"(Comment(" lintkeeper:"))"},
    {"#lintkeeper disable-msg=X", SYS, R"(Comment("lintkeeper disable-msg=X"))"},
    {"# LINTKEEPER: disable-msg=X", SYS, R"(Comment(" LINTKEEPER: disable-msg=X"))"},
    {"# # lintkeeper: x=y", SYS, R"(Comment(" # lintkeeper: x=y"))"},
    {"#* * * * * root x", SYS, R"(Comment("* * * * * root x"))"},
    // Variable assignments.
    {"FOO=bar", SYS, R"(EnvVar { name: "FOO", value: "bar" })"},
    {"FOO = bar", SYS, R"(EnvVar { name: "FOO", value: " bar" })"},
    {"FOO\t=\tbar", SYS, R"(EnvVar { name: "FOO", value: "\tbar" })"},
    {"_x1=", SYS, R"(EnvVar { name: "_x1", value: "" })"},
    {"a=b=c", SYS, R"(EnvVar { name: "a", value: "b=c" })"},
    {"A=1 * * * *", SYS, R"(EnvVar { name: "A", value: "1 * * * *" })"},
    {"PATH=/bin:/usr/bin # x", USR, R"(EnvVar { name: "PATH", value: "/bin:/usr/bin # x" })"},
    {"1FOO=bar", SYS, R"(Unknown("1FOO=bar"))"},
    {"A-B=1", SYS, R"(Unknown("A-B=1"))"},
    {"=1", SYS, R"(Unknown("=1"))"},
    {"FOO", SYS, R"(Unknown("FOO"))"},
    // @ directives.
    {"@reboot root /bin/x arg", SYS,
     R"(Special { macro_name: "reboot", user: Some("root"), command: "/bin/x arg" })"},
    {"@reboot  root   x  y", SYS,
     R"(Special { macro_name: "reboot", user: Some("root"), command: "x  y" })"},
    {"@reboot /bin/x", SYS, R"(Unknown("@reboot /bin/x"))"},
    {"@reboot root", SYS, R"(Unknown("@reboot root"))"},
    {"@reboot", SYS, R"(Unknown("@reboot"))"},
    {"@reboot /bin/x", USR, R"(Special { macro_name: "reboot", user: None, command: "/bin/x" })"},
    {"@reboot root /bin/x", USR,
     R"(Special { macro_name: "reboot", user: None, command: "root /bin/x" })"},
    {"@reboot", USR, R"(Unknown("@reboot"))"},
    {"@ root x", SYS, R"(Unknown("@ root x"))"},
    {"@", SYS, R"(Unknown("@"))"},
    {"@", USR, R"(Unknown("@"))"},
    {"@@ root x", SYS, R"(Special { macro_name: "@", user: Some("root"), command: "x" })"},
    {"@reboot=1 root x", SYS,
     R"(Special { macro_name: "reboot=1", user: Some("root"), command: "x" })"},
    // Scheduled lines.
    {"* * * * * root cmd args", SYS,
     R"(System { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "cmd args" })"},
    {"* * * * * cmd args", USR,
     R"(Standard { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(command: "cmd args" })"},
    {"*/5 1-2 mon jan,feb sun-sat/2 root  cmd", SYS,
     R"(System { minutes: Field { text: "*/5", items: [StarStep(5)], error: None }, )"
     R"(hours: Field { text: "1-2", items: [Range { start: 1, end: 2 }], error: None }, )"
     R"(days: Field { text: "mon", items: [Text("mon")], error: None }, )"
     R"(months: Field { text: "jan,feb", items: [Text("jan"), Text("feb")], error: None }, )"
     R"(week_days: Field { text: "sun-sat/2", items: [TextRangeStep { start: "sun", )"
     R"(end: "sat", step: 2 }], error: None }, user: "root", command: "cmd" })"},
    {"*\t*\t*\t*\t*\troot\tx", SYS,
     R"(System { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x" })"},
    {"* * * * * root x #c", SYS,
     R"(System { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x #c" })"},
    {"1-x 5, * * * root x", SYS,
     R"(System { minutes: Field { text: "1-x", items: [], error: Some("\"1-[[x]]\"") }, )"
     R"(hours: Field { text: "5,", items: [], error: Some("\"5,\" is incomplete") }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x" })"},
    {"mon * * * * root x", SYS,
     R"(System { minutes: Field { text: "mon", items: [Text("mon")], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x" })"},
    {"* * * * * root", USR,
     R"(Standard { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(command: "root" })"},
    // Scheduled lines that miss a column, or hold a character no field may hold.
    {"* * * * *", SYS, R"(Unknown("* * * * *"))"},
    {"* * * * *", USR, R"(Unknown("* * * * *"))"},
    {"* * * * * root", SYS, R"(Unknown("* * * * * root"))"},
    {"* * * * * cmd", SYS, R"(Unknown("* * * * * cmd"))"},
    {"* * * *", USR, R"(Unknown("* * * *"))"},
    {"? * * * * root x", SYS, R"(Unknown("? * * * * root x"))"},
    {"1#2 * * * * root x", SYS, R"(Unknown("1#2 * * * * root x"))"},
    {"é * * * * root x", SYS, R"(Unknown("é * * * * root x"))"},
    {"* * * * 1.5 root x", SYS, R"(Unknown("* * * * 1.5 root x"))"},
    {"nonsense here", SYS, R"(Unknown("nonsense here"))"},
};

TEST(ParseLine, Kinds) {
  for (const Case& c : kLines) {
    SCOPED_TRACE(testing::Message()
                 << '"' << c.line << "\" " << (c.flavor == USR ? "user" : "system"));
    EXPECT_EQ(format_debug(parse_line(c.line, c.flavor)), c.debug);
  }
}

// Any White_Space character, not only blanks and tabs, separates the columns; other
// invisible characters do not.
constexpr Case kWhiteSpace[] = {
    {"*\u00a0*\u3000*\u2028*\t*\u00a0\u3000root \u3000x\u00a0 y", SYS,
     R"(System { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(user: "root", command: "x\u{a0} y" })"},
    {"*\u00a0*\u3000*\u2028*\t*\u00a0\u3000x\u00a0 y", USR,
     R"(Standard { minutes: Field { text: "*", items: [Star], error: None }, )"
     R"(hours: Field { text: "*", items: [Star], error: None }, )"
     R"(days: Field { text: "*", items: [Star], error: None }, )"
     R"(months: Field { text: "*", items: [Star], error: None }, )"
     R"(week_days: Field { text: "*", items: [Star], error: None }, )"
     R"(command: "x\u{a0} y" })"},
    {"0\u16801\u20002\u200a3\u20294\u202froot\xc2\x85x\u205fy", SYS,
     R"(System { minutes: Field { text: "0", items: [Time(0)], error: None }, )"
     R"(hours: Field { text: "1", items: [Time(1)], error: None }, )"
     R"(days: Field { text: "2", items: [Time(2)], error: None }, )"
     R"(months: Field { text: "3", items: [Time(3)], error: None }, )"
     R"(week_days: Field { text: "4", items: [Time(4)], error: None }, )"
     R"(user: "root", command: "x\u{205f}y" })"},
    {"0\v1\f2\r3\n4\u3000x", USR,
     R"(Standard { minutes: Field { text: "0", items: [Time(0)], error: None }, )"
     R"(hours: Field { text: "1", items: [Time(1)], error: None }, )"
     R"(days: Field { text: "2", items: [Time(2)], error: None }, )"
     R"(months: Field { text: "3", items: [Time(3)], error: None }, )"
     R"(week_days: Field { text: "4", items: [Time(4)], error: None }, )"
     R"(command: "x" })"},
    {"@daily\u00a0root\u3000x\u2028y", SYS,
     R"(Special { macro_name: "daily", user: Some("root"), command: "x\u{2028}y" })"},
    {"@daily\t\u00a0x\u3000y", USR,
     R"(Special { macro_name: "daily", user: None, command: "x\u{3000}y" })"},
    {"@daily\u00a0root", SYS, R"(Unknown("@daily\u{a0}root"))"},
    {"FOO\u00a0\u3000=\u3000bar", SYS, R"(EnvVar { name: "FOO", value: "\u{3000}bar" })"},
    {"#\u00a0lintkeeper:\u3000disable-msg=X", SYS,
     R"(LintkeeperCmd { comment: "\u{a0}lintkeeper:\u{3000}disable-msg=X", )"
     R"(command: "disable-msg", msg_kind: "X" })"},
    // U+200B, U+FEFF and U+180E are not white space.
    {"*\u200b* * * * root x", SYS, R"(Unknown("*\u{200b}* * * * root x"))"},
    {"* * * * *\ufeffroot x", SYS, R"(Unknown("* * * * *\u{feff}root x"))"},
    {"@daily\u200broot x", USR,
     R"(Special { macro_name: "daily\u{200b}root", user: None, )"
     R"(command: "x" })"},
    {"FOO\u180e=1", SYS, R"(Unknown("FOO\u{180e}=1"))"},
};

TEST(ParseLine, UnicodeWhiteSpaceBetweenColumns) {
  for (const Case& c : kWhiteSpace) {
    SCOPED_TRACE(testing::Message()
                 << '"' << c.line << "\" " << (c.flavor == USR ? "user" : "system"));
    EXPECT_EQ(format_debug(parse_line(c.line, c.flavor)), c.debug);
  }
}

// Every text of a parsed line, with a label saying where it came from.
struct View {
  std::string label;
  std::string_view text;
};

void collect(const std::string& label, const Field& field, std::vector<View>& views) {
  views.push_back({label + ".text", field.text});
  for (const FieldItem& item : field.items) {
    std::visit(overloaded{
                   [&](const Text& t) {
                     views.push_back({label + ".Text", t.name});
                   },
                   [&](const TextRange& r) {
                     views.push_back({label + ".TextRange.start", r.start});
                     views.push_back({label + ".TextRange.end", r.end});
                   },
                   [&](const TextRangeStep& r) {
                     views.push_back({label + ".TextRangeStep.start", r.start});
                     views.push_back({label + ".TextRangeStep.end", r.end});
                   },
                   [](const auto&) {},
               },
               item);
  }
}

void collect_fields(const Schedule& schedule, std::vector<View>& views) {
  const char* const labels[] = {"minutes", "hours", "days", "months", "week_days"};
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    collect(labels[i], schedule.fields[i], views);
  }
}

std::vector<View> collect(const CrontabLine& line) {
  std::vector<View> views;
  std::visit(overloaded{
                 [](const Blank&) {},
                 [&](const Comment& c) {
                   views.push_back({"Comment", c.text});
                 },
                 [&](const LintkeeperCmd& c) {
                   views.push_back({"comment", c.comment});
                   views.push_back({"command", c.command});
                   views.push_back({"msg_kind", c.msg_kind});
                 },
                 [&](const EnvVar& v) {
                   views.push_back({"name", v.name});
                   views.push_back({"value", v.value});
                 },
                 [&](const Special& s) {
                   views.push_back({"macro_name", s.macro_name});
                   if (s.user) views.push_back({"user", *s.user});
                   views.push_back({"command", s.command});
                 },
                 [&](const Standard& s) {
                   collect_fields(s.schedule, views);
                   views.push_back({"command", s.command});
                 },
                 [&](const System& s) {
                   collect_fields(s.schedule, views);
                   views.push_back({"user", s.user});
                   views.push_back({"command", s.command});
                 },
                 [&](const Unknown& u) {
                   views.push_back({"Unknown", u.text});
                 },
             },
             line);
  return views;
}

struct ViewCase {
  std::string_view line;
  CrontabFlavor flavor;
  std::size_t views;  // how many texts the parsed line holds
};

constexpr ViewCase kViewLines[] = {
    {"# nightly jobs", SYS, 1},
    {"#", SYS, 1},
    {"# lintkeeper: disable-msg=SHELL_VAR", SYS, 3},
    {"#lintkeeper:=", SYS, 3},
    {"MAILTO = ops", SYS, 2},
    {"_x1=", SYS, 2},
    {"@daily\u00a0backup /usr/local/bin/rotate", SYS, 3},
    {"@reboot $HOME/bin/start", USR, 2},
    {"*/15 8-18/2 1,15 jan-jun mon-fri/2 backup  /usr/local/bin/sync --fast", SYS, 11},
    {"Jan-DEC/2,mon 1-x 5, sun-sat * $HOME/bin/weekly", USR, 11},
    {"nonsense here", SYS, 1},
};

// Nothing is copied: every text of the result lies inside the line it was parsed from.
TEST(ParseLine, TextsAreViewsIntoTheLine) {
  for (const ViewCase& c : kViewLines) {
    const std::string line(c.line);  // a buffer of its own, apart from the literal
    SCOPED_TRACE(line);
    const CrontabLine parsed = parse_line(line, c.flavor);
    const std::vector<View> views = collect(parsed);
    EXPECT_EQ(views.size(), c.views);
    const char* begin = line.data();
    const char* end = line.data() + line.size();
    for (const View& v : views) {
      SCOPED_TRACE(v.label);
      EXPECT_GE(v.text.data(), begin);
      EXPECT_LE(v.text.data() + v.text.size(), end);
    }
  }
}

}  // namespace
}  // namespace lintkeeper
