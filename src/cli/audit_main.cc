// lintkeeper-audit: audits a host's cron set-up, or the crontabs named, and exits 0, 1 or 2.
#include <unistd.h>

#include <csignal>
#include <string_view>
#include <vector>

#include "base/atomic_file.h"
#include "base/os_error.h"
#include "base/output.h"
#include "base/unicode.h"
#include "cli/audit_options.h"
#include "cli/options.h"
#include "formats/formats.h"

int main(int argc, char** argv) {
  using namespace lintkeeper;
  std::signal(SIGPIPE, SIG_IGN);

  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const CommandLine<AuditArgs> command_line = parse_audit_command_line(arguments);
  if (const auto answer =
          answer_without_run(command_line, AUDIT_COMMAND, version_text(AUDIT_PROGRAM_NAME))) {
    Output(answer->is_error ? STDERR_FILENO : STDOUT_FILENO).write(answer->text);
    return answer->status;
  }
  Output out(STDOUT_FILENO);
  const AuditArgs& args = command_line.args;
  const Audit audit = run_audit(args.audit);
  const ReportSettings settings{args.fail_warnings, AUDIT_PROGRAM_NAME, PROGRAM_VERSION};
  const int status = audit.exit_status(args.fail_warnings);
  if (!args.output) {
    write_report(args.format, audit, settings, out);
    out.flush();
    return status;
  }
  AtomicFile file(*args.output);
  int failure = file.error();
  if (failure == 0) {
    Output report(file.fd());
    write_report(args.format, audit, settings, report);
    report.flush();
    failure = report.error();
  }
  if (failure == 0) failure = file.commit();
  if (failure != 0) {
    Output err(STDERR_FILENO);
    err.print("error: can not write the report to \"{}\": {}\n", lossy_utf8(*args.output),
              os_error(failure));
    return 2;
  }
  return status;
}
