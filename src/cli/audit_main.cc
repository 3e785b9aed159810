// lintkeeper-audit: audits a host's cron set-up, or the crontabs named, and exits 0, 1 or 2.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/atomic_file.h"
#include "base/os_error.h"
#include "base/output.h"
#include "base/unicode.h"
#include "cli/audit_options.h"
#include "cli/program.h"
#include "fix/fix_files.h"
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

// The working directory, which the diff names the files from.
std::string working_dir() {
  std::string dir(256, '\0');
  while (::getcwd(dir.data(), dir.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    dir.resize(dir.size() * 2);
  }
  dir.resize(std::strlen(dir.c_str()));
  return dir;
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
  const ReportSettings settings{
      {args.audit.check.fail_warnings}, AUDIT_PROGRAM_NAME, PROGRAM_VERSION};
  Output err(STDERR_FILENO);
  Audit audit = run_audit(args.audit);
  bool refused = false;
  if (args.diff || args.fix) {
    const FixResult fixed = fix_files(audit, disk(), {args.unsafe_fixes, args.fix, working_dir()});
    for (const std::string& refusal : fixed.refusals) err.print("error: {}\n", refusal);
    refused = !fixed.refusals.empty();
    if (!fixed.commands.empty()) {
      err.print("{} no edit of a file makes; run {} yourself:\n",
                fixed.commands.size() == 1 ? "A fix that" : "Fixes that",
                fixed.commands.size() == 1 ? "it" : "them");
      for (const std::string& command : fixed.commands) err.print("  {}\n", command);
    }
    if (args.diff) {
      err.flush();
      Output out(STDOUT_FILENO);
      out.write(fixed.diff);
      out.flush();
      if (out.error() != 0) {
        err.print("error: can not write the diff to standard output: {}\n", os_error(out.error()));
        return 2;
      }
      return refused ? 2 : fixed.diff.empty() ? 0 : 1;
    }
    if (fixed.files > 0) {
      err.print("Fixed {} in {}.\n", counted(fixed.findings, "finding", "findings"),
                counted(fixed.files, "file", "files"));
      audit = run_audit(args.audit);  // what remains
    }
    err.flush();
  }
  const int status = std::max(settings.limit.exit_status(audit.counts()), refused ? 2 : 0);
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
    err.print("error: can not write the report to {}: {}\n",
              args.output ? fmt::format("\"{}\"", lossy_utf8(*args.output))
                          : std::string("standard output"),
              os_error(failure));
    return 2;
  }
  return status;
}
