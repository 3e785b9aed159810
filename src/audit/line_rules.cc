// The audit's rules of each line of a crontab, as the cron in hand reads it.
#include "audit/line_rules.h"

#include <variant>

#include "audit/check_timing.h"
#include "audit/describe.h"
#include "audit/fixes.h"
#include "audit/next_runs.h"
#include "base/unicode.h"
#include "checks/check_line.h"
#include "cron/busybox_crontab.h"
#include "cron/cron_line.h"
#include "cron/cronie_line.h"
#include "fields/check_fields.h"
#include "fields/time_fields.h"

namespace lintkeeper {

namespace {

// A value in matching quotes, as the crons that take them out give it.
std::string_view without_quotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

using Verdict = CronReading::Verdict;

// Debian's cron, a line at a time.
class DebianCrontab final : public CrontabModel {
 public:
  explicit DebianCrontab(CrontabFlavor flavor) : flavor_(flavor) {}
  CronReading line(std::string_view raw) override {
    if (raw.ends_with('\n')) return read_cron_line(raw.substr(0, raw.size() - 1), flavor_);
    return read_cron_last_line(raw, flavor_);
  }

 private:
  CrontabFlavor flavor_;
};

// cronie, a line at a time.
class CronieCrontab final : public CrontabModel {
 public:
  explicit CronieCrontab(CrontabFlavor flavor) : flavor_(flavor) {}
  CronReading line(std::string_view raw) override {
    const bool last = !raw.ends_with('\n');
    return read_cronie_line(last ? raw : raw.substr(0, raw.size() - 1), flavor_, last);
  }

 private:
  CrontabFlavor flavor_;
};

// A carriage return before the line feed: lintkeeper trims it as white space, cron keeps it
// at the end of the command or the value.
void check_carriage_return(std::string_view body, const CrontabLine& line, LineFindings& found,
                           std::string_view who) {
  if (!body.ends_with('\r')) return;
  if (const auto* v = std::get_if<EnvVar>(&line)) {
    found.add(MessageKind::CARRIAGE_RETURN,
              "{} keeps the carriage return at the end of this line: the value of {} ends "
              "in it.",
              who, v->name);
  } else if (command_of(line)) {
    found.add(MessageKind::CARRIAGE_RETURN,
              "{} keeps the carriage return at the end of this line: the command ends in "
              "it.",
              who);
  }
}

// The first word of a command.
std::string_view first_word(std::string_view command) {
  const std::size_t end = command.find_first_of(" \t");
  return command.substr(0, end);
}

}  // namespace

std::unique_ptr<CrontabModel> crontab_model(const CronInfo& cron, CrontabFlavor flavor,
                                            std::string_view user) {
  switch (cron.cron) {
    case CronName::Debian:
      return std::make_unique<DebianCrontab>(flavor);
    case CronName::Cronie:
      return std::make_unique<CronieCrontab>(flavor);
    case CronName::Busybox:
      return std::make_unique<BusyboxCrontab>(user);
  }
  return nullptr;
}

// Whether a command starts with the user column of another cron: a user that exists (or
// root, where users cannot be looked up), then the command.
bool AuditLines::takes_a_user(std::string_view command) const {
  const std::string_view user = first_word(command);
  if (user.empty() || user.size() == command.size()) return false;
  if (user == "root") return true;
  return users_.users->confirms() && is_confirmed(users_.users->lookup(user));
}

AuditLines::AuditLines(const CronInfo& cron, CrontabFlavor flavor, const UserRules& users,
                       std::string_view user, const JobClock& clock)
    : cron_(cron),
      flavor_(flavor),
      users_(users),
      user_(user),
      model_(crontab_model(cron, flavor, user)),
      clock_(clock),
      zone_(clock.zone),
      zone_name_(clock.zone->name()) {}

AuditLines::~AuditLines() = default;

void AuditLines::line(std::uint64_t number, std::string_view raw, const CrontabLine* line,
                      LineFindings& found) {
  const bool terminated = raw.ends_with('\n');
  const std::uint64_t offset = verdicts_.size;  // where the line starts in the file
  verdicts_.size += raw.size();
  verdicts_.hash = fnv1a(raw, verdicts_.hash);
  const std::string_view body = terminated ? raw.substr(0, raw.size() - 1) : raw;
  if (terminated) ++verdicts_.line_feeds;
  const CronReading cron = model_->line(raw);
  const std::uint64_t first = joined_from_ != 0 ? joined_from_ : number;
  std::string written = joined_from_ != 0 ? joined_schedule_ : schedule_text(line, body);
  if (cron.verdict != Verdict::Continued && joined_from_ != 0) {
    // The cron reads this line as the end of the one before: it is no line of its own.
    // Nothing is lost to a blank line or a comment; lintkeeper's reading of the line is not
    // the cron's.
    if (line != nullptr && !std::holds_alternative<Blank>(*line) &&
        !std::holds_alternative<Comment>(*line)) {
      if (joined_comment_) {
        found.add(MessageKind::LINE_JOINED,
                  "{} reads this line as part of the comment on line {}, which ends in a "
                  "backslash: it never runs.",
                  cron_.speaker, joined_from_);
      } else {
        found.add(MessageKind::LINE_JOINED,
                  "{} reads this line as the end of line {}, which ends in a backslash: it is "
                  "no line of its own.",
                  cron_.speaker, joined_from_);
      }
    }
    line = nullptr;
    joined_from_ = 0;
  }
  switch (cron.verdict) {
    case Verdict::Refused:
      refused(number, cron, line, found);
      break;
    case Verdict::Crashes:
      if (!verdicts_.crash)
        verdicts_.crash = fmt::format("line {} crashes {}", number, cron_.title);
      found.add(MessageKind::CRON_REJECTS,
                "{} crashes on this line as it starts: no job of any crontab runs.", cron_.speaker);
      break;
    case Verdict::Job:
      job(number, cron, line, found);
      job_runs(first, cron, std::move(written), found);
      break;
    case Verdict::Assignment:
      if (const auto* v = line == nullptr ? nullptr : std::get_if<EnvVar>(line);
          v != nullptr && honours_variable(cron_, cron.name) &&
          without_quotes(trim(v->value)) != cron.command) {
        if (trim(v->value) == cron.command) {
          found.add(MessageKind::VARIABLE_IGNORED,
                    "{} sets {} to `{}`, quotes and all: it takes no quotes out of a value.",
                    cron_.speaker, cron.name, cron.command);
        } else {
          found.add(
              MessageKind::VARIABLE_IGNORED,
              "{} sets {} to {}: the value ends at the first blank after the \"=\".", cron_.speaker,
              cron.name,
              cron.command.empty() ? std::string("nothing") : fmt::format("`{}`", cron.command));
        }
      } else if (!cron_.zone_variable.empty() && cron.name == cron_.zone_variable) {
        const TimeZone* named = clock_.zone_named ? clock_.zone_named(cron.command) : nullptr;
        zone_ = named != nullptr ? named : clock_.zone;
        zone_name_ = named != nullptr ? named->name() : clock_.zone->name();
      } else if (!honours_variable(cron_, cron.name)) {
        found.add(MessageKind::VARIABLE_IGNORED, "{} ignores this assignment: it honours only {}.",
                  cron_.speaker, fmt::join(cron_.variables, " and "));
      } else if (is_inert_variable(cron_, cron.name)) {
        found.add(MessageKind::VARIABLE_IGNORED,
                  "{} runs every job in its own time zone: {} is only a variable of the jobs' "
                  "environment here.",
                  cron_.speaker, cron.name);
      }
      break;
    case Verdict::Continued:
      if (joined_from_ == 0) {
        joined_from_ = number;
        joined_comment_ = line != nullptr && std::holds_alternative<Comment>(*line);
        joined_schedule_ = std::move(written);
      }
      return;
    case Verdict::Skipped:
      if (line != nullptr && std::holds_alternative<EnvVar>(*line)) {
        found.add(MessageKind::VARIABLE_IGNORED,
                  "{} passes over this line without a word: it reads no assignment with a blank "
                  "before the \"=\".",
                  cron_.speaker);
      } else if (line != nullptr && command_of(*line) && !found.has_error()) {
        // A job to lintkeeper that the cron takes for no line at all: fewer than six words
        // parted by spaces and tabs, or an @ name it does not know.
        found.add(MessageKind::CRON_REJECTS,
                  "{} passes over this line without a word: it reads no job on it, and never "
                  "runs it.",
                  cron_.speaker);
      }
      break;
  }
  if (!terminated) {
    verdicts_.last_line = number;
    verdicts_.last_raw = std::string(raw);
    verdicts_.last_offset = offset;
  }
  if (line == nullptr) return;
  check_carriage_return(body, *line, found, cron_.speaker);
  check_timing_of(*line, cron, found);
  if (!found.empty()) {
    fix_line({cron_, flavor_, user_, users_}, number, offset, raw, *line, cron, found);
  }
}

void AuditLines::check_timing_of(const CrontabLine& line, const CronReading& cron,
                                 LineFindings& found) {
  // When the job runs, with the values the cron gives its fields; a line the cron refuses
  // and that it ignores the file for, with the values written.
  const Schedule* schedule = schedule_of(line);
  if (schedule == nullptr || !is_valid_schedule(*schedule)) return;
  // A cron that reads the fields otherwise than lintkeeper said so already: the texts of
  // lintkeeper's fields are not the cron's.
  if (cron.verdict == Verdict::Job && !cron.at_reboot) {
    if (cron.misread.empty()) check_timing(*schedule, cron.times, found, cron_.speaker);
  } else if (cron_.bad_line == BadLine::WholeFile) {
    check_timing(*schedule, found);
  }
}

void AuditLines::end() {
  const std::optional<CronReading> cron = model_->finish();
  if (cron && cron->verdict == Verdict::Crashes && !verdicts_.crash) {
    verdicts_.crash = fmt::format("line {} crashes {}", joined_from_, cron_.title);
  }
}

void AuditLines::refused(std::uint64_t number, const CronReading& cron, const CrontabLine* line,
                         LineFindings& found) {
  if (cron.reason == CRON_MISSING_NEWLINE) {
    verdicts_.missing_newline = true;  // lintkeeper reports the missing line feed itself
    return;
  }
  if (cron.reason == BUSYBOX_TOO_MANY_LINES) {
    if (verdicts_.first_unread == 0) verdicts_.first_unread = number;
    return;
  }
  switch (cron_.bad_line) {
    case BadLine::WholeFile:
      if (!verdicts_.refused) {
        verdicts_.refused = fmt::format("line {} is refused ({})", number, cron.reason);
      }
      // A line lintkeeper finds wrong already has its error; one it finds right needs this.
      if (line != nullptr && !found.has_error()) {
        found.add(MessageKind::CRON_REJECTS, "{} refuses this line: {}.", cron_.speaker,
                  cron.reason);
      }
      return;
    case BadLine::ThatLine:
      // The other lines run: that this one never does is what the reader must learn.
      found.add(MessageKind::CRON_REJECTS, "{} skips this line: {}.", cron_.speaker, cron.reason);
      return;
    case BadLine::WrongValues:
      found.add(MessageKind::CRON_REJECTS, "{} passes over this line: {}.", cron_.speaker,
                cron.reason);
      return;
  }
}

void AuditLines::job(std::uint64_t number, const CronReading& cron, const CrontabLine* line,
                     LineFindings& found) {
  if (!cron.misread.empty()) {
    found.add(MessageKind::CRON_REJECTS, "{} runs this {}.", cron_.speaker, cron.misread);
  } else if (!cron.warning.empty()) {
    found.add(MessageKind::CRON_WARNS, "{} loads this line with a warning: {}.", cron_.speaker,
              cron.warning);
  }
  if (!cron.reason.empty() && cron.misread.empty()) {
    found.add(MessageKind::CRON_REJECTS,
              "{} skips this line when the value it picks at random falls outside the field: {}.",
              cron_.speaker, cron.reason);
  }
  if (flavor_ == CrontabFlavor::SystemCrontab && cron_.bad_line == BadLine::WholeFile) {
    check_user_of(number, cron.user);
  }
  if (line == nullptr) return;
  const std::optional<std::string_view> command = command_of(*line);
  if (!cron_.user_column && takes_a_user(cron.command)) {
    found.add(MessageKind::USER_COLUMN,
              "{} has no user column: it runs `{}` as the command, \"{}\" and all.", cron_.speaker,
              cron.command, first_word(cron.command));
  }
  if (cron_.hash_ends_command && command && command->find('#') != std::string_view::npos) {
    found.add(MessageKind::HASH_CUTS_COMMAND, "{} ends the line at the \"#\": it runs `{}`.",
              cron_.speaker, cron.command);
  }
  if (!cron_.percent_newline && command && find_bare_percent(*command)) {
    found.add(MessageKind::PERCENT_KEPT,
              "{} passes the % to the command as it is: it is no line break here.", cron_.speaker);
  }
}

std::string AuditLines::schedule_text(const CrontabLine* line, std::string_view body) {
  if (line != nullptr) {
    if (const auto* s = std::get_if<Special>(line)) return fmt::format("@{}", s->macro_name);
  }
  std::string text;
  if (const Schedule* schedule = line == nullptr ? nullptr : schedule_of(*line)) {
    for (const Field& field : schedule->fields) {
      if (!text.empty()) text += ' ';
      text += field.text;
    }
    return text;
  }
  // A line lintkeeper reads otherwise than the cron (cronie's 0~30): its first words.
  const std::size_t first = std::min(body.find_first_not_of(" \t"), body.size());
  const std::size_t words = body.substr(first).starts_with('@') ? 1 : Schedule::kFieldCount;
  for (std::size_t i = 0, pos = 0; i < words; ++i) {
    const std::size_t start = body.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    pos = std::min(body.find_first_of(" \t", start), body.size());
    if (!text.empty()) text += ' ';
    text += body.substr(start, pos - start);
  }
  return text;
}

void AuditLines::job_runs(std::uint64_t number, const CronReading& cron, std::string schedule,
                          LineFindings& found) {
  const bool known = !cron.at_reboot && cron.times.random_fields == 0;
  if (known) check_clock_changes(cron.times, *zone_, cron_, clock_.now, found);
  if (clock_.jobs == nullptr) return;
  AuditedJob job;
  job.file = clock_.file;
  job.line = number;
  if (flavor_ == CrontabFlavor::SystemCrontab && cron_.user_column) job.user = cron.user;
  job.command = cron.command;
  job.schedule = std::move(schedule);
  job.description = describe_job(cron);
  if (cron.times.random_fields != 0) {
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
      if ((cron.times.random_fields >> i) & 1) fields.push_back(TIME_FIELDS[i].display_name);
    }
    job.description += fmt::format(
        ", one {} picked at random among these when {} reads the "
        "crontab",
        fmt::join(fields, " and one "), cron_.speaker);
  }
  job.time_zone = zone_name_;
  if (known) {
    for (const std::int64_t at :
         next_runs(cron.times, *zone_, cron_.clock, clock_.now, clock_.next)) {
      job.next.push_back({at, zone_->offset_at(at)});
    }
  }
  clock_.jobs->push_back(std::move(job));
}

void AuditLines::check_user_of(std::uint64_t number, std::string_view user) {
  if (verdicts_.unknown_user || users_.no_check_passwd || is_exempt_user(user, users_)) return;
  if (!is_known_missing(users_.users->lookup(user))) return;
  verdicts_.unknown_user = fmt::format("line {} runs as the unknown user \"{}\"", number, user);
}

}  // namespace lintkeeper
