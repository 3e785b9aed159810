// Tests the name rule of run-parts and the verdicts on a directory made in a temporary folder.
#include "audit/run_parts.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "base/chars.h"

namespace lintkeeper {
namespace {

using namespace std::string_view_literals;

struct NameCase {
  std::string_view name;
  bool portable;
};

// Every neighbour of the accepted ranges, and the accepted bytes with the high bit set.
constexpr NameCase kNames[] = {
    {"a", true},           {"z", true},         {"A", true},
    {"Z", true},           {"0", true},         {"9", true},
    {"_", true},           {"-", true},         {"-dash", true},
    {"run-parts_2", true}, {"0123", true},      {"", false},
    {"/", false},          {":", false},        {"@", false},
    {"[", false},          {"`", false},        {"{", false},
    {".", false},          {"~", false},        {"x~", false},
    {"a b", false},        {"\x7f", false},     {"\xc1", false},
    {"\xe1", false},       {"\xb0", false},     {"\xad", false},
    {"\xdf", false},       {"\xc3\xa9", false}, {".placeholder", false},
    {"backup.sh", false},  {"a\0b"sv, false},
};

TEST(IsPortableName, ExactlyLettersDigitsUnderscoreAndMinus) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.name)));
    EXPECT_EQ(is_portable_name(c.name), c.portable);
  }
}

// A temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/lk-rp.XXXXXX";
    if (mkdtemp(path_.data()) == nullptr) path_.clear();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

enum class Kind { File, Dir, Fifo, Link };

struct EntryCase {
  std::string name;
  Kind kind;
  mode_t mode;                        // of a file, folder or FIFO
  std::string target;                 // of a link
  RunPartsVerdict as_root, as_owner;  // the file's owner, when not root
  int error;
};

using V = RunPartsVerdict;
const std::vector<EntryCase> kEntries = {
    {"ok", Kind::File, 0755, "", V::Runs, V::Runs, 0},
    {"group-only", Kind::File, 0610, "", V::Runs, V::NotExecutable, 0},
    {"other-only", Kind::File, 0601, "", V::Runs, V::NotExecutable, 0},
    {"owner-only", Kind::File, 0100, "", V::Runs, V::Runs, 0},
    {"no-x", Kind::File, 0644, "", V::NotExecutable, V::NotExecutable, 0},
    {"setuid", Kind::File, 04755, "", V::Runs, V::Runs, 0},
    {"setuid-no-x", Kind::File, 04644, "", V::NotExecutable, V::NotExecutable, 0},
    {"-dash", Kind::File, 0755, "", V::Runs, V::Runs, 0},
    {"UPPER", Kind::File, 0755, "", V::Runs, V::Runs, 0},
    {"0123", Kind::File, 0755, "", V::Runs, V::Runs, 0},
    {std::string(255, 'L'), Kind::File, 0755, "", V::Runs, V::Runs, 0},
    {"backup.sh", Kind::File, 0755, "", V::BadName, V::BadName, 0},
    {".placeholder", Kind::File, 0755, "", V::BadName, V::BadName, 0},
    {"x~", Kind::File, 0755, "", V::BadName, V::BadName, 0},
    {"sp ace", Kind::File, 0755, "", V::BadName, V::BadName, 0},
    {"\xc3\xa9", Kind::File, 0755, "", V::BadName, V::BadName, 0},
    {"subdir", Kind::Dir, 0755, "", V::Directory, V::Directory, 0},
    {"a.b", Kind::Dir, 0755, "", V::BadName, V::BadName, 0},
    {"fifo", Kind::Fifo, 0755, "", V::SpecialFile, V::SpecialFile, 0},
    {"fifo-no-x", Kind::Fifo, 0644, "", V::SpecialFile, V::SpecialFile, 0},
    {"link-ok", Kind::Link, 0, "ok", V::Runs, V::Runs, 0},
    {"link-no-x", Kind::Link, 0, "no-x", V::NotExecutable, V::NotExecutable, 0},
    {"link-dir", Kind::Link, 0, "subdir", V::Directory, V::Directory, 0},
    {"link-null", Kind::Link, 0, "/dev/null", V::SpecialFile, V::SpecialFile, 0},
    {"dangling", Kind::Link, 0, "missing", V::StatFailed, V::StatFailed, ENOENT},
    {"loop", Kind::Link, 0, "loop", V::StatFailed, V::StatFailed, ELOOP},
    {"dangling.sh", Kind::Link, 0, "missing", V::BadName, V::BadName, 0},
};

bool make(const std::string& dir, const EntryCase& c) {
  const std::string path = dir + "/" + c.name;
  switch (c.kind) {
    case Kind::File:
      return close(creat(path.c_str(), 0600)) == 0 && chmod(path.c_str(), c.mode) == 0;
    case Kind::Dir:
      return mkdir(path.c_str(), c.mode) == 0 && chmod(path.c_str(), c.mode) == 0;
    case Kind::Fifo:
      return mkfifo(path.c_str(), c.mode) == 0 && chmod(path.c_str(), c.mode) == 0;
    case Kind::Link:
      return symlink(c.target.c_str(), path.c_str()) == 0;
  }
  return false;
}

TEST(ReadRunPartsDir, VerdictOfEachEntry) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const EntryCase& c : kEntries) ASSERT_TRUE(make(dir.path(), c)) << c.name;
  const bool root = getuid() == 0;
  int error = 0;
  const auto entries = read_run_parts_dir(disk(), dir.path(), error);
  ASSERT_TRUE(entries.has_value()) << error;
  ASSERT_EQ(entries->size(), kEntries.size());  // no "." or ".."
  for (const EntryCase& c : kEntries) {
    SCOPED_TRACE(c.name);
    const RunPartsEntry expected{c.name, root ? c.as_root : c.as_owner, c.error};
    EXPECT_EQ(std::count(entries->begin(), entries->end(), expected), 1);
  }
}

TEST(ReadRunPartsDir, ByteOrderOfNames) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  for (const char* name : {"b", "\xc3\xa9", "B", "a_b", "_", "ab", "-", "a-b", "0", "a", "Z"}) {
    ASSERT_TRUE(make(dir.path(), {name, Kind::File, 0755, "", V::Runs, V::Runs, 0}));
  }
  int error = 0;
  const auto entries = read_run_parts_dir(disk(), dir.path(), error);
  ASSERT_TRUE(entries.has_value()) << error;
  std::vector<std::string> names;
  for (const RunPartsEntry& e : *entries) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"-", "0", "B", "Z", "_", "a", "a-b", "a_b", "ab", "b",
                                             "\xc3\xa9"}));
}

TEST(ReadRunPartsDir, FolderThatCannotBeRead) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  ASSERT_TRUE(make(dir.path(), {"file", Kind::File, 0755, "", V::Runs, V::Runs, 0}));
  for (const auto& [path, expected] :
       {std::pair{dir.path() + "/missing", ENOENT}, std::pair{dir.path() + "/file", ENOTDIR}}) {
    SCOPED_TRACE(path);
    int error = 0;
    EXPECT_EQ(read_run_parts_dir(disk(), path, error), std::nullopt);
    EXPECT_EQ(error, expected);
  }
}

}  // namespace
}  // namespace lintkeeper
