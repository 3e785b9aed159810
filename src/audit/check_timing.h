// Timing checks: when cron really runs a schedule, and where that differs from how it reads.
#pragma once

#include <string_view>

#include "cron/cron_reading.h"
#include "findings/finding.h"
#include "grammar/line.h"

namespace lintkeeper {

// Adds NEVER_FIRES, LEAP_DAY_ONLY, DAY_OR and UNEVEN_STEP findings about when cron runs a
// schedule. Only for a schedule on which check_fields reports no error (every field parsed,
// every value in its limits). Allocates nothing itself: a schedule without findings costs a
// few bit operations a field.
void check_timing(const Schedule& schedule, LineFindings& found);

// The same when the cron gives the fields the values of times (its own reading of the line):
// the schedule's texts and steps are quoted where the cron reads a field as written. who
// names the cron at the start of the sentences.
void check_timing(const Schedule& schedule, const JobTimes& times, LineFindings& found,
                  std::string_view who = "Cron");

// The values of a valid schedule's fields as written, and its day fields "any day" where they
// start with '*': Debian's cron's reading.
JobTimes times_of(const Schedule& schedule);

}  // namespace lintkeeper
