// The formats of the audit's report, each written from the finished audit.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "audit/audit.h"
#include "base/output.h"
#include "findings/verdict.h"

namespace lintkeeper {

class JsonWriter;

enum class Format { Text, Gcc, Json, Sarif, CodeQuality, Github, Junit };

struct FormatInfo {
  Format format;
  std::string_view name;         // as --format names it
  std::string_view description;  // one line, as the help lists it
  bool every_line;               // the format lists every line, not only those with findings
};

inline constexpr auto FORMATS = std::to_array<FormatInfo>({
    {Format::Text, "text", "files with findings in lintkeeper's layout, then a summary", false},
    {Format::Gcc, "gcc", "PATH:LINE:COLUMN: error|warning: TEXT [KIND], for editors and CI", false},
    {Format::Json, "json", "one JSON document of every file and finding (docs/audit.schema.json)",
     false},
    {Format::Sarif, "sarif", "SARIF 2.1.0, for GitHub code scanning and other SARIF readers",
     false},
    {Format::CodeQuality, "codequality", "GitLab's Code Quality report", false},
    {Format::Github, "github", "GitHub Actions workflow commands: annotations on the files", false},
    {Format::Junit, "junit", "JUnit XML, one test suite per file, as lintkeeper's --junit", true},
});

constexpr const FormatInfo& format_info(Format format) {
  return FORMATS[static_cast<std::size_t>(format)];
}
std::optional<Format> format_from_name(std::string_view name);

// What a report says besides the findings.
struct ReportSettings {
  WarningLimit limit;
  std::string_view tool_name;
  std::string_view tool_version;
};

void write_report(Format format, const Audit& audit, const ReportSettings& settings, Output& out);

// The formats written as JSON.
void write_json(const Audit& audit, const ReportSettings& settings, Output& out);
void write_sarif(const Audit& audit, const ReportSettings& settings, Output& out);
void write_code_quality(const Audit& audit, Output& out);
// A finding's fix as the JSON report has it: {"safety", "description", "edits": [{"line",
// "start", "end", "text"}], "command"}, or null for none.
void write_fix(JsonWriter& json, const Fix* fix);
// The members "time_zone" (the daemon's zone and why) and "jobs" (each job with its next
// runs), as the JSON report has them with --next.
void write_jobs(JsonWriter& json, const Audit& audit);

// A path as the reports for tools name it: as given, or relative to the root of a host audit
// ("." for the root itself).
std::string report_path(const Audit& audit, const AuditedFile& file);

// "1 error", "2 errors".
std::string counted(std::uint64_t n, std::string_view one, std::string_view many);
// A path as the reports for people and editors name it: the file's path on this machine.
std::string local_path(const Audit& audit, const AuditedFile& file);

}  // namespace lintkeeper
