// When a job runs, in one short English sentence worked out from the values cron gives each
// field: "At 03:00 on Monday to Friday".
#pragma once

#include <string>

#include "cron/cron_reading.h"

namespace lintkeeper {

// The plain words of when a job runs: "At 03:00 on Monday to Friday", "Every 15 minutes from
// 09:00 to 17:45", "At 00:00 on day 13 of the month and on every Friday", "Never: April has
// no day 31". Worked out from the values, not from the text of the fields, the sentence names
// every time the job runs at and no other: a long set of values is told as runs ("minutes 0
// to 29"), as a step ("Every 7 minutes from minute 0 to 56") or listed whole after its count
// ("9 days of the month (1, 3, 4, 6, 8, 9, 11, 12 and 14)"), never cut short. It has no full
// stop.
std::string describe_times(const JobTimes& times);

// The same for a job a cron read: "When cron starts" for an @reboot job.
std::string describe_job(const CronReading& reading);

}  // namespace lintkeeper
