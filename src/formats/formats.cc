// The formats of the audit's report: choosing one, and the text and gcc formats.
#include "formats/formats.h"

#include <vector>

#include <fmt/format.h>

#include "base/unicode.h"
#include "formats/findings.h"
#include "formats/junit.h"
#include "formats/text_report.h"

namespace lintkeeper {

namespace {

constexpr bool rows_follow_enum_order() {
  for (std::size_t i = 0; i < FORMATS.size(); ++i) {
    if (static_cast<std::size_t>(FORMATS[i].format) != i) return false;
  }
  return true;
}
static_assert(rows_follow_enum_order());

// The layout of the list of jobs: lines of at most kTextWidth columns, where they can be cut.
constexpr std::size_t kTextWidth = 80;
constexpr std::string_view kJobIndent = "    ";
constexpr std::size_t kRunsPerLine = 2;

// The findings of one file in lintkeeper's layout, but that those about the whole file are
// named by their kinds.
class TextFile final : public FindingReader {
 public:
  explicit TextFile(Output& out) : out_(out) {}
  void file_finding(const Finding& f) override {
    out_.print("{}: {}: {}\n", severity_letter(f.severity()), kind_name(f.kind), f.text);
  }
  void line(const LineRecord& line) override {
    if (!line.findings.empty()) write_line_findings(out_, line);
  }

 private:
  Output& out_;
};

// "2026-03-29 03:00 +02:00": a run as people read it.
std::string run_text(const JobRun& run) {
  std::string text = format_rfc3339(run.at, run.offset, {.seconds = false});
  if (text.size() < 19) return text;
  text[10] = ' ';
  return text.replace(16, 3, " ");
}

// The words of text, wrapped at kTextWidth after indent.
void write_wrapped(Output& out, std::string_view indent, std::string_view text) {
  std::string line(indent);
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find(' ', start), text.size());
    const std::string_view word = text.substr(start, end - start);
    if (line.size() > indent.size() && line.size() + 1 + word.size() > kTextWidth) {
      out.print("{}\n", line);
      line = indent;
    }
    if (line.size() > indent.size()) line += ' ';
    line += word;
    start = end + 1;
  }
  out.print("{}\n", line);
}

// The jobs, each with where it is, its user and schedule, then its plain words and its runs,
// two to a line.
void write_jobs_text(const Audit& audit, Output& out) {
  out.print("Jobs and their next {}, in {} ({}):\n", counted(audit.next, "run", "runs"),
            audit.time_zone, audit.time_zone_why);
  if (audit.jobs.empty()) out.write("  none\n");
  for (const AuditedJob& job : audit.jobs) {
    out.print("\n{}:{}", lossy_utf8(local_path(audit, audit.files[job.file])), job.line);
    if (job.user) out.print("  {}", lossy_utf8(*job.user));
    out.print("  {}", lossy_utf8(job.schedule));
    if (job.time_zone != audit.time_zone) out.print("  in {}", job.time_zone);
    out.write("\n");
    write_wrapped(out, kJobIndent, job.description);
    for (std::size_t i = 0; i < job.next.size(); i += kRunsPerLine) {
      out.write(kJobIndent);
      for (std::size_t j = i; j < job.next.size() && j < i + kRunsPerLine; ++j) {
        out.print("{}{}", j > i ? "  " : "", run_text(job.next[j]));
      }
      out.write("\n");
    }
  }
  out.write("\n");
}

// Each file with findings: a header, its file findings with their kinds, then its lines in
// lintkeeper's layout; last a summary over all files.
void write_text(const Audit& audit, Output& out) {
  if (audit.cron_told) {
    out.print("Auditing as {}: {}.\n\n", cron_info(audit.cron.cron).title, audit.cron.why);
  }
  std::size_t shown = 0, files_shown = 0;
  const AuditedFile* whole = nullptr;  // the entry about the whole host, when it has findings
  for (const AuditedFile& file : audit.files) {
    if (file.findings->counts().total() == 0) continue;
    if (shown++ > 0) out.write("\n");
    if (file.whole) {
      whole = &file;
    } else {
      ++files_shown;
    }
    out.print("Checking correctness of {} ({})\n", lossy_utf8(local_path(audit, file)),
              file.reading);
    TextFile text(out);
    file.findings->walk(text);
  }
  if (shown > 0) out.write("\n");
  if (audit.next > 0) write_jobs_text(audit, out);
  const Counts counts = audit.counts();
  const std::uint64_t errors = counts.errors, warnings = counts.warnings;
  const std::string files = counted(audit.file_count(), "file", "files");
  // "about the host and in 1 of 4 files", "in 1 of 4 files", "about the host".
  std::string where;
  if (whole != nullptr) where = fmt::format("about the {}", whole->reading);
  if (files_shown > 0) {
    where += fmt::format("{}in {} of {}", where.empty() ? "" : " and ", files_shown, files);
  }
  if (errors > 0) {
    out.print("E: There were {} and {} {}.\n", counted(errors, "error", "errors"),
              counted(warnings, "warning", "warnings"), where);
  } else if (warnings > 0) {
    out.print("W: There were {} {}.\n", counted(warnings, "warning", "warnings"), where);
  } else {
    out.print("No errors and no warnings in {}.\n", files);
  }
}

// One line per finding, at the line a report points it at.
void write_gcc(const Audit& audit, Output& out) {
  for (const AuditedFile& file : audit.files) {
    const std::string path = lossy_utf8(local_path(audit, file));
    for_each_finding(file, [&](const ReportedFinding& f) {
      out.print("{}:{}:1: {}: {} [{}]\n", path, f.report_line(), f.severity(), f.text(),
                kind_name(f.kind()));
    });
  }
}

// GitHub's escaping of workflow-command data, and of property values besides ':' and ','.
std::string github_escaped(std::string_view text, bool property) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      case ':':
        out += property ? "%3A" : ":";
        break;
      case ',':
        out += property ? "%2C" : ",";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// One workflow command per finding: ::error file=PATH,line=N,title=KIND::TEXT.
void write_github(const Audit& audit, Output& out) {
  for (const AuditedFile& file : audit.files) {
    const std::string path = github_escaped(lossy_utf8(report_path(audit, file)), true);
    for_each_finding(file, [&](const ReportedFinding& f) {
      // A finding about the whole file is an annotation of the file, on no line.
      out.print("::{} file={}", f.severity(), path);
      if (f.line() > 0) out.print(",line={}", f.line());
      out.print(",title={}::{}\n", kind_name(f.kind()),
                github_escaped(lossy_utf8(f.text()), false));
    });
  }
}

// lintkeeper's JUnit layout, one test suite per file; a warning fails its case only when the
// warnings of the whole audit are over the limit.
void write_junit(const Audit& audit, const ReportSettings& settings, Output& out) {
  const bool warnings_fail = settings.limit.exceeded(audit.counts());
  std::vector<JunitSuite> suites;
  std::uint64_t tests = 0, failures = 0;
  for (const AuditedFile& file : audit.files) {
    suites.emplace_back(*file.findings, warnings_fail, KindNames::Every);
    tests += suites.back().tests();
    failures += suites.back().failures();
  }
  out.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  out.print("<testsuites name=\"{}\" tests=\"{}\" failures=\"{}\">\n", settings.tool_name, tests,
            failures);
  for (std::size_t i = 0; i < suites.size(); ++i) {
    suites[i].write(out, report_path(audit, audit.files[i]));
  }
  out.write("</testsuites>\n");
}

}  // namespace

std::string counted(std::uint64_t n, std::string_view one, std::string_view many) {
  return fmt::format("{} {}", n, n == 1 ? one : many);
}

std::string local_path(const Audit& audit, const AuditedFile& file) {
  if (audit.root.empty() || audit.root == "/") return file.path;
  return (audit.root.ends_with('/') ? audit.root.substr(0, audit.root.size() - 1) : audit.root) +
         file.path;
}

std::string report_path(const Audit& audit, const AuditedFile& file) {
  if (audit.root.empty()) return file.path;
  const std::size_t start = file.path.find_first_not_of('/');  // relative to the root
  return start == std::string::npos ? std::string(".") : file.path.substr(start);
}

std::optional<Format> format_from_name(std::string_view name) {
  for (const FormatInfo& info : FORMATS) {
    if (info.name == name) return info.format;
  }
  return std::nullopt;
}

void write_report(Format format, const Audit& audit, const ReportSettings& settings, Output& out) {
  switch (format) {
    case Format::Text:
      return write_text(audit, out);
    case Format::Gcc:
      return write_gcc(audit, out);
    case Format::Json:
      return write_json(audit, settings, out);
    case Format::Sarif:
      return write_sarif(audit, settings, out);
    case Format::CodeQuality:
      return write_code_quality(audit, out);
    case Format::Github:
      return write_github(audit, out);
    case Format::Junit:
      return write_junit(audit, settings, out);
  }
}

}  // namespace lintkeeper
