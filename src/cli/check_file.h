// lintkeeper's run of one crontab: the header line, the check of the crontab with its text
// report printed as it goes, the summary and the JUnit file.
#pragma once

#include "base/file_system.h"
#include "base/output.h"
#include "cli/args.h"
#include "findings/store.h"
#include "formats/text_report.h"

namespace lintkeeper {

class LintkeeperRun {
 public:
  // The findings are kept as keep asks, and all of them for a JUnit file; unless quiet, the
  // report is printed to out as the crontab is read.
  LintkeeperRun(const Args& args, Output& out, FindingStore::Keep keep = FindingStore::Keep::None);
  // Returns the exit status (0, 1 or 2).
  int run(FileSystem& fs);
  const FindingStore& findings() const { return findings_; }

 private:
  const Args& args_;
  Output& out_;
  TextReport text_;
  FindingStore findings_;
};

}  // namespace lintkeeper
