// The crons the audit knows, each a row of facts: how it names itself, what one bad line
// costs, which variables it honours, its limits and the rules of the files it reads. Where
// each fact comes from is in docs/audit.md ("The three crons").
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace lintkeeper {

enum class CronName : std::uint8_t { Debian, Cronie, Busybox };

// What a line the cron cannot read costs.
enum class BadLine : std::uint8_t {
  WholeFile,    // the cron ignores every line of the file
  ThatLine,     // the cron skips that line and reads the others
  WrongValues,  // the cron loads the job, with values in its fields other than written
};

// Which files of a folder of crontabs the cron reads, by their names.
struct NameRule {
  bool portable_only;                                  // [A-Za-z0-9_-]+, as run-parts names
  bool no_dot;                                         // a name holding '.' is passed over
  std::span<const std::string_view> skipped_prefixes;  // a name starting so is passed over
  std::span<const std::string_view> skipped_suffixes;  // a name ending so is passed over
};

// What the cron checks of a system crontab (/etc/crontab, /etc/cron.d) before reading it.
struct SystemRule {
  bool owner_is_root;  // owned by root (a symbolic link and its file both)
  bool not_writable;   // not writable by its group or others
  bool one_hard_link;  // more hard links: skipped
};

// What the cron checks of a user's crontab in its spool before reading it.
struct SpoolRule {
  bool owner_is_root;  // owned by root, whoever the user
  bool owner_is_user;  // owned by the user it is named after
  mode_t mode_mask;    // (mode & mode_mask) == mode_value
  mode_t mode_value;
  bool links_followed;  // a symbolic link is read (its target's owner counts)
  bool one_hard_link;   // more hard links: skipped
  // A FIFO among the crontabs stops the cron as it loads them, for good (busybox's crond
  // blocks opening it: tests/oracles/busybox/facts.md); else it is skipped.
  bool fifo_hangs = false;
};

// The names run-parts runs.
enum class RunPartsNames : std::uint8_t {
  Portable,        // [A-Za-z0-9_-]+ (Debian's run-parts)
  PortableAndDot,  // the same and '.', but not first (busybox's run-parts)
  Any,             // not judged here (cronie's run-parts cannot be run here to learn them)
};

// What a cron does when its zone changes the offset of the clock.
enum class ClockRule : std::uint8_t {
  // Debian's cron (cron(8), and its runs on a fake clock) and cronie (its manual): for a
  // change of less than MAKE_UP_LIMIT seconds, a job's fixed times that the clock skips run at
  // the change, and those it repeats run once; a job spelled with '*' in its minute or hour
  // follows the new clock. A larger change is taken as the clock set right: nothing is made
  // up, and repeated times run again.
  MakesUp,
  // busybox's crond: it matches the wall clock each minute; skipped times never run, repeated
  // ones run twice.
  WallClock,
};
inline constexpr std::int64_t MAKE_UP_LIMIT = 3 * 3600;

struct CronInfo {
  CronName cron;
  std::string_view name;   // as --cron names it: "debian"
  std::string_view title;  // as the reports name it: "Debian's cron"
  // How the findings name it at the start of a sentence: "Cron" for Debian's, whose texts
  // were first; "busybox runs this every day".
  std::string_view speaker;
  BadLine bad_line;
  bool user_column;        // a system crontab's jobs name the user to run as
  bool percent_newline;    // a '%' in a command is a line break, the rest its input
  bool hash_ends_command;  // a '#' anywhere ends the line
  bool joins_lines;        // a line ending in '\' goes on in the next one
  // The variables an assignment sets that the cron itself honours or passes to the jobs;
  // empty for every variable.
  std::span<const std::string_view> variables;
  // The variables of a time zone for the jobs below them that the cron passes to the jobs
  // as plain variables (Debian's cron runs the jobs below CRON_TZ= in its own zone).
  std::span<const std::string_view> inert_variables;
  // The lines of a crontab it reads at most, and whether more makes it ignore the whole file
  // (or only the lines past it); for a user's crontab but root's, when root has no limit.
  std::uint64_t max_lines;
  bool max_lines_whole_file;
  bool root_unlimited;
  NameRule crontab_dir_names;
  NameRule spool_names;
  SystemRule system;
  SpoolRule spool;
  RunPartsNames run_parts;
  // What the last line of a file without a line feed after it costs: the whole file
  // (Debian's), that line (cronie's), or nothing (busybox).
  std::optional<BadLine> missing_newline;
  ClockRule clock;
  // The variable whose assignment sets the time zone of the jobs below it (cronie's manual:
  // CRON_TZ), or empty: the jobs run in the daemon's zone.
  std::string_view zone_variable = {};
};

namespace detail {
inline constexpr std::array<std::string_view, 2> CRONIE_SKIPPED_PREFIXES{".", "#"};
inline constexpr std::array<std::string_view, 4> CRONIE_SKIPPED_SUFFIXES{"~", ".rpmsave",
                                                                         ".rpmorig", ".rpmnew"};
inline constexpr std::array<std::string_view, 2> BUSYBOX_VARIABLES{"MAILTO", "SHELL"};
inline constexpr std::array<std::string_view, 1> DEBIAN_INERT_VARIABLES{"CRON_TZ"};
}  // namespace detail

inline constexpr auto CRONS = std::to_array<CronInfo>({
    {CronName::Debian,
     "debian",
     "Debian's cron",
     "Cron",
     BadLine::WholeFile,
     true,
     true,
     false,
     false,
     {},
     detail::DEBIAN_INERT_VARIABLES,
     10000,
     true,
     false,
     {true, false, {}, {}},
     {false, false, {}, {}},
     {true, true, true},
     {false, true, 07777, 0600, false, true},
     RunPartsNames::Portable,
     BadLine::WholeFile,
     ClockRule::MakesUp},
    {CronName::Cronie,
     "cronie",
     "cronie",
     "cronie",
     BadLine::ThatLine,
     true,
     true,
     false,
     false,
     {},
     {},
     0,
     false,
     false,
     {false, false, detail::CRONIE_SKIPPED_PREFIXES, detail::CRONIE_SKIPPED_SUFFIXES},
     {false, false, {}, {}},
     {false, false, false},
     {true, true, 07533, 0400, true, false},
     RunPartsNames::Any,
     BadLine::ThatLine,
     ClockRule::MakesUp,
     "CRON_TZ"},
    {CronName::Busybox,
     "busybox",
     "busybox's crond",
     "busybox",
     BadLine::WrongValues,
     false,
     false,
     true,
     true,
     detail::BUSYBOX_VARIABLES,
     {},
     255,
     false,
     true,
     {false, true, {}, {}},
     {false, true, {}, {}},
     {false, false, false},
     {true, false, 0, 0, true, false, true},
     RunPartsNames::PortableAndDot,
     std::nullopt,
     ClockRule::WallClock},
});

namespace detail {
constexpr bool crons_follow_enum_order() {
  for (std::size_t i = 0; i < CRONS.size(); ++i) {
    if (static_cast<std::size_t>(CRONS[i].cron) != i) return false;
  }
  return true;
}
}  // namespace detail
static_assert(detail::crons_follow_enum_order(), "CRONS rows follow the enum order");

constexpr const CronInfo& cron_info(CronName cron) { return CRONS[static_cast<std::size_t>(cron)]; }
std::optional<CronName> cron_from_name(std::string_view name);

// Whether the cron reads a file of that name in the folder the rule is for.
bool reads_name(const NameRule& rule, std::string_view name);

// Whether the cron honours or passes on an assignment of the variable.
bool honours_variable(const CronInfo& cron, std::string_view name);
// Whether it passes the variable on without the meaning other crons give it.
bool is_inert_variable(const CronInfo& cron, std::string_view name);

}  // namespace lintkeeper
