// JUnit XML report: one test case for the file and one per line worth showing.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "cli/args.h"
#include "report/report.h"

namespace lintkeeper {

// Escapes a text for XML attributes and content; characters XML cannot hold become U+FFFD.
std::string escape_xml(std::string_view text);

// The crontab's identity, so that the report never overwrites the file being checked.
struct FileIdentity {
  dev_t device;
  ino_t inode;
};

// Writes the report to args.junit. Returns the description of the error that stopped it,
// or nothing on success.
std::optional<std::string> write_junit_report(const Args& args, const Report& report,
                                              std::optional<FileIdentity> crontab);

}  // namespace lintkeeper
