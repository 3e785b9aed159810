// lintkeeper-audit's command line: the option table and the help.
#include "cli/audit_options.h"

#include <fmt/format.h>

#include "audit/clock.h"
#include "base/time_zone.h"
#include "cron/crons.h"
#include "findings/message_kind.h"

namespace lintkeeper {

namespace {

// The longest name of the rows that keep accepts.
template <typename Rows, typename Keep>
constexpr std::size_t longest_name(const Rows& rows, Keep keep) {
  std::size_t longest = 0;
  for (const auto& row : rows) {
    if (keep(row)) longest = std::max(longest, row.name.size());
  }
  return longest;
}

std::string set_format(AuditArgs& a, std::string_view v) {
  if (const std::optional<Format> format = format_from_name(v)) {
    a.format = *format;
    a.audit.every_line = format_info(*format).every_line;
    return {};
  }
  std::string names;
  for (const FormatInfo& info : FORMATS)
    names += fmt::format("{}{}", names.empty() ? "" : ", ", info.name);
  return fmt::format("possible values: {}", names);
}

std::string set_cron(AuditArgs& a, std::string_view v) {
  if (const std::optional<CronName> cron = cron_from_name(v)) {
    a.audit.cron = *cron;
    return {};
  }
  std::string names;
  for (const CronInfo& info : CRONS) {
    names += fmt::format("{}{}", names.empty() ? "" : ", ", info.name);
  }
  return fmt::format("possible values: {}", names);
}

std::string disable_kind(AuditArgs& a, std::string_view v) {
  for (const KindInfo& info : MESSAGE_KINDS) {
    if (info.name != v || !reported_by_audit(info)) continue;
    a.audit.disabled.set(static_cast<std::size_t>(info.kind));
    return {};
  }
  return "no such kind (see --help)";
}

constexpr DocText kFailWarningsDoc = DocText()
                                         .add(FAIL_WARNINGS_SUMMARY)
                                         .add(
                                             "\n\nCounted over all files. Errors still give exit "
                                             "status 2.");

constexpr auto kOptions = std::to_array<Option<AuditArgs>>({
    {"root", 'r', "DIR", Arity::One,
     "Audit the cron set-up under DIR instead of this machine's (default /)\n\nA mounted "
     "image, a container's file system or a chroot. User names are then looked up in DIR's own "
     "etc/passwd.",
     [](AuditArgs& a, std::string_view v) {
       a.audit.root = std::string(v);
       return std::string();
     }},
    {"cron", 0, "CRON", Arity::One,
     "Audit as this cron reads the host: debian, cronie or busybox\n\nWithout it, the cron is "
     "found out from the root itself (its package's files, its daemon, the distribution's "
     "release file, its folders), and the report says which and why; when nothing tells, the "
     "audit goes on as Debian's cron and warns (CRON_UNKNOWN). Files named are read as Debian's "
     "cron reads them unless this option names another.",
     set_cron},
    user_option<AuditArgs>(
        "Read the files named as user crontabs, without a user column\n\nOnly for the PATHs "
        "named: without PATH, each of the host's crontabs is read as cron reads it, those of the "
        "spool as user crontabs and the others as system crontabs."),
    whitelist_option<AuditArgs>(),
    no_check_passwd_option<AuditArgs>(
        "disable user lookup for crontab lines\n\nEvery user a line names that is not ignored is "
        "then reported as `USER_NOT_FOUND`, and no file is said to be ignored for an unknown "
        "user. A spool crontab is still matched with the user it is named after (`ORPHAN`, "
        "`FILE_OWNER`). Otherwise each distinct user name is looked up once per run."),
    fail_warnings_option<AuditArgs>(kFailWarningsDoc.view()),
    {"format", 0, "FORMAT", Arity::One,
     "How to write the findings (default text)\n\nSee the formats below.", set_format},
    {"output", 'o', "FILE", Arity::One,
     "Write the report to FILE instead of standard output\n\nThe file is written whole or not "
     "at all: into a temporary file beside it, then renamed. A failure to write it is an error, "
     "with exit status 2.",
     [](AuditArgs& a, std::string_view v) {
       a.output = std::string(v);
       return std::string();
     }},
    {"next", 0, "N", Arity::One,
     "List every job with its next N runs (default 0: no list)\n\nEach job of the crontabs cron "
     "reads, in file and line order: where it is, its user, its schedule, when it runs in plain "
     "words and its next N runs as this cron makes them, in the zone of the daemon's clock, on "
     "the days the clock changes too. In the text report a table after the findings; in JSON "
     "the \"jobs\" array.",
     [](AuditArgs& a, std::string_view v) {
       std::uint64_t n = 0;
       std::string error = parse_count(v, n);
       if (error.empty() && n > kMaxNextRuns) error = fmt::format("at most {}", kMaxNextRuns);
       if (error.empty()) a.audit.next = static_cast<std::size_t>(n);
       return error;
     }},
    {"now", 0, "TIME", Arity::One,
     "Count the runs from TIME instead of the current time\n\nAn RFC 3339 date and time, such "
     "as 2026-03-28T12:00:00+01:00 or 2026-03-28T11:00:00Z. It makes the next runs and the "
     "daylight-saving findings of a run reproducible.",
     [](AuditArgs& a, std::string_view v) {
       a.now = parse_rfc3339(v);
       return a.now ? std::string()
                    : std::string("an RFC 3339 date and time, such as 2026-03-28T12:00:00+01:00");
     }},
    {"time-zone", 0, "ZONE", Arity::One,
     "Run the jobs in ZONE, an IANA name such as Europe/Berlin\n\nWithout it, the zone of the "
     "host's cron: the root's etc/localtime, else the zone its etc/timezone names, else TZ, else "
     "UTC; the report says which. The zone data is the root's own usr/share/zoneinfo, else this "
     "machine's.",
     [](AuditArgs& a, std::string_view v) {
       a.time_zone = std::string(v);
       return std::string();
     }},
    {"diff", 0, "", Arity::Flag,
     "Print the safe fixes as a unified diff instead of the report\n\nThe diff names the "
     "files from the working directory, as git apply and patch -p1 take them; it is written "
     "to standard output, and the commands of the fixes that are no edit (a mode, an owner, a "
     "name) to standard error. Nothing is written. Exit status 0 when there is nothing to fix, "
     "1 when there is, 2 when a file can not be fixed.",
     [](AuditArgs& a, std::string_view) {
       a.diff = true;
       return std::string();
     }},
    {"fix", 0, "", Arity::Flag,
     "Make the safe fixes in the files, then report what remains\n\nEach file is written "
     "whole or not at all (a temporary file beside it, renamed over it) and keeps its owner and "
     "mode; one that is a symbolic link, has more than one hard link, changed while it was "
     "read or can not be written beside is left alone, with a message and exit status 2. The "
     "commands of the fixes that are no edit are printed to standard error, never run. The "
     "exit status is that of the findings that remain.",
     [](AuditArgs& a, std::string_view) {
       a.fix = true;
       return std::string();
     }},
    {"unsafe-fixes", 0, "", Arity::Flag,
     "With --diff or --fix, the unsafe fixes too\n\nAn unsafe fix is probably right but "
     "changes what runs: a `%` made `\\%`, an @ name in lower case, a user column taken out.",
     [](AuditArgs& a, std::string_view) {
       a.unsafe_fixes = true;
       return std::string();
     }},
    {"disable", 'd', "KIND", Arity::Many,
     "Report no finding of this kind; may be passed multiple times", disable_kind},
    HELP_OPTION<AuditArgs>,
    VERSION_OPTION<AuditArgs>,
});

std::string after_long_help() {
  std::string out =
      "With no PATH, the cron set-up of the host is audited as its own cron reads it (see\n"
      "--cron). Debian's cron and cronie read /etc/crontab and /etc/cron.d as system crontabs,\n"
      "the user crontabs of the spool (/var/spool/cron/crontabs; cronie's /var/spool/cron) and,\n"
      "through run-parts, the scripts of /etc/cron.hourly, daily, weekly and monthly; busybox's\n"
      "crond reads /etc/crontabs and /var/spool/cron/crontabs, and Alpine runs the scripts of\n"
      "/etc/periodic. Files and directories named are read as crontabs, and the entries of a\n"
      "directory as cron reads /etc/cron.d. Nothing is written anywhere but with --fix.\n"
      "\n";
  out += exit_status_help(", or a bad command line");
  out += "\n\nFormats:";
  constexpr std::size_t kFormatColumn = longest_name(FORMATS, [](const auto&) { return true; }) + 2;
  for (const FormatInfo& f : FORMATS) {
    fmt::format_to(std::back_inserter(out), "\n  {:<{}}{}", f.name, kFormatColumn, f.description);
  }
  out += "\n\nKinds:";
  constexpr std::size_t kColumn = longest_name(MESSAGE_KINDS, reported_by_audit) + 2;
  constexpr std::size_t kSeverityColumn =
      std::max_element(SEVERITIES.begin(), SEVERITIES.end(),
                       [](const auto& a, const auto& b) { return a.word.size() < b.word.size(); })
          ->word.size() +
      2;
  for (const KindInfo& k : MESSAGE_KINDS) {
    if (!reported_by_audit(k)) continue;
    fmt::format_to(std::back_inserter(out), "\n  {:<{}}{:<{}}{}", k.name, kColumn,
                   severity_word(k.severity), kSeverityColumn, k.description);
  }
  return out;
}

}  // namespace

const Command<AuditArgs> AUDIT_COMMAND{
    AUDIT_PROGRAM_NAME,
    "Audit a host's cron set-up the way cron reads it",
    "Audit a host's cron set-up the way cron reads it.\n\nChecks every line of every crontab as "
    "lintkeeper does, and what cron and run-parts do with each file: owners, modes, links, "
    "names, carriage returns, lines cron refuses, files it ignores whole, and schedules that "
    "never fire or fire otherwise than meant.",
    {"PATH", "crontab files or directories of them to check instead of the host's", true,
     [](AuditArgs& a, std::string_view v) {
       a.audit.paths.emplace_back(v);
       return std::string();
     }},
    kOptions,
    after_long_help,
};

CommandLine<AuditArgs> parse_audit_command_line(const std::vector<std::string_view>& args) {
  return parse_command_line(AUDIT_COMMAND, args);
}

std::optional<std::string> prepare_audit(AuditArgs& args, FileSystem& fs, std::int64_t now,
                                         const char* tz) {
  args.audit.now = args.now.value_or(now);
  if (tz != nullptr) args.audit.tz = std::string(tz);
  if (args.diff && args.fix) {
    return error_text(text_of(AUDIT_COMMAND), "the argument '--diff' cannot be used with '--fix'");
  }
  if (args.unsafe_fixes && !args.diff && !args.fix) {
    return error_text(text_of(AUDIT_COMMAND),
                      "the argument '--unsafe-fixes' needs '--diff' or '--fix'");
  }
  if (!args.time_zone) return std::nullopt;
  ZoneResult zone =
      find_audit_zone(fs, args.audit.root == "/" ? "" : args.audit.root, *args.time_zone);
  if (!zone.zone) {
    return error_text(text_of(AUDIT_COMMAND),
                      fmt::format("invalid value '{}' for '--time-zone <ZONE>': {}",
                                  shown_argument(*args.time_zone), zone.error));
  }
  args.audit.zone = std::move(zone.zone);
  return std::nullopt;
}

}  // namespace lintkeeper
