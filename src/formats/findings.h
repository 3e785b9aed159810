// The one walk of an audit's findings that every format of it reads: each finding with the
// text of its line and a fingerprint.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "audit/audit.h"
#include "findings/verdict.h"

namespace lintkeeper {

// One finding of an audited file.
struct ReportedFinding {
  Finding finding;
  std::string_view line_text;  // the trimmed text of its line, when it is on one
  // 16 hexadecimal digits from the path, the kind, the texts and how many findings before it
  // have the same: it stays the same when unrelated lines are added above.
  std::string fingerprint;
  const Fix* fix = nullptr;  // its fix, when it has one

  MessageKind kind() const { return finding.kind; }
  std::string_view text() const { return finding.text; }
  std::uint64_t line() const { return finding.line; }
  std::string_view severity() const { return severity_word(finding.severity()); }
  // The line a report points it at (report_line).
  std::uint64_t report_line() const { return lintkeeper::report_line(finding); }
};

// Calls each for every finding of the file: its findings about the file first, then those
// of its lines in order.
void for_each_finding(const AuditedFile& file,
                      const std::function<void(const ReportedFinding&)>& each);

}  // namespace lintkeeper
