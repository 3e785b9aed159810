// lintkeeper's run of one crontab.
#include "cli/check_file.h"

#include "base/unicode.h"
#include "checks/check_user.h"
#include "formats/junit.h"
#include "run/check_crontab.h"

namespace lintkeeper {

LintkeeperRun::LintkeeperRun(const Args& args, Output& out, FindingStore::Keep keep,
                             FindingReader* watcher)
    : args_(args),
      out_(out),
      text_(out),
      findings_(args.junit ? FindingStore::Keep::All : keep, live(watcher)) {}

FindingReader* LintkeeperRun::live(FindingReader* watcher) {
  if (args_.quiet) return watcher;
  if (watcher == nullptr) return &text_;
  watched_.emplace(*watcher, text_);
  return &*watched_;
}

int LintkeeperRun::run(FileSystem& fs) {
  if (!args_.quiet) out_.print("Checking correctness of {}\n", lossy_utf8(args_.crontab));
  SystemUsers system;
  CachedUsers users(system);
  CrontabReading reading;
  reading.flavor = args_.check.user ? CrontabFlavor::UserCrontab : CrontabFlavor::SystemCrontab;
  reading.print = args_.debug_verbose ? PrintForm::DebugVerbose
                  : args_.debug       ? PrintForm::Debug
                  : args_.echo        ? PrintForm::Echo
                                      : PrintForm::None;
  reading.printed = &out_;
  reading.users = {args_.check.whitelist, args_.check.no_check_passwd, &users};
  const std::optional<FileIdentity> identity = check_crontab(fs, args_.crontab, reading, findings_);

  if (!args_.quiet) write_summary(out_, findings_.counts());
  const WarningLimit limit{args_.check.fail_warnings};
  int status = limit.exit_status(findings_.counts());
  if (args_.junit) {
    if (const auto error =
            write_junit_report(*args_.junit, args_.crontab, findings_, limit, identity)) {
      findings_.add_file(MessageKind::JUNIT_WRITE, "Can not write junit file \"{}\": {}",
                         lossy_utf8(*args_.junit), *error);
      status = 2;
    }
  }
  return status;
}

}  // namespace lintkeeper
