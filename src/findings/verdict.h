// What the findings of a run decide: their counts, the warning limit, the exit status, and
// where a report points a finding about the whole file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "findings/finding.h"

namespace lintkeeper {

struct Counts {
  std::uint64_t errors = 0;
  std::uint64_t warnings = 0;

  void count(Severity severity) { (severity == Severity::Error ? errors : warnings) += 1; }
  Counts& operator+=(const Counts& other) {
    errors += other.errors;
    warnings += other.warnings;
    return *this;
  }
  std::uint64_t total() const { return errors + warnings; }
};

// The exit statuses of a run, and what each means.
struct ExitStatusInfo {
  int status;
  std::string_view meaning;
};
inline constexpr auto EXIT_STATUSES = std::to_array<ExitStatusInfo>({
    {0, "no error, and no more warnings than --fail-warnings"},
    {1, "more warnings than --fail-warnings"},
    {2, "at least one error"},
});

// --fail-warnings: the warnings a run may have and still pass; absent counts as 0.
struct WarningLimit {
  std::optional<std::uint64_t> allowed;

  // Whether the warnings counted make the run fail.
  bool exceeded(const Counts& counts) const { return counts.warnings > allowed.value_or(0); }
  // 2 for an error, 1 for more warnings than allowed, else 0 (EXIT_STATUSES).
  int exit_status(const Counts& counts) const {
    if (counts.errors > 0) return EXIT_STATUSES[2].status;
    return EXIT_STATUSES[exceeded(counts) ? 1 : 0].status;
  }
};

// The line a report points a finding at: its own, or the first line for a finding about the
// whole file.
constexpr std::uint64_t report_line(const Finding& finding) {
  return finding.line > 0 ? finding.line : 1;
}

}  // namespace lintkeeper
