// The audit of a host's cron set-up: the places of the host layout in order, cron's rules of
// each file before it reads it, and lintkeeper's checks of every crontab with the audit's.
#include "audit/audit.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string_view>

#include <fmt/format.h>

#include "audit/file_rules.h"
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

namespace {

// Names starting with a dot are hidden on purpose (Debian's .placeholder): cron and run-parts
// pass over them, and so does the audit.
bool is_hidden(std::string_view name) { return name.starts_with('.'); }

std::string_view reading_of(CrontabFlavor flavor) {
  return flavor == CrontabFlavor::SystemCrontab ? "system crontab" : "user crontab";
}

// The finding of run-parts' verdict on a script, if it skips it.
std::optional<std::pair<MessageKind, std::string>> run_parts_finding(const RunPartsEntry& entry) {
  switch (entry.verdict) {
    case RunPartsVerdict::Runs:
      return std::nullopt;
    case RunPartsVerdict::BadName:
      return {{MessageKind::RUN_PARTS_NAME,
               "run-parts skips this script: its name is not made of [A-Za-z0-9_-]."}};
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

class Auditor {
 public:
  Auditor(const AuditOptions& options, FileSystem& fs)
      : options_(options),
        fs_(fs),
        root_(options.root == "/" ? "" : options.root),
        source_(root_.empty() ? std::unique_ptr<UserDirectory>(new SystemUsers)
                              : std::make_unique<PasswdFileUsers>(fs, on_host(PASSWD_FILE))),
        users_(*source_),
        rules_{options.check.whitelist, options.check.no_check_passwd, &users_} {}

  Audit run() {
    if (options_.paths.empty()) {
      audit_.root = options_.root;
      audit_host(DEBIAN_PLACES);
    } else {
      for (const std::string& path : options_.paths) audit_path(path);
    }
    return std::move(audit_);
  }

 private:
  std::string on_host(std::string_view path) const { return root_ + std::string(path); }

  AuditedFile& add_file(std::string shown, std::string reading) {
    auto store = std::make_unique<FindingStore>(
        options_.every_line ? FindingStore::Keep::All : FindingStore::Keep::WithFindings);
    store->switch_off(options_.disabled);
    audit_.files.push_back({std::move(shown), std::move(reading), std::move(store)});
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
    switch (place.kind) {
      case PlaceKind::Crontab: {
        FileStatus st;
        if (fs_.lstat(on_host(path), st) == 0) {
          audit_crontab(place, path, std::string(reading_of(place.flavor)), {});
        }
        return;
      }
      case PlaceKind::CrontabDir:
        for (const std::string& name : list(path, true).value_or(std::vector<std::string>{})) {
          audit_crontab(place, path + "/" + name, std::string(reading_of(place.flavor)), name);
        }
        return;
      case PlaceKind::Spool:
        return audit_spool(place);
      case PlaceKind::RunParts:
        return audit_run_parts(path);
    }
  }

  // A path named on the command line: a file is read as a crontab of the chosen flavour, a
  // directory as cron reads /etc/cron.d. Who owns them does not matter.
  void audit_path(const std::string& path) {
    const CrontabFlavor flavor =
        options_.check.user ? CrontabFlavor::UserCrontab : CrontabFlavor::SystemCrontab;
    if (is_dir(path)) {
      for (const std::string& name : list(path, false).value_or(std::vector<std::string>{})) {
        const std::string shown = path + "/" + name;
        AuditedFile& file = add_file(shown, std::string(reading_of(flavor)));
        Gate gate = entry_gate(fs_, shown);
        if (const std::optional<Skip> skip = name_rule(name)) gate.skips.push_back(*skip);
        finish(file, gate, flavor, shown, nullptr);
      }
      return;
    }
    AuditedFile& file = add_file(path, std::string(reading_of(flavor)));
    // A crontab named alone may be installed under another name: lintkeeper's rule of names
    // applies to it, not cron's rule of the files of /etc/cron.d.
    finish(file, Gate{}, flavor, path, nullptr, /*lintkeeper_names=*/true);
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
      // A spool kept beside other folders holds only crontabs.
      if (place.instead_of_previous && is_dir(on_host(shown))) continue;
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
    if (place.rules == FileRules::Spool) {
      uid_t uid = 0;
      const UserLookup lookup = users_.lookup(name, &uid);
      gate = spool_gate(fs_, path, name, lookup, uid);
    } else {
      gate = system_gate(fs_, path, target);
    }
    if (place.kind == PlaceKind::CrontabDir) {
      if (const std::optional<Skip> skip = name_rule(name)) gate.skips.push_back(*skip);
    }
    finish(file, gate, place.flavor, path, &target);
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
              const std::string* target, bool lintkeeper_names = false) {
    FindingStore& store = *file.findings;
    std::vector<std::string> reasons;
    const auto skip = [&](const Skip& s) {
      store.add_file(s.kind, "{}", s.text);
      reasons.push_back(s.reason);
    };
    for (const Skip& s : gate.skips) skip(s);
    if (gate.readable) {
      AuditLines lines(flavor, rules_);
      const CrontabReading reading{flavor, PrintForm::None, nullptr, rules_, lintkeeper_names};
      check_crontab(fs_, path, reading, store, &lines, target);
      const LineVerdicts& verdicts = lines.verdicts();
      if (const std::optional<Skip> s = length_rule(verdicts.line_feeds)) skip(*s);
      if (verdicts.refused) reasons.push_back(*verdicts.refused);
      if (verdicts.missing_newline) reasons.emplace_back("its last line has no line feed");
      if (verdicts.unknown_user) reasons.push_back(*verdicts.unknown_user);
    }
    if (reasons.empty()) return;
    store.lead_with(
        MessageKind::IGNORED_BY_CRON,
        fmt::format("Cron ignores every line of this file: {}.", fmt::join(reasons, "; ")));
  }

  void audit_run_parts(const std::string& dir) {
    int error = 0;
    const auto entries = read_run_parts_dir(fs_, on_host(dir), error);
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
      if (const auto finding = run_parts_finding(entry)) {
        file.findings->add_file(finding->first, "{}", finding->second);
      }
    }
  }

  const AuditOptions& options_;
  FileSystem& fs_;
  std::string root_;  // empty for "/", so that a host path is the root followed by the path
  // The host's users, or those of the root's own etc/passwd: an image's users are not the
  // machine's. Each name is looked up once.
  std::unique_ptr<UserDirectory> source_;
  CachedUsers users_;
  UserRules rules_;
  Audit audit_;
};

}  // namespace

Audit run_audit(const AuditOptions& options, FileSystem& fs) { return Auditor(options, fs).run(); }

}  // namespace lintkeeper
