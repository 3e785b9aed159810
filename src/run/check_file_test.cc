// Tests the file-name rule of check_file: which path component is the name, and which names
// cron processes.
#include "run/check_file.h"

#include <optional>
#include <string_view>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

struct NameCase {
  std::string_view path;
  std::optional<std::string_view> name;
};

// The last ordinary component; "." steps are passed over, a root or ".." names nothing.
constexpr NameCase kNames[] = {
    {"crontab", "crontab"},
    {"/etc/cron.d/backup", "backup"},
    {"/etc/cron.d/backup/", "backup"},
    {"dir//file.txt//", "file.txt"},
    {"/etc/cron.d/x/.", "x"},
    {"a/./.", "a"},
    {"./crontab", "crontab"},
    {"/", std::nullopt},
    {"///", std::nullopt},
    {".", std::nullopt},
    {"./", std::nullopt},
    {"./.", std::nullopt},
    {"..", std::nullopt},
    {"/etc/..", std::nullopt},
    {"a/../", std::nullopt},
    {"", std::nullopt},
};

TEST(FileNameOf, LastOrdinaryComponent) {
  for (const NameCase& c : kNames) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(file_name_of(c.path), c.name);
  }
}

struct RuleCase {
  std::string_view name;
  bool accepted;
};

constexpr RuleCase kRule[] = {
    // Letters, digits, '-' and '_' only.
    {"backup", true},
    {"my-job_2", true},
    {"", true},
    {"Z9", true},
    {"jörg", false},  // a letter outside ASCII
    // The text after the last '.' is "disabled", "cron" or "in".
    {"foo.disabled", true},
    {"foo.cron", true},
    {"crontab.in", true},
    {".in", true},
    {"a b.in", true},
    {"foo.in.txt", false},
    {"foo.IN", false},
    {"foo.cron.bak", false},
    // "cron.d" itself, and NAME.cron.d without white space in NAME.
    {"cron.d", true},
    {"x.cron.d", true},
    {"a.b.cron.d", true},
    {"my job.cron.d", false},
    {"my\u00A0job.cron.d", false},
    {"my\u3000job.cron.d", false},
    {".cron.d", false},
    {"x.cron.D", false},
    // Anything else.
    {"foo.txt", false},
    {"foo.bak", false},
    {"with space", false},
    {"crontab~", false},
};

TEST(FileNameIsAccepted, Rules) {
  for (const RuleCase& c : kRule) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(file_name_is_accepted(c.name), c.accepted);
  }
}

}  // namespace
}  // namespace lintkeeper
