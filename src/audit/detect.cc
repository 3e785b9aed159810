// Which cron runs the jobs of a root, from the signs it holds.
#include "audit/detect.h"

#include <sys/stat.h>

#include <array>
#include <span>
#include <string_view>

#include <fmt/format.h>

namespace lintkeeper {

namespace {

// A path whose presence tells the cron.
struct Sign {
  std::string_view path;
  CronName cron;
  std::string_view what;  // "Debian's cron package is installed"
  bool folder;            // the path is a folder (else a file)
};

// The files of a cron's package: the strongest sign.
constexpr auto PACKAGE_SIGNS = std::to_array<Sign>({
    {"/var/lib/dpkg/info/cron.list", CronName::Debian, "Debian's cron package is installed", false},
    {"/etc/sysconfig/crond", CronName::Cronie, "cronie's /etc/sysconfig/crond is there", false},
});

// The folders that only one cron has: the weakest.
constexpr auto FOLDER_SIGNS = std::to_array<Sign>({
    {"/etc/crontabs", CronName::Busybox, "busybox's folder /etc/crontabs is there", true},
    {"/etc/periodic", CronName::Busybox, "busybox's folder /etc/periodic is there", true},
    {"/etc/cron.d/0hourly", CronName::Cronie, "cronie's /etc/cron.d/0hourly is there", false},
    {"/var/spool/cron/crontabs", CronName::Debian, "the spool /var/spool/cron/crontabs is there",
     true},
});

std::optional<CronChoice> from_signs(FileSystem& fs, const std::string& root,
                                     std::span<const Sign> signs) {
  for (const Sign& sign : signs) {
    FileStatus st;
    if (fs.stat(root + std::string(sign.path), st) == 0 && S_ISDIR(st.mode) == sign.folder) {
      return CronChoice{sign.cron, std::string(sign.what), true};
    }
  }
  return std::nullopt;
}

// The distributions of /etc/os-release's ID or ID_LIKE, and their cron.
struct Distribution {
  std::string_view id;
  CronName cron;
};
constexpr auto DISTRIBUTIONS = std::to_array<Distribution>({
    {"debian", CronName::Debian},
    {"ubuntu", CronName::Debian},
    {"fedora", CronName::Cronie},
    {"rhel", CronName::Cronie},
    {"centos", CronName::Cronie},
    {"rocky", CronName::Cronie},
    {"almalinux", CronName::Cronie},
    {"amzn", CronName::Cronie},
    {"ol", CronName::Cronie},
    {"alpine", CronName::Busybox},
});

// The value of KEY= in an os-release file, without its quotes.
std::string_view release_value(std::string_view text, std::string_view key) {
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.starts_with(key) || line.substr(key.size(), 1) != "=") continue;
    line.remove_prefix(key.size() + 1);
    if (line.size() >= 2 && (line.front() == '"' || line.front() == '\'') &&
        line.back() == line.front()) {
      line = line.substr(1, line.size() - 2);
    }
    return line;
  }
  return {};
}

// The cron of the distribution the release file names, and its name, by ID then ID_LIKE.
std::optional<CronChoice> from_release(FileSystem& fs, const std::string& root) {
  for (const std::string_view file : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::string text;
    if (read_whole_file(fs, root + std::string(file), text) != 0) continue;
    std::string_view name = release_value(text, "NAME");
    if (name.empty()) name = release_value(text, "ID");
    for (const std::string_view key : {"ID", "ID_LIKE"}) {
      std::string_view ids = release_value(text, key);
      while (!ids.empty()) {
        const std::size_t blank = ids.find(' ');
        const std::string_view id = ids.substr(0, blank);
        ids.remove_prefix(blank == std::string_view::npos ? ids.size() : blank + 1);
        for (const Distribution& d : DISTRIBUTIONS) {
          if (d.id == id) {
            return CronChoice{d.cron, fmt::format("{} names {}", file, name), true};
          }
        }
      }
    }
  }
  return std::nullopt;
}

// The daemon's binary: busybox's when /usr/sbin/crond leads to busybox.
std::optional<CronChoice> from_daemon(FileSystem& fs, const std::string& root) {
  FileStatus st;
  std::string target;
  const std::string crond = root + "/usr/sbin/crond";
  if (fs.lstat(crond, st) == 0) {
    if (S_ISLNK(st.mode) && fs.read_link(crond, target) == 0 &&
        target.find("busybox") != std::string::npos) {
      return CronChoice{CronName::Busybox, "/usr/sbin/crond leads to busybox", true};
    }
    return CronChoice{CronName::Cronie, "the daemon /usr/sbin/crond is there", true};
  }
  if (fs.stat(root + "/usr/sbin/cron", st) == 0) {
    return CronChoice{CronName::Debian, "the daemon /usr/sbin/cron is there", true};
  }
  return std::nullopt;
}

}  // namespace

CronChoice detect_cron(FileSystem& fs, const std::string& root) {
  if (auto choice = from_signs(fs, root, PACKAGE_SIGNS)) return *choice;
  if (auto choice = from_daemon(fs, root)) return *choice;
  if (auto choice = from_release(fs, root)) return *choice;
  if (auto choice = from_signs(fs, root, FOLDER_SIGNS)) return *choice;
  return {CronName::Debian, "nothing in the root tells which cron runs its jobs", false};
}

}  // namespace lintkeeper
