// Tests read_cron_line and read_cron_last_line on the documented examples of each rule, as
// `crontab -n` answered them.
#include "cron/cron_line.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

using namespace std::string_view_literals;

constexpr CrontabFlavor SYS = CrontabFlavor::SystemCrontab;
constexpr CrontabFlavor USR = CrontabFlavor::UserCrontab;

// "Skipped", "Refused: REASON", "Assignment: NAME=[VALUE]", "Job: [COMMAND]" or, with a user,
// "Job: USER [COMMAND]".
std::string describe(const CronReading& r) {
  using V = CronReading::Verdict;
  switch (r.verdict) {
    case V::Skipped:
      return "Skipped";
    case V::Refused:
      return "Refused: " + std::string(r.reason);
    case V::Crashes:
      return "Crashes: " + std::string(r.reason);
    case V::Continued:
      return "Continued";
    case V::Assignment:
      return "Assignment: " + std::string(r.name) + "=[" + std::string(r.command) + "]";
    case V::Job:
      return "Job: " + (r.user.empty() ? "" : std::string(r.user) + " ") + "[" +
             std::string(r.command) + "]";
  }
  return "?";
}

struct Case {
  std::string_view line;
  CrontabFlavor flavor;
  std::string_view expected;  // describe() of the reading
};

const Case kLines[] = {
    // Blank and comment lines: only spaces and tabs are blank.
    {"", USR, "Skipped"},
    {" \t ", USR, "Skipped"},
    {"\t# note", USR, "Skipped"},
    {"#\0* * * * * x"sv, USR, "Skipped"},
    {"\r", USR, "Refused: bad minute"},
    {" \v", USR, "Refused: bad minute"},
    // Numbers, ranges, steps and lists, with cron's limits.
    {"0 0 1 1 0 x", USR, "Job: [x]"},
    {"59 23 31 12 7 x", USR, "Job: [x]"},
    {"60 * * * * x", USR, "Refused: bad minute"},
    {"* 24 * * * x", USR, "Refused: bad hour"},
    {"* * 0 * * x", USR, "Refused: bad day-of-month"},
    {"* * * 13 * x", USR, "Refused: bad month"},
    {"* * * * 8 x", USR, "Refused: bad day-of-week"},
    {"5-3 * * * * x", USR, "Job: [x]"},
    {"1-60 * * * * x", USR, "Refused: bad minute"},
    {"*/60 * * * * x", USR, "Job: [x]"},
    {"*/0 * * * * x", USR, "Refused: bad minute"},
    {"1-5/0 * * * * x", USR, "Refused: bad minute"},
    {"1/2 * * * * x", USR, "Refused: bad minute"},
    {"*/ * * * * x", USR, "Refused: bad minute"},
    {"1-2/3,*/4,5 * * * * x", USR, "Job: [x]"},
    {"1, * * * * x", USR, "Refused: bad minute"},
    {",1 * * * * x", USR, "Refused: bad minute"},
    {"-1 * * * * x", USR, "Refused: bad minute"},
    // Numbers: a long that stops at its largest value, kept in an int's 32 bits.
    {"0000000000000000000059 * * * * x", USR, "Job: [x]"},
    {"4294967296 * * * * x", USR, "Job: [x]"},
    {"4294967355 * * * * x", USR, "Job: [x]"},
    {"4294967356 * * * * x", USR, "Refused: bad minute"},
    {"2147483648 * * * * x", USR, "Refused: bad minute"},
    {"18446744073709551616 * * * * x", USR, "Refused: bad minute"},
    {"*/4294967297 * * * * x", USR, "Job: [x]"},
    {"*/4294967296 * * * * x", USR, "Refused: bad minute"},
    // A step may carry the count past the largest int only when the range runs backwards.
    {"*/2147483647 * * * * x", USR, "Job: [x]"},
    {"* * */2147483646 * * x", USR, "Job: [x]"},
    {"* * */2147483647 * * x", USR, "Refused: bad day-of-month"},
    {"59-59/2147483588 * * * * x", USR, "Job: [x]"},
    {"59-59/2147483589 * * * * x", USR, "Refused: bad minute"},
    {"59-0/2147483647 * * * * x", USR, "Job: [x]"},
    // Names: three letters in any case, in ranges but not as steps; 7 and sun are Sunday.
    {"* * * JAN-Mar * x", USR, "Job: [x]"},
    {"* * * jan-3/2 * x", USR, "Job: [x]"},
    {"* * * janu * x", USR, "Refused: bad month"},
    {"* * * */jan * x", USR, "Refused: bad month"},
    {"* * * jan/2 * x", USR, "Refused: bad month"},
    {"* * * * sat-sun x", USR, "Job: [x]"},
    {"* * * * sunday x", USR, "Refused: bad day-of-week"},
    {"sun * * * * x", USR, "Refused: bad minute"},
    {"* * * * jan x", USR, "Refused: bad day-of-week"},
    // A number or name is a run of letters and digits, so 1a is one bad token; whatever else
    // follows a field up to the next blank is passed over.
    {"1a * * * * x", USR, "Refused: bad minute"},
    {"* * * * mon1 x", USR, "Refused: bad day-of-week"},
    {"* * * * mon_ x", USR, "Job: [x]"},
    {"1? * * * * x", USR, "Job: [x]"},
    {"1-2-3 * * * * x", USR, "Job: [x]"},
    {"*/2/3 * * * * x", USR, "Job: [x]"},
    {"1?,a * * * * x", USR, "Job: [x]"},
    {"*1 * * * * x", USR, "Job: [x]"},
    {"*/2a * * * * x", USR, "Refused: bad minute"},
    // Only spaces and tabs part the fields: \v, \r, a no-break space are part of the field.
    {"*\t*  * * *\tx", USR, "Job: [x]"},
    {"*\v* * * * x", USR, "Refused: bad day-of-week"},
    {"*\xc2\xa0* * * * x", USR, "Refused: bad day-of-week"},
    {"* * * *", USR, "Refused: bad day-of-week"},
    {"1?", USR, "Refused: bad hour"},
    // The command: from the first byte after the blanks to the end, CR kept; it may be empty.
    {"* * * * * echo hi \r", USR, "Job: [echo hi \r]"},
    {"* * * * *", USR, "Job: []"},
    {"* * * * *\vx", USR, "Job: []"},
    // A '*' where the command starts would be a sixth time field.
    {"* * * * * * x", USR, "Refused: bad command"},
    {"* * * * * *x", USR, "Refused: bad command"},
    {"@daily *", USR, "Refused: bad command"},
    {"* * * * * \\* x *", USR, "Job: [\\* x *]"},
    // A 0xFF byte reads as the end of the file right after a field's list and where the next
    // field or the command starts, refusing the field before; further on it is passed over.
    {"*\xff * * * * x", USR, "Refused: bad minute"},
    {"* \xff * * * x", USR, "Refused: bad minute"},
    {"* *.\xff-9 * * * x", USR, "Job: [x]"},
    {"* * * * * \xffx", USR, "Refused: bad day-of-week"},
    {"* * * * * x\xffy", USR, "Job: [x\xffy]"},
    // A NUL ends a command: cron reads what follows as its next line.
    {"* * * * * x\0* * * * * y"sv, USR, "Job: [x]"},
    {"* * * * * x\0y"sv, USR, "Refused: bad minute"},
    {"*\0 * * * * x"sv, USR, "Job: [x]"},
    {"\0"sv, USR, "Refused: bad minute"},
    // @ names: lower case only, ended by a blank.
    {"@reboot x", USR, "Job: [x]"},
    {"@annually\tx", USR, "Job: [x]"},
    {"@daily", USR, "Job: []"},
    {"@Daily x", USR, "Refused: bad time specifier"},
    {"@dailyx x", USR, "Refused: bad time specifier"},
    {"@daily? x", USR, "Refused: bad time specifier"},
    {"@ x", USR, "Refused: bad time specifier"},
    {"@daily \xffx", USR, "Job: [\xffx]"},
    {"@daily\0x"sv, USR, "Refused: bad minute"},
    // Assignments: read before jobs; white space is C's isspace here.
    {"A=b", USR, "Assignment: A=[b]"},
    {" A \t= \v b c \r", USR, "Assignment: A=[b c]"},
    {"FOO=a # note", USR, "Assignment: FOO=[a # note]"},
    {"A=", USR, "Refused: bad minute"},
    {"A= \r", USR, "Refused: bad minute"},
    {"A=\"\"", USR, "Assignment: A=[]"},
    {"A=' b '", USR, "Assignment: A=[ b ]"},
    {"A=\"b", USR, "Refused: bad minute"},
    {"A=\"b\"c", USR, "Refused: bad minute"},
    {"A=\"\"\"\"", USR, "Refused: bad minute"},
    {"A=\"b\" \r", USR, "Assignment: A=[b]"},
    {"A=b\"c\"", USR, "Assignment: A=[b\"c\"]"},
    {"=x", USR, "Assignment: =[x]"},
    {"*/5=x", USR, "Assignment: */5=[x]"},
    {"\xffQ.\"=x", USR, "Assignment: \xffQ.\"=[x]"},
    {"\"a b\"=c", USR, "Assignment: a b=[c]"},
    {"\"a=b\"=c", USR, "Refused: bad minute"},
    {"\"a\"b=c", USR, "Refused: bad minute"},
    {"a b=c", USR, "Refused: bad minute"},
    {"A\vB=c", USR, "Refused: bad minute"},
    {"\vA=b", USR, "Refused: bad minute"},
    {"5=", USR, "Refused: bad hour"},
    {"A=b\0* * * * * y"sv, USR, "Assignment: A=[b]"},
    {"A=b\0y"sv, USR, "Refused: bad minute"},
    {"A=\"b\0\""sv, USR, "Refused: bad minute"},
    // System crontabs: a user column after the schedule.
    {"* * * * * root echo hi", SYS, "Job: root [echo hi]"},
    {"@daily\troot\tx", SYS, "Job: root [x]"},
    {"* * * * *", SYS, "Refused: missing user"},
    {"@hourly ", SYS, "Refused: missing user"},
    {"* * * * * root", SYS, "Job: root []"},
    {"60 * * * * root x", SYS, "Refused: bad minute"},
    {"A=b", SYS, "Assignment: A=[b]"},
};

TEST(ReadCronLine, DocumentedExamples) {
  for (const Case& c : kLines) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    EXPECT_EQ(describe(read_cron_line(c.line, c.flavor)), c.expected);
  }
}

// The limits, at their boundaries.
TEST(ReadCronLine, Lengths) {
  struct LongCase {
    std::string line, expected;
  };
  const std::string x998(998, 'x');
  const std::string zeros998(998, '0');
  const LongCase cases[] = {
      {"* * * * * " + x998, "Job: [" + x998 + "]"},
      {"* * * * * " + x998 + "x", "Refused: command too long"},
      {"* * * * * " + x998 + " ", "Refused: command too long"},
      {"@daily   " + x998, "Job: [" + x998 + "]"},
      {"*/" + zeros998 + "1 * * * * x", "Job: [x]"},
      {"*/" + zeros998 + "01 * * * * x", "Refused: bad minute"},
      // Assignments are cut after 998 bytes from the first that is not blank.
      {"  A=" + x998, "Assignment: A=[" + x998.substr(2) + "]"},
      {"\"A\"=\"" + x998.substr(6) + "\"", "Assignment: A=[" + x998.substr(6) + "]"},
      {"\"A\"=\"" + x998.substr(5) + "\"", "Refused: bad minute"},
      {"A" + x998.substr(3) + "=x", "Assignment: A" + x998.substr(3) + "=[x]"},
      {"A" + x998.substr(2) + "=x", "Refused: bad minute"},
  };
  for (const LongCase& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 20));
    EXPECT_EQ(describe(read_cron_line(c.line, USR)), c.expected);
  }
}

// A last line without line feed.
TEST(ReadCronLine, LastLineWithoutNewline) {
  const Case cases[] = {
      {"", USR, "Skipped"},
      {" \t", USR, "Skipped"},
      {"# x\0y"sv, USR, "Skipped"},
      {"* * * * * x", USR, "Refused: new crontab file is missing newline before EOF"},
      {"60 * * * * x", USR, "Refused: new crontab file is missing newline before EOF"},
      {"\xff", USR, "Refused: new crontab file is missing newline before EOF"},
      {"A=b", USR, "Refused: new crontab file is missing newline before EOF"},
      // A NUL ends the first read before the end of the file.
      {"A=b\0"sv, USR, "Assignment: A=[b]"},
      {"* * * * * x\0"sv, USR, "Job: [x]"},
      {"* * * * * x\0A=b"sv, USR, "Refused: new crontab file is missing newline before EOF"},
      {"x\0"sv, USR, "Refused: bad minute"},
      {"1\0"sv, USR, "Refused: bad minute"},
      {"*\0 * *"sv, USR, "Refused: bad day-of-month"},
      {"*\0 * * * * "sv, USR, "Refused: bad day-of-week"},
      {"* * * * *\0 x"sv, USR, "Refused: bad command"},
      {"@daily\0"sv, USR, "Job: []"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.line)));
    EXPECT_EQ(describe(read_cron_last_line(c.line, c.flavor)), c.expected);
  }
}

}  // namespace
}  // namespace lintkeeper
