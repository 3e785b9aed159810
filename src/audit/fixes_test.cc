// Tests the fixes the audit gives findings: which, on each cron, with what class and words, and
// what they make of the line; and the commands that mend a file.
#include "audit/fixes.h"

#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "audit/audit.h"
#include "base/memory_file_system.h"
#include "formats/findings.h"

namespace lintkeeper {
namespace {

// Each fix of the audit of a user crontab as "KIND safety: description => fixed text".
std::vector<std::string> fixes_of(CronName cron, std::string_view text) {
  MemoryFileSystem fs;
  fs.add_file("/c", text);
  AuditOptions options;
  options.paths = {"/c"};
  options.cron = cron;
  options.check.user = true;
  const Audit audit = run_audit(options, fs);
  std::vector<std::string> out;
  for_each_finding(audit.files.back(), [&](const ReportedFinding& f) {
    if (f.fix == nullptr) return;
    out.push_back(fmt::format("{} {}: {} => {}", kind_name(f.kind()),
                              fix_safety_word(f.fix->safety), f.fix->description,
                              apply_edits(text, f.fix->edits)));
  });
  return out;
}

TEST(LineFixes, OnEachCron) {
  struct Case {
    CronName cron;
    std::string_view text;
    std::vector<std::string> fixes;
  };
  const Case cases[] = {
      {CronName::Debian,
       "MAILTO=\n",
       {"QUOTE_VALUES safe: Write the empty value as \"\" => MAILTO=\"\"\n"}},
      // cronie takes the empty value: it means what it says, and there is nothing to fix.
      {CronName::Cronie, "MAILTO=\n", {}},
      {CronName::Debian,
       "MAILTO=ops # the team\n",
       {"COMMENT unsafe: Move the comment to a line of its own => # the team\nMAILTO=ops\n"}},
      {CronName::Debian,
       "0 1 * * * echo 5%\n",
       {"BARE_PERCENT unsafe: Escape each bare % as \\% => 0 1 * * * echo 5\\%\n"}},
      // busybox passes '%' on as it is: no finding, no fix.
      {CronName::Busybox, "0 1 * * * echo 5%\n", {}},
      {CronName::Cronie,
       "0 1 * * * /bin/x",
       {"CRON_REJECTS safe: Add the line feed => 0 1 * * * /bin/x\n"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fixes_of(c.cron, c.text), c.fixes) << c.text;
  }
}

TEST(RepairFix, Commands) {
  const CronInfo& debian = cron_info(CronName::Debian);
  const CronInfo& busybox = cron_info(CronName::Busybox);
  struct Case {
    MessageKind kind;
    const CronInfo& cron;
    FileRepair file;
    std::string command;
  };
  const Case cases[] = {
      {MessageKind::FILE_OWNER,
       debian,
       {"/etc/cron.d/a", "/etc/cron.d/a", false, {}, false},
       "chown root /etc/cron.d/a"},
      {MessageKind::FILE_OWNER,
       debian,
       {"/etc/cron.d/a", "/opt/a", false, {}, false},
       "chown -h root /etc/cron.d/a && chown root /opt/a"},
      {MessageKind::FILE_OWNER,
       debian,
       {"/var/spool/cron/crontabs/bob", "/var/spool/cron/crontabs/bob", true, "bob", false},
       "chown bob /var/spool/cron/crontabs/bob"},
      {MessageKind::FILE_OWNER,
       busybox,
       {"/etc/crontabs/bob", "/etc/crontabs/bob", true, "bob", false},
       "chown root /etc/crontabs/bob"},
      {MessageKind::FILE_MODE,
       debian,
       {"/etc/cron.d/it's", "/etc/cron.d/it's", false, {}, false},
       "chmod go-w '/etc/cron.d/it'\\''s'"},
      {MessageKind::FILE_NAME,
       debian,
       {"/etc/cron.d/.job", "/etc/cron.d/.job", false, {}, false},
       "mv /etc/cron.d/.job /etc/cron.d/_job"},
      {MessageKind::FILE_NAME,
       debian,
       {"/etc/cron.d/job!", "/etc/cron.d/job!", false, {}, false},
       "mv '/etc/cron.d/job!' /etc/cron.d/job_"},
      {MessageKind::RUN_PARTS_NAME,
       debian,
       {"/etc/cron.daily/a.sh", "/etc/cron.daily/a.sh", false, {}, false},
       "mv /etc/cron.daily/a.sh /etc/cron.daily/a"},
  };
  for (const Case& c : cases) {
    const std::optional<Fix> fix = repair_fix(c.kind, c.cron, c.file);
    ASSERT_TRUE(fix.has_value()) << c.command;
    EXPECT_EQ(fix->command, c.command);
    EXPECT_TRUE(fix->edits.empty());
  }
}

}  // namespace
}  // namespace lintkeeper
