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

// Writes the report to args.junit, unless that is the crontab (by its identity). Returns the
// description of the error that stopped it, or nothing on success.
std::optional<std::string> write_junit_report(const Args& args, const Report& report,
                                              std::optional<FileIdentity> crontab);

}  // namespace lintkeeper
