// The findings of an audit as every format reads them, with a fingerprint each.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "audit/audit.h"

namespace lintkeeper {

// One finding of an audited file.
struct Finding {
  MessageKind kind;
  std::string_view text;
  std::uint64_t line;          // the line it is on or concerns; 0 for the whole file
  std::string_view line_text;  // the trimmed text of that line, when the finding is on it
  // 16 hexadecimal digits from the path, the kind, the texts and how many findings before it
  // have the same: it stays the same when unrelated lines are added above.
  std::string fingerprint;

  Severity severity() const { return severity_of(kind); }
};

// Calls each for every finding of the file: its findings about the file first, then those
// of its lines in order.
void for_each_finding(const AuditedFile& file, const std::function<void(const Finding&)>& each);

}  // namespace lintkeeper
