// Tests check_fields: limits, ranges, steps, names, parse errors and hours-not-minutes.
#include "fields/check_fields.h"

#include <array>
#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "testing/findings.h"

namespace lintkeeper {
namespace {

using testing::Found;
using testing::schedule_of;

constexpr MessageKind PARSE = MessageKind::FIELD_PARSE_ERROR;
constexpr MessageKind VALUE = MessageKind::FIELD_VALUE_ERROR;
constexpr MessageKind HOURS = MessageKind::HOURS_NOT_MINUTES;

using Case = testing::ScheduleCase;
constexpr auto check = testing::found_in<check_fields>;

const std::vector<Case> kCases = {
    // Boundaries that pass.
    {"* * * * *", {}},
    {"59 23 31 12 7", {}},
    {"0 0 1 1 0", {}},
    {"*/59 */23 */31 */12 */7", {}},
    {"0-59/59 0-23 1-31 1-12 0-7", {}},
    {"0 0 * JAN,feb-MAR *", {}},
    {"0 0 * * fri-mon", {}},
    // A step of names or of a star is compared with 0 and the limit only.
    {"0 0 * jan-mar/5 *", {}},
    {"*/45 * * * mon-tue/7", {}},
    {"0 0 * Jan-DEC/12 SUN,mOn-sat/7", {}},
    // Every field one past its limits.
    {"60 24 0 13 8",
     {{VALUE, "60 is too high for field \"minute\" (60)"},
      {VALUE, "24 is too high for field \"hour\" (24)"},
      {VALUE, "0 is too low for field \"day of month\" (0)"},
      {VALUE, "13 is too high for field \"month\" (13)"},
      {VALUE, "8 is too high for field \"day of week\" (8)"}}},
    {"0 0 * 0 *", {{VALUE, "0 is too low for field \"month\" (0)"}}},
    // A zero step in every field, and steps one past the limit.
    {"*/0 * * * *", {{VALUE, "0 is too low for field \"minute\" (*/0)"}}},
    {"0 */0 * * *", {{VALUE, "0 is too low for field \"hour\" (*/0)"}}},
    {"0 * */0 * *", {{VALUE, "0 is too low for field \"day of month\" (*/0)"}}},
    {"0 * * */0 *", {{VALUE, "0 is too low for field \"month\" (*/0)"}}},
    {"0 * * * */0", {{VALUE, "0 is too low for field \"day of week\" (*/0)"}}},
    {"*/60 * * * *", {{VALUE, "60 is too high for field \"minute\" (*/60)"}}},
    {"0 */24 */32 */13 */8",
     {{VALUE, "24 is too high for field \"hour\" (*/24)"},
      {VALUE, "32 is too high for field \"day of month\" (*/32)"},
      {VALUE, "13 is too high for field \"month\" (*/13)"},
      {VALUE, "8 is too high for field \"day of week\" (*/8)"}}},
    // Ranges: order, start against the lower limit, end against the upper one only.
    {"0 30-31 * * *", {{VALUE, "31 is too high for field \"hour\" (30-31)"}}},
    {"0 5-3 * * *", {{VALUE, "5 is greater than 3 in field \"hour\" (5-3)"}}},
    {"0 0 0-32 * *",
     {{VALUE, "0 is too low for field \"day of month\" (0-32)"},
      {VALUE, "32 is too high for field \"day of month\" (0-32)"}}},
    // Ranges with a step.
    {"1-5/6 * * * *",
     {{VALUE, "the step (6) is greater than the last number (5) in field \"minute\" (1-5/6)"}}},
    {"0 3-1/0 * * *",
     {{VALUE, "3 is greater than 1 in field \"hour\" (3-1/0)"},
      {VALUE, "0 is too low for field \"hour\" (3-1/0)"}}},
    {"0 0 32-0/40 * *",
     {{VALUE, "32 is greater than 0 in field \"day of month\" (32-0/40)"},
      {VALUE,
       "the step (40) is greater than the last number (0) in field \"day of month\" (32-0/40)"},
      {VALUE, "40 is too high for field \"day of month\" (32-0/40)"}}},
    {"0 0 * 0-13/13 *",
     {{VALUE, "0 is too low for field \"month\" (0-13/13)"},
      {VALUE, "13 is too high for field \"month\" (0-13/13)"},
      {VALUE, "13 is too high for field \"month\" (0-13/13)"}}},
    // Names: allowed only in the month and day of week fields, and only the listed ones.
    {"0 mon-fri/0 * * *",
     {{VALUE, "mon is not valid for field \"hour\" (mon-fri/0)"},
      {VALUE, "fri is not valid for field \"hour\" (mon-fri/0)"},
      {VALUE, "0 is too low for field \"hour\" (mon-fri/0)"}}},
    {"0 0 * * sun-jan/8",
     {{VALUE, "jan is not valid for field \"day of week\" (sun-jan/8)"},
      {VALUE, "8 is too high for field \"day of week\" (sun-jan/8)"}}},
    {"Mon 0 Jan * *",
     {{VALUE, "Mon is not valid for field \"minute\" (Mon)"},
      {VALUE, "Jan is not valid for field \"day of month\" (Jan)"}}},
    {"0 0 * janvier JA",
     {{VALUE, "janvier is not valid for field \"month\" (janvier)"},
      {VALUE, "JA is not valid for field \"day of week\" (JA)"}}},
    // Numbers are quoted without leading zeros, a saturated one as the largest value.
    {"99999999999999999999 * * * *",
     {{VALUE, "18446744073709551615 is too high for field \"minute\" (18446744073709551615)"}}},
    {"0 0 1-99999999999999999999 * *",
     {{VALUE,
       "18446744073709551615 is too high for field \"day of month\" (1-18446744073709551615)"}}},
    {"0 0 000 007-013/0002 *",
     {{VALUE, "0 is too low for field \"day of month\" (0)"},
      {VALUE, "13 is too high for field \"month\" (7-13/2)"}}},
    // Several items of one field, in written order.
    {"0 0 1,0,40 * *",
     {{VALUE, "0 is too low for field \"day of month\" (0)"},
      {VALUE, "40 is too high for field \"day of month\" (40)"}}},
    // Fields that did not parse: their items read before the fault are still checked.
    {"0 1, * * *", {{PARSE, "Failed to fully parse \"hour\" field here: \"1,\" is incomplete"}}},
    {"1,, * * * *", {{PARSE, "Failed to fully parse \"minute\" field here: \"1,[[,]]\""}}},
    {"60,, * * * *",
     {{PARSE, "Failed to fully parse \"minute\" field here: \"60,[[,]]\""},
      {VALUE, "60 is too high for field \"minute\" (60)"}}},
    {"0 0 * 0,13x sun-",
     {{PARSE, "Failed to fully parse \"month\" field here: \"0,13[[x]]\""},
      {VALUE, "0 is too low for field \"month\" (0)"},
      {PARSE, "Failed to fully parse \"day of week\" field here: \"sun-\" is incomplete"}}},
    // Every minute of fixed hours.
    {"* 3 * * *", {{HOURS, "Cron will run this every minute for the hours set."}}},
    {"* */2 * * *", {{HOURS, "Cron will run this every minute for the hours set."}}},
    {"* *,* * * *", {{HOURS, "Cron will run this every minute for the hours set."}}},
    {"* 1-5 * * *", {{HOURS, "Cron will run this every minute for the hours set."}}},
    {"* 3,15 * * *", {{HOURS, "Cron will run this every minute for the hours set."}}},
    {"0 3 * * *", {}},
    {"*,* 3 * * *", {}},
    {"*/1 3 * * *", {}},
    {"0-59 3 * * *", {}},
    {"* * 1 1 1", {}},
    {"*x 3 * * *",
     {{PARSE, "Failed to fully parse \"minute\" field here: \"*[[x]]\""},
      {HOURS, "Cron will run this every minute for the hours set."}}},
    // A minute field with an item left is not every minute; an hour field without items
    // is not a fixed hour.
    {"1,, 3 * * *", {{PARSE, "Failed to fully parse \"minute\" field here: \"1,[[,]]\""}}},
    {"* 1, * * *", {{PARSE, "Failed to fully parse \"hour\" field here: \"1,\" is incomplete"}}},
    // The warning comes after the messages of all five fields.
    {"* 24 * * 9",
     {{VALUE, "24 is too high for field \"hour\" (24)"},
      {VALUE, "9 is too high for field \"day of week\" (9)"},
      {HOURS, "Cron will run this every minute for the hours set."}}},
};

TEST(CheckFields, Messages) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.schedule);
    EXPECT_EQ(check(c.schedule), c.found);
  }
}

// A kind not taken is dropped; the other kinds still come through.
TEST(CheckFields, ValueErrorsDropped) {
  LineFindings found;
  KindSet dropped;
  dropped.set(static_cast<std::size_t>(VALUE));
  found.drop(dropped);
  check_fields(schedule_of("*x 24 0 * *"), found);
  EXPECT_EQ(testing::found(found.all()),
            (std::vector<Found>{
                {PARSE, "Failed to fully parse \"minute\" field here: \"*[[x]]\""},
                {HOURS, "Cron will run this every minute for the hours set."},
            }));
}

}  // namespace
}  // namespace lintkeeper
