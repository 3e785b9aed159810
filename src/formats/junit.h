// JUnit XML report: one test case for the file and one per line worth showing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_identity.h"
#include "base/output.h"
#include "findings/store.h"

namespace lintkeeper {

// Escapes a text for XML attributes and content; characters XML cannot hold become U+FFFD.
std::string escape_xml(std::string_view text);

// How a report names the kinds of its findings: lintkeeper shows its kinds about the file
// as "FILE" and their texts alone; lintkeeper-audit names every kind.
enum class KindNames { Lintkeeper, Every };

// The test cases of one crontab's findings: one for the file and one per line worth showing.
// A case with a finding fails when it has an error, or when the warnings of the run fail it
// (WarningLimit::exceeded).
class JunitSuite {
 public:
  JunitSuite(const FindingStore& store, bool warnings_fail, KindNames names);
  std::uint64_t tests() const { return tests_; }
  std::uint64_t failures() const { return failures_; }
  // Writes the <testsuite> element; path is the crontab's path as text.
  void write(Output& out, std::string_view path) const;

 private:
  const FindingStore& store_;
  bool warnings_fail_;
  KindNames names_;
  std::uint64_t tests_ = 0, failures_ = 0;
};

// lintkeeper's JUnit file: the findings of the crontab at crontab_path, written to path unless
// that is the crontab (by its identity). Returns the description of the error that stopped
// it, or nothing on success.
std::optional<std::string> write_junit_report(const std::string& path,
                                              std::string_view crontab_path,
                                              const FindingStore& store, const WarningLimit& limit,
                                              std::optional<FileIdentity> crontab);

}  // namespace lintkeeper
