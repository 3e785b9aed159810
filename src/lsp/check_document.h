// The audit of an open document: lintkeeper-audit's of the file at its path, made of the text
// the editor holds rather than of what is saved.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit.h"
#include "base/file_system.h"
#include "lsp/reading.h"
#include "lsp/text.h"

namespace lintkeeper {

// The runs of each job the audit lists, for the hover.
inline constexpr std::size_t kNextRuns = 5;

struct CheckedDocument {
  DocumentText text;
  Audit audit;
};

// The command line of lintkeeper-audit (without the program's name) whose audit this is:
// "--cron NAME" and "--user" as reading says, "--next 5", then the path.
std::vector<std::string> audit_arguments(const std::string& path, const DocumentReading& reading);

// The audit of text as the file at path, every other file read from base: it gives what
// lintkeeper-audit --format gcc of audit_arguments gives once text is saved there.
CheckedDocument check_document(const std::string& path, std::string text,
                               const DocumentReading& reading, FileSystem& base);

}  // namespace lintkeeper
