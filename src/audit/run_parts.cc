// Reads a directory as run-parts does: names, then file type, then the execute test.
#include "audit/run_parts.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "base/chars.h"

namespace lintkeeper {

namespace {

// The order of the tests is run-parts' own: a bad name is never stat'ed (a dangling symlink
// named "a.b" draws no complaint), and a FIFO draws one even without an execute bit.
RunPartsEntry judge(FileSystem& fs, const std::string& dir, std::string_view name) {
  RunPartsEntry entry{std::string(name), RunPartsVerdict::Runs};
  if (!is_portable_name(name)) {
    entry.verdict = RunPartsVerdict::BadName;
    return entry;
  }
  const std::string path = dir + "/" + entry.name;
  FileStatus st;
  if (const int error = fs.stat(path, st); error != 0) {
    entry.verdict = RunPartsVerdict::StatFailed;
    entry.error = error;
  } else if (S_ISDIR(st.mode)) {
    entry.verdict = RunPartsVerdict::Directory;
  } else if (!S_ISREG(st.mode)) {
    entry.verdict = RunPartsVerdict::SpecialFile;
  } else if (!fs.can_execute(path)) {
    entry.verdict = RunPartsVerdict::NotExecutable;
  }
  return entry;
}

}  // namespace

std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(FileSystem& fs,
                                                             const std::string& path, int& error) {
  std::vector<std::string> names;
  if (const int failure = fs.read_dir(path, names); failure != 0) {
    error = failure;
    return std::nullopt;
  }
  std::vector<RunPartsEntry> entries;
  for (const std::string& name : names) entries.push_back(judge(fs, path, name));
  // std::string compares bytes as unsigned char, as strcmp does.
  std::sort(entries.begin(), entries.end(),
            [](const RunPartsEntry& a, const RunPartsEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace lintkeeper
