// When a cron job really runs, on the daemon's clock.
#include "audit/next_runs.h"

#include <algorithm>
#include <array>
#include <limits>

#include <fmt/format.h>

namespace lintkeeper {

namespace {

constexpr std::size_t kMinute = 0, kHour = 1, kDay = 2, kMonth = 3, kWeek = 4;
constexpr std::int64_t kDaySeconds = 86400;

constexpr bool has(std::uint64_t bits, int value) { return (bits >> value) & 1; }

// Whether the job runs on the date, by the cron's rule of the two day fields.
bool runs_on(const JobTimes& t, std::int64_t days) {
  const CivilDate date = civil_from_days(days);
  if (!has(t.bits[kMonth], date.month)) return false;
  const bool by_day = has(t.bits[kDay], date.day);
  const bool by_week = has(t.bits[kWeek], weekday(days));
  if (t.any_day_of_month || t.any_day_of_week) return by_day && by_week;
  return by_day || by_week;
}

// The change of offset that a wall-clock time of a gap falls in, near the instant guessed.
ZoneTransition change_around(const TimeZone& zone, std::int64_t guess) {
  const std::vector<ZoneTransition> near =
      zone.transitions(guess - 2 * kDaySeconds, guess + 2 * kDaySeconds);
  for (const ZoneTransition& t : near) {
    const std::int64_t local = guess;  // the wall clock as if it were UTC
    if (t.offset_after > t.offset_before && local >= t.at + t.offset_before &&
        local < t.at + t.offset_after) {
      return t;
    }
  }
  return near.empty() ? ZoneTransition{guess, 0, 0} : near.front();
}

// The runs a wall-clock time of the job gives: one instant, none in a gap (but the instant of
// the change for a time the cron makes up), one or two in an overlap.
void runs_of(const JobTimes& t, const TimeZone& zone, ClockRule rule, const LocalDateTime& local,
             std::vector<std::int64_t>& runs) {
  const LocalInstants instants = zone.instants_of(local);
  const bool makes_up = rule == ClockRule::MakesUp && !t.follows_clock;
  if (instants.size() == 1) {
    runs.push_back(instants.front().at);
    return;
  }
  if (instants.empty()) {
    const std::int64_t wall = days_from_civil(local.year, local.month, local.day) * kDaySeconds +
                              local.hour * 3600 + local.minute * 60;
    const ZoneTransition change = change_around(zone, wall);
    if (makes_up && change.offset_after - change.offset_before < MAKE_UP_LIMIT) {
      runs.push_back(change.at);
    }
    return;
  }
  const std::int64_t repeated = instants.back().offset - instants.front().offset;
  if (makes_up && -repeated < MAKE_UP_LIMIT && repeated < MAKE_UP_LIMIT) {
    runs.push_back(instants.front().at);
    return;
  }
  for (const LocalInstant& i : instants) runs.push_back(i.at);
}

// Calls each for every wall-clock time of the job on the date, in order.
template <typename Each>
void times_on(const JobTimes& t, std::int64_t days, Each&& each) {
  const CivilDate date = civil_from_days(days);
  for (int hour = 0; hour < 24; ++hour) {
    if (!has(t.bits[kHour], hour)) continue;
    for (int minute = 0; minute < 60; ++minute) {
      if (has(t.bits[kMinute], minute))
        each(LocalDateTime{date.year, date.month, date.day, hour, minute, 0});
    }
  }
}

// The runs from the date of `from` on, day by day, until more than `enough` runs at or after
// `from` are known or the horizon (in days) is reached.
std::vector<std::int64_t> collect(const JobTimes& t, const TimeZone& zone, ClockRule rule,
                                  std::int64_t from, std::int64_t to, std::size_t enough,
                                  std::int64_t horizon) {
  std::vector<std::int64_t> runs;
  if (t.bits[kMinute] == 0 || t.bits[kHour] == 0) return runs;
  // From a day early: a date's runs may come before the instant's date as the zone reads it.
  const LocalDateTime start = zone.local_time(from);
  const std::int64_t start_day = days_from_civil(start.year, start.month, start.day) - 1;
  std::int64_t last_day = start_day + horizon;
  if (to < std::numeric_limits<std::int64_t>::max()) {
    const LocalDateTime end = zone.local_time(to);
    last_day = std::min(last_day, days_from_civil(end.year, end.month, end.day) + 1);
  }
  std::size_t after = 0;
  std::int64_t enough_day = -1;
  for (std::int64_t day = start_day; day <= last_day; ++day) {
    if (enough_day >= 0 && day > enough_day + 1) break;  // a day more, for a repeated hour
    if (!runs_on(t, day)) continue;
    const std::size_t before = runs.size();
    times_on(t, day, [&](const LocalDateTime& local) { runs_of(t, zone, rule, local, runs); });
    for (std::size_t i = before; i < runs.size(); ++i) {
      if (runs[i] >= from && runs[i] <= to) ++after;
    }
    if (after >= enough && enough_day < 0) enough_day = day;
  }
  std::stable_sort(runs.begin(), runs.end());
  std::erase_if(runs, [&](std::int64_t r) { return r < from || r > to; });
  return runs;
}

std::string date_words(const LocalDateTime& d) {
  static constexpr std::array<std::string_view, 12> kMonths{
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  return fmt::format("{} {} {}", d.day, kMonths[d.month - 1], d.year);
}

std::string clock_words(int seconds_of_day) {
  return fmt::format("{:02}:{:02}", seconds_of_day / 3600 % 24, seconds_of_day / 60 % 60);
}

// The job's wall-clock times on the date within [first, last) (seconds of the day).
std::vector<int> times_within(const JobTimes& t, std::int64_t days, int first, int last) {
  std::vector<int> found;
  if (!runs_on(t, days)) return found;
  times_on(t, days, [&](const LocalDateTime& local) {
    const int s = local.hour * 3600 + local.minute * 60;
    if (s >= first && s < last) found.push_back(s);
  });
  return found;
}

// "02:30", "the 60 times from 02:00 to 02:59".
std::string times_words(const std::vector<int>& times) {
  if (times.size() == 1) return clock_words(times.front());
  return fmt::format("its {} times from {} to {}", times.size(), clock_words(times.front()),
                     clock_words(times.back()));
}

}  // namespace

std::vector<std::int64_t> next_runs(const JobTimes& times, const TimeZone& zone, ClockRule rule,
                                    std::int64_t now, std::size_t count, std::int64_t horizon) {
  if (count == 0) return {};
  std::vector<std::int64_t> runs =
      collect(times, zone, rule, now, std::numeric_limits<std::int64_t>::max(), count, horizon);
  if (runs.size() > count) runs.resize(count);
  return runs;
}

std::vector<std::int64_t> runs_between(const JobTimes& times, const TimeZone& zone, ClockRule rule,
                                       std::int64_t from, std::int64_t to) {
  const std::int64_t days = (to - from) / kDaySeconds + 2;
  return collect(times, zone, rule, from, to, std::numeric_limits<std::size_t>::max(), days);
}

void check_clock_changes(const JobTimes& times, const TimeZone& zone, const CronInfo& cron,
                         std::int64_t now, LineFindings& found) {
  const bool makes_up = cron.clock == ClockRule::MakesUp && !times.follows_clock;
  for (const ZoneTransition& change : zone.transitions(now, now + 365 * kDaySeconds)) {
    const std::int64_t shift = change.offset_after - change.offset_before;
    // The wall clock before the change, and the one it jumps to.
    const LocalDateTime from = local_date_time(change.at, change.offset_before);
    const LocalDateTime to = local_date_time(change.at, change.offset_after);
    const std::int64_t day = days_from_civil(from.year, from.month, from.day);
    const int clock_from = from.hour * 3600 + from.minute * 60;
    const int clock_to = to.hour * 3600 + to.minute * 60;
    const bool small = shift < MAKE_UP_LIMIT && -shift < MAKE_UP_LIMIT;
    if (shift > 0) {
      const std::vector<int> skipped =
          times_within(times, day, clock_from, clock_from + static_cast<int>(shift));
      if (skipped.empty()) continue;
      const std::string what =
          makes_up && small
              ? fmt::format("{} runs it at {} instead{}", cron.speaker, clock_words(clock_to),
                            skipped.size() > 1 ? ", once for each" : "")
              : fmt::format("{} does not run it then", cron.speaker);
      found.add(MessageKind::DST_SKIPPED,
                "On {} the clock of {} goes from {} to {}, skipping {}: {}.", date_words(from),
                zone.name(), clock_words(clock_from), clock_words(clock_to), times_words(skipped),
                what);
    } else if (shift < 0) {
      const std::int64_t to_day = days_from_civil(to.year, to.month, to.day);
      const std::vector<int> repeated =
          times_within(times, to_day, clock_to, clock_to + static_cast<int>(-shift));
      if (repeated.empty()) continue;
      const std::string what = makes_up && small
                                   ? fmt::format("{} runs it once, at the first", cron.speaker)
                                   : fmt::format("{} runs it twice", cron.speaker);
      found.add(MessageKind::DST_REPEATED,
                "On {} the clock of {} goes back from {} to {}, so {} come{} twice: {}.",
                date_words(from), zone.name(), clock_words(clock_from), clock_words(clock_to),
                times_words(repeated), repeated.size() == 1 ? "s" : "", what);
    }
  }
}

}  // namespace lintkeeper
