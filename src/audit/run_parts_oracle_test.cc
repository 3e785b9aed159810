// Holds read_run_parts_dir to Debian's run-parts: on generated directories, `run-parts --test`
// and `--list` must name the entries, in order, and complain of those, that the verdicts say.
//
// LINTKEEPER_RUN_PARTS_ORACLE_DIRS (default 200) and LINTKEEPER_RUN_PARTS_ORACLE_SEED (default
// 1) set the number of directories and the seed: run it with more of both by hand.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "audit/run_parts.h"

extern char** environ;

namespace lintkeeper {
namespace {

constexpr const char* kRunParts = "/usr/bin/run-parts";
constexpr const char* kSetpriv = "/usr/bin/setpriv";

std::uint64_t env_number(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// Whom the oracle and the model run as: the caller, or a user dropped to by setpriv and by a
// forked child.
struct User {
  bool other = false;
  uid_t uid = 0;
  gid_t gid = 0;
};

// What one run of run-parts says, a line per fact: "test NAME" or "list NAME" for each
// "DIR/NAME" on stdout; "complaint NAME: why" for "failed to stat component DIR/NAME: why" and
// "complaint NAME: special" for "component DIR/NAME is not an executable plain file" on stderr;
// then, for --test, its exit status.
std::string run_parts(const char* mode, const std::string& dir, const User& user,
                      const std::string& scratch) {
  std::vector<std::string> args = {kRunParts, mode, dir};
  if (user.other) {
    args.insert(args.begin(), {kSetpriv, "--reuid=" + std::to_string(user.uid),
                               "--regid=" + std::to_string(user.gid), "--clear-groups"});
  }
  std::vector<char*> argv, env;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (char** e = environ; *e != nullptr; ++e) {
    if (!std::string_view(*e).starts_with("LC_ALL=")) env.push_back(*e);
  }
  env.push_back(const_cast<char*>("LC_ALL=C"));
  env.push_back(nullptr);
  const std::string out = scratch + ".out", err = scratch + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  std::string view;
  for (const std::string& file : {out, err}) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      if (line.empty()) continue;
      const std::size_t at = line.find(dir + "/");
      const std::size_t name = at == std::string::npos ? 0 : at + dir.size() + 1;
      const std::size_t end = line.find_first_of(": ", name);
      view += (file == err ? "complaint " : std::string(mode + 2) + " ") +
              line.substr(name, end - name);
      if (line.find("failed to stat") != std::string::npos) view += ": " + line.substr(end + 2);
      if (line.find("not an executable plain") != std::string::npos) view += ": special";
      view += "\n";
    }
    std::remove(file.c_str());
  }
  if (std::string_view(mode) == "--test") {
    view += "status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n";
  }
  return view;
}

// Whether run-parts writes an error for the entry to stderr (cron mails it), with --test too.
bool complains(RunPartsVerdict verdict) {
  return verdict == RunPartsVerdict::SpecialFile || verdict == RunPartsVerdict::StatFailed;
}
// Whether the entry makes run-parts exit with status 1 (after running the others), with --test
// too: a failed stat does not.
bool fails(RunPartsVerdict verdict) { return verdict == RunPartsVerdict::SpecialFile; }

// The same view, from the verdicts. --list names the well-named regular files that the caller
// may read, so it is asked only of root, who may read them all.
std::string model_view(const std::string& dir, bool with_list) {
  int error = 0;
  const auto entries = read_run_parts_dir(disk(), dir, error);
  if (!entries) return "cannot read the directory: " + std::string(std::strerror(error)) + "\n";
  std::string runs, complaints, list, list_complaints;
  bool failed = false;
  for (const RunPartsEntry& e : *entries) {
    const bool special = e.verdict == RunPartsVerdict::SpecialFile;
    if (e.verdict == RunPartsVerdict::Runs) runs += "test " + e.name + "\n";
    if (e.verdict == RunPartsVerdict::Runs || e.verdict == RunPartsVerdict::NotExecutable) {
      list += "list " + e.name + "\n";
    }
    if (complains(e.verdict)) {
      const std::string why = special ? "special" : std::strerror(e.error);
      complaints += "complaint " + e.name + ": " + why + "\n";
      if (!special) list_complaints += "complaint " + e.name + ": " + why + "\n";  // --list too
    }
    failed = failed || fails(e.verdict);
  }
  const std::string test = runs + complaints + "status " + (failed ? "1" : "0") + "\n";
  return with_list ? test + list + list_complaints : test;
}

// The model's view as the other user: read in a forked child that has become that user.
std::string model_view_as(const std::string& dir, const User& user, bool list) {
  if (!user.other) return model_view(dir, list);
  int fds[2];
  if (pipe(fds) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    const bool dropped = setgroups(0, nullptr) == 0 &&
                         setresgid(user.gid, user.gid, user.gid) == 0 &&
                         setresuid(user.uid, user.uid, user.uid) == 0;
    const std::string view = dropped ? model_view(dir, list) : "could not change user";
    const bool written =
        write(fds[1], view.data(), view.size()) == static_cast<ssize_t>(view.size());
    _exit(written ? 0 : 1);
  }
  close(fds[1]);
  std::string view;
  char buffer[4096];
  for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
    view.append(buffer, static_cast<std::size_t>(n));
  }
  close(fds[0]);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  return view;
}

// --- The generator: entries of every kind, mostly well named ---

constexpr std::string_view kNameChars = "abyzABYZ0189_-";
constexpr std::string_view kOddPieces[] = {".", "~", " ",  "\xc3\xa9", ".sh", ".dpkg-old",
                                           ":", "+", "\t", "\xff",     "=",   ","};
constexpr mode_t kFileModes[] = {0755,  0644,  0700,  0610, 0601, 0100, 0010, 0001,
                                 04755, 02710, 04644, 0,    0711, 0770, 0705};
constexpr mode_t kDirModes[] = {0755, 0700, 0711, 0750};
constexpr const char* kOutside[] = {"/bin/sh", "/etc/passwd", "/dev/null", "/", "missing", "."};

class DirMaker {
 public:
  DirMaker(std::uint64_t seed, const User& user) : random_(seed), user_(user) {}

  // Fills the empty directory with a few entries; false if one could not be made.
  bool fill(const std::string& dir) {
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (std::size_t n = 1 + below(14); n > 0; --n) {
      std::string name = make_name();
      if (!taken.insert(name).second) continue;
      if (!make(dir, name, names)) return false;
      names.push_back(name);
    }
    return true;
  }

 private:
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(random_() % n); }
  bool percent(std::size_t p) { return below(100) < p; }
  template <class T, std::size_t N>
  const T& pick(const T (&from)[N]) {
    return from[below(N)];
  }

  std::string make_name() {
    if (percent(3)) return std::string(200 + below(56), kNameChars[below(kNameChars.size())]);
    std::string name;
    for (std::size_t n = 1 + below(8); n > 0; --n) name += kNameChars[below(kNameChars.size())];
    if (percent(35)) name.insert(percent(30) ? 0 : below(name.size() + 1), pick(kOddPieces));
    return name;
  }

  bool make(const std::string& dir, const std::string& name,
            const std::vector<std::string>& earlier) {
    const std::string path = dir + "/" + name;
    const std::size_t kind = below(20);
    if (kind >= 14) {  // a symlink: to an earlier entry, into one, to itself, or outside
      std::string target = pick(kOutside);
      if (!earlier.empty() && percent(60)) target = earlier[below(earlier.size())];
      if (percent(15)) target += "/x";
      if (percent(5)) target = name;
      return symlink(target.c_str(), path.c_str()) == 0;
    }
    bool made = false;
    if (kind >= 12) {  // a folder holding an executable "x"
      const std::string x = path + "/x";
      made = mkdir(path.c_str(), 0700) == 0 && close(creat(x.c_str(), 0700)) == 0 &&
             chmod(x.c_str(), 0755) == 0;
    } else if (kind == 11) {
      made = mkfifo(path.c_str(), 0600) == 0;
    } else {
      made = close(creat(path.c_str(), 0600)) == 0;
    }
    // Owned by the other user or by its group now and then, so that each class of the mode counts.
    if (made && user_.other && percent(40)) {
      made = chown(path.c_str(), percent(50) ? user_.uid : 0, user_.gid) == 0;
    }
    return made && chmod(path.c_str(), kind >= 12 ? pick(kDirModes) : pick(kFileModes)) == 0;
  }

  std::mt19937_64 random_;  // its numbers are the same everywhere
  User user_;
};

std::size_t occurrences(std::string_view text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string_view::npos;
       at = text.find(what, at + 1)) {
    ++n;
  }
  return n;
}

// Makes and checks the directories, each in a new folder in top, and reports how many agree.
void compare_dirs(const std::string& top, const User& user) {
  const std::uint64_t seed = env_number("LINTKEEPER_RUN_PARTS_ORACLE_SEED", 1);
  const std::size_t count = env_number("LINTKEEPER_RUN_PARTS_ORACLE_DIRS", 200);
  DirMaker maker(seed, user);
  const bool list = !user.other && getuid() == 0;
  std::size_t agreed = 0, shown_failures = 0, entries = 0, runs = 0, listed = 0, complaints = 0,
              special = 0, failing = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string dir = top + "/" + std::to_string(i);
    ASSERT_EQ(mkdir(dir.c_str(), 0755), 0);
    ASSERT_TRUE(maker.fill(dir)) << dir << ": " << std::strerror(errno);
    const std::string oracle = run_parts("--test", dir, user, top + "/scratch") +
                               (list ? run_parts("--list", dir, user, top + "/scratch") : "");
    const std::string model = model_view_as(dir, user, list);
    if (oracle == model) {
      ++agreed;
    } else if (++shown_failures <= 10) {
      ADD_FAILURE() << "directory " << i << ": run-parts says\n"
                    << oracle << "the model says\n"
                    << model;
    }
    const std::string lines = "\n" + oracle;
    runs += occurrences(lines, "\ntest ");
    listed += occurrences(lines, "\nlist ");
    complaints += occurrences(lines, "\ncomplaint ");
    special += occurrences(lines, ": special\n");
    failing += occurrences(lines, "\nstatus 1\n");
    entries += static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                      std::filesystem::directory_iterator()));
  }
  std::printf(
      "seed %llu: %zu of %zu directories agree (%zu entries; run-parts runs %zu, lists %zu, "
      "complains %zu times, %zu of them of special files, exits 1 in %zu directories)\n",
      static_cast<unsigned long long>(seed), agreed, count, entries, runs, listed, complaints,
      special, failing);
  EXPECT_EQ(agreed, count);
}

void check_generated_dirs(const User& user) {
  const char* tmp = std::getenv("TMPDIR");
  std::string top = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/lk-rpo.XXXXXX";
  ASSERT_NE(mkdtemp(top.data()), nullptr);
  if (chmod(top.c_str(), 0755) == 0) compare_dirs(top, user);  // open to the other user
  std::error_code ignored;
  std::filesystem::remove_all(top, ignored);
}

class RunPartsOracle : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kRunParts, X_OK) != 0) {
      GTEST_SKIP() << kRunParts << " is missing (package debianutils)";
    }
  }
};

TEST_F(RunPartsOracle, GeneratedDirsAgree) { check_generated_dirs(User{}); }

// As root, also as "nobody": then only the execute bit of its class counts, and a folder closed
// to it makes stat fail.
TEST_F(RunPartsOracle, GeneratedDirsAgreeAsAnotherUser) {
  if (getuid() != 0) GTEST_SKIP() << "only root can become another user";
  if (access(kSetpriv, X_OK) != 0) GTEST_SKIP() << kSetpriv << " is missing (package util-linux)";
  const passwd* const nobody = getpwnam("nobody");
  if (nobody == nullptr || nobody->pw_uid == 0) GTEST_SKIP() << "no user \"nobody\"";
  check_generated_dirs(User{true, nobody->pw_uid, nobody->pw_gid});
}

}  // namespace
}  // namespace lintkeeper
