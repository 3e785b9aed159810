// Tests check_timing: schedules that never run, run on leap days only, on either day, unevenly.
#include "audit/check_timing.h"

#include <array>
#include <cstddef>
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

constexpr MessageKind NEVER = MessageKind::NEVER_FIRES;
constexpr MessageKind LEAP = MessageKind::LEAP_DAY_ONLY;
constexpr MessageKind OR = MessageKind::DAY_OR;
constexpr MessageKind STEP = MessageKind::UNEVEN_STEP;

using Case = testing::ScheduleCase;
constexpr auto check = testing::found_in<check_timing>;

const std::vector<Case> kCases = {
    // Days that no listed month has, when the day of week leaves the days of the month alone.
    {"0 3 30 2 *", {{NEVER, "Cron will never run this: February has no day 30."}}},
    {"0 0 31 4,6,9,11 *",
     {{NEVER, "Cron will never run this: April, June, September and November have no day 31."}}},
    {"0 0 30,31 feb */2", {{NEVER, "Cron will never run this: February has no day 30 or 31."}}},
    {"0 0 31 1-12 *", {}},
    {"0 0 30 1,2 *", {}},
    {"0 0 28 2 *", {}},
    {"0 0 29 2 *",
     {{LEAP, "Cron will run this only on 29 February, which comes once in four years."}}},
    {"0 0 29,30 2 *",
     {{LEAP, "Cron will run this only on 29 February, which comes once in four years."}}},
    // A range of names read downwards selects nothing.
    {"0 0 * dec-feb *",
     {{NEVER,
       "Cron will never run this: \"dec-feb\" in field \"month\" selects no month, as "
       "cron does not wrap a range past December."}}},
    {"0 0 * * sat-sun",
     {{NEVER,
       "Cron will never run this: \"sat-sun\" in field \"day of week\" selects no day, as "
       "cron does not wrap a range past Saturday."}}},
    {"0 */5 1 * sat-sun", {}},  // the 1st alone runs it
    {"0 0 30 2 sat-sun", {{NEVER, "Cron will never run this: February has no day 30."}}},
    // Both day fields restricted: either runs the job.
    {"0 0 13 * 5",
     {{OR,
       "Cron runs this on day 13 of the month and on every Friday, not only on Fridays that "
       "are day 13."}}},
    {"0 0 30 2 1",
     {{OR,
       "Cron runs this on every Monday, not only on Mondays that are day 30: February has no "
       "day 30."}}},
    {"0 0 31 4,6 sun",
     {{OR,
       "Cron runs this on every Sunday, not only on Sundays that are day 31: April and June "
       "have no day 31."}}},
    {"0 0 1-7 * mon",
     {{OR,
       "Cron runs this on days 1 to 7 of the month and on every Monday, not only on Mondays "
       "that are days 1 to 7."}}},
    {"0 0 1,15 * sat,7",
     {{OR,
       "Cron runs this on days 1 and 15 of the month and on every Saturday and Sunday, not "
       "only on Saturdays and Sundays that are days 1 and 15."}}},
    {"0 0 1,2,3,10 * 6,0,Mon",
     {{OR,
       "Cron runs this on days 1 to 3 and 10 of the month and on every Saturday to Monday, "
       "not only on Saturdays to Mondays that are days 1 to 3 and 10."}}},
    {"0 0 */2 * 1", {}},
    {"0 0 1 * */2", {}},
    // Steps over a whole field, across its end.
    {"*/7 * * * *",
     {{STEP,
       "\"*/7\" in field \"minute\" runs at minutes 0, 7, 14, ..., 56: from minute 56 to "
       "minute 0 of the next hour is 4 minutes, not 7."}}},
    {"0-59/59 23,0 * * *",
     {{STEP,
       "\"0-59/59\" in field \"minute\" runs at minutes 0 and 59: from minute 59 to minute "
       "0 of the next hour is 1 minute, not 59."}}},
    {"*/1 * * * *", {}},
    {"*/30 * * * *", {}},
    {"*/7 3 * * *", {}},
    {"*/7 0,23 * * 1", {}},
    {"0 */5 * * *",
     {{STEP,
       "\"*/5\" in field \"hour\" runs at hours 0, 5, 10, 15 and 20: from hour 20 to hour 0 "
       "of the next day is 4 hours, not 5."}}},
    {"0 */5 * * 1", {}},
    // A week that starts at 1 and ends at 7, Sunday again.
    {"0 0 * * 1-7/2",
     {{STEP,
       "\"1-7/2\" in field \"day of week\" runs on Monday, Wednesday, Friday and Sunday: from "
       "Sunday to Monday is 1 day, not 2."}}},
    {"0 */5 1 * *", {}},
    {"0 */24 * * *", {}},  // loaded by cron, though lintkeeper reports the value
    {"0 8-18/4 * * *", {}},
    {"1-59/7 * * * *", {}},
    {"*/7,30 * * * *", {}},  // a list: its values are not those of one step
    {"0 0 */2 * *",
     {{STEP,
       "\"*/2\" in field \"day of month\" runs on days 1, 3, 5, ..., 31: from 31 January "
       "to 1 February is 1 day, not 2."}}},
    {"0 0 */4 * *",
     {{STEP,
       "\"*/4\" in field \"day of month\" runs on days 1, 5, 9, ..., 29: from 29 April to "
       "1 May is 2 days, not 4."}}},
    {"0 0 1-31/16 2,3 *",
     {{STEP,
       "\"1-31/16\" in field \"day of month\" runs on days 1 and 17: from 17 February to 1 "
       "March is 12 days, not 16."}}},
    {"0 0 */2 1 *", {}},
    {"0 0 1 */5 *",
     {{STEP,
       "\"*/5\" in field \"month\" runs in January, June and November: from November to "
       "January of the next year is 2 months, not 5."}}},
    {"0 0 1 */4 *", {}},
    {"0 0 1 */12 *", {}},
    {"0 0 * * */2",
     {{STEP,
       "\"*/2\" in field \"day of week\" runs on Sunday, Tuesday, Thursday and Saturday: "
       "from Saturday to Sunday is 1 day, not 2."}}},
    {"0 0 * * 1-7/3",
     {{STEP,
       "\"1-7/3\" in field \"day of week\" runs on Monday, Thursday and Sunday: from "
       "Sunday to Monday is 1 day, not 3."}}},
    {"0 0 * * */4",
     {{STEP,
       "\"*/4\" in field \"day of week\" runs on Sunday and Thursday: from Thursday to Sunday "
       "is 3 days, not 4."}}},
    {"0 0 * * */7", {}},
    // Steps of names, over the whole week and year.
    {"0 0 * * sun-sat/2",
     {{STEP,
       "\"sun-sat/2\" in field \"day of week\" runs on Sunday, Tuesday, Thursday and "
       "Saturday: from Saturday to Sunday is 1 day, not 2."}}},
    {"0 0 1 jan-dec/5 *",
     {{STEP,
       "\"jan-dec/5\" in field \"month\" runs in January, June and November: from November "
       "to January of the next year is 2 months, not 5."}}},
    // Every day of the week listed: the days of the month do not turn with the months, so
    // their step is not uneven; both day fields still run the job.
    {"0 0 1-31/2 * 0-6",
     {{OR,
       "Cron runs this on days 1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29 and 31 of "
       "the month and on every Monday to Sunday, not only on Mondays to Sundays that are days "
       "1, 3, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29 and 31."}}},
    // Both day fields joined: neither turns alone, so neither step is uneven.
    {"0 0 */2 * */2", {}},
    {"0 0 1-31 * */2", {}},
    // Either day and an uneven step: both findings.
    {"0 */5 1 * 1",
     {{OR,
       "Cron runs this on day 1 of the month and on every Monday, not only on Mondays that "
       "are day 1."},
      {STEP,
       "\"*/5\" in field \"hour\" runs at hours 0, 5, 10, 15 and 20: from hour 20 to hour 0 "
       "of the next day is 4 hours, not 5."}}},
    {"*/45 */23 1,2 * *",
     {{STEP,
       "\"*/45\" in field \"minute\" runs at minutes 0 and 45: from minute 45 to minute 0 "
       "of the next hour is 15 minutes, not 45."},
      {STEP,
       "\"*/23\" in field \"hour\" runs at hours 0 and 23: from hour 23 to hour 0 of the "
       "next day is 1 hour, not 23."}}},
};

TEST(CheckTiming, Messages) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.schedule);
    EXPECT_EQ(check(c.schedule), c.found);
  }
}

}  // namespace
}  // namespace lintkeeper
