// When a cron job really runs: its next runs on the daemon's clock in its time zone, with what
// the cron does when the zone changes its offset; and the changes of the next months that skip
// or repeat a job's times (DST_SKIPPED, DST_REPEATED).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/time_zone.h"
#include "cron/cron_reading.h"
#include "cron/crons.h"
#include "findings/finding.h"

namespace lintkeeper {

// How far ahead a job's runs are looked for: the calendar's days of the week come round on the
// same dates after 28 years, so a job that runs at all runs within them.
inline constexpr std::int64_t kRunsHorizonDays = 28 * 366;

// The job's runs at or after `now` (seconds since the epoch), at most count of them, in the
// order the cron makes them; none for a job that never runs, within `horizon` days.
std::vector<std::int64_t> next_runs(const JobTimes& times, const TimeZone& zone, ClockRule rule,
                                    std::int64_t now, std::size_t count,
                                    std::int64_t horizon = kRunsHorizonDays);

// The runs of the job from `from` up to `to` (both included), in order.
std::vector<std::int64_t> runs_between(const JobTimes& times, const TimeZone& zone, ClockRule rule,
                                       std::int64_t from, std::int64_t to);

// Adds DST_SKIPPED and DST_REPEATED for the job's times that a change of the zone's offset in
// the year after `now` skips or repeats, saying what the cron then does (speaker names it).
void check_clock_changes(const JobTimes& times, const TimeZone& zone, const CronInfo& cron,
                         std::int64_t now, LineFindings& found);

}  // namespace lintkeeper
