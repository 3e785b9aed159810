// How Debian's run-parts sees a directory: the entries it runs, in order, and why it skips others.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "cron/crons.h"

namespace lintkeeper {

// What run-parts (without --lsbsysinit or --regex) does with one entry. It tests the name
// first and looks no further at a bad name; then it stats the entry, following symlinks.
enum class RunPartsVerdict {
  Runs,           // a regular file, well named, that the caller may execute
  BadName,        // not [A-Za-z0-9_-]+ (".placeholder", "backup.sh", "x~"): skipped silently
  NotExecutable,  // a regular file that access(X_OK) refuses: skipped silently
  Directory,      // a directory, or a symlink to one: skipped silently
  SpecialFile,    // a FIFO, socket or device: skipped, "not an executable plain file", status 1
  StatFailed,     // stat fails (a dangling symlink, a loop): skipped, "failed to stat"
};

struct RunPartsEntry {
  std::string name;  // the entry's name in the directory
  RunPartsVerdict verdict;
  int error = 0;  // the errno of stat for StatFailed, else 0
  friend bool operator==(const RunPartsEntry&, const RunPartsEntry&) = default;
};

// The entries of the directory as run-parts sees them, in the order it would run them: the byte
// order of the names, whatever the locale. "." and ".." are left out. The execute test is
// access(X_OK) for the calling user, as run-parts makes it: as root any execute bit will do;
// as another user only the bit of its class (owner, group or other) counts; either way a
// filesystem mounted noexec refuses. On failure to open or read the directory, returns nothing
// and sets error to the errno.
// names is the rule of names of the run-parts in hand (Debian's by default).
std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(
    FileSystem& fs, const std::string& path, int& error,
    RunPartsNames names = RunPartsNames::Portable);
std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(FileSystem& fs,
                                                             const std::string& path,
                                                             RunPartsNames names, int& error);

// Whether run-parts runs a file of that name.
bool run_parts_runs_name(RunPartsNames names, std::string_view name);

// The characters of the names run-parts runs, as a set: "[A-Za-z0-9_-]" (names starting with
// a dot are never run, under any rule).
std::string_view run_parts_name_chars(RunPartsNames names);

}  // namespace lintkeeper
