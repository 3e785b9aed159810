// The audit of a host's cron set-up: the places of the host layout in order, cron's rules of
// each file before it reads it, and lintkeeper's checks of every crontab with the audit's.
#include "audit/audit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "audit/clock.h"
#include "audit/detect.h"
#include "audit/file_rules.h"
#include "audit/fixes.h"
#include "audit/host_layout.h"
#include "audit/line_rules.h"
#include "audit/run_parts.h"
#include "audit/users.h"
#include "base/os_error.h"
#include "base/unicode.h"
#include "run/check_crontab.h"

namespace lintkeeper {

Counts Audit::counts() const {
  Counts counts;
  for (const AuditedFile& f : files) counts += f.findings->counts();
  return counts;
}

std::size_t Audit::file_count() const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const AuditedFile& f) { return !f.whole; }));
}

namespace {

// Names starting with a dot are hidden on purpose (Debian's .placeholder): cron and run-parts
// pass over them, and so does the audit.
bool is_hidden(std::string_view name) { return name.starts_with('.'); }

std::string_view reading_of(CrontabFlavor flavor) {
  return flavor == CrontabFlavor::SystemCrontab ? "system crontab" : "user crontab";
}

// The finding of run-parts' verdict on a script, if it skips it.
std::optional<std::pair<MessageKind, std::string>> run_parts_finding(const RunPartsEntry& entry,
                                                                     RunPartsNames names) {
  switch (entry.verdict) {
    case RunPartsVerdict::Runs:
      return std::nullopt;
    case RunPartsVerdict::BadName:
      return {{MessageKind::RUN_PARTS_NAME,
               fmt::format("run-parts skips this script: its name is not made of {}.",
                           run_parts_name_chars(names))}};
    case RunPartsVerdict::NotExecutable:
      return {{MessageKind::RUN_PARTS_EXEC, "run-parts skips this script: it is not executable."}};
    case RunPartsVerdict::Directory:
      return {{MessageKind::FILE_TYPE, "run-parts skips this entry: it is a directory."}};
    case RunPartsVerdict::SpecialFile:
      return {{MessageKind::FILE_TYPE, "run-parts skips this entry: it is not a regular file."}};
    case RunPartsVerdict::StatFailed:
      return {{MessageKind::FILE_TYPE,
               fmt::format("run-parts skips this entry: {}.", os_error(entry.error))}};
  }
  return std::nullopt;
}

// The cron to audit as: the one asked for, else the root's own, else Debian's for paths.
CronChoice choose_cron(const AuditOptions& options, FileSystem& fs, const std::string& root) {
  if (options.cron) {
    return {*options.cron, fmt::format("--cron {}", cron_info(*options.cron).name), true};
  }
  if (!options.paths.empty()) return {CronName::Debian, "the default for crontabs named", true};
  return detect_cron(fs, root);
}

class Auditor {
 public:
  Auditor(const AuditOptions& options, FileSystem& fs)
      : options_(options),
        fs_(fs),
        root_(options.root == "/" ? "" : options.root),
        source_(root_.empty() ? std::unique_ptr<UserDirectory>(new SystemUsers)
                              : std::make_unique<PasswdFileUsers>(fs, on_host(PASSWD_FILE))),
        users_(*source_),
        rules_{options.check.whitelist, options.check.no_check_passwd, &users_},
        choice_(choose_cron(options, fs, root_)),
        cron_(cron_info(choice_.cron)),
        clock_(options.zone ? DaemonClock{*options.zone, "--time-zone"}
                            : daemon_clock(fs, root_, options.tz ? options.tz->c_str() : nullptr)) {
  }

  Audit run() {
    audit_.cron = choice_;
    audit_.time_zone = clock_.zone.name();
    audit_.time_zone_why = clock_.why;
    audit_.next = options_.next;
    audit_.cron_told = options_.paths.empty() || options_.cron.has_value();
    if (options_.paths.empty()) {
      audit_.root = options_.root;
      if (!root_readable()) {
        audit_.cron_told = false;  // no root, no cron of its own
        return std::move(audit_);
      }
      if (!choice_.known) {
        host_file().findings->add_file(MessageKind::CRON_UNKNOWN,
                                       "Nothing in the root tells which cron runs its jobs: it is "
                                       "audited as {} reads it.",
                                       cron_.title);
      }
      audit_host(places_of(choice_.cron));
    } else {
      for (const std::string& path : options_.paths) audit_path(path);
    }
    if (crontabs_ == 0) nothing_read();
    return std::move(audit_);
  }

 private:
  std::string on_host(std::string_view path) const { return root_ + std::string(path); }

  // No crontab at all: not a clean set-up but, most often, the wrong root or paths.
  void nothing_read() {
    std::vector<std::string> looked;
    if (options_.paths.empty()) {
      for (const Place& place : places_of(choice_.cron)) {
        if (place.kind != PlaceKind::RunParts && place.kind != PlaceKind::Unread) {
          looked.emplace_back(place.path);
        }
      }
    } else {
      looked = options_.paths;
    }
    host_file().findings->add_file(MessageKind::NOTHING_READ,
                                   "No crontab was found: the audit looked in {}.",
                                   fmt::join(looked, ", "));
  }

  // The entry of findings about the whole host (or the paths named), made once.
  AuditedFile& host_file() {
    if (!host_) {
      host_ = audit_.files.size();
      add_file(options_.paths.empty() ? "/" : options_.paths.front(),
               options_.paths.empty() ? "host" : "paths named")
          .whole = true;
    }
    return audit_.files[*host_];
  }

  // Whether the root is a folder to audit; a finding of the host when it is not.
  bool root_readable() {
    std::vector<std::string> names;
    const int error = fs_.read_dir(root_.empty() ? "/" : root_, names);
    if (error == 0) return true;
    host_file().findings->add_file(MessageKind::READ_ERROR, "{}", os_error(error));
    return false;
  }

  // Whether the folder was read already, by another place that leads to it (Alpine's
  // /var/spool/cron/crontabs is a link to /etc/crontabs).
  bool read_before(const std::string& path) {
    FileStatus st;
    if (fs_.stat(path, st) != 0) return false;
    for (const FileIdentity& seen : folders_) {
      if (seen == st.identity) return true;
    }
    folders_.push_back(st.identity);
    return false;
  }

  std::string reading_of(CrontabFlavor flavor) const {
    if (!cron_.user_column) return "crontab";
    return std::string(lintkeeper::reading_of(flavor));
  }

  AuditedFile& add_file(std::string shown, std::string reading) {
    auto store = std::make_unique<FindingStore>(
        options_.every_line ? FindingStore::Keep::All : FindingStore::Keep::WithFindings);
    store->switch_off(options_.disabled);
    AuditedFile file;
    file.path = std::move(shown);
    file.reading = std::move(reading);
    file.findings = std::move(store);
    audit_.files.push_back(std::move(file));
    return audit_.files.back();
  }

  bool is_dir(const std::string& path) {
    FileStatus st;
    return fs_.stat(path, st) == 0 && S_ISDIR(st.mode);
  }

  // Of a place and the one read instead of it, only the first that is a folder is read.
  void audit_host(std::span<const Place> places) {
    for (std::size_t i = 0; i < places.size(); ++i) {
      const bool has_alternative = i + 1 < places.size() && places[i + 1].instead_of_previous;
      if (has_alternative && is_dir(on_host(places[i].path))) {
        audit_place(places[i]);
        ++i;
      } else if (!has_alternative) {
        audit_place(places[i]);
      }
    }
  }

  void audit_place(const Place& place) {
    const std::string path(place.path);
    const CrontabFlavor flavor = flavor_of(cron_, place.kind);
    switch (place.kind) {
      case PlaceKind::Crontab: {
        FileStatus st;
        if (fs_.lstat(on_host(path), st) == 0) audit_crontab(place, path, reading_of(flavor), {});
        return;
      }
      case PlaceKind::CrontabDir:
        if (read_before(on_host(path))) return;
        for (const std::string& name : list(path, true).value_or(std::vector<std::string>{})) {
          audit_crontab(place, path + "/" + name, reading_of(flavor), name);
        }
        return;
      case PlaceKind::Spool:
        if (read_before(on_host(path))) return;
        return audit_spool(place);
      case PlaceKind::RunParts:
        return audit_run_parts(path);
      case PlaceKind::Unread:
        return unread(path);
    }
  }

  // A place another cron reads: crontabs there never run under this one.
  void unread(const std::string& path) {
    FileStatus st;
    if (fs_.stat(on_host(path), st) != 0) return;
    if (S_ISREG(st.mode)) {
      if (st.size == 0) return;
      add_file(path, "file")
          .findings->add_file(MessageKind::UNREAD_PLACE, "{} never reads {}: nothing in it runs.",
                              cron_.title, path);
      return;
    }
    std::vector<std::string> names;
    if (!S_ISDIR(st.mode) || fs_.read_dir(on_host(path), names) != 0) return;
    std::erase_if(names, is_hidden);
    if (names.empty()) return;
    AuditedFile& folder = add_file(path, "directory");
    if (names.size() == 1) {
      folder.findings->add_file(MessageKind::UNREAD_PLACE,
                                "{} never reads {}: the file in it never runs.", cron_.title, path);
    } else {
      folder.findings->add_file(MessageKind::UNREAD_PLACE,
                                "{} never reads {}: none of the {} files in it runs.", cron_.title,
                                path, names.size());
    }
  }

  // A path named on the command line: a file is read as a crontab of the chosen flavour, a
  // directory as cron reads /etc/cron.d. Who owns them does not matter.
  void audit_path(const std::string& path) {
    const CrontabFlavor flavor = options_.check.user || !cron_.user_column
                                     ? CrontabFlavor::UserCrontab
                                     : CrontabFlavor::SystemCrontab;
    if (is_dir(path)) {
      for (const std::string& name : list(path, false).value_or(std::vector<std::string>{})) {
        const std::string shown = path + "/" + name;
        AuditedFile& file = add_file(shown, reading_of(flavor));
        Gate gate = entry_gate(fs_, shown, cron_.speaker);
        if (const std::optional<Skip> skip = name_rule(name, folder_names(), cron_.speaker)) {
          gate.skips.push_back(*skip);
        }
        finish(file, gate, flavor, shown, nullptr, {});
      }
      return;
    }
    AuditedFile& file = add_file(path, reading_of(flavor));
    // A crontab named alone may be installed under another name: lintkeeper's rule of names
    // applies to it, not cron's rule of the files of /etc/cron.d.
    finish(file, Gate{}, flavor, path, nullptr, {}, /*lintkeeper_names=*/true);
  }

  // The rule of names of a folder named on the command line: the cron's of /etc/cron.d, or of
  // its spool when it has no such folder.
  const NameRule& folder_names() const {
    return cron_.user_column ? cron_.crontab_dir_names : cron_.spool_names;
  }

  // The names of a directory's entries, hidden ones left out, in byte order; nothing when it
  // cannot be read (a finding of the directory then, unless it does not exist on the host).
  std::optional<std::vector<std::string>> list(const std::string& shown, bool on_host_path) {
    const std::string path = on_host_path ? on_host(shown) : shown;
    std::vector<std::string> names;
    if (const int error = fs_.read_dir(path, names); error != 0) {
      if (error != ENOENT || !on_host_path) {
        add_file(shown, "directory")
            .findings->add_file(MessageKind::READ_ERROR, "{}", os_error(error));
      }
      return std::nullopt;
    }
    std::erase_if(names, is_hidden);
    std::sort(names.begin(), names.end());
    return names;
  }

  void audit_spool(const Place& place) {
    const std::string dir(place.path);
    const std::optional<std::vector<std::string>> names = list(dir, true);
    if (!names) return;
    for (const std::string& name : *names) {
      const std::string shown = dir + "/" + name;
      // A spool kept beside other folders holds only crontabs; another cron's folder in it is
      // reported as a place of its own.
      if ((place.instead_of_previous || !cron_.user_column) && is_dir(on_host(shown))) continue;
      if (is_unread_place(choice_.cron, shown)) continue;
      audit_crontab(place, shown, fmt::format("crontab of user {}", lossy_utf8(name)), name);
    }
  }

  // A crontab of the host: cron's rules of the file, then its lines. name is the file's name
  // in its folder, or empty for a crontab of its own place.
  void audit_crontab(const Place& place, const std::string& shown, std::string reading,
                     std::string_view name) {
    AuditedFile& file = add_file(shown, std::move(reading));
    const std::string path = on_host(shown);
    const std::string target = follow(path);
    Gate gate;
    std::string_view user;
    if (place.kind == PlaceKind::Spool) {
      user = name;
      const std::optional<Skip> skip = name_rule(name, cron_.spool_names, cron_.speaker);
      if (skip) {
        // A name the cron passes over is never looked up.
        gate =
            spool_gate(fs_, path, target, name, UserLookup::Failed, 0, cron_.spool, cron_.speaker);
        gate.skips.insert(gate.skips.begin(), *skip);
        file.reading = "file";  // never a crontab of its user
      } else {
        uid_t uid = 0;
        const UserLookup lookup = users_.lookup(name, &uid);
        gate = spool_gate(fs_, path, target, name, lookup, uid, cron_.spool, cron_.speaker);
      }
    } else {
      gate = system_gate(fs_, path, target, cron_.system, cron_.speaker);
      if (place.kind == PlaceKind::CrontabDir) {
        if (const std::optional<Skip> skip =
                name_rule(name, cron_.crontab_dir_names, cron_.speaker)) {
          gate.skips.push_back(*skip);
        }
      }
    }
    finish(file, gate, flavor_of(cron_, place.kind), path, &target, user);
  }

  // The file a path of the host leads to, its symbolic links followed inside the root: an
  // image's absolute links point into the image, not into this machine. (Links among the
  // folders above the file are those of this machine.)
  std::string follow(const std::string& path) const {
    constexpr int kMaxLinks = 40;  // as the kernel: more is a loop
    std::string current = path;
    for (int i = 0; i < kMaxLinks; ++i) {
      FileStatus st;
      std::string link;
      if (fs_.lstat(current, st) != 0 || !S_ISLNK(st.mode) || fs_.read_link(current, link) != 0) {
        return current;
      }
      current =
          link.starts_with('/') ? root_ + link : current.substr(0, current.rfind('/') + 1) + link;
    }
    return current;
  }

  // The findings of the gate, then lintkeeper's checks of every line with the audit's when
  // there is a file to read, then IGNORED_BY_CRON before all, with every reason cron ignores
  // the file.
  void finish(AuditedFile& file, const Gate& gate, CrontabFlavor flavor, const std::string& path,
              const std::string* target, std::string_view user, bool lintkeeper_names = false) {
    FindingStore& store = *file.findings;
    ++crontabs_;
    std::vector<std::string> reasons;
    const FileRepair repair{path, target != nullptr ? std::string_view(*target) : path,
                            !user.empty(), user, false};
    const auto skip = [&](const Skip& s) {
      store.add_file(s.kind, "{}", s.text);
      if (std::optional<Fix> fix = repair_fix(s.kind, cron_, repair)) {
        store.fix_file_finding(s.kind, std::move(*fix));
      }
      reasons.push_back(s.reason);
    };
    for (const Skip& s : gate.skips) skip(s);
    if (gate.readable) {
      const std::size_t jobs_before = audit_.jobs.size();
      JobClock clock{&clock_.zone,
                     options_.now,
                     [this](std::string_view name) { return zone_named(name); },
                     options_.next,
                     options_.next > 0 ? &audit_.jobs : nullptr,
                     static_cast<std::size_t>(&file - audit_.files.data())};
      AuditLines lines(cron_, flavor, rules_, user, clock);
      CrontabReading reading{flavor, PrintForm::None, nullptr, rules_, lintkeeper_names};
      reading.percent_newline = cron_.percent_newline;
      reading.missing_newline_whole_file = cron_.missing_newline == BadLine::WholeFile;
      check_crontab(fs_, path, reading, store, &lines, target);
      const LineVerdicts& verdicts = lines.verdicts();
      file.host_path = path;
      file.size = verdicts.size;
      file.hash = verdicts.hash;
      if (verdicts.last_line != 0) {
        store.fix_file_finding(
            MessageKind::MISSING_NEWLINE,
            missing_newline_fix(verdicts.last_line, verdicts.last_offset, verdicts.last_raw));
      }
      if (const std::optional<Skip> s = length_rule(cron_, verdicts.line_feeds)) skip(*s);
      if (verdicts.first_unread > 0) {
        store.add_file_line(MessageKind::TOO_MANY_LINES, verdicts.first_unread,
                            "{} reads at most {} lines of a crontab but root's: it reads "
                            "nothing from line {} on.",
                            cron_.speaker, cron_.max_lines, verdicts.first_unread);
      }
      if (verdicts.refused) reasons.push_back(*verdicts.refused);
      if (verdicts.missing_newline) reasons.emplace_back("its last line has no line feed");
      if (verdicts.unknown_user) reasons.push_back(*verdicts.unknown_user);
      if (verdicts.crash) reasons.push_back(*verdicts.crash);
      // The cron runs no job of a file it ignores.
      if (!reasons.empty()) audit_.jobs.resize(jobs_before);
    }
    if (reasons.empty()) return;
    store.lead_with(MessageKind::IGNORED_BY_CRON,
                    fmt::format("{} ignores every line of this file: {}.", cron_.speaker,
                                fmt::join(reasons, "; ")));
  }

  void audit_run_parts(const std::string& dir) {
    int error = 0;
    const auto entries = read_run_parts_dir(fs_, on_host(dir), cron_.run_parts, error);
    if (!entries) {
      if (error != ENOENT) {
        add_file(dir, "directory")
            .findings->add_file(MessageKind::READ_ERROR, "{}", os_error(error));
      }
      return;
    }
    for (const RunPartsEntry& entry : *entries) {
      if (is_hidden(entry.name)) continue;
      AuditedFile& file = add_file(dir + "/" + entry.name, "run-parts script");
      if (const auto finding = run_parts_finding(entry, cron_.run_parts)) {
        file.findings->add_file(finding->first, "{}", finding->second);
        const std::string path = on_host(file.path);
        if (std::optional<Fix> fix = repair_fix(
                finding->first, cron_,
                {path, path, false, {}, cron_.run_parts == RunPartsNames::PortableAndDot})) {
          file.findings->fix_file_finding(finding->first, std::move(*fix));
        }
      }
    }
  }

  // The zone a job's zone variable names, read once; null when there is none of that name.
  const TimeZone* zone_named(std::string_view name) {
    const std::string key(name);
    auto it = zones_.find(key);
    if (it == zones_.end()) it = zones_.emplace(key, find_audit_zone(fs_, root_, name).zone).first;
    return it->second ? &*it->second : nullptr;
  }

  const AuditOptions& options_;
  FileSystem& fs_;
  std::string root_;  // empty for "/", so that a host path is the root followed by the path
  // The host's users, or those of the root's own etc/passwd: an image's users are not the
  // machine's. Each name is looked up once.
  std::unique_ptr<UserDirectory> source_;
  CachedUsers users_;
  UserRules rules_;
  CronChoice choice_;
  const CronInfo& cron_;
  std::vector<FileIdentity> folders_;  // the folders of crontabs read
  std::size_t crontabs_ = 0;           // the crontabs read
  std::optional<std::size_t> host_;    // the index of host_file()
  DaemonClock clock_;
  std::map<std::string, std::optional<TimeZone>> zones_;
  Audit audit_;
};

}  // namespace

Audit run_audit(const AuditOptions& options, FileSystem& fs) { return Auditor(options, fs).run(); }

}  // namespace lintkeeper
