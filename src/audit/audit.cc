// The audit of a host's cron set-up: the files cron and run-parts read, the rules they apply
// to each file before reading it, and lintkeeper's checks of every crontab with the audit's.
#include "audit/audit.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string_view>

#include <fmt/format.h>

#include "audit/line_rules.h"
#include "audit/run_parts.h"
#include "audit/users.h"
#include "base/chars.h"
#include "base/os_error.h"
#include "base/output.h"
#include "base/unicode.h"
#include "cron/cron_line.h"
#include "run/check_file.h"

namespace lintkeeper {

std::uint64_t Audit::errors() const {
  std::uint64_t n = 0;
  for (const AuditedFile& f : files) n += f.report->errors();
  return n;
}

std::uint64_t Audit::warnings() const {
  std::uint64_t n = 0;
  for (const AuditedFile& f : files) n += f.report->warnings();
  return n;
}

int Audit::exit_status(std::optional<std::uint64_t> fail_warnings) const {
  if (errors() > 0) return 2;
  return warnings() > fail_warnings.value_or(0) ? 1 : 0;
}

namespace {

// Where Debian's cron finds its crontabs, and run-parts the scripts of /etc/crontab.
constexpr std::string_view kSystemCrontab = "/etc/crontab";
constexpr std::string_view kCronD = "/etc/cron.d";
constexpr std::string_view kDebianSpool = "/var/spool/cron/crontabs";
constexpr std::string_view kSpool = "/var/spool/cron";  // Fedora and its kin
constexpr std::array<std::string_view, 4> kRunPartsDirs{"/etc/cron.hourly", "/etc/cron.daily",
                                                        "/etc/cron.weekly", "/etc/cron.monthly"};
constexpr std::string_view kPasswd = "/etc/passwd";

// The reports of an audit print nothing while it runs: its writers read them afterwards.
Output& silent_output() {
  static Output out;
  return out;
}

// Names starting with a dot are hidden on purpose (Debian's .placeholder): cron and run-parts
// pass over them, and so does the audit.
bool is_hidden(std::string_view name) { return name.starts_with('.'); }

std::string mode_text(mode_t mode) { return fmt::format("{:04o}", mode & 07777); }

// What cron checks of a file before it reads it.
enum class Owner { Root, User };

// The findings of cron's checks of one crontab before it reads it.
struct Gate {
  std::vector<std::string> reasons;  // why cron skips the file
  bool readable = true;              // whether there is a regular file to read
};

class Auditor {
 public:
  explicit Auditor(const AuditOptions& options)
      : options_(options),
        root_(options.root == "/" ? "" : options.root),
        source_(root_.empty() ? std::unique_ptr<UserDirectory>(new SystemUsers)
                              : std::make_unique<PasswdFileUsers>(root_ + std::string(kPasswd))),
        users_(*source_),
        rules_{options.whitelist, options.no_check_passwd, &users_} {}

  Audit run() {
    if (options_.paths.empty()) {
      audit_.root = options_.root;
      audit_host();
    } else {
      for (const std::string& path : options_.paths) audit_path(path);
    }
    return std::move(audit_);
  }

 private:
  std::string on_host(std::string_view path) const { return root_ + std::string(path); }

  AuditedFile& add_file(std::string shown, std::string reading) {
    auto report = std::make_unique<Report>(
        silent_output(), /*quiet=*/true,
        options_.every_line ? Report::Keep::All : Report::Keep::WithMessages);
    report->switch_off(options_.disabled);
    audit_.files.push_back({std::move(shown), std::move(reading), std::move(report)});
    return audit_.files.back();
  }

  void audit_host() {
    struct stat st {};
    if (::lstat(on_host(kSystemCrontab).c_str(), &st) == 0) {
      audit_crontab(std::string(kSystemCrontab), "system crontab", CrontabFlavor::SystemCrontab,
                    Owner::Root, {});
    }
    audit_crontab_dir(std::string(kCronD), CrontabFlavor::SystemCrontab, true);
    audit_spool();
    for (const std::string_view dir : kRunPartsDirs) audit_run_parts(std::string(dir));
  }

  // A path named on the command line: a file is read as a crontab of the chosen flavour, a
  // directory as cron reads /etc/cron.d. Who owns them does not matter.
  void audit_path(const std::string& path) {
    const CrontabFlavor flavor =
        options_.user ? CrontabFlavor::UserCrontab : CrontabFlavor::SystemCrontab;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      audit_crontab_dir(path, flavor, false);
      return;
    }
    AuditedFile& file = add_file(path, reading_of(flavor));
    std::vector<std::string> reasons;
    read_crontab(path, flavor, file, reasons);
    explain_ignored(*file.report, reasons);
  }

  static std::string reading_of(CrontabFlavor flavor) {
    return flavor == CrontabFlavor::SystemCrontab ? "system crontab" : "user crontab";
  }

  // The names of a directory's entries, hidden ones left out, in byte order; nothing when it
  // cannot be read (a finding of the directory then, unless it does not exist).
  std::optional<std::vector<std::string>> list(const std::string& shown, bool on_host_path) {
    const std::string path = on_host_path ? on_host(shown) : shown;
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
      if (errno != ENOENT || !on_host_path) {
        add_file(shown, "directory")
            .report->add_file(MessageKind::READ_ERROR, "{}", os_error(errno));
      }
      return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      if (!is_hidden(entry->d_name)) names.emplace_back(entry->d_name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }

  void audit_crontab_dir(const std::string& dir, CrontabFlavor flavor, bool on_host_path) {
    const std::optional<std::vector<std::string>> names = list(dir, on_host_path);
    if (!names) return;
    for (const std::string& name : *names) {
      const std::string shown = dir + "/" + name;
      if (on_host_path) {
        audit_crontab(shown, reading_of(flavor), flavor, Owner::Root, {});
        continue;
      }
      AuditedFile& file = add_file(shown, reading_of(flavor));
      Gate gate;
      check_type(shown, shown, gate, *file.report, false);
      name_rule(name, gate);
      if (gate.readable) read_crontab(shown, flavor, file, gate.reasons);
      explain_ignored(*file.report, gate.reasons);
    }
  }

  void audit_spool() {
    std::string dir(kDebianSpool);
    struct stat st {};
    if (::stat(on_host(dir).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) dir = kSpool;
    const std::optional<std::vector<std::string>> names = list(dir, true);
    if (!names) return;
    for (const std::string& name : *names) {
      const std::string shown = dir + "/" + name;
      // The Fedora spool holds only crontabs; Debian's has a folder of them within.
      if (dir == kSpool && ::stat(on_host(shown).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        continue;
      }
      audit_crontab(shown, fmt::format("crontab of user {}", lossy_utf8(name)),
                    CrontabFlavor::UserCrontab, Owner::User, name);
    }
  }

  // A crontab of the host: cron's checks of the file, then its lines.
  void audit_crontab(const std::string& shown, std::string reading, CrontabFlavor flavor,
                     Owner owner, std::string_view user) {
    AuditedFile& file = add_file(shown, std::move(reading));
    Report& report = *file.report;
    Gate gate;
    const std::string path = on_host(shown);
    const std::string target = follow(path);
    if (owner == Owner::User) {
      spool_rules(path, user, gate, report);
    } else {
      system_rules(path, target, gate, report);
      if (shown != kSystemCrontab) name_rule(file_name_of(shown).value_or(""), gate);
    }
    if (gate.readable) read_crontab(path, flavor, file, gate.reasons, &target);
    explain_ignored(report, gate.reasons);
  }

  // The file a path of the host leads to, its symbolic links followed inside the root: an
  // image's absolute links point into the image, not into this machine. (Links among the
  // folders above the file are those of this machine.)
  std::string follow(const std::string& path) const {
    constexpr int kMaxLinks = 40;  // as the kernel: more is a loop
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
      struct stat st {};
      if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
      std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
      const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
      if (n < 0) return current;
      link.resize(static_cast<std::size_t>(n));
      if (link.starts_with('/')) {
        current = root_ + link;
      } else {
        current = current.substr(0, current.rfind('/') + 1) + link;
      }
    }
    return current;
  }

  // Whether there is a regular file to read at target, which path leads to; a symbolic link
  // is followed unless the spool's rules forbid it.
  static bool check_type(const std::string& path, const std::string& target, Gate& gate,
                         Report& report, bool no_links) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return true;  // check_crontab says it is missing
    if (S_ISLNK(st.st_mode) && !no_links && ::stat(target.c_str(), &st) != 0) {
      report.add_file(MessageKind::FILE_TYPE,
                      "Cron skips this file: it is a symbolic link to nothing.");
      gate.reasons.emplace_back("it is a symbolic link to nothing");
      gate.readable = false;
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      const std::string_view what = S_ISDIR(st.st_mode)    ? "a directory"
                                    : S_ISLNK(st.st_mode)  ? "a symbolic link"
                                    : S_ISFIFO(st.st_mode) ? "a FIFO"
                                                           : "not a regular file";
      report.add_file(MessageKind::FILE_TYPE, "Cron skips this file: it is {}.", what);
      gate.reasons.push_back(fmt::format("it is {}", what));
      gate.readable = false;
      return false;
    }
    return true;
  }

  // /etc/crontab and /etc/cron.d: owned by root (a symbolic link and what it points to),
  // not writable by group or others, one hard link.
  void system_rules(const std::string& path, const std::string& target, Gate& gate,
                    Report& report) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0) return;
    if (!check_type(path, target, gate, report, false)) return;
    struct stat st {};
    ::stat(target.c_str(), &st);
    if (S_ISLNK(link.st_mode) && (link.st_uid != 0 || st.st_uid != 0)) {
      report.add_file(MessageKind::FILE_OWNER,
                      "Cron skips this file: a symbolic link and its file must both be owned "
                      "by root (the link is owned by uid {}, the file by uid {}).",
                      link.st_uid, st.st_uid);
      gate.reasons.emplace_back("its link or file is not owned by root");
    } else if (st.st_uid != 0) {
      report.add_file(MessageKind::FILE_OWNER,
                      "Cron skips this file: it is owned by uid {}, not by root.", st.st_uid);
      gate.reasons.emplace_back("it is not owned by root");
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      report.add_file(MessageKind::FILE_MODE,
                      "Cron skips this file: it is writable by {} (mode {}).",
                      (st.st_mode & S_IWGRP) == 0   ? "others"
                      : (st.st_mode & S_IWOTH) == 0 ? "its group"
                                                    : "its group and others",
                      mode_text(st.st_mode));
      gate.reasons.emplace_back("it is writable by others than root");
    }
    links_rule(st, gate, report);
  }

  // A spool crontab: a regular file (no link) named after a user, owned by that user, mode
  // 0600, one hard link.
  void spool_rules(const std::string& path, std::string_view user, Gate& gate, Report& report) {
    uid_t uid = 0;
    const UserLookup lookup = users_.lookup(user, &uid);
    if (lookup == UserLookup::NotFound) {
      report.add_file(MessageKind::ORPHAN, "Cron skips this crontab: no user is named \"{}\".",
                      lossy_utf8(user));
      gate.reasons.emplace_back("no user has its name");
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !check_type(path, path, gate, report, true)) return;
    if (lookup == UserLookup::Found && st.st_uid != uid) {
      report.add_file(MessageKind::FILE_OWNER,
                      "Cron skips this crontab: it is owned by uid {}, not by {} (uid {}).",
                      st.st_uid, lossy_utf8(user), uid);
      gate.reasons.emplace_back("it is not owned by its user");
    }
    if ((st.st_mode & 07777) != 0600) {
      report.add_file(MessageKind::FILE_MODE, "Cron skips this crontab: its mode is {}, not 0600.",
                      mode_text(st.st_mode));
      gate.reasons.emplace_back("its mode is not 0600");
    }
    links_rule(st, gate, report);
  }

  static void links_rule(const struct stat& st, Gate& gate, Report& report) {
    if (st.st_nlink <= 1) return;
    report.add_file(MessageKind::FILE_LINKS, "Cron skips this file: it has {} hard links.",
                    st.st_nlink);
    gate.reasons.emplace_back("it has more than one hard link");
  }

  // cron reads only the files of /etc/cron.d named as run-parts wants: [A-Za-z0-9_-]+.
  static void name_rule(std::string_view name, Gate& gate) {
    if (!is_portable_name(name)) gate.reasons.emplace_back("its name is not made of [A-Za-z0-9_-]");
  }

  // lintkeeper's checks of every line with the audit's; adds to reasons why cron ignores the
  // file, as its lines tell.
  void read_crontab(const std::string& path, CrontabFlavor flavor, AuditedFile& file,
                    std::vector<std::string>& reasons, const std::string* target = nullptr) {
    Report& report = *file.report;
    AuditLines lines(flavor, rules_);
    const CrontabReading reading{flavor, PrintForm::None, rules_};
    check_crontab(path, reading, report, &lines, target);
    const LineVerdicts& verdicts = lines.verdicts();
    if (verdicts.line_feeds > CRON_MAX_LINES) {
      report.add_file(MessageKind::TOO_MANY_LINES,
                      "Cron reads at most {} lines: this file has {}, so cron ignores all of it.",
                      CRON_MAX_LINES, verdicts.line_feeds);
      reasons.emplace_back("it is too long");
    }
    if (verdicts.refused) reasons.push_back(*verdicts.refused);
    if (verdicts.missing_newline) reasons.emplace_back("its last line has no line feed");
    if (verdicts.unknown_user) reasons.push_back(*verdicts.unknown_user);
  }

  // The finding a reader needs first, before the others of the file: that cron ignores it.
  static void explain_ignored(Report& report, const std::vector<std::string>& reasons) {
    if (reasons.empty()) return;
    report.add_file(MessageKind::IGNORED_BY_CRON, "Cron ignores every line of this file: {}.",
                    fmt::join(reasons, "; "));
    report.bring_last_file_message_first();
  }

  void audit_run_parts(const std::string& dir) {
    int error = 0;
    const auto entries = read_run_parts_dir(on_host(dir), error);
    if (!entries) {
      if (error != ENOENT) {
        add_file(dir, "directory").report->add_file(MessageKind::READ_ERROR, "{}", os_error(error));
      }
      return;
    }
    for (const RunPartsEntry& entry : *entries) {
      if (is_hidden(entry.name)) continue;
      AuditedFile& file = add_file(dir + "/" + entry.name, "run-parts script");
      Report& report = *file.report;
      switch (entry.verdict) {
        case RunPartsVerdict::Runs:
          break;
        case RunPartsVerdict::BadName:
          report.add_file(MessageKind::RUN_PARTS_NAME,
                          "run-parts skips this script: its name is not made of "
                          "[A-Za-z0-9_-].");
          break;
        case RunPartsVerdict::NotExecutable:
          report.add_file(MessageKind::RUN_PARTS_EXEC,
                          "run-parts skips this script: it is not executable.");
          break;
        case RunPartsVerdict::Directory:
          report.add_file(MessageKind::FILE_TYPE, "run-parts skips this entry: it is a directory.");
          break;
        case RunPartsVerdict::SpecialFile:
          report.add_file(MessageKind::FILE_TYPE,
                          "run-parts skips this entry: it is not a regular file.");
          break;
        case RunPartsVerdict::StatFailed:
          report.add_file(MessageKind::FILE_TYPE, "run-parts skips this entry: {}.",
                          os_error(entry.error));
          break;
      }
    }
  }

  const AuditOptions& options_;
  std::string root_;  // empty for "/", so that a host path is the root followed by the path
  // The host's users, or those of the root's own etc/passwd: an image's users are not the
  // machine's. Each name is looked up once.
  std::unique_ptr<UserDirectory> source_;
  CachedUsers users_;
  UserRules rules_;
  Audit audit_;
};

}  // namespace

Audit run_audit(const AuditOptions& options) { return Auditor(options).run(); }

}  // namespace lintkeeper
