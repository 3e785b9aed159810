// lintkeeper's text report: the findings about the file as they come, each line with
// findings under a header, then the summary. The audit's text format lays its lines out the
// same way.
#pragma once

#include "base/output.h"
#include "findings/finding.h"
#include "findings/verdict.h"

namespace lintkeeper {

// A finished line with findings: "E: 12: text" (or "W:" when it has no error), then a line per
// finding, "e:     KIND: text", errors first as given.
void write_line_findings(Output& out, const LineRecord& line);

// Printed while the crontab is read, so that memory stays flat however long it is.
class TextReport final : public FindingReader {
 public:
  explicit TextReport(Output& out) : out_(out) {}
  // "E: text": lintkeeper shows its findings about the file by their text alone.
  void file_finding(const Finding& finding) override;
  void line(const LineRecord& line) override;

 private:
  Output& out_;
};

// "E: There were 1 errors and 3 warnings.", "W: There were 2 warnings.", or nothing.
void write_summary(Output& out, const Counts& counts);

}  // namespace lintkeeper
