// The audit's rules of each line of a crontab, beside lintkeeper's own: what cron does with
// a carriage return, a line it refuses, an unknown user, and when a schedule really runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "checks/check_user.h"
#include "run/check_crontab.h"

namespace lintkeeper {

// Why cron ignores a whole file, as far as its lines tell.
struct LineVerdicts {
  std::uint64_t line_feeds = 0;
  std::optional<std::string> refused;       // "line 3 is refused (bad minute)"
  std::optional<std::string> unknown_user;  // "line 5 runs as the unknown user \"bob\""
  bool missing_newline = false;             // the last line has no line feed
};

// The hook of check_crontab that adds CARRIAGE_RETURN, CRON_REJECTS, NEVER_FIRES,
// LEAP_DAY_ONLY, DAY_OR and UNEVEN_STEP to the lines of one crontab, and gathers its verdicts.
class AuditLines final : public LineHook {
 public:
  AuditLines(CrontabFlavor flavor, const UserRules& users) : flavor_(flavor), users_(users) {}

  void line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
            LineFindings& found) override;
  const LineVerdicts& verdicts() const { return verdicts_; }

 private:
  void check_user_of(std::uint64_t number, std::string_view user);

  CrontabFlavor flavor_;
  const UserRules& users_;
  LineVerdicts verdicts_;
};

}  // namespace lintkeeper
