// Times the next five runs of 1,000 generated jobs through next_runs(), and lintkeeper-audit
// --next 5 end to end on a crontab of the same jobs against the same run without --next.
//
//   next_runs_bench [--rounds N] [--audit PATH_TO_LINTKEEPER_AUDIT [--audit-rounds N]]
//                   [--write-crontab FILE]
//
// The jobs come from a fixed seed and are read by read_cron_line before any timing: a round
// is the engine alone, next_runs() for each of the 1,000 jobs, half of them in Europe/Berlin
// (from an instant whose runs cross its spring change) and half in UTC. bench/next_runs.md has
// the figures and how they were taken.
#include "audit/next_runs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "base/file_system.h"
#include "base/time_zone.h"
#include "cron/cron_line.h"

extern char** environ;

namespace lintkeeper {
namespace {

constexpr std::size_t kJobs = 1000;
constexpr std::size_t kRuns = 5;
constexpr std::string_view kNow = "2027-03-25T12:00:00+01:00";

// A small generator of its own, so that the jobs are the same with every standard library.
class Pick {
 public:
  explicit Pick(std::uint32_t seed) : engine_(seed) {}
  int below(int n) { return static_cast<int>(engine_() % static_cast<std::uint32_t>(n)); }
  template <typename T>
  T among(std::initializer_list<T> items) {
    return items.begin()[below(static_cast<int>(items.size()))];
  }

 private:
  std::mt19937 engine_;
};

// One schedule of the mix: fixed daily times, steps, ranges, lists, days of the week and of
// the month, rare dates and @ names, in about the shares a host's crontabs have them.
std::string schedule(Pick& pick) {
  const int m = pick.below(60), h = pick.below(24), kind = pick.below(100);
  if (kind < 30) return fmt::format("{} {} * * *", m, h);
  if (kind < 40) return fmt::format("*/{} * * * *", pick.among({2, 5, 10, 15, 20, 30}));
  if (kind < 48) return fmt::format("{} */{} * * *", m, pick.among({2, 3, 4, 6, 12}));
  if (kind < 56) return fmt::format("{} {}-{} * * *", m, h / 2, h / 2 + 8);
  if (kind < 62) return "*/15 8-18 * * 1-5";
  if (kind < 70) return fmt::format("0,30 {} * * *", h);
  if (kind < 76) return fmt::format("{} {},{},{} * * *", m, h % 8, h % 8 + 8, h % 8 + 16);
  if (kind < 82) return fmt::format("{} {} * * {}", m, h, pick.among({"0", "6", "mon-fri", "7"}));
  if (kind < 88) return fmt::format("{} {} {} * *", m, h, pick.among({"1", "15", "1,15", "28"}));
  if (kind < 91) return fmt::format("{} {} 1 * 1", m, h);  // the 1st or a Monday
  if (kind < 94) return fmt::format("{} {} 1 {} *", m, h, pick.among({"1", "*/3", "jan,jul"}));
  if (kind < 95) return "0 0 29 2 *";
  return pick.among({"@daily", "@hourly", "@weekly", "@monthly", "@midnight"});
}

std::vector<std::string> generate_lines() {
  Pick pick(20270325);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < kJobs; ++i) {
    lines.push_back(fmt::format("{} root /usr/local/bin/job --id {}", schedule(pick), i));
  }
  return lines;
}

struct Job {
  JobTimes times;
  const TimeZone* zone;
};

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double ms_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Median and minimum of `rounds` rounds of the next runs of every job, after a few unmeasured.
void time_engine(const std::vector<Job>& jobs, std::string_view label, std::int64_t now,
                 int rounds) {
  std::vector<double> ms;
  std::uint64_t checksum = 0, runs = 0;  // of a round: the same in every round
  for (int round = -3; round < rounds; ++round) {
    checksum = runs = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const Job& job : jobs) {
      for (const std::int64_t at :
           next_runs(job.times, *job.zone, ClockRule::MakesUp, now, kRuns)) {
        checksum += static_cast<std::uint64_t>(at);
        ++runs;
      }
    }
    if (round >= 0) ms.push_back(ms_since(start));
  }
  fmt::print(
      "engine, {:<22} {:4} jobs: median {:7.3f} ms, min {:7.3f} ms ({} rounds; {} runs "
      "a round, checksum {:x})\n",
      label, jobs.size(), median(ms), *std::min_element(ms.begin(), ms.end()), rounds, runs,
      checksum);
}

// The wall time of one run of the program, its output thrown away.
double run_once(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0 ||
      waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 2) {
    fmt::print(stderr, "{} failed\n", argv[0]);
    std::exit(1);
  }
  const double ms = ms_since(start);
  posix_spawn_file_actions_destroy(&actions);
  return ms;
}

// lintkeeper-audit on the crontab with --next 5 and without, alternating, median wall times.
void time_audit(const std::string& audit, const std::string& crontab, int rounds) {
  const std::vector<std::string> base{
      audit,         "--no-check-passwd", "--now",    std::string(kNow),
      "--time-zone", "Europe/Berlin",     "--format", "json"};
  std::vector<std::string> with_next = base;
  with_next.insert(with_next.end(), {"--next", "5", crontab});
  std::vector<std::string> without = base;
  without.push_back(crontab);
  std::vector<double> next_ms, plain_ms;
  for (int round = -2; round < rounds; ++round) {
    const double a = run_once(with_next), b = run_once(without);
    if (round < 0) continue;
    next_ms.push_back(a);
    plain_ms.push_back(b);
  }
  const double a = median(next_ms), b = median(plain_ms);
  fmt::print(
      "audit, {} jobs, {} rounds: --next 5 median {:.2f} ms (min {:.2f}), without --next "
      "median {:.2f} ms (min {:.2f}): {:+.2f} ms\n",
      kJobs, rounds, a, *std::min_element(next_ms.begin(), next_ms.end()), b,
      *std::min_element(plain_ms.begin(), plain_ms.end()), a - b);
}

bool write_crontab(const std::string& path, const std::vector<std::string>& lines) {
  std::FILE* f = std::fopen(path.c_str(), "w");
  if (f == nullptr) return false;
  for (const std::string& line : lines) fmt::print(f, "{}\n", line);
  return std::fclose(f) == 0;
}

int run(int argc, char** argv) {
  int rounds = 200, audit_rounds = 15;
  std::string audit, crontab;
  bool usage = argc % 2 == 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view option = argv[i];
    if (option == "--rounds") {
      rounds = std::atoi(argv[i + 1]);
    } else if (option == "--audit") {
      audit = argv[i + 1];
    } else if (option == "--audit-rounds") {
      audit_rounds = std::atoi(argv[i + 1]);
    } else if (option == "--write-crontab") {
      crontab = argv[i + 1];
    } else {
      usage = true;
    }
  }
  if (usage || rounds < 1 || audit_rounds < 1) {
    fmt::print(stderr,
               "usage: next_runs_bench [--rounds N] [--audit LINTKEEPER_AUDIT [--audit-rounds N]] "
               "[--write-crontab FILE]\n");
    return 2;
  }
  ZoneResult berlin = find_zone(disk(), "", "Europe/Berlin");
  if (!berlin.zone) {
    fmt::print(stderr, "Europe/Berlin: {}\n", berlin.error);
    return 1;
  }
  const TimeZone utc = TimeZone::utc();
  const std::vector<std::string> lines = generate_lines();
  std::vector<Job> mixed, in_berlin, in_utc;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const CronReading reading = read_cron_line(lines[i], CrontabFlavor::SystemCrontab);
    if (reading.verdict != CronReading::Verdict::Job) {
      fmt::print(stderr, "not a job: {}\n", lines[i]);
      return 1;
    }
    mixed.push_back({reading.times, i % 2 ? &utc : &*berlin.zone});
    in_berlin.push_back({reading.times, &*berlin.zone});
    in_utc.push_back({reading.times, &utc});
  }
  const std::int64_t now = *parse_rfc3339(kNow);
  fmt::print("--now {}, {} runs a job\n", kNow, kRuns);
  time_engine(mixed, "half in Europe/Berlin", now, rounds);
  time_engine(in_berlin, "all in Europe/Berlin", now, rounds);
  time_engine(in_utc, "all in UTC", now, rounds);
  const bool temporary = crontab.empty();
  if (temporary && audit.empty()) return 0;
  if (temporary) crontab = fmt::format("/tmp/next_runs_bench.{}.crontab", getpid());
  if (!write_crontab(crontab, lines)) {
    fmt::print(stderr, "{}: cannot write\n", crontab);
    return 1;
  }
  if (!audit.empty()) time_audit(audit, crontab, audit_rounds);
  if (temporary) unlink(crontab.c_str());
  return 0;
}

}  // namespace
}  // namespace lintkeeper

int main(int argc, char** argv) { return lintkeeper::run(argc, argv); }
