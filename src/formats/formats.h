// The formats of the audit's report, each written from the finished audit.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "audit/audit.h"
#include "base/output.h"

namespace lintkeeper {

enum class Format { Text, Gcc };

struct FormatInfo {
  Format format;
  std::string_view name;         // as --format names it
  std::string_view description;  // one line, as the help lists it
  bool every_line;               // the format lists every line, not only those with findings
};

inline constexpr auto FORMATS = std::to_array<FormatInfo>({
    {Format::Text, "text", "files with findings in lintkeeper's layout, then a summary", false},
    {Format::Gcc, "gcc", "PATH:LINE:COLUMN: error|warning: TEXT [KIND], for editors and CI", false},
});

constexpr const FormatInfo& format_info(Format format) {
  return FORMATS[static_cast<std::size_t>(format)];
}
std::optional<Format> format_from_name(std::string_view name);

// What a report says besides the findings.
struct ReportSettings {
  std::optional<std::uint64_t> fail_warnings;
};

void write_report(Format format, const Audit& audit, const ReportSettings& settings, Output& out);

}  // namespace lintkeeper
