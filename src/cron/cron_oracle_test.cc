// Holds read_cron_line to Debian's cron: generated lines and files, each checked by
// `crontab -n FILE`, must be accepted or refused (and for the same reason) as the model says.
//
// LINTKEEPER_CRON_ORACLE_LINES (default 2000) and LINTKEEPER_CRON_ORACLE_SEED (default 1) set
// the number of lines and the seed: run it with many more lines and seeds by hand.
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "cron/cron_line.h"

extern char** environ;

namespace lintkeeper {
namespace {

constexpr const char* kCrontab = "/usr/bin/crontab";
constexpr std::size_t kWorkers = 4;  // crontab runs at once: each waits for its disk

std::uint64_t env_number(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// What `crontab -n` said of a file: accepted, or the reason of its first complaint.
struct Answer {
  bool accepted = false;
  std::string reason;
  friend bool operator==(const Answer&, const Answer&) = default;
};

// "FILE":N: bad minute / new crontab file is missing newline before EOF, can't install.
std::string reason_of(const std::string& err) {
  std::string first = err.substr(0, err.find('\n'));
  const std::size_t quote = first.rfind("\":");
  if (first.starts_with('"') && quote != std::string::npos) {
    const std::size_t colon = first.find(": ", quote + 2);
    if (colon != std::string::npos) return first.substr(colon + 2);
  }
  const std::size_t tail = first.find(", can't install.");
  return tail == std::string::npos ? first : first.substr(0, tail);
}

// Runs crontab -n on files in a temporary folder, kWorkers at a time, in the C locale.
class Oracle {
 public:
  Oracle() {
    const char* tmp = std::getenv("TMPDIR");
    dir_ = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/lk-cron.XXXXXX";
    if (mkdtemp(dir_.data()) == nullptr) dir_.clear();
    for (char** e = environ; *e != nullptr; ++e) {
      if (!std::string_view(*e).starts_with("LC_ALL=")) env_.push_back(*e);
    }
    env_.push_back(const_cast<char*>("LC_ALL=C"));
    env_.push_back(nullptr);
  }
  ~Oracle() {
    if (!dir_.empty()) rmdir(dir_.c_str());
  }
  bool ready() const { return !dir_.empty(); }

  std::vector<Answer> check(const std::vector<std::string>& files) {
    std::vector<Answer> answers(files.size());
    std::map<pid_t, std::size_t> running;
    for (std::size_t i = 0; i < files.size() || !running.empty();) {
      if (i < files.size() && running.size() < kWorkers) {
        const pid_t pid = start(i, files[i]);
        if (pid > 0) running[pid] = i;
        if (pid <= 0) answers[i] = {false, "crontab -n did not start"};
        ++i;
        continue;
      }
      int status = 0;
      const pid_t pid = waitpid(-1, &status, 0);
      const auto it = running.find(pid);
      if (it == running.end()) continue;
      answers[it->second] = finish(it->second, status);
      running.erase(it);
    }
    return answers;
  }

 private:
  std::string path(std::size_t i, const char* suffix) const {
    return dir_ + "/" + std::to_string(i) + suffix;
  }

  pid_t start(std::size_t i, const std::string& content) {
    const std::string file = path(i, ""), err = path(i, ".err");
    std::ofstream(file, std::ios::binary) << content;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::string arg0 = "crontab", arg1 = "-n", arg2 = file;
    char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, kCrontab, &actions, nullptr, argv, env_.data()) != 0) {
      pid = -1;
      std::remove(file.c_str());
      std::remove(err.c_str());
    }
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  Answer finish(std::size_t i, int status) {
    const std::string file = path(i, ""), err_path = path(i, ".err");
    std::ifstream in(err_path, std::ios::binary);
    const std::string err{std::istreambuf_iterator<char>(in), {}};
    std::remove(file.c_str());
    std::remove(err_path.c_str());
    const bool accepted = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return {accepted, accepted ? "" : reason_of(err)};
  }

  std::string dir_;
  std::vector<char*> env_;
};

// The model's answer for a whole file: the first refused line, then the line count.
Answer model_answer(std::string_view file) {
  std::size_t line_feeds = 0;
  while (!file.empty()) {
    const std::size_t end = file.find('\n');
    const CronReading r = end == std::string_view::npos
                              ? read_cron_last_line(file, CrontabFlavor::UserCrontab)
                              : read_cron_line(file.substr(0, end), CrontabFlavor::UserCrontab);
    if (r.verdict == CronReading::Verdict::Refused) return {false, std::string(r.reason)};
    if (end == std::string_view::npos) break;
    ++line_feeds;
    file.remove_prefix(end + 1);
  }
  if (line_feeds > CRON_MAX_LINES) {
    return {false, "crontab is too long; maximum number of lines is 10000."};
  }
  return {true, ""};
}

// --- The generator: near-valid lines, then a few random edits ---

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next() {  // splitmix64: the same numbers on every platform
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
  }
  std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
  bool percent(std::size_t p) { return below(100) < p; }
  template <std::size_t N>
  std::string_view pick(const std::string_view (&from)[N]) {
    return from[below(N)];
  }

 private:
  std::uint64_t state_;
};

using namespace std::string_view_literals;

constexpr std::string_view kBig[] = {
    "2147483647",          "2147483648",           "4294967295",          "4294967296",
    "4294967297",          "4294967355",           "9223372036854775807", "9223372036854775808",
    "9223372032559808512", "18446744073709551616", "99999999999999999999"};
constexpr std::string_view kNames[] = {"jan",  "Feb", "MAR",    "dec",  "sun", "Mon", "SAT", "fri",
                                       "janu", "ja",  "sunday", "mon1", "thu", "oct", "j",   "x",
                                       "Sun",  "aug", "wed",    "tue",  "nov", "may", "jun", "7"};
constexpr std::string_view kJunk[] = {"?", "_",    "-3",   "/2", "a", ",", "*",
                                      "#", "\xff", "\0"sv, ".",  "=", "-", "/"};
constexpr std::string_view kOddSpace[] = {"\t",   "  ",       " \t ",         "\v", "\r",   "\f",
                                          "\xa0", "\xc2\xa0", "\xe3\x80\x80", "",   "\0"sv, "\xff"};
constexpr std::string_view kWords[] = {
    "echo", "hi",    "/usr/bin/true", ">/dev/null", "2>&1", "a%b",  "\\%", "#", "x=1",
    "'q'",  "\"q\"", "$HOME",         "\r",         "\xff", "\0"sv, "\t",  "*"};
constexpr std::string_view kAtNames[] = {
    "reboot", "yearly", "annually", "monthly", "weekly", "daily", "midnight", "hourly",
    "Daily",  "DAILY",  "dail",     "dailyx",  "every",  "5",     "",         "daily?"};
constexpr std::string_view kVarNames[] = {
    "A",   "PATH",    "MAILTO",  "_x",  "A-B",  "a.b", "1",   "*",      "",    "\"A\"",
    "'A'", "\"a b\"", "\"a=b\"", "\"A", "A\"B", "a b", "A\v", "\xff-A", "A\r", "5"};
constexpr std::string_view kValues[] = {
    "b",   "",       " ",      "\"\"",     "''",       "\"b\"",  "'b'", "\"b",
    "b\"", "\"b\"c", "\"b\" ", "\"\"\"\"", "a # note", "#",      "%",   "\"a b\"",
    "\r",  "=",      "\"b'",   "\v\"b\"",  "'",        "\"b\"\v"};
constexpr std::string_view kEditChars =
    " \t\v\r\f\0\xff*,-/0123456789#=\"'@?_.aAjJsSmM%\\\xa0\xc2"sv;

class LineMaker {
 public:
  explicit LineMaker(std::uint64_t seed) : r_(seed) {}

  std::string line() {
    std::string text;
    switch (r_.below(20)) {
      case 0:
        text = r_.percent(50) ? "" : std::string(r_.pick(kOddSpace));
        break;
      case 1:
        text = space() + "#" + command();
        break;
      case 2:
      case 3:
      case 4:
        text = assignment();
        break;
      case 5:
      case 6:
        text = space() + "@" + std::string(r_.pick(kAtNames)) + separator() + command();
        break;
      default:
        text = scheduled();
        break;
    }
    for (std::size_t edits = r_.percent(30) ? 1 + r_.below(2) : 0; edits > 0; --edits) edit(text);
    return text;
  }

 private:
  std::string space() { return r_.percent(90) ? "" : std::string(r_.pick(kOddSpace)); }
  std::string separator() { return r_.percent(93) ? " " : std::string(r_.pick(kOddSpace)); }

  // Mostly a value in range; else a name, a boundary, a big number or a long token.
  std::string value(int min, int max, bool names) {
    const auto span = static_cast<std::size_t>(max - min + 1);
    if (r_.percent(85)) return std::to_string(min + static_cast<int>(r_.below(span)));
    if (names && r_.percent(50)) return std::string(r_.pick(kNames));
    switch (r_.below(7)) {
      case 0:
        return std::to_string(min - 1 < 0 ? 0 : min - 1);
      case 1:
        return std::to_string(min);
      case 2:
        return std::to_string(max);
      case 3:
        return std::to_string(max + 1);
      case 4:
        return "00" + std::to_string(min);
      case 5:
        return std::string(r_.pick(kBig));
      default:
        return std::string(998 + r_.below(3), '0') + "1";
    }
  }

  // Steps around 0, the field size and the largest int less the range's start.
  std::string step(std::int64_t low) {
    if (r_.percent(50)) return std::to_string(1 + r_.below(9));
    switch (r_.below(4)) {
      case 0:
        return "0";
      case 1:
        return std::to_string(2147483647 - low + static_cast<std::int64_t>(r_.below(3)) - 1);
      case 2:
        return std::string(r_.pick(kBig));
      default:
        return std::to_string(50 + r_.below(20));
    }
  }

  std::string item(int min, int max, bool names) {
    const std::size_t kind = r_.below(10);
    if (kind < 2) return "*";
    if (kind == 2) return "*/" + step(min);
    const std::string low = value(min, max, names);
    if (kind < 6) return low;
    const std::string range = low + "-" + value(min, max, names);
    const std::int64_t start =
        low[0] >= '0' && low[0] <= '9' && low.size() < 10 ? std::stoll(low) : 0;
    return kind < 8 ? range : range + "/" + step(start);
  }

  std::string field(int min, int max, bool names) {
    std::string text = item(min, max, names);
    while (r_.percent(20)) text += "," + item(min, max, names);
    if (r_.percent(10)) text += r_.pick(kJunk);
    return text;
  }

  std::string command() {
    if (r_.percent(5)) return std::string(994 + r_.below(8), 'x');
    std::string text;
    for (std::size_t n = r_.below(5); n > 0; --n) text += std::string(r_.pick(kWords)) + " ";
    return text.empty() || r_.percent(50) ? text : text.substr(0, text.size() - 1);
  }

  std::string scheduled() {
    static constexpr std::array<std::array<int, 3>, 5> kFields{
        {{0, 59, 0}, {0, 23, 0}, {1, 31, 0}, {1, 12, 1}, {0, 7, 1}}};
    std::string text = space();
    for (const auto& f : kFields) text += field(f[0], f[1], f[2] != 0) + separator();
    return text + command();
  }

  std::string assignment() {
    std::string text = space() + std::string(r_.pick(kVarNames)) +
                       std::string(r_.pick(kOddSpace).substr(0, r_.below(2))) + "=" +
                       (r_.percent(70) ? "" : " ") + std::string(r_.pick(kValues));
    if (r_.percent(94)) return text;
    // About CRON_MAX_ASSIGNMENT bytes after the leading blanks.
    const std::size_t size = 994 + r_.below(8);
    switch (r_.below(3)) {
      case 0:
        return space() + "A=\"" + std::string(size - 4, 'v') + "\"";
      case 1:
        return space() + std::string(size - 2, 'N') + "=x";
      default:
        return space() + "A=" + std::string(size - 2, ' ') + std::string(r_.pick(kValues));
    }
  }

  void edit(std::string& text) {
    const std::size_t at = r_.below(text.size() + 1);
    const char c = kEditChars[r_.below(kEditChars.size())];
    switch (r_.below(4)) {
      case 0:
        text.insert(at, 1, c);
        break;
      case 1:
        if (at < text.size()) text[at] = c;
        break;
      case 2:
        if (at < text.size()) text.erase(at, 1);
        break;
      default:
        text.insert(at, text.substr(at, r_.below(4)));
        break;
    }
  }

  Random r_;
};

std::string shown(const std::string& text) {
  return testing::PrintToString(text.size() > 120 ? text.substr(0, 120) + "..." : text);
}

// Checks each file with the oracle and the model, and returns how many agree.
std::size_t compare(Oracle& oracle, const std::vector<std::string>& files,
                    std::vector<Answer>& answers) {
  answers = oracle.check(files);
  std::size_t agreed = 0, shown_failures = 0;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const Answer model = model_answer(files[i]);
    if (model == answers[i]) {
      ++agreed;
    } else if (++shown_failures <= 20) {
      ADD_FAILURE() << shown(files[i]) << ": crontab -n "
                    << (answers[i].accepted ? "accepts" : "refuses: " + answers[i].reason)
                    << "; the model " << (model.accepted ? "accepts" : "refuses: " + model.reason);
    }
  }
  return agreed;
}

class CronOracle : public testing::Test {
 protected:
  void SetUp() override {
    if (access(kCrontab, X_OK) != 0) GTEST_SKIP() << kCrontab << " is missing (package cron)";
    if (!oracle_.ready()) GTEST_SKIP() << "no temporary folder for the crontab files";
    const std::vector<Answer> probe = oracle_.check({"* * * * * x\n", "60 * * * * x\n"});
    if (!probe[0].accepted || probe[1].reason != "bad minute") {
      GTEST_SKIP() << "crontab -n does not check files here: " << probe[0].reason;
    }
  }
  Oracle oracle_;
};

// One generated line a file, and files of a few of those lines, the last line feed sometimes
// left out.
TEST_F(CronOracle, GeneratedLinesAgree) {
  const std::uint64_t seed = env_number("LINTKEEPER_CRON_ORACLE_SEED", 1);
  const std::size_t count = env_number("LINTKEEPER_CRON_ORACLE_LINES", 2000);
  LineMaker maker(seed);
  std::vector<std::string> lines(count), files;
  for (std::string& line : lines) files.push_back((line = maker.line()) + "\n");
  std::vector<Answer> answers;
  const std::size_t agreed = compare(oracle_, files, answers);
  std::size_t accepted = 0;
  for (const Answer& a : answers) accepted += a.accepted ? 1 : 0;

  // Files of lines the oracle mostly accepted, so that whole files are accepted too.
  std::vector<std::string> good, multi;
  for (std::size_t i = 0; i < count; ++i) {
    if (answers[i].accepted) good.push_back(lines[i]);
  }
  Random r(seed);
  for (std::size_t f = 0; f < count / 25 && !good.empty(); ++f) {
    std::string file;
    for (std::size_t n = 2 + r.below(5); n > 0; --n) {
      file += (r.percent(90) ? good[r.below(good.size())] : lines[r.below(count)]) + "\n";
    }
    if (r.percent(40)) {  // a last line without line feed, sometimes cut by a NUL
      std::string last = r.percent(50) ? good[r.below(good.size())] : lines[r.below(count)];
      if (r.percent(40)) last.insert(r.below(last.size() + 1), 1, '\0');
      file += last;
    }
    multi.push_back(file);
  }
  std::vector<Answer> multi_answers;
  const std::size_t multi_agreed = compare(oracle_, multi, multi_answers);
  std::size_t multi_accepted = 0;
  for (const Answer& a : multi_answers) multi_accepted += a.accepted ? 1 : 0;

  std::printf(
      "seed %llu: %zu of %zu lines agree (crontab -n accepts %zu); %zu of %zu files agree "
      "(accepts %zu)\n",
      static_cast<unsigned long long>(seed), agreed, count, accepted, multi_agreed, multi.size(),
      multi_accepted);
  EXPECT_EQ(agreed, count);
  EXPECT_EQ(multi_agreed, multi.size());
}

// The line limit: 10,000 line feeds pass, one more is refused.
TEST_F(CronOracle, LineLimit) {
  std::string file;
  for (std::size_t i = 0; i < CRON_MAX_LINES; ++i) file += "# x\n";
  std::vector<Answer> answers;
  EXPECT_EQ(compare(oracle_, {file, file + "\n", file + "#"}, answers), 3u);
  EXPECT_TRUE(answers[0].accepted);
  EXPECT_EQ(answers[1].reason, "crontab is too long; maximum number of lines is 10000.");
  EXPECT_TRUE(answers[2].accepted);
}

}  // namespace
}  // namespace lintkeeper
