// The rules cron applies to a file before it reads it.
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
Skip type_skip(std::string_view what) {
  return {MessageKind::FILE_TYPE, fmt::format("Cron skips this file: it is {}.", what),
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
                Gate& gate) {
  FileStatus st = link;
  if (S_ISLNK(link.mode) && !no_links && fs.stat(target, st) != 0) {
    gate.skips.push_back(type_skip("a symbolic link to nothing"));
    gate.readable = false;
    return false;
  }
  if (!S_ISREG(st.mode)) {
    gate.skips.push_back(type_skip(type_of(st.mode)));
    gate.readable = false;
    return false;
  }
  return true;
}

void links_rule(const FileStatus& st, Gate& gate) {
  if (st.links <= 1) return;
  gate.skips.push_back({MessageKind::FILE_LINKS,
                        fmt::format("Cron skips this file: it has {} hard links.", st.links),
                        "it has more than one hard link"});
}

std::string_view writers(mode_t mode) {
  return (mode & S_IWGRP) == 0   ? "others"
         : (mode & S_IWOTH) == 0 ? "its group"
                                 : "its group and others";
}

}  // namespace

Gate system_gate(FileSystem& fs, const std::string& path, const std::string& target) {
  Gate gate;
  FileStatus link;
  if (fs.lstat(path, link) != 0) return gate;  // check_crontab says it is missing
  if (!check_type(fs, link, target, false, gate)) return gate;
  FileStatus st;
  fs.stat(target, st);
  if (S_ISLNK(link.mode) && (link.uid != 0 || st.uid != 0)) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("Cron skips this file: a symbolic link and its file must both be owned by "
                     "root (the link is owned by uid {}, the file by uid {}).",
                     link.uid, st.uid),
         "its link or file is not owned by root"});
  } else if (st.uid != 0) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("Cron skips this file: it is owned by uid {}, not by root.", st.uid),
         "it is not owned by root"});
  }
  if ((st.mode & (S_IWGRP | S_IWOTH)) != 0) {
    gate.skips.push_back({MessageKind::FILE_MODE,
                          fmt::format("Cron skips this file: it is writable by {} (mode {}).",
                                      writers(st.mode), mode_text(st.mode)),
                          "it is writable by others than root"});
  }
  links_rule(st, gate);
  return gate;
}

Gate spool_gate(FileSystem& fs, const std::string& path, std::string_view user, UserLookup lookup,
                uid_t uid) {
  Gate gate;
  if (is_known_missing(lookup)) {
    gate.skips.push_back(
        {MessageKind::ORPHAN,
         fmt::format("Cron skips this crontab: no user is named \"{}\".", lossy_utf8(user)),
         "no user has its name"});
  }
  FileStatus st;
  if (fs.lstat(path, st) != 0 || !check_type(fs, st, path, true, gate)) return gate;
  if (is_confirmed(lookup) && st.uid != uid) {
    gate.skips.push_back(
        {MessageKind::FILE_OWNER,
         fmt::format("Cron skips this crontab: it is owned by uid {}, not by {} (uid {}).", st.uid,
                     lossy_utf8(user), uid),
         "it is not owned by its user"});
  }
  if ((st.mode & 07777) != 0600) {
    gate.skips.push_back(
        {MessageKind::FILE_MODE,
         fmt::format("Cron skips this crontab: its mode is {}, not 0600.", mode_text(st.mode)),
         "its mode is not 0600"});
  }
  links_rule(st, gate);
  return gate;
}

Gate entry_gate(FileSystem& fs, const std::string& path) {
  Gate gate;
  FileStatus st;
  if (fs.lstat(path, st) == 0) check_type(fs, st, path, false, gate);
  return gate;
}

std::optional<Skip> name_rule(std::string_view name) {
  if (cron_reads_name(name)) return std::nullopt;
  return Skip{MessageKind::FILE_NAME, std::string(CRON_NAME_RULE_TEXT),
              "its name is not made of [A-Za-z0-9_-]"};
}

std::optional<Skip> length_rule(std::uint64_t line_feeds) {
  if (line_feeds <= CRON_MAX_LINES) return std::nullopt;
  return Skip{
      MessageKind::TOO_MANY_LINES,
      fmt::format("Cron reads at most {} lines: this file has {}, so cron ignores all of it.",
                  CRON_MAX_LINES, line_feeds),
      "it is too long"};
}

}  // namespace lintkeeper
