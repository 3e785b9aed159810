// The formats of the audit's report: choosing one, and the text and gcc formats.
#include "formats/formats.h"

#include <fmt/format.h>

#include "base/unicode.h"

namespace lintkeeper {

namespace {

constexpr bool rows_follow_enum_order() {
  for (std::size_t i = 0; i < FORMATS.size(); ++i) {
    if (static_cast<std::size_t>(FORMATS[i].format) != i) return false;
  }
  return true;
}
static_assert(rows_follow_enum_order());

std::string_view severity_word(Severity severity) {
  return severity == Severity::Error ? "error" : "warning";
}

bool has_findings(const Report& report) { return report.errors() + report.warnings() > 0; }

// Each file with findings: a header, its file messages with their kinds, then its lines in
// lintkeeper's layout; last a summary over all files.
void write_text(const Audit& audit, Output& out) {
  std::size_t shown = 0;
  for (const AuditedFile& file : audit.files) {
    const Report& report = *file.report;
    if (!has_findings(report)) continue;
    if (shown++ > 0) out.write("\n");
    out.print("Checking correctness of {} ({})\n", lossy_utf8(file.path), file.reading);
    for (const LineMessage& m : report.file_messages()) {
      out.print("{}: {}: {}\n", m.severity() == Severity::Error ? 'E' : 'W', kind_name(m.kind),
                m.text);
    }
    LineRecord line{};
    for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
      if (!line.messages.empty()) write_line_messages(out, line.number, line.text, line.messages);
    }
  }
  if (shown > 0) out.write("\n");
  const std::uint64_t errors = audit.errors(), warnings = audit.warnings();
  if (errors > 0) {
    out.print("E: There were {} errors and {} warnings in {} of {} files.\n", errors, warnings,
              shown, audit.files.size());
  } else if (warnings > 0) {
    out.print("W: There were {} warnings in {} of {} files.\n", warnings, shown,
              audit.files.size());
  } else {
    out.print("No errors and no warnings in {} files.\n", audit.files.size());
  }
}

// One line per finding; a finding about the whole file points at its first line.
void write_gcc(const Audit& audit, Output& out) {
  for (const AuditedFile& file : audit.files) {
    const Report& report = *file.report;
    const std::string path = lossy_utf8(file.path);
    const auto finding = [&](std::uint64_t line, const LineMessage& m) {
      out.print("{}:{}:1: {}: {} [{}]\n", path, line, severity_word(m.severity()), m.text,
                kind_name(m.kind));
    };
    for (const LineMessage& m : report.file_messages()) finding(m.line > 0 ? m.line : 1, m);
    LineRecord line{};
    for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
      for (const LineMessage& m : line.messages) finding(line.number, m);
    }
  }
}

}  // namespace

std::optional<Format> format_from_name(std::string_view name) {
  for (const FormatInfo& info : FORMATS) {
    if (info.name == name) return info.format;
  }
  return std::nullopt;
}

void write_report(Format format, const Audit& audit, const ReportSettings&, Output& out) {
  switch (format) {
    case Format::Text:
      return write_text(audit, out);
    case Format::Gcc:
      return write_gcc(audit, out);
  }
}

}  // namespace lintkeeper
