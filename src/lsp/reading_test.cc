// Tests of the reading of a document from its path and the editor's settings.
#include "lsp/reading.h"

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

constexpr auto D = CronName::Debian;
constexpr auto C = CronName::Cronie;
constexpr auto B = CronName::Busybox;

TEST(ReadingOfPath, ByTheCronsPlaces) {
  struct Case {
    std::string_view path;
    std::optional<CronName> own;
    DocumentReading expected;
  };
  const Case cases[] = {
      {"/etc/crontab", std::nullopt, {D, false}},
      {"/etc/crontab", C, {C, false}},
      {"/etc/crontab", B, {D, false}},  // busybox never reads it
      {"/etc/cron.d/backup", std::nullopt, {D, false}},
      {"/etc/cron.d/sub/backup", std::nullopt, {}},
      {"/etc/cron.d", std::nullopt, {}},
      {"/etc/cron.daily/logrotate", std::nullopt, {}},
      {"/var/spool/cron/crontabs/alice", std::nullopt, {D, true}},
      {"/var/spool/cron/crontabs/alice", B, {B, true}},
      {"/var/spool/cron/alice", std::nullopt, {C, true}},  // Debian's only without crontabs/
      {"/var/spool/cron/alice", D, {C, true}},
      {"/etc/crontabs/root", std::nullopt, {B, true}},
      {"/tmp/crontab.Xa1b2C", C, {C, true, true}},
      {"/tmp/crontab.AbCdEf/crontab", std::nullopt, {std::nullopt, true, true}},
      {"/tmp/crontab.", std::nullopt, {}},
      {"/home/me/crontab", std::nullopt, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(reading_of_path(c.path, c.own), c.expected);
  }
}

TEST(ReadingOfPath, SettingsWin) {
  const DocumentReading system{D, false};
  EXPECT_EQ(with_settings(system, {B, std::nullopt}), (DocumentReading{B, false}));
  EXPECT_EQ(with_settings(system, {std::nullopt, true}), (DocumentReading{D, true}));
  EXPECT_EQ(with_settings({C, true}, {std::nullopt, false}), (DocumentReading{C, false}));
  EXPECT_EQ(with_settings(system, {}), system);
}

}  // namespace
}  // namespace lintkeeper
