// The audit's rules of each line of a crontab.
#include "audit/line_rules.h"

#include <algorithm>
#include <variant>

#include "audit/check_timing.h"
#include "cron/cron_line.h"
#include "fields/check_fields.h"

namespace lintkeeper {

namespace {

using Verdict = CronReading::Verdict;

// The schedule of a scheduled line, or null.
const Schedule* schedule_of(const CrontabLine& line) {
  if (const auto* s = std::get_if<Standard>(&line)) return &s->schedule;
  if (const auto* s = std::get_if<System>(&line)) return &s->schedule;
  return nullptr;
}

// A carriage return before the line feed: lintkeeper trims it as white space, cron keeps it
// at the end of the command or the value.
void check_carriage_return(std::string_view body, const CrontabLine& line, LineFindings& found) {
  if (!body.ends_with('\r')) return;
  if (const auto* v = std::get_if<EnvVar>(&line)) {
    found.add(MessageKind::CARRIAGE_RETURN,
              "Cron keeps the carriage return at the end of this line: the value of {} ends "
              "in it.",
              v->name);
  } else if (std::holds_alternative<Special>(line) || schedule_of(line) != nullptr) {
    found.add(MessageKind::CARRIAGE_RETURN,
              "Cron keeps the carriage return at the end of this line: the command ends in "
              "it.");
  }
}

}  // namespace

void AuditLines::line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
                      LineFindings& found) {
  const bool terminated = raw.ends_with('\n');
  const std::string_view body = terminated ? raw.substr(0, raw.size() - 1) : raw;
  if (terminated) ++verdicts_.line_feeds;
  const CronReading cron =
      terminated ? read_cron_line(body, flavor_) : read_cron_last_line(body, flavor_);

  if (cron.verdict == Verdict::Refused) {
    if (cron.reason == CRON_MISSING_NEWLINE) {
      verdicts_.missing_newline = true;  // lintkeeper reports the missing line feed itself
    } else {
      if (!verdicts_.refused) {
        verdicts_.refused = fmt::format("line {} is refused ({})", number, cron.reason);
      }
      // A line lintkeeper finds wrong already has its error; one it finds right needs this.
      if (line != nullptr && !found.has_error()) {
        found.add(MessageKind::CRON_REJECTS, "Cron refuses this line: {}.", cron.reason);
      }
    }
  } else if (cron.verdict == Verdict::Job && flavor_ == CrontabFlavor::SystemCrontab) {
    check_user_of(number, cron.user);
  }
  if (line == nullptr) return;
  check_carriage_return(body, *line, found);
  const Schedule* schedule = schedule_of(*line);
  if (schedule != nullptr && is_valid_schedule(*schedule)) check_timing(*schedule, found);
}

void AuditLines::check_user_of(std::uint64_t number, std::string_view user) {
  if (verdicts_.unknown_user || users_.no_check_passwd || is_exempt_user(user, users_)) return;
  if (!is_known_missing(users_.users->lookup(user))) return;
  verdicts_.unknown_user = fmt::format("line {} runs as the unknown user \"{}\"", number, user);
}

}  // namespace lintkeeper
