// The audit's rules of each line of a crontab, beside lintkeeper's own: what the cron in hand
// does with each line (refuses it, misreads it, joins it, crashes on it), with a carriage
// return, a %, a # or an unknown user, and when a schedule really runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "audit/audit.h"
#include "base/hash.h"
#include "checks/check_user.h"
#include "cron/cron_reading.h"
#include "cron/crons.h"
#include "run/check_crontab.h"

namespace lintkeeper {

// Why the cron ignores a whole file, as far as its lines tell.
struct LineVerdicts {
  std::uint64_t line_feeds = 0;
  std::optional<std::string> refused;       // "line 3 is refused (bad minute)"
  std::optional<std::string> unknown_user;  // "line 5 runs as the unknown user \"bob\""
  std::optional<std::string> crash;         // "line 2 crashes busybox's crond"
  bool missing_newline = false;             // the last line has no line feed
  std::uint64_t first_unread = 0;           // the first line past the cron's limit, or 0
  // The last line when it has no line feed, as read: where the missing one goes.
  std::uint64_t last_line = 0;
  std::string last_raw;
  std::uint64_t last_offset = 0;  // where in the file it starts
  // The bytes read, and their FNV-1a hash: to tell that a file is still the one audited.
  std::uint64_t size = 0;
  std::uint64_t hash = kFnvOffsetBasis;
};

// When the jobs of a crontab run: the daemon's zone, the instant to count from, the zones that
// a cron's zone variable names (CRON_TZ), and the list that gathers the jobs when there is one.
struct JobClock {
  const TimeZone* zone = nullptr;
  std::int64_t now = 0;
  std::function<const TimeZone*(std::string_view name)> zone_named;  // null: no such zone
  std::size_t next = 0;                     // the runs to list for each job
  std::vector<AuditedJob>* jobs = nullptr;  // where the jobs go, or null
  std::size_t file = 0;                     // the crontab's entry in Audit::files
};

// The hook of check_crontab that adds the audit's findings to the lines of one crontab, as
// the cron reads them, and gathers its verdicts.
class AuditLines final : public LineHook {
 public:
  // user: the user the crontab belongs to (a spool's), or empty.
  AuditLines(const CronInfo& cron, CrontabFlavor flavor, const UserRules& users,
             std::string_view user, const JobClock& clock);
  ~AuditLines() override;

  void line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
            LineFindings& found) override;
  void end() override;
  const LineVerdicts& verdicts() const { return verdicts_; }

 private:
  void refused(std::uint64_t number, const CronReading& cron, const CrontabLine* line,
               LineFindings& found);
  void job(std::uint64_t number, const CronReading& cron, const CrontabLine* line,
           LineFindings& found);
  void check_user_of(std::uint64_t number, std::string_view user);
  void check_timing_of(const CrontabLine& line, const CronReading& cron, LineFindings& found);
  // Its runs: DST_SKIPPED and DST_REPEATED, and its entry in the list of jobs.
  void job_runs(std::uint64_t number, const CronReading& cron, std::string schedule,
                LineFindings& found);
  // The time fields of a job line as written, or its @ name (of body, the line, where
  // lintkeeper's reading has none).
  static std::string schedule_text(const CrontabLine* line, std::string_view body);
  bool takes_a_user(std::string_view command) const;

  const CronInfo& cron_;
  CrontabFlavor flavor_;
  const UserRules& users_;
  std::string user_;
  std::unique_ptr<CrontabModel> model_;
  LineVerdicts verdicts_;
  // The first of lines the cron joins, each but the last ending in a backslash, and whether it
  // is a comment.
  std::uint64_t joined_from_ = 0;
  bool joined_comment_ = false;
  std::string joined_schedule_;  // of the first of the lines joined
  const JobClock& clock_;
  const TimeZone* zone_;  // of the jobs below: the daemon's, or the zone variable's
  std::string zone_name_;
};

// The model of how the cron reads the lines of a crontab of the flavour, belonging to user
// (empty for a system crontab).
std::unique_ptr<CrontabModel> crontab_model(const CronInfo& cron, CrontabFlavor flavor,
                                            std::string_view user);

}  // namespace lintkeeper
