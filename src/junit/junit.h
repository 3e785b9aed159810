// JUnit XML report: one test case for the file and one per line worth showing.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "base/file_identity.h"
#include "cli/args.h"
#include "report/report.h"

namespace lintkeeper {

// Escapes a text for XML attributes and content; characters XML cannot hold become U+FFFD.
std::string escape_xml(std::string_view text);

// How a report names the kinds of its messages: lintkeeper shows its kinds about the file
// as "FILE" and their texts alone; lintkeeper-audit names every kind.
enum class KindNames { Lintkeeper, Every };

// The test cases of one crontab's report: one for the file and one per line worth showing.
// A case with a message fails when the warnings counted are over the limit, or it has an error.
class JunitSuite {
 public:
  JunitSuite(const Report& report, bool over_limit, KindNames names);
  std::uint64_t tests() const { return tests_; }
  std::uint64_t failures() const { return failures_; }
  // Writes the <testsuite> element; path is the crontab's path as text.
  void write(Output& out, std::string_view path) const;

 private:
  const Report& report_;
  bool over_limit_;
  KindNames names_;
  std::uint64_t tests_ = 1, failures_ = 0;
};

// Writes the report to args.junit, unless that is the crontab (by its identity). Returns the
// description of the error that stopped it, or nothing on success.
std::optional<std::string> write_junit_report(const Args& args, const Report& report,
                                              std::optional<FileIdentity> crontab);

}  // namespace lintkeeper
