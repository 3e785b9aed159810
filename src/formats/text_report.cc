// lintkeeper's text report.
#include "formats/text_report.h"

#include <limits>
#include <string_view>

#include <fmt/format.h>

namespace lintkeeper {

namespace {

// The largest line number has 20 digits; finding lines indent by its digits and two more.
constexpr std::size_t kMaxDigits = std::numeric_limits<std::uint64_t>::digits10 + 1;
constexpr std::string_view kIndent = "                      ";
static_assert(kIndent.size() == kMaxDigits + 2);

// "E: " and "e: " (under a line) for each severity, by its index.
struct Prefixes {
  char text[SEVERITIES.size()][2][3];
};
constexpr Prefixes kPrefixes = [] {
  Prefixes p{};
  for (std::size_t i = 0; i < SEVERITIES.size(); ++i) {
    const char letter = SEVERITIES[i].letter;
    for (const bool upper : {false, true}) {
      char* text = p.text[i][upper];
      text[0] = upper ? letter : static_cast<char>(letter | 0x20);
      text[1] = ':';
      text[2] = ' ';
    }
  }
  return p;
}();

void write_letter(Output& out, Severity severity, bool upper) {
  out.write({kPrefixes.text[static_cast<std::size_t>(severity)][upper], 3});
}

}  // namespace

void write_line_findings(Output& out, const LineRecord& line) {
  // Written piece by piece rather than formatted: a large crontab can have a finding on
  // every line.
  const fmt::format_int digits(line.number);
  write_letter(out, line.findings.front().severity(), true);
  out.write({digits.data(), digits.size()});
  out.write(": ");
  out.write(line.text);
  out.write("\n");
  const std::string_view indent = kIndent.substr(0, digits.size() + 2);
  for (const Finding& f : line.findings) {
    write_letter(out, f.severity(), false);
    out.write(indent);
    if (named_in_reports(f.kind)) {
      out.write(kind_name(f.kind));
      out.write(": ");
    }
    out.write(f.text);
    out.write("\n");
  }
}

void TextReport::file_finding(const Finding& finding) {
  write_letter(out_, finding.severity(), true);
  out_.write(finding.text);
  out_.write("\n");
}

void TextReport::line(const LineRecord& line) {
  if (!line.findings.empty()) write_line_findings(out_, line);
}

void write_summary(Output& out, const Counts& counts) {
  if (counts.errors > 0) {
    out.print("E: There were {} errors and {} warnings.\n", counts.errors, counts.warnings);
  } else if (counts.warnings > 0) {
    out.print("W: There were {} warnings.\n", counts.warnings);
  }
}

}  // namespace lintkeeper
