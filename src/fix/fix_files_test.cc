// Tests the fixes made in files held in memory: the diff of the edits, the files written, and
// those left alone with their reasons.
#include "fix/fix_files.h"

#include <sys/stat.h>

#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "base/memory_file_system.h"
#include "fix/apply.h"

namespace lintkeeper {
namespace {

constexpr const char* kPath = "/w/etc/cron.d/job";
// A carriage return on lines 1 and 9, a no-break space on line 5: two hunks, the second
// beyond the context of the first.
constexpr std::string_view kCrontab =
    "0 1 * * * root /bin/a\r\n# 2\n# 3\n# 4\n5\xC2\xA0"
    "5 * * * root /bin/e\n# 6\n# 7\n# 8\n"
    "# 9\n# 10\n# 11\n# 12\n0 13 * * * root /bin/m\r\n";

Audit audit_of(MemoryFileSystem& fs) {
  AuditOptions options;
  options.paths = {kPath};
  options.cron = CronName::Debian;
  return run_audit(options, fs);
}

TEST(FixFiles, DiffOfTheSafeFixesInHunks) {
  MemoryFileSystem fs;
  fs.add_file(kPath, kCrontab);
  const FixResult result = fix_files(audit_of(fs), fs, {false, false, "/w"});
  EXPECT_EQ(result.diff,
            "--- a/etc/cron.d/job\n"
            "+++ b/etc/cron.d/job\n"
            "@@ -1,8 +1,8 @@\n"
            "-0 1 * * * root /bin/a\r\n"
            "+0 1 * * * root /bin/a\n"
            " # 2\n # 3\n # 4\n"
            "-5\xC2\xA0"
            "5 * * * root /bin/e\n"
            "+5 5 * * * root /bin/e\n"
            " # 6\n # 7\n # 8\n"
            "@@ -10,4 +10,4 @@\n"
            " # 10\n # 11\n # 12\n"
            "-0 13 * * * root /bin/m\r\n"
            "+0 13 * * * root /bin/m\n");
  EXPECT_EQ(result.findings, 3u);
  EXPECT_EQ(result.files, 1u);
  EXPECT_TRUE(result.refusals.empty());
}

// Diffs of edits that add or take away lines, and of a last line without a line feed.
TEST(UnifiedDiff, LinesAddedAndLastLine) {
  struct Case {
    std::string_view before;
    std::vector<Edit> edits;
    std::string_view diff;
  };
  const Case cases[] = {
      {"a\nb", {{2, 3, 3, "\n"}}, "@@ -1,2 +1,2 @@\n a\n-b\n\\ No newline at end of file\n+b\n"},
      {"a\nb\nc\n", {{2, 2, 2, "# b\n"}}, "@@ -1,3 +1,4 @@\n a\n+# b\n b\n c\n"},
      {"a\nb\nc\n", {{2, 2, 4, ""}}, "@@ -1,3 +1,2 @@\n a\n-b\n c\n"},
      {"", {{1, 0, 0, "x\n"}}, "@@ -0,0 +1 @@\n+x\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(unified_diff("f", c.before, c.edits), "--- a/f\n+++ b/f\n" + std::string(c.diff))
        << c.before;
    EXPECT_EQ(unified_diff("f", c.before, {}), "");
  }
}

TEST(DiffPath, FromTheWorkingDirectory) {
  EXPECT_EQ(diff_path("/w/etc/crontab", "/w"), "etc/crontab");
  EXPECT_EQ(diff_path("/w/etc/crontab", "/w/"), "etc/crontab");
  EXPECT_EQ(diff_path("/etc/crontab", "/w"), "etc/crontab");
  EXPECT_EQ(diff_path("/wx/crontab", "/w"), "wx/crontab");
  EXPECT_EQ(diff_path("./image//etc/../etc/crontab", "/w"), "image/etc/crontab");
}

TEST(FixFiles, WritesTheFixedBytesKeepingOwnerAndMode) {
  MemoryFileSystem fs;
  fs.add_file(kPath, kCrontab, 0640, 7);
  const FixResult result = fix_files(audit_of(fs), fs, {false, true, "/w"});
  EXPECT_TRUE(result.diff.empty());
  EXPECT_EQ(result.findings, 3u);
  std::string content;
  ASSERT_EQ(read_whole_file(fs, kPath, content), 0);
  EXPECT_EQ(content,
            "0 1 * * * root /bin/a\n# 2\n# 3\n# 4\n5 5 * * * root /bin/e\n# 6\n# 7\n# 8\n# 9\n"
            "# 10\n# 11\n# 12\n0 13 * * * root /bin/m\n");
  FileStatus st;
  ASSERT_EQ(fs.stat(kPath, st), 0);
  EXPECT_EQ(st.mode & 07777, 0640u);
  EXPECT_EQ(st.uid, 7u);
  // Nothing is left to fix.
  const Audit again = audit_of(fs);
  EXPECT_TRUE(edits_to_make(again.files.front(), true).empty());
}

// Files that --fix leaves alone, each with its reason, untouched.
TEST(FixFiles, LeavesAlone) {
  struct Case {
    std::string_view name;
    std::function<void(MemoryFileSystem&)> after_audit;
    std::function<void(MemoryFileSystem&)> before_audit;
    std::string refusal;
  };
  const std::string start = "can not fix /w/etc/cron.d/job: ";
  const Case cases[] = {
      {"hard links",
       {},
       [](MemoryFileSystem& fs) { fs.add_hard_link(kPath, "/w/other"); },
       start + "it has 2 hard links, which writing it anew would part"},
      {"changed",
       [](MemoryFileSystem& fs) { fs.add_file(kPath, "0 1 * * * root /bin/b\r\n"); },
       {},
       start + "it changed while it was read"},
      {"read-only folder",
       {},
       [](MemoryFileSystem& fs) { fs.set_read_only("/w/etc/cron.d"); },
       start + "can not write it anew beside it: Read-only file system (os error 30)"},
  };
  for (const Case& c : cases) {
    MemoryFileSystem fs;
    fs.add_file(kPath, kCrontab);
    if (c.before_audit) c.before_audit(fs);
    const Audit audit = audit_of(fs);
    if (c.after_audit) c.after_audit(fs);
    std::string before;
    ASSERT_EQ(read_whole_file(fs, kPath, before), 0);
    const FixResult result = fix_files(audit, fs, {false, true, "/w"});
    EXPECT_EQ(result.refusals, std::vector<std::string>{c.refusal}) << c.name;
    EXPECT_EQ(result.files, 0u) << c.name;
    std::string after;
    ASSERT_EQ(read_whole_file(fs, kPath, after), 0);
    EXPECT_EQ(after, before) << c.name;
  }
}

TEST(FixFiles, SymbolicLinkLeftAlone) {
  MemoryFileSystem fs;
  fs.add_file("/w/real", kCrontab);
  fs.add_link(kPath, "/w/real");
  const FixResult result = fix_files(audit_of(fs), fs, {false, true, "/w"});
  EXPECT_EQ(result.refusals,
            std::vector<std::string>{"can not fix /w/etc/cron.d/job: it is a symbolic link: fix "
                                     "the file it leads to, named on the command line"});
}

}  // namespace
}  // namespace lintkeeper
