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
RunPartsEntry judge(FileSystem& fs, const std::string& dir, std::string_view name,
                    RunPartsNames names) {
  RunPartsEntry entry{std::string(name), RunPartsVerdict::Runs};
  if (!run_parts_runs_name(names, name)) {
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

bool run_parts_runs_name(RunPartsNames names, std::string_view name) {
  switch (names) {
    case RunPartsNames::Portable:
      return is_portable_name(name);
    case RunPartsNames::PortableAndDot:
      if (name.empty() || name.front() == '.') return false;
      return std::all_of(name.begin(), name.end(),
                         [](char c) { return c == '.' || has_class(c, kNameChar); });
    case RunPartsNames::Any:
      return true;
  }
  return false;
}

std::string_view run_parts_name_chars(RunPartsNames names) {
  switch (names) {
    case RunPartsNames::Portable:
      return "[A-Za-z0-9_-]";
    case RunPartsNames::PortableAndDot:
      return "[A-Za-z0-9._-]";
    case RunPartsNames::Any:
      return "any byte";
  }
  return {};
}

std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(FileSystem& fs,
                                                             const std::string& path, int& error,
                                                             RunPartsNames names) {
  return read_run_parts_dir(fs, path, names, error);
}

std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(FileSystem& fs,
                                                             const std::string& path,
                                                             RunPartsNames names, int& error) {
  std::vector<std::string> entries_of;
  if (const int failure = fs.read_dir(path, entries_of); failure != 0) {
    error = failure;
    return std::nullopt;
  }
  std::vector<RunPartsEntry> entries;
  for (const std::string& name : entries_of) entries.push_back(judge(fs, path, name, names));
  // std::string compares bytes as unsigned char, as strcmp does.
  std::sort(entries.begin(), entries.end(),
            [](const RunPartsEntry& a, const RunPartsEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace lintkeeper
