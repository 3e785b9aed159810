// The rules a cron applies to a file before it reads it.
#include "audit/file_rules.h"

#include <sys/stat.h>

#include <fmt/format.h>

#include "base/unicode.h"
#include "cron/cron_line.h"
#include "cron/crontab_names.h"

namespace lintkeeper {

namespace {

std::string mode_text(mode_t mode) { return fmt::format("{:04o}", mode & 07777); }

// The finding of a file cron skips for its type: "Cron skips this file: it is a FIFO."
Skip type_skip(std::string_view who, std::string_view what) {
  return {MessageKind::FILE_TYPE, fmt::format("{} skips this file: it is {}.", who, what),
          fmt::format("it is {}", what)};
}

std::string_view type_of(mode_t mode) {
  return S_ISDIR(mode)    ? "a directory"
         : S_ISLNK(mode)  ? "a symbolic link"
         : S_ISFIFO(mode) ? "a FIFO"
                          : "not a regular file";
}

// Whether there is a regular file at target, which path leads to; a symbolic link is followed
// unless no_links.
bool check_type(FileSystem& fs, const FileStatus& link, const std::string& target, bool no_links,
                Gate& gate, std::string_view who) {
  FileStatus st = link;
  if (S_ISLNK(link.mode) && !no_links && fs.stat(target, st) != 0) {
    gate.skips.push_back(type_skip(who, "a symbolic link to nothing"));
    gate.readable = false;
    return false;
  }
  if (!S_ISREG(st.mode)) {
    gate.skips.push_back(type_skip(who, type_of(st.mode)));
    gate.readable = false;
    return false;
  }
  return true;
}

void links_rule(const FileStatus& st, Gate& gate, std::string_view who) {
  if (st.links <= 1) return;
  gate.skips.push_back({MessageKind::FILE_LINKS,
                        fmt::format("{} skips this file: it has {} hard links.", who, st.links),
                        "it has more than one hard link"});
}

std::string_view writers(mode_t mode) {
  return (mode & S_IWGRP) == 0   ? "others"
         : (mode & S_IWOTH) == 0 ? "its group"
                                 : "its group and others";
}

// The owner a spool crontab must have: root, its user, or either.
void spool_owner_rule(const FileStatus& st, std::string_view user, UserLookup lookup, uid_t uid,
                      const SpoolRule& rule, Gate& gate, std::string_view who) {
  const bool by_root = rule.owner_is_root && st.uid == 0;
  if (rule.owner_is_user && !rule.owner_is_root) {
    if (!is_confirmed(lookup) || st.uid == uid) return;
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("{} skips this crontab: it is owned by uid {}, not by {} (uid {}).", who,
                     st.uid, lossy_utf8(user), uid),
         "it is not owned by its user"});
  } else if (rule.owner_is_user) {
    if (by_root || !is_confirmed(lookup) || st.uid == uid) return;
    if (uid == 0) {
      gate.skips.push_back(
          {MessageKind::FILE_OWNER,
           fmt::format("{} skips this crontab: it is owned by uid {}, not by root.", who, st.uid),
           "it is not owned by root"});
      return;
    }
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("{} skips this crontab: it is owned by uid {}, not by root or {} (uid {}).",
                     who, st.uid, lossy_utf8(user), uid),
         "it is owned neither by root nor by its user"});
  } else if (rule.owner_is_root && !by_root) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("{} skips this crontab: it is owned by uid {}, not by root.", who, st.uid),
         "it is not owned by root"});
  }
}

void spool_mode_rule(const FileStatus& st, const SpoolRule& rule, Gate& gate,
                     std::string_view who) {
  if ((st.mode & rule.mode_mask) == rule.mode_value) return;
  if (rule.mode_mask == 07777) {
    gate.skips.push_back({MessageKind::FILE_MODE,
                          fmt::format("{} skips this crontab: its mode is {}, not {}.", who,
                                      mode_text(st.mode), mode_text(rule.mode_value)),
                          fmt::format("its mode is not {}", mode_text(rule.mode_value))});
    return;
  }
  gate.skips.push_back(
      {MessageKind::FILE_MODE,
       fmt::format("{} skips this crontab: its mode is {}; it reads a crontab that its owner "
                   "may read, that no one may run and that no one else may write.",
                   who, mode_text(st.mode)),
       "its mode lets others write or run it"});
}

}  // namespace

Gate system_gate(FileSystem& fs, const std::string& path, const std::string& target,
                 const SystemRule& rule, std::string_view who) {
  Gate gate;
  FileStatus link;
  if (fs.lstat(path, link) != 0) return gate;  // check_crontab says it is missing
  if (!check_type(fs, link, target, false, gate, who)) return gate;
  FileStatus st;
  fs.stat(target, st);
  if (rule.owner_is_root && S_ISLNK(link.mode) && (link.uid != 0 || st.uid != 0)) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("{} skips this file: a symbolic link and its file must both be owned by "
                     "root (the link is owned by uid {}, the file by uid {}).",
                     who, link.uid, st.uid),
         "its link or file is not owned by root"});
  } else if (rule.owner_is_root && st.uid != 0) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("{} skips this file: it is owned by uid {}, not by root.", who, st.uid),
         "it is not owned by root"});
  }
  if (rule.not_writable && (st.mode & (S_IWGRP | S_IWOTH)) != 0) {
    gate.skips.push_back({MessageKind::FILE_MODE,
                          fmt::format("{} skips this file: it is writable by {} (mode {}).", who,
                                      writers(st.mode), mode_text(st.mode)),
                          "it is writable by others than root"});
  }
  if (rule.one_hard_link) links_rule(st, gate, who);
  return gate;
}

Gate spool_gate(FileSystem& fs, const std::string& path, const std::string& target,
                std::string_view user, UserLookup lookup, uid_t uid, const SpoolRule& rule,
                std::string_view who) {
  Gate gate;
  if (is_known_missing(lookup)) {
    gate.skips.push_back(
        {MessageKind::ORPHAN,
         fmt::format("{} skips this crontab: no user is named \"{}\".", who, lossy_utf8(user)),
         "no user has its name"});
  }
  FileStatus st;
  if (fs.lstat(path, st) != 0) return gate;
  if (FileStatus opened; rule.fifo_hangs && fs.stat(target, opened) == 0 && S_ISFIFO(opened.mode)) {
    gate.skips.push_back({MessageKind::FILE_TYPE,
                          fmt::format("{} waits for ever to read this FIFO as it loads the "
                                      "crontabs: it runs no job of any crontab.",
                                      who),
                          "it is a FIFO, which stops cron"});
    gate.readable = false;
    return gate;
  }
  if (!check_type(fs, st, target, !rule.links_followed, gate, who)) return gate;
  if (rule.links_followed) fs.stat(target, st);  // the file's owner counts, not the link's
  spool_owner_rule(st, user, lookup, uid, rule, gate, who);
  spool_mode_rule(st, rule, gate, who);
  if (rule.one_hard_link) links_rule(st, gate, who);
  return gate;
}

Gate entry_gate(FileSystem& fs, const std::string& path, std::string_view who) {
  Gate gate;
  FileStatus st;
  if (fs.lstat(path, st) == 0) check_type(fs, st, path, false, gate, who);
  return gate;
}

std::optional<Skip> name_rule(std::string_view name, const NameRule& rule, std::string_view who) {
  if (reads_name(rule, name)) return std::nullopt;
  if (rule.portable_only) {
    return Skip{MessageKind::FILE_NAME, std::string(CRON_NAME_RULE_TEXT),
                "its name is not made of [A-Za-z0-9_-]"};
  }
  if (rule.no_dot && name.find('.') != std::string_view::npos) {
    return Skip{MessageKind::FILE_NAME,
                fmt::format("{} skips this file for its name: it holds a \".\".", who),
                "its name holds a \".\""};
  }
  for (const std::string_view p : rule.skipped_prefixes) {
    if (name.starts_with(p)) {
      return Skip{MessageKind::FILE_NAME,
                  fmt::format("{} skips this file for its name: it starts with \"{}\".", who, p),
                  fmt::format("its name starts with \"{}\"", p)};
    }
  }
  for (const std::string_view e : rule.skipped_suffixes) {
    if (name.ends_with(e)) {
      return Skip{MessageKind::FILE_NAME,
                  fmt::format("{} skips this file for its name: it ends in \"{}\".", who, e),
                  fmt::format("its name ends in \"{}\"", e)};
    }
  }
  return std::nullopt;
}

std::optional<Skip> length_rule(const CronInfo& cron, std::uint64_t line_feeds) {
  const std::string_view who = cron.speaker;
  if (!cron.max_lines_whole_file || line_feeds <= cron.max_lines) return std::nullopt;
  return Skip{MessageKind::TOO_MANY_LINES,
              fmt::format("{} reads at most {} lines: this file has {}, so cron ignores all of it.",
                          who, cron.max_lines, line_feeds),
              "it is too long"};
}

}  // namespace lintkeeper
