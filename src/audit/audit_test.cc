// Tests the audit on host trees held in memory: the places read and in which order, cron's
// rules of each file before it is read, the lines' verdicts that make cron ignore a file, the
// scripts of run-parts, the user look-ups, and the options of a run.
#include "audit/audit.h"

#include <sys/stat.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "base/memory_file_system.h"

namespace lintkeeper {
namespace {

constexpr const char* kRoot = "/r";
constexpr const char* kPasswd = "root:x:0:0::/root:/bin/sh\nalice:x:1000:1000::/:/bin/sh\n";
const std::string kIgnored = "IGNORED_BY_CRON: Cron ignores every line of this file: ";
const std::string kNothingRead =
    "/:0: NOTHING_READ: No crontab was found: the audit looked in /etc/crontab, /etc/cron.d, "
    "/var/spool/cron/crontabs, /var/spool/cron.";

// Every finding of the audit as "PATH:LINE: KIND: text", LINE 0 for the file as a whole, and
// the files read without a finding as "PATH (READING)".
class Lines final : public FindingReader {
 public:
  void file_finding(const Finding& f) override { add(f); }
  void line(const LineRecord& line) override {
    for (const Finding& f : line.findings) add(f);
  }
  void add(const Finding& f) {
    out.push_back(fmt::format("{}:{}: {}: {}", path, f.line, kind_name(f.kind), f.text));
  }
  std::string path;
  std::vector<std::string> out;
};

std::vector<std::string> audit_lines(MemoryFileSystem& fs, const AuditOptions& options) {
  const Audit audit = run_audit(options, fs);
  Lines lines;
  for (const AuditedFile& file : audit.files) {
    if (file.findings->counts().total() == 0) {
      lines.out.push_back(fmt::format("{} ({})", file.path, file.reading));
      continue;
    }
    lines.path = file.path;
    file.findings->walk(lines);
  }
  return lines.out;
}

// A host tree under kRoot with its etc/passwd, changed by the case.
struct HostCase {
  std::string name;
  std::function<void(MemoryFileSystem&)> plant;
  std::vector<std::string> expected;
};

std::string on(std::string_view path) { return kRoot + std::string(path); }

TEST(RunAudit, HostTrees) {
  const std::string job = "0 3 * * * root /bin/true\n";
  const std::vector<HostCase> cases = {
      {"nothing at all", [](MemoryFileSystem&) {}, {kNothingRead}},
      {"the places in their order, dot names left out",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.daily/logrotate"), "#!/bin/sh\n", 0755);
         fs.add_file(on("/var/spool/cron/crontabs/alice"), "0 9 * * 1-5 /bin/report\n", 0600, 1000);
         fs.add_file(on("/etc/cron.d/b"), job);
         fs.add_file(on("/etc/cron.d/a"), job);
         fs.add_file(on("/etc/cron.d/.placeholder"), "x\n");
         fs.add_file(on("/etc/crontab"), job);
         fs.add_file(on("/etc/cron.hourly/.placeholder"), "");
       },
       {"/etc/crontab (system crontab)", "/etc/cron.d/a (system crontab)",
        "/etc/cron.d/b (system crontab)", "/var/spool/cron/crontabs/alice (crontab of user alice)",
        "/etc/cron.daily/logrotate (run-parts script)"}},
      {"a system crontab's owner, mode and links",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.d/owner"), job, 0644, 1000);
         fs.add_file(on("/etc/cron.d/group"), job, 0664);
         fs.add_file(on("/etc/cron.d/other"), job, 0646);
         fs.add_file(on("/etc/cron.d/both"), job, 0666);
         fs.add_file(on("/etc/cron.d/links"), job);
         fs.add_hard_link(on("/etc/cron.d/links"), on("/etc/links-copy"));
       },
       {"/etc/cron.d/both:0: " + kIgnored + "it is writable by others than root.",
        "/etc/cron.d/both:0: FILE_MODE: Cron skips this file: it is writable by its group and "
        "others (mode 0666).",
        "/etc/cron.d/group:0: " + kIgnored + "it is writable by others than root.",
        "/etc/cron.d/group:0: FILE_MODE: Cron skips this file: it is writable by its group (mode "
        "0664).",
        "/etc/cron.d/links:0: " + kIgnored + "it has more than one hard link.",
        "/etc/cron.d/links:0: FILE_LINKS: Cron skips this file: it has 2 hard links.",
        "/etc/cron.d/other:0: " + kIgnored + "it is writable by others than root.",
        "/etc/cron.d/other:0: FILE_MODE: Cron skips this file: it is writable by others (mode "
        "0646).",
        "/etc/cron.d/owner:0: " + kIgnored + "it is not owned by root.",
        "/etc/cron.d/owner:0: FILE_OWNER: Cron skips this file: it is owned by uid 1000, not by "
        "root."}},
      {"entries of cron.d that are not regular files; links followed inside the root",
       [&](MemoryFileSystem& fs) {
         fs.add_fifo(on("/etc/cron.d/pipe"));
         fs.add_dir(on("/etc/cron.d/sub"));
         fs.add_link(on("/etc/cron.d/dangling"), "/nowhere");
         fs.add_file(on("/opt/app/cron"), job);
         fs.add_link(on("/etc/cron.d/app"), "/opt/app/cron");
         fs.add_link(on("/etc/cron.d/mine"), "/opt/app/cron", 1000);
       },
       {"/etc/cron.d/app (system crontab)",
        "/etc/cron.d/dangling:0: " + kIgnored + "it is a symbolic link to nothing.",
        "/etc/cron.d/dangling:0: FILE_TYPE: Cron skips this file: it is a symbolic link to "
        "nothing.",
        "/etc/cron.d/mine:0: " + kIgnored + "its link or file is not owned by root.",
        "/etc/cron.d/mine:0: FILE_OWNER: Cron skips this file: a symbolic link and its file must "
        "both be owned by root (the link is owned by uid 1000, the file by uid 0).",
        "/etc/cron.d/pipe:0: " + kIgnored + "it is a FIFO.",
        "/etc/cron.d/pipe:0: FILE_TYPE: Cron skips this file: it is a FIFO.",
        "/etc/cron.d/sub:0: " + kIgnored + "it is a directory.",
        "/etc/cron.d/sub:0: FILE_TYPE: Cron skips this file: it is a directory."}},
      {"cron's rule of names in cron.d, with its other reasons",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.d/php.dpkg-old"), job, 0664);
         fs.add_file(on("/etc/cron.d/app.cron"), job);
       },
       {"/etc/cron.d/app.cron:0: " + kIgnored + "its name is not made of [A-Za-z0-9_-].",
        "/etc/cron.d/app.cron:0: FILE_NAME: Cron will not process this file - its name must "
        "match [A-Za-z0-9_-]+ .",
        "/etc/cron.d/php.dpkg-old:0: " + kIgnored +
            "it is writable by others than root; its name is not made of [A-Za-z0-9_-].",
        "/etc/cron.d/php.dpkg-old:0: FILE_MODE: Cron skips this file: it is writable by its group "
        "(mode 0664).",
        "/etc/cron.d/php.dpkg-old:0: FILE_NAME: Cron will not process this file - its name must "
        "match [A-Za-z0-9_-]+ ."}},
      {"spool crontabs: orphan, owner, mode, link; a user's name is no name rule",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/var/spool/cron/crontabs/dave"), "0 3 * * * /bin/true\n", 0600);
         fs.add_file(on("/var/spool/cron/crontabs/alice"), "0 3 * * * /bin/true\n", 0640);
         fs.add_file(on("/var/spool/cron/crontabs/root"), "0 3 * * * /bin/true\n", 0600, 1000);
         fs.add_link(on("/var/spool/cron/crontabs/al.ice"), "alice");
       },
       {"/var/spool/cron/crontabs/al.ice:0: " + kIgnored +
            "no user has its name; it is a "
            "symbolic link.",
        "/var/spool/cron/crontabs/al.ice:0: ORPHAN: Cron skips this crontab: no user is named "
        "\"al.ice\".",
        "/var/spool/cron/crontabs/al.ice:0: FILE_TYPE: Cron skips this file: it is a symbolic "
        "link.",
        "/var/spool/cron/crontabs/alice:0: " + kIgnored +
            "it is not owned by its user; its mode "
            "is not 0600.",
        "/var/spool/cron/crontabs/alice:0: FILE_OWNER: Cron skips this crontab: it is owned by "
        "uid 0, not by alice (uid 1000).",
        "/var/spool/cron/crontabs/alice:0: FILE_MODE: Cron skips this crontab: its mode is 0640, "
        "not 0600.",
        "/var/spool/cron/crontabs/dave:0: " + kIgnored + "no user has its name.",
        "/var/spool/cron/crontabs/dave:0: ORPHAN: Cron skips this crontab: no user is named "
        "\"dave\".",
        "/var/spool/cron/crontabs/root:0: " + kIgnored + "it is not owned by its user.",
        "/var/spool/cron/crontabs/root:0: FILE_OWNER: Cron skips this crontab: it is owned by uid "
        "1000, not by root (uid 0)."}},
      {"without Debian's spool, Fedora's, where folders are passed over",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/var/spool/cron/alice"), "0 3 * * * /bin/true\n", 0600, 1000);
         fs.add_dir(on("/var/spool/cron/lastrun"));
       },
       {"/var/spool/cron/alice (crontab of user alice)"}},
      {"with Debian's spool, Fedora's is not read",
       [&](MemoryFileSystem& fs) {
         fs.add_dir(on("/var/spool/cron/crontabs"));
         fs.add_file(on("/var/spool/cron/alice"), "0 3 * * * /bin/true\n", 0600, 1000);
       },
       {kNothingRead}},
      {"lines that make cron ignore the file, in the order of the reasons",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.d/x"),
                     "0\xc2\xa0"
                     "3 * * * root a\n0 3 * * * carol b\n60 3 * * * root c\n"
                     "0 3 * * * bob d\n0 4 * * * root e");
       },
       {"/etc/cron.d/x:0: " + kIgnored +
            "line 1 is refused (bad day-of-week); its last line "
            "has no line feed; line 2 runs as the unknown user \"carol\".",
        "/etc/cron.d/x:5: MISSING_NEWLINE: Cron will not process this file - missing trailing "
        "newline",
        "/etc/cron.d/x:1: CRON_REJECTS: Cron refuses this line: bad day-of-week.",
        "/etc/cron.d/x:2: USER_NOT_FOUND: User \"carol\" not found.",
        "/etc/cron.d/x:3: FIELD_VALUE_ERROR: 60 is too high for field \"minute\" (60)",
        "/etc/cron.d/x:4: USER_NOT_FOUND: User \"bob\" not found."}},
      {"a carriage return, and more lines than cron reads",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.d/crlf"), "A=b\r\n0 3 * * * root a\r\n");
         std::string lines;
         for (int i = 0; i < 10001; ++i) lines += "#\n";
         fs.add_file(on("/etc/cron.d/long"), lines);
         fs.add_file(on("/etc/cron.d/most"), lines.substr(2));
       },
       {"/etc/cron.d/crlf:1: CARRIAGE_RETURN: Cron keeps the carriage return at the end of this "
        "line: the value of A ends in it.",
        "/etc/cron.d/crlf:2: CARRIAGE_RETURN: Cron keeps the carriage return at the end of this "
        "line: the command ends in it.",
        "/etc/cron.d/long:0: " + kIgnored + "it is too long.",
        "/etc/cron.d/long:0: TOO_MANY_LINES: Cron reads at most 10000 lines: this file has 10001, "
        "so cron ignores all of it.",
        "/etc/cron.d/most (system crontab)"}},
      {"the scripts of run-parts",
       [&](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/cron.daily/backup.sh"), "", 0755);
         fs.add_file(on("/etc/cron.daily/rotate"), "", 0644);
         fs.add_file(on("/etc/cron.daily/noexec"), "", 0755);
         fs.set_executable(on("/etc/cron.daily/noexec"), false);
         fs.add_dir(on("/etc/cron.weekly/sub"));
         fs.add_fifo(on("/etc/cron.weekly/pipe"));
         fs.add_link(on("/etc/cron.weekly/gone"), "nowhere");
       },
       {"/etc/cron.daily/backup.sh:0: RUN_PARTS_NAME: run-parts skips this script: its name is "
        "not made of [A-Za-z0-9_-].",
        "/etc/cron.daily/noexec:0: RUN_PARTS_EXEC: run-parts skips this script: it is not "
        "executable.",
        "/etc/cron.daily/rotate:0: RUN_PARTS_EXEC: run-parts skips this script: it is not "
        "executable.",
        "/etc/cron.weekly/gone:0: FILE_TYPE: run-parts skips this entry: No such file or "
        "directory (os error 2).",
        "/etc/cron.weekly/pipe:0: FILE_TYPE: run-parts skips this entry: it is not a regular "
        "file.",
        "/etc/cron.weekly/sub:0: FILE_TYPE: run-parts skips this entry: it is a directory.",
        kNothingRead}},
      {"folders that cannot be read",
       [&](MemoryFileSystem& fs) {
         fs.add_dir(on("/etc/cron.d"));
         fs.fail(on("/etc/cron.d"), EACCES);
         fs.add_dir(on("/etc/cron.hourly"));
         fs.fail(on("/etc/cron.hourly"), EIO);
         fs.add_dir(on("/var/spool/cron/crontabs"));
         fs.fail(on("/var/spool/cron/crontabs"), EACCES);
         fs.add_file(on("/etc/crontab"), "0 3 * * * root a\n");
         fs.fail(on("/etc/crontab"), EACCES);
       },
       {"/etc/crontab:0: READ_ERROR: Permission denied (os error 13)",
        "/etc/cron.d:0: READ_ERROR: Permission denied (os error 13)",
        "/var/spool/cron/crontabs:0: READ_ERROR: Permission denied (os error 13)",
        "/etc/cron.hourly:0: READ_ERROR: Input/output error (os error 5)"}},
  };
  for (const HostCase& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    fs.add_file(on("/etc/passwd"), kPasswd);
    c.plant(fs);
    AuditOptions options;
    options.root = kRoot;
    options.cron = CronName::Debian;
    EXPECT_EQ(audit_lines(fs, options), c.expected);
  }
}

// The options of a run: users to ignore or report, kinds left out, the paths named.
TEST(RunAudit, Options) {
  struct Case {
    std::string name;
    void (*set)(AuditOptions& options);
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"users looked up in the root's passwd",
       [](AuditOptions&) {},
       {"/etc/crontab:0: " + kIgnored + "line 2 runs as the unknown user \"carol\".",
        "/etc/crontab:2: USER_NOT_FOUND: User \"carol\" not found.",
        "/etc/crontab:3: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR "
        "is not expanded."}},
      {"a whitelisted user is neither reported nor a reason",
       [](AuditOptions& o) { o.check.whitelist = {"carol"}; },
       {"/etc/crontab:3: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR "
        "is not expanded."}},
      {"--no-check-passwd reports every user and no reason",
       [](AuditOptions& o) { o.check.no_check_passwd = true; },
       {"/etc/crontab:1: USER_NOT_FOUND: User \"alice\" not found.",
        "/etc/crontab:2: USER_NOT_FOUND: User \"carol\" not found.",
        "/etc/crontab:3: SHELL_VAR: Variable assignments in crontabs are not like shell.  $VAR "
        "is not expanded."}},
      {"--disable leaves a kind out, and not its reason",
       [](AuditOptions& o) {
         o.disabled.set(static_cast<std::size_t>(MessageKind::USER_NOT_FOUND));
         o.disabled.set(static_cast<std::size_t>(MessageKind::SHELL_VAR));
       },
       {"/etc/crontab:0: " + kIgnored + "line 2 runs as the unknown user \"carol\"."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    fs.add_file(on("/etc/passwd"), kPasswd);
    fs.add_file(on("/etc/crontab"), "0 3 * * * alice a\n0 3 * * * carol b\nA=$B\n");
    AuditOptions options;
    options.root = kRoot;
    options.cron = CronName::Debian;
    c.set(options);
    EXPECT_EQ(audit_lines(fs, options), c.expected);
  }
}

// An etc/passwd that cannot be read proves nothing: users are reported, nothing is ignored.
TEST(RunAudit, PasswdThatCannotBeRead) {
  MemoryFileSystem fs;
  fs.fail(on("/etc/passwd"), EACCES);
  fs.add_file(on("/etc/crontab"), "0 3 * * * carol b\n");
  fs.add_file(on("/var/spool/cron/crontabs/dave"), "0 3 * * * /bin/true\n", 0600, 7);
  AuditOptions options;
  options.root = kRoot;
  options.cron = CronName::Debian;
  EXPECT_EQ(audit_lines(fs, options),
            (std::vector<std::string>{"/etc/crontab:1: USER_NOT_FOUND: User \"carol\" not found.",
                                      "/var/spool/cron/crontabs/dave (crontab of user dave)"}));
}

// Paths named: a folder is read as cron reads /etc/cron.d, without owners and modes; a file
// alone gets lintkeeper's rule of names.
TEST(RunAudit, PathsNamed) {
  MemoryFileSystem fs;
  fs.add_file("repo/cron.d/backup", "0 3 * * * root a\n", 0664, 1000);
  fs.add_file("repo/cron.d/backup.bak", "0 3 * * * root a\n");
  fs.add_fifo("repo/cron.d/pipe");
  fs.add_file("repo/app.cron", "0 3 * * * a\n");
  fs.add_file("repo/app.txt", "0 3 * * * a\n");
  AuditOptions options;
  options.paths = {"repo/cron.d", "repo/app.cron", "repo/app.txt", "repo/none"};
  options.check.no_check_passwd = true;
  options.check.whitelist = {"root"};
  options.check.user = true;
  EXPECT_EQ(
      audit_lines(fs, options),
      (std::vector<std::string>{
          "repo/cron.d/backup (user crontab)",
          "repo/cron.d/backup.bak:0: " + kIgnored + "its name is not made of [A-Za-z0-9_-].",
          "repo/cron.d/backup.bak:0: FILE_NAME: Cron will not process this file - its name must "
          "match [A-Za-z0-9_-]+ .",
          "repo/cron.d/pipe:0: " + kIgnored + "it is a FIFO.",
          "repo/cron.d/pipe:0: FILE_TYPE: Cron skips this file: it is a FIFO.",
          "repo/app.cron (user crontab)",
          "repo/app.txt:0: FILE_NAME: Cron will not process this file - its name must match "
          "[A-Za-z0-9_-]+ .",
          "repo/none:0: FILE_MISSING: File \"repo/none\" does not exist.",
      }));
}

// Which cron a root runs, from the first sign it holds.
TEST(DetectCron, Signs) {
  struct Case {
    std::string name;
    std::function<void(MemoryFileSystem&)> plant;
    CronName cron;
    std::string why;
    bool known;
  };
  const std::vector<Case> cases = {
      {"Debian's package",
       [](MemoryFileSystem& fs) {
         fs.add_file("/r/var/lib/dpkg/info/cron.list", "/usr/sbin/cron\n");
         fs.add_file("/r/etc/os-release", "ID=alpine\n");
       },
       CronName::Debian, "Debian's cron package is installed", true},
      {"busybox's crond",
       [](MemoryFileSystem& fs) {
         fs.add_link("/r/usr/sbin/crond", "/bin/busybox");
         fs.add_file("/r/etc/os-release", "ID=fedora\n");
       },
       CronName::Busybox, "/usr/sbin/crond leads to busybox", true},
      {"cronie's daemon", [](MemoryFileSystem& fs) { fs.add_file("/r/usr/sbin/crond", ""); },
       CronName::Cronie, "the daemon /usr/sbin/crond is there", true},
      {"Debian's daemon", [](MemoryFileSystem& fs) { fs.add_file("/r/usr/sbin/cron", ""); },
       CronName::Debian, "the daemon /usr/sbin/cron is there", true},
      {"the release file's name",
       [](MemoryFileSystem& fs) {
         fs.add_file("/r/etc/os-release", "NAME=\"Rocky Linux\"\nID=\"rocky\"\n");
       },
       CronName::Cronie, "/etc/os-release names Rocky Linux", true},
      {"an ID_LIKE of the release file",
       [](MemoryFileSystem& fs) {
         fs.add_file("/r/usr/lib/os-release", "ID=mint\nID_LIKE=\"ubuntu debian\"\n");
       },
       CronName::Debian, "/usr/lib/os-release names mint", true},
      {"busybox's folder", [](MemoryFileSystem& fs) { fs.add_dir("/r/etc/crontabs"); },
       CronName::Busybox, "busybox's folder /etc/crontabs is there", true},
      {"cronie's hourly crontab",
       [](MemoryFileSystem& fs) { fs.add_file("/r/etc/cron.d/0hourly", ""); }, CronName::Cronie,
       "cronie's /etc/cron.d/0hourly is there", true},
      {"nothing", [](MemoryFileSystem& fs) { fs.add_dir("/r/etc/cron.d"); }, CronName::Debian,
       "nothing in the root tells which cron runs its jobs", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    c.plant(fs);
    const CronChoice choice = detect_cron(fs, "/r");
    EXPECT_EQ(choice.cron, c.cron);
    EXPECT_EQ(choice.why, c.why);
    EXPECT_EQ(choice.known, c.known);
  }
}

// The same host read by each cron: where it reads, the rules of its files, what each line
// means to it.
TEST(RunAudit, OtherCrons) {
  struct Case {
    std::string name;
    CronName cron;
    std::function<void(MemoryFileSystem&)> plant;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"busybox: its spool, its owner, the folders it never reads",
       CronName::Busybox,
       [](MemoryFileSystem& fs) {
         fs.add_file(on("/etc/crontabs/root"),
                     "0 3 * * * a %F\nFOO=bar\n0 4 * * * b # c\nMAILTO = ops\nMAILTO= ops\n");
         fs.add_file(on("/etc/crontabs/alice"), "0 3 * * * a\n", 0666, 1000);
         fs.add_file(on("/etc/crontabs/root.bak"), "0 3 * * * a\n");
         // A no-break space ends the hour: "root" is the day of the week, not the command.
         fs.add_file(on("/etc/crontabs/carol"), "30 2\u00a0* * * root b\n", 0600);
         // An image's absolute link points into the image.
         fs.add_link(on("/etc/crontabs/bob"), "/srv/bob");
         fs.add_file(on("/srv/bob"), "0 3 * * * a\n", 0600);
         fs.add_fifo(on("/etc/crontabs/pipe"), 0600);
         // A comment that ends in a backslash takes the next line in.
         fs.add_file(on("/etc/crontabs/dave"), "# nightly \\\n0 3 * * * a\n", 0600);
         fs.add_link(on("/var/spool/cron/crontabs"), "/etc/crontabs");
         fs.add_file(on("/etc/crontab"), "0 3 * * * root a\n");
         fs.add_dir(on("/etc/cron.daily"));
         fs.add_file(on("/etc/periodic/daily/a.sh"), "", 0755);
         fs.add_file(on("/etc/periodic/daily/.hidden"), "", 0755);
         fs.add_file(on("/etc/periodic/daily/b~"), "", 0755);
       },
       {"/etc/crontabs/alice:0: IGNORED_BY_CRON: busybox ignores every line of this file: it is "
        "not owned by root.",
        "/etc/crontabs/alice:0: FILE_OWNER: busybox skips this crontab: it is owned by uid 1000, "
        "not by root.",
        "/etc/crontabs/bob (crontab of user bob)",
        "/etc/crontabs/carol:1: CRON_REJECTS: busybox runs this at hour 2 only: of `2\u00a0*`, "
        "only `2` is read; on no day: `root` is not read at all.",
        "/etc/crontabs/dave:2: LINE_JOINED: busybox reads this line as part of the comment on "
        "line 1, which ends in a backslash: it never runs.",
        "/etc/crontabs/pipe:0: IGNORED_BY_CRON: busybox ignores every line of this file: it is a "
        "FIFO, which stops cron.",
        "/etc/crontabs/pipe:0: FILE_TYPE: busybox waits for ever to read this FIFO as it loads "
        "the crontabs: it runs no job of any crontab.",
        "/etc/crontabs/root:1: PERCENT_KEPT: busybox passes the % to the command as it is: it is "
        "no line break here.",
        "/etc/crontabs/root:2: VARIABLE_IGNORED: busybox ignores this assignment: it honours only "
        "MAILTO and SHELL.",
        "/etc/crontabs/root:3: HASH_CUTS_COMMAND: busybox ends the line at the \"#\": it runs "
        "`b`.",
        "/etc/crontabs/root:4: VARIABLE_IGNORED: busybox passes over this line without a word: it "
        "reads no assignment with a blank before the \"=\".",
        "/etc/crontabs/root:5: VARIABLE_IGNORED: busybox sets MAILTO to nothing: the value ends at "
        "the first blank after the \"=\".",
        "/etc/crontabs/root.bak:0: IGNORED_BY_CRON: busybox ignores every line of this file: its "
        "name holds a \".\".",
        "/etc/crontabs/root.bak:0: FILE_NAME: busybox skips this file for its name: it holds a "
        "\".\".",
        "/etc/periodic/daily/a.sh (run-parts script)",
        "/etc/periodic/daily/b~:0: RUN_PARTS_NAME: run-parts skips this script: its name is not "
        "made of [A-Za-z0-9._-].",
        "/etc/crontab:0: UNREAD_PLACE: busybox's crond never reads /etc/crontab: nothing in it "
        "runs."}},
      {"cronie: a spool owned by root or its user, its mode, every refused line",
       CronName::Cronie,
       [](MemoryFileSystem& fs) {
         fs.add_file(on("/var/spool/cron/alice"), "0 3 * * * a\n60 * * * * b\n0 3 * * * c", 0644,
                     1000);
         fs.add_file(on("/var/spool/cron/root"), "0 3 * * * a\n", 0600, 1000);
         fs.add_file(on("/var/spool/cron/bob"), "0 3 * * * a\n", 0400, 0);
         fs.add_file(on("/var/spool/cron/carol"), "0 3 * * * a\n", 0664, 0);
         fs.add_file(on("/etc/cron.d/.keep"), "");
         fs.add_file(on("/etc/cron.d/#job#"), "0 3 * * * root a\n");
         fs.add_file(on("/etc/cron.d/job.conf"), "0 3 * * * root a\n");
         fs.add_file(on("/var/spool/cron/crontabs/alice"), "0 3 * * * a\n", 0600, 1000);
         fs.add_file(on("/etc/cron.d/warned"), "*/60 * * * * root a\n");
       },
       {"/etc/cron.d/#job#:0: IGNORED_BY_CRON: cronie ignores every line of this file: its name "
        "starts with \"#\".",
        "/etc/cron.d/#job#:0: FILE_NAME: cronie skips this file for its name: it starts with "
        "\"#\".",
        "/etc/cron.d/job.conf (system crontab)",
        "/etc/cron.d/warned:1: FIELD_VALUE_ERROR: 60 is too high for field \"minute\" (*/60)",
        "/etc/cron.d/warned:1: CRON_WARNS: cronie loads this line with a warning: Step size 60 "
        "higher than possible maximum of 59.",
        "/var/spool/cron/alice:2: FIELD_VALUE_ERROR: 60 is too high for field \"minute\" (60)",
        "/var/spool/cron/alice:2: CRON_REJECTS: cronie skips this line: bad minute.",
        "/var/spool/cron/alice:3: CRON_REJECTS: cronie skips this line: no line feed at the end "
        "of the file.",
        "/var/spool/cron/bob (crontab of user bob)",
        "/var/spool/cron/carol:0: IGNORED_BY_CRON: cronie ignores every line of this file: its "
        "mode lets others write or run it.",
        "/var/spool/cron/carol:0: FILE_MODE: cronie skips this crontab: its mode is 0664; it "
        "reads a crontab that its owner may read, that no one may run and that no one else may "
        "write.",
        "/var/spool/cron/root:0: IGNORED_BY_CRON: cronie ignores every line of this file: it is "
        "not owned by root.",
        "/var/spool/cron/root:0: FILE_OWNER: cronie skips this crontab: it is owned by uid 1000, "
        "not by root.",
        "/var/spool/cron/crontabs:0: UNREAD_PLACE: cronie never reads /var/spool/cron/crontabs: "
        "the file in it never runs."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryFileSystem fs;
    fs.add_file(on("/etc/passwd"),
                std::string(kPasswd) +
                    "bob:x:1001:1001::/:/bin/sh\ncarol:x:1002:1002::/:/bin/sh\n" +
                    "dave:x:1003:1003::/:/bin/sh\npipe:x:1004:1004::/:/bin/sh\n");
    c.plant(fs);
    AuditOptions options;
    options.root = kRoot;
    options.cron = c.cron;
    EXPECT_EQ(audit_lines(fs, options), c.expected);
  }
}

}  // namespace
}  // namespace lintkeeper
