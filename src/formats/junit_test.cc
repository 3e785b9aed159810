// Tests the JUnit writer: XML escaping and whole reports for small hand-built runs.
#include "formats/junit.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

TEST(EscapeXml, Characters) {
  struct Case {
    std::string_view name, input, expected;
  };
  const Case cases[] = {
      {"plain", "0 3 * * * root date", "0 3 * * * root date"},
      {"empty", "", ""},
      {"tab", "a\tb", "a&#9;b"},
      {"line feed", "a\nb", "a&#10;b"},
      {"carriage return", "a\rb", "a&#13;b"},
      {"markup", "\"&'<>", "&quot;&amp;&apos;&lt;&gt;"},
      {"entity stays text", "&amp;", "&amp;amp;"},
      {"NUL", std::string_view("a\0b", 3), "a\uFFFDb"},
      {"U+0001", "\x01", "\uFFFD"},
      {"vertical tab", "\x0B", "\uFFFD"},
      {"form feed", "\x0C", "\uFFFD"},
      {"U+001F", "\x1F", "\uFFFD"},
      {"blank", " ", " "},
      {"tilde", "~", "~"},
      {"U+007F", "\x7F", "\uFFFD"},
      {"U+0080", "\u0080", "\uFFFD"},
      {"U+0085", "\u0085", "\uFFFD"},
      {"U+009F", "\u009F", "\uFFFD"},
      {"U+00A0", "\u00A0", "\u00A0"},
      {"e acute", "caf\u00E9", "caf\u00E9"},
      {"U+FFFD", "\uFFFD", "\uFFFD"},
      {"U+FFFC", "\uFFFC", "\uFFFC"},
      {"U+FFFE", "\xEF\xBF\xBE", "\uFFFD"},
      {"U+FFFF", "\xEF\xBF\xBF", "\uFFFD"},
      {"U+1F600", "\U0001F600", "\U0001F600"},
      {"mixed", "x<\t\x01\u00E9>\"y", "x&lt;&#9;\uFFFD\u00E9&gt;&quot;y"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(escape_xml(c.input), c.expected);
  }
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

constexpr std::string_view kPercent =
    "A bare % is a line break in crontab and is commonly not intended.";

// The worked example: /etc/crontab with an assignment and a scheduled line whose bare %
// earns the only warning of the run.
void worked_example(FindingStore& report) {
  report.finish_line(1, "SHELL=/bin/sh");
  report.line().add(MessageKind::BARE_PERCENT, "{}", kPercent);
  report.finish_line(2, "0 3 * * * root date +%F");
}

TEST(WriteJunitReport, Reports) {
  struct Case {
    std::string_view name;
    std::string_view crontab;
    std::optional<std::uint64_t> fail_warnings;
    std::function<void(FindingStore&)> run;
    std::string_view xml;
  };
  const Case cases[] = {
      {"worked example", "/etc/crontab", std::nullopt, worked_example,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"3\" failures=\"1\">\n"
       "  <testsuite name=\"/etc/crontab\" tests=\"3\" failures=\"1\">\n"
       "    <testcase classname=\"/etc/crontab\" name=\"file\" file=\"/etc/crontab\"/>\n"
       "    <testcase classname=\"/etc/crontab\" name=\"line 1: SHELL=/bin/sh\" "
       "file=\"/etc/crontab\" line=\"1\"/>\n"
       "    <testcase classname=\"/etc/crontab\" name=\"line 2: 0 3 * * * root date +%F\" "
       "file=\"/etc/crontab\" line=\"2\">\n"
       "      <failure type=\"BARE_PERCENT\" message=\"A bare % is a line break in crontab and "
       "is commonly not intended.\">W: BARE_PERCENT: A bare % is a line break in crontab and "
       "is commonly not intended.</failure>\n"
       "    </testcase>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"worked example with --fail-warnings 1", "/etc/crontab", 1, worked_example,
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"3\" failures=\"0\">\n"
       "  <testsuite name=\"/etc/crontab\" tests=\"3\" failures=\"0\">\n"
       "    <testcase classname=\"/etc/crontab\" name=\"file\" file=\"/etc/crontab\"/>\n"
       "    <testcase classname=\"/etc/crontab\" name=\"line 1: SHELL=/bin/sh\" "
       "file=\"/etc/crontab\" line=\"1\"/>\n"
       "    <testcase classname=\"/etc/crontab\" name=\"line 2: 0 3 * * * root date +%F\" "
       "file=\"/etc/crontab\" line=\"2\">\n"
       "      <system-out>W: BARE_PERCENT: A bare % is a line break in crontab and is "
       "commonly not intended.</system-out>\n"
       "    </testcase>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"missing crontab", "no<such>", std::nullopt,
       [](FindingStore& r) {
         r.add_file(MessageKind::FILE_MISSING, "File \"no<such>\" does not exist.");
       },
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"1\" failures=\"1\">\n"
       "  <testsuite name=\"no&lt;such&gt;\" tests=\"1\" failures=\"1\">\n"
       "    <testcase classname=\"no&lt;such&gt;\" name=\"file\" file=\"no&lt;such&gt;\">\n"
       "      <failure type=\"FILE\" message=\"File &quot;no&lt;such&gt;&quot; does not "
       "exist.\">E: File &quot;no&lt;such&gt;&quot; does not exist.</failure>\n"
       "    </testcase>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"comments and blank lines only", "c", std::nullopt,
       [](FindingStore& r) {
         r.finish_line(1, "# a comment");
         r.finish_line(2, "");
         r.finish_line(3, "#");
       },
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"1\" failures=\"0\">\n"
       "  <testsuite name=\"c\" tests=\"1\" failures=\"0\">\n"
       "    <testcase classname=\"c\" name=\"file\" file=\"c\"/>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"a comment with a bad in-file command, and a missing newline", "c", std::nullopt,
       [](FindingStore& r) {
         const LintkeeperCmd command{" lintkeeper: disable-msg=NO_SUCH", "disable-msg", "NO_SUCH"};
         check_kind_switch(command, r.line());
         r.finish_line(1, "# lintkeeper: disable-msg=NO_SUCH", &command);
         r.add_file(MessageKind::MISSING_NEWLINE,
                    "Cron will not process this file - missing trailing newline");
       },
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"2\" failures=\"2\">\n"
       "  <testsuite name=\"c\" tests=\"2\" failures=\"2\">\n"
       "    <testcase classname=\"c\" name=\"file\" file=\"c\">\n"
       "      <failure type=\"FILE\" message=\"Cron will not process this file - missing "
       "trailing newline\">E: Cron will not process this file - missing trailing "
       "newline</failure>\n"
       "    </testcase>\n"
       "    <testcase classname=\"c\" name=\"line 1: # lintkeeper: disable-msg=NO_SUCH\" "
       "file=\"c\" line=\"1\">\n"
       "      <failure type=\"LINTKEEPER_ERROR\" message=\"&quot;NO_SUCH&quot; is an unknown "
       "error message.\">E: LINTKEEPER_ERROR: &quot;NO_SUCH&quot; is an unknown error "
       "message.</failure>\n"
       "    </testcase>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"an error and a warning under the limit: the error fails, the body holds both", "c", 1,
       [](FindingStore& r) {
         r.line().add(MessageKind::SHELL_VAR, "w\ttab");
         r.line().add(MessageKind::COMMENT, "e");
         r.finish_line(4, "FOO='$x' & \"y\" <z> # c");
         r.finish_line(5, "BAR=1");
       },
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"3\" failures=\"1\">\n"
       "  <testsuite name=\"c\" tests=\"3\" failures=\"1\">\n"
       "    <testcase classname=\"c\" name=\"file\" file=\"c\"/>\n"
       "    <testcase classname=\"c\" name=\"line 4: FOO=&apos;$x&apos; &amp; &quot;y&quot; "
       "&lt;z&gt; # c\" file=\"c\" line=\"4\">\n"
       "      <failure type=\"COMMENT\" message=\"e\">E: COMMENT: e\n"
       "W: SHELL_VAR: w&#9;tab</failure>\n"
       "    </testcase>\n"
       "    <testcase classname=\"c\" name=\"line 5: BAR=1\" file=\"c\" line=\"5\"/>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"over the limit every case with a message fails on its first message", "c", 1,
       [](FindingStore& r) {
         r.add_file(MessageKind::FILE_NAME,
                    "Cron will not process this file - its name must match "
                    "[A-Za-z0-9_-]+ .");
         r.line().add(MessageKind::BARE_PERCENT, "{}", kPercent);
         r.finish_line(1, "@daily date +%F");
         r.finish_line(2, "@daily true");
       },
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"3\" failures=\"2\">\n"
       "  <testsuite name=\"c\" tests=\"3\" failures=\"2\">\n"
       "    <testcase classname=\"c\" name=\"file\" file=\"c\">\n"
       "      <failure type=\"FILE\" message=\"Cron will not process this file - its name "
       "must match [A-Za-z0-9_-]+ .\">W: Cron will not process this file - its name must "
       "match [A-Za-z0-9_-]+ .</failure>\n"
       "    </testcase>\n"
       "    <testcase classname=\"c\" name=\"line 1: @daily date +%F\" file=\"c\" "
       "line=\"1\">\n"
       "      <failure type=\"BARE_PERCENT\" message=\"A bare % is a line break in crontab "
       "and is commonly not intended.\">W: BARE_PERCENT: A bare % is a line break in "
       "crontab and is commonly not intended.</failure>\n"
       "    </testcase>\n"
       "    <testcase classname=\"c\" name=\"line 2: @daily true\" file=\"c\" line=\"2\"/>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
      {"a path that is not UTF-8", "cron\xFFtab", std::nullopt, [](FindingStore&) {},
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<testsuites name=\"lintkeeper\" tests=\"1\" failures=\"0\">\n"
       "  <testsuite name=\"cron\uFFFDtab\" tests=\"1\" failures=\"0\">\n"
       "    <testcase classname=\"cron\uFFFDtab\" name=\"file\" "
       "file=\"cron\uFFFDtab\"/>\n"
       "  </testsuite>\n"
       "</testsuites>\n"},
  };
  const std::string path =
      ::testing::TempDir() + "lintkeeper_junit_test_" + std::to_string(::getpid()) + ".xml";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FindingStore report;
    c.run(report);
    EXPECT_EQ(write_junit_report(path, c.crontab, report, {c.fail_warnings}, std::nullopt),
              std::nullopt);
    EXPECT_EQ(read_file(path), c.xml);
  }
  ::unlink(path.c_str());
}

TEST(WriteJunitReport, UnwritablePathGivesTheSystemError) {
  const FindingStore report;
  EXPECT_EQ(write_junit_report(::testing::TempDir() + "no/such/directory/report.xml", "c", report,
                               {}, std::nullopt),
            "No such file or directory (os error 2)");
}

}  // namespace
}  // namespace lintkeeper
