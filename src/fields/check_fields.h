// Schedule checks: limits, ranges, steps and names of the five time fields.
#pragma once

#include "findings/finding.h"
#include "grammar/line.h"

namespace lintkeeper {

// Adds FIELD_PARSE_ERROR and FIELD_VALUE_ERROR errors field by field, then at most one
// HOURS_NOT_MINUTES warning.
void check_fields(const Schedule& schedule, LineFindings& found);

// Whether check_fields finds no FIELD_PARSE_ERROR or FIELD_VALUE_ERROR in the schedule.
bool is_valid_schedule(const Schedule& schedule);

}  // namespace lintkeeper
