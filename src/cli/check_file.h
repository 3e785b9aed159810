// lintkeeper's run of one crontab: the header line, the check of the crontab with its text
// report printed as it goes, the summary and the JUnit file.
#pragma once

#include <optional>

#include "base/file_system.h"
#include "base/output.h"
#include "cli/args.h"
#include "findings/store.h"
#include "formats/text_report.h"

namespace lintkeeper {

class LintkeeperRun {
 public:
  // The findings are kept as keep asks, and all of them for a JUnit file; unless quiet, the
  // report is printed to out as the crontab is read. watcher, when given, is handed each
  // finding about the file and each finished line just before the report prints it.
  LintkeeperRun(const Args& args, Output& out, FindingStore::Keep keep = FindingStore::Keep::None,
                FindingReader* watcher = nullptr);
  // Returns the exit status (0, 1 or 2).
  int run(FileSystem& fs);
  const FindingStore& findings() const { return findings_; }

 private:
  // Hands each finding to the watcher, then to the text report.
  class Watched final : public FindingReader {
   public:
    Watched(FindingReader& watcher, FindingReader& report) : watcher_(watcher), report_(report) {}
    void file_finding(const Finding& finding) override {
      watcher_.file_finding(finding);
      report_.file_finding(finding);
    }
    void line(const LineRecord& line) override {
      watcher_.line(line);
      report_.line(line);
    }

   private:
    FindingReader& watcher_;
    FindingReader& report_;
  };

  // The reader the store hands findings to as they come.
  FindingReader* live(FindingReader* watcher);

  const Args& args_;
  Output& out_;
  TextReport text_;
  std::optional<Watched> watched_;
  FindingStore findings_;
};

}  // namespace lintkeeper
