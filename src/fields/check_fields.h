// Schedule checks: limits, ranges, steps and names of the five time fields.
#pragma once

#include <array>

#include "grammar/line.h"
#include "report/report.h"

namespace lintkeeper {

// The five fields of a scheduled line, in column order.
using ScheduleFields = std::array<const Field*, 5>;

// Adds FIELD_PARSE_ERROR and FIELD_VALUE_ERROR errors field by field, then at most one
// HOURS_NOT_MINUTES warning.
void check_fields(const ScheduleFields& fields, Report& report);

}  // namespace lintkeeper
