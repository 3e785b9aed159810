// Reads a directory as run-parts does: names, then file type, then the execute test.
#include "audit/run_parts.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

#include "base/chars.h"

namespace lintkeeper {

namespace {

// The order of the tests is run-parts' own: a bad name is never stat'ed (a dangling symlink
// named "a.b" draws no complaint), and a FIFO draws one even without an execute bit.
RunPartsEntry judge(int dir_fd, std::string_view name) {
  RunPartsEntry entry{std::string(name), RunPartsVerdict::Runs};
  if (!is_portable_name(name)) {
    entry.verdict = RunPartsVerdict::BadName;
    return entry;
  }
  struct stat st {};
  if (::fstatat(dir_fd, entry.name.c_str(), &st, 0) != 0) {
    entry.verdict = RunPartsVerdict::StatFailed;
    entry.error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    entry.verdict = RunPartsVerdict::Directory;
  } else if (!S_ISREG(st.st_mode)) {
    entry.verdict = RunPartsVerdict::SpecialFile;
  } else if (::faccessat(dir_fd, entry.name.c_str(), X_OK, 0) != 0) {
    entry.verdict = RunPartsVerdict::NotExecutable;
  }
  return entry;
}

}  // namespace

std::optional<std::vector<RunPartsEntry>> read_run_parts_dir(const std::string& path, int& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* const dir = fd < 0 ? nullptr : ::fdopendir(fd);
  if (dir == nullptr) {
    error = errno;
    if (fd >= 0) ::close(fd);
    return std::nullopt;
  }
  std::vector<RunPartsEntry> entries;
  while (true) {
    errno = 0;
    const dirent* const d = ::readdir(dir);
    if (d == nullptr) break;
    const std::string_view name = d->d_name;
    if (name != "." && name != "..") entries.push_back(judge(fd, name));
  }
  const int read_error = errno;
  ::closedir(dir);  // closes fd
  if (read_error != 0) {
    error = read_error;
    return std::nullopt;
  }
  // std::string compares bytes as unsigned char, as strcmp does.
  std::sort(entries.begin(), entries.end(),
            [](const RunPartsEntry& a, const RunPartsEntry& b) { return a.name < b.name; });
  return entries;
}

}  // namespace lintkeeper
