// lintkeeper-audit: audits a host's cron set-up, or the crontabs named, and exits 0, 1 or 2.
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "base/atomic_file.h"
#include "base/os_error.h"
#include "base/output.h"
#include "base/unicode.h"
#include "cli/audit_options.h"
#include "cli/program.h"
#include "formats/formats.h"

namespace lintkeeper {
namespace {

// Writes the report to fd; returns 0 or the errno of the first write that failed.
int write_to(int fd, Format format, const Audit& audit, const ReportSettings& settings) {
  Output report(fd);
  write_report(format, audit, settings, report);
  report.flush();
  return report.error();
}

}  // namespace
}  // namespace lintkeeper

int main(int argc, char** argv) {
  using namespace lintkeeper;
  CommandLine<AuditArgs> command_line;
  if (const auto status = start_program(argc, argv, AUDIT_COMMAND, command_line)) return *status;
  AuditArgs& args = command_line.args;
  if (const std::optional<std::string> error = prepare_audit(
          args, disk(), static_cast<std::int64_t>(std::time(nullptr)), std::getenv("TZ"))) {
    Output(STDERR_FILENO).write(*error);
    return 2;
  }
  const Audit audit = run_audit(args.audit);
  const ReportSettings settings{
      {args.audit.check.fail_warnings}, AUDIT_PROGRAM_NAME, PROGRAM_VERSION};
  const int status = settings.limit.exit_status(audit.counts());
  int failure = 0;
  if (!args.output) {
    failure = write_to(STDOUT_FILENO, args.format, audit, settings);
  } else {
    AtomicFile file(*args.output);
    failure = file.error();
    if (failure == 0) failure = write_to(file.fd(), args.format, audit, settings);
    if (failure == 0) failure = file.commit();
  }
  // A report that cannot be written is an error: a CI job must not pass without it.
  if (failure != 0) {
    Output err(STDERR_FILENO);
    err.print("error: can not write the report to {}: {}\n",
              args.output ? fmt::format("\"{}\"", lossy_utf8(*args.output))
                          : std::string("standard output"),
              os_error(failure));
    return 2;
  }
  return status;
}
