// Timing checks: when cron really runs a schedule, and where that differs from how it reads.
#pragma once

#include "findings/finding.h"
#include "grammar/line.h"

namespace lintkeeper {

// Adds NEVER_FIRES, LEAP_DAY_ONLY, DAY_OR and UNEVEN_STEP findings about when cron runs a
// schedule. Only for a schedule on which check_fields reports no error (every field parsed,
// every value in its limits). Allocates nothing itself: a schedule without findings costs a
// few bit operations a field.
void check_timing(const Schedule& schedule, LineFindings& found);

}  // namespace lintkeeper
