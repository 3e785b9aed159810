// Tests the names of crontabs: which path component is the name, which names cron reads and
// which lintkeeper lets pass.
#include "cron/crontab_names.h"

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
  bool lintkeeper;  // lintkeeper lets it pass
  bool cron;        // cron reads it
};

constexpr RuleCase kRule[] = {
    // Letters, digits, '-' and '_' only.
    {"backup", true, true},
    {"my-job_2", true, true},
    {"", true, false},
    {"Z9", true, true},
    {"jörg", false, false},  // a letter outside ASCII
    // The text after the last '.' is "disabled", "cron" or "in".
    {"foo.disabled", true, false},
    {"foo.cron", true, false},
    {"crontab.in", true, false},
    {".in", true, false},
    {"a b.in", true, false},
    {"foo.in.txt", false, false},
    {"foo.IN", false, false},
    {"foo.cron.bak", false, false},
    // "cron.d" itself, and NAME.cron.d without white space in NAME.
    {"cron.d", true, false},
    {"x.cron.d", true, false},
    {"a.b.cron.d", true, false},
    {"my job.cron.d", false, false},
    {"my\u00A0job.cron.d", false, false},
    {"my\u3000job.cron.d", false, false},
    {".cron.d", false, false},
    {"x.cron.D", false, false},
    // Anything else.
    {"foo.txt", false, false},
    {"foo.bak", false, false},
    {"with space", false, false},
    {"crontab~", false, false},
    {"backup.dpkg-old", false, false},
};

TEST(CrontabNames, LintkeepersRuleAndCrons) {
  for (const RuleCase& c : kRule) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(lintkeeper_accepts_name(c.name), c.lintkeeper);
    EXPECT_EQ(cron_reads_name(c.name), c.cron);
  }
}

}  // namespace
}  // namespace lintkeeper
