// --diff and --fix: the fixes of an audit's findings shown as a diff, or made in the files,
// each written whole or not at all, keeping its owner and mode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "audit/audit.h"
#include "base/file_system.h"

namespace lintkeeper {

struct FixRequest {
  bool unsafe = false;  // the unsafe fixes too
  bool write = false;   // make them in the files (--fix), else only show them (--diff)
  // The working directory, absolute: the diff names the files from it.
  std::string working_dir;
};

struct FixResult {
  std::string diff;                   // the unified diff of every file, in the audit's order
  std::vector<std::string> refusals;  // "can not fix PATH: why", for each file left alone
  std::vector<std::string> commands;  // the fixes that no edit makes, to run by hand
  std::size_t findings = 0;           // the findings fixed (or, without write, to fix)
  std::size_t files = 0;              // the files changed (or to change)
};

// Makes or shows the fixes of the audit's findings. A file is left alone, with its reason,
// when it is a symbolic link, has more than one hard link, is no longer the bytes audited,
// or cannot be written beside.
FixResult fix_files(const Audit& audit, FileSystem& fs, const FixRequest& request);

// A path as the diff names it from the working directory (both absolute, or path relative
// to it): relative to it when it is inside it, else from "/".
std::string diff_path(std::string_view path, std::string_view working_dir);

}  // namespace lintkeeper
