// Message kinds: every kind of finding, its name, severity, scope, the programs that report it
// and its description; and the words of the two severities.
#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lintkeeper {

enum class Severity : std::uint8_t { Warning = 0, Error = 1 };

struct SeverityInfo {
  Severity severity;
  std::string_view word;  // "error", as the reports for tools name it
  char letter;            // 'E', as the text reports mark a finding ('e' under a line)
};

inline constexpr auto SEVERITIES = std::to_array<SeverityInfo>({
    {Severity::Warning, "warning", 'W'},
    {Severity::Error, "error", 'E'},
});
static_assert(SEVERITIES[static_cast<std::size_t>(Severity::Warning)].severity ==
                  Severity::Warning &&
              SEVERITIES[static_cast<std::size_t>(Severity::Error)].severity == Severity::Error);

constexpr std::string_view severity_word(Severity severity) {
  return SEVERITIES[static_cast<std::size_t>(severity)].word;
}
constexpr char severity_letter(Severity severity) {
  return SEVERITIES[static_cast<std::size_t>(severity)].letter;
}

// Who names a kind, and how it can be switched off.
enum class Scope : std::uint8_t {
  Line,  // a finding on a line: named in the report, switched off by an in-file command
  File,  // a finding about the file as a whole: lintkeeper's report shows its text alone
  Host,  // a finding about how cron and run-parts treat a file or a job
};

// Which programs report a kind.
enum class Programs : std::uint8_t { Both, Lintkeeper, Audit };

// The line kinds come first, in the order in which in-file commands look names up.
enum class MessageKind : std::uint8_t {
  BARE_PERCENT,
  LINTKEEPER_ERROR,
  FIELD_PARSE_ERROR,
  FIELD_VALUE_ERROR,
  INVALID_AT,
  INVALID_USER,
  LINE_ERROR,
  QUOTE_VALUES,
  SHELL_VAR,
  USER_NOT_FOUND,
  HOURS_NOT_MINUTES,
  COMMENT,
  FILE_MISSING,
  FILE_NAME,
  READ_ERROR,
  INVALID_UTF8,
  MISSING_NEWLINE,
  JUNIT_WRITE,
  FILE_OWNER,
  FILE_MODE,
  FILE_LINKS,
  FILE_TYPE,
  ORPHAN,
  TOO_MANY_LINES,
  CARRIAGE_RETURN,
  CRON_REJECTS,
  IGNORED_BY_CRON,
  RUN_PARTS_NAME,
  RUN_PARTS_EXEC,
  NEVER_FIRES,
  LEAP_DAY_ONLY,
  DAY_OR,
  UNEVEN_STEP,
  UNREAD_PLACE,
  USER_COLUMN,
  PERCENT_KEPT,
  HASH_CUTS_COMMAND,
  LINE_JOINED,
  VARIABLE_IGNORED,
  CRON_WARNS,
  CRON_UNKNOWN,
  NOTHING_READ,
  DST_SKIPPED,
  DST_REPEATED,
};

struct KindInfo {
  MessageKind kind;
  std::string_view name;
  Severity severity;
  Scope scope;
  Programs programs;
  std::string_view description;  // one line, as the help lists it
};

inline constexpr auto MESSAGE_KINDS = std::to_array<KindInfo>({
    {MessageKind::BARE_PERCENT, "BARE_PERCENT", Severity::Warning, Scope::Line, Programs::Both,
     "a % that is not escaped in the command"},
    {MessageKind::LINTKEEPER_ERROR, "LINTKEEPER_ERROR", Severity::Error, Scope::Line,
     Programs::Both, "a bad `# lintkeeper:` command"},
    {MessageKind::FIELD_PARSE_ERROR, "FIELD_PARSE_ERROR", Severity::Error, Scope::Line,
     Programs::Both, "a time field that does not parse"},
    {MessageKind::FIELD_VALUE_ERROR, "FIELD_VALUE_ERROR", Severity::Error, Scope::Line,
     Programs::Both, "a time field with a value out of its limits"},
    {MessageKind::INVALID_AT, "INVALID_AT", Severity::Error, Scope::Line, Programs::Both,
     "an unknown @ directive"},
    {MessageKind::INVALID_USER, "INVALID_USER", Severity::Error, Scope::Line, Programs::Both,
     "a user name that can not be a user name"},
    {MessageKind::LINE_ERROR, "LINE_ERROR", Severity::Error, Scope::Line, Programs::Both,
     "a line that is not understood at all"},
    {MessageKind::QUOTE_VALUES, "QUOTE_VALUES", Severity::Error, Scope::Line, Programs::Both,
     "an empty variable assignment"},
    {MessageKind::SHELL_VAR, "SHELL_VAR", Severity::Warning, Scope::Line, Programs::Both,
     "a shell-like variable assignment"},
    {MessageKind::USER_NOT_FOUND, "USER_NOT_FOUND", Severity::Warning, Scope::Line, Programs::Both,
     "a user that is not in the password database"},
    {MessageKind::HOURS_NOT_MINUTES, "HOURS_NOT_MINUTES", Severity::Warning, Scope::Line,
     Programs::Both, "a fixed hour with every minute"},
    {MessageKind::COMMENT, "COMMENT", Severity::Error, Scope::Line, Programs::Both,
     "a comment at the end of a variable assignment"},
    {MessageKind::FILE_MISSING, "FILE_MISSING", Severity::Error, Scope::File, Programs::Both,
     "a crontab that does not exist"},
    {MessageKind::FILE_NAME, "FILE_NAME", Severity::Warning, Scope::File, Programs::Both,
     "a file name that cron skips"},
    {MessageKind::READ_ERROR, "READ_ERROR", Severity::Error, Scope::File, Programs::Both,
     "a crontab that can not be opened or read"},
    {MessageKind::INVALID_UTF8, "INVALID_UTF8", Severity::Error, Scope::File, Programs::Both,
     "a line that is not valid UTF-8"},
    {MessageKind::MISSING_NEWLINE, "MISSING_NEWLINE", Severity::Error, Scope::File, Programs::Both,
     "a last line without a line feed"},
    {MessageKind::JUNIT_WRITE, "JUNIT_WRITE", Severity::Error, Scope::File, Programs::Lintkeeper,
     "a JUnit file that can not be written"},
    {MessageKind::FILE_OWNER, "FILE_OWNER", Severity::Error, Scope::Host, Programs::Audit,
     "a crontab cron skips for its owner"},
    {MessageKind::FILE_MODE, "FILE_MODE", Severity::Error, Scope::Host, Programs::Audit,
     "a crontab cron skips for its mode"},
    {MessageKind::FILE_LINKS, "FILE_LINKS", Severity::Error, Scope::Host, Programs::Audit,
     "a crontab with more than one hard link"},
    {MessageKind::FILE_TYPE, "FILE_TYPE", Severity::Error, Scope::Host, Programs::Audit,
     "an entry that is not a regular file where cron expects one"},
    {MessageKind::ORPHAN, "ORPHAN", Severity::Error, Scope::Host, Programs::Audit,
     "a spool crontab named after no user"},
    {MessageKind::TOO_MANY_LINES, "TOO_MANY_LINES", Severity::Error, Scope::Host, Programs::Audit,
     "a crontab longer than cron reads"},
    {MessageKind::CARRIAGE_RETURN, "CARRIAGE_RETURN", Severity::Error, Scope::Host, Programs::Audit,
     "a carriage return that cron keeps in a command or value"},
    {MessageKind::CRON_REJECTS, "CRON_REJECTS", Severity::Error, Scope::Host, Programs::Audit,
     "a line that cron refuses to load or misreads"},
    {MessageKind::IGNORED_BY_CRON, "IGNORED_BY_CRON", Severity::Error, Scope::Host, Programs::Audit,
     "a file of which cron runs nothing"},
    {MessageKind::RUN_PARTS_NAME, "RUN_PARTS_NAME", Severity::Error, Scope::Host, Programs::Audit,
     "a script run-parts skips for its name"},
    {MessageKind::RUN_PARTS_EXEC, "RUN_PARTS_EXEC", Severity::Error, Scope::Host, Programs::Audit,
     "a script run-parts skips as not executable"},
    {MessageKind::NEVER_FIRES, "NEVER_FIRES", Severity::Error, Scope::Host, Programs::Audit,
     "a schedule that never matches"},
    {MessageKind::LEAP_DAY_ONLY, "LEAP_DAY_ONLY", Severity::Warning, Scope::Host, Programs::Audit,
     "a schedule that matches only on 29 February"},
    {MessageKind::DAY_OR, "DAY_OR", Severity::Warning, Scope::Host, Programs::Audit,
     "a day of month and a day of week, either of which runs the job"},
    {MessageKind::UNEVEN_STEP, "UNEVEN_STEP", Severity::Warning, Scope::Host, Programs::Audit,
     "a step that does not divide its field"},
    {MessageKind::UNREAD_PLACE, "UNREAD_PLACE", Severity::Error, Scope::Host, Programs::Audit,
     "crontabs where this cron never reads"},
    {MessageKind::USER_COLUMN, "USER_COLUMN", Severity::Error, Scope::Host, Programs::Audit,
     "a user column where the cron has none"},
    {MessageKind::PERCENT_KEPT, "PERCENT_KEPT", Severity::Warning, Scope::Host, Programs::Audit,
     "a % that this cron passes to the command as it is"},
    {MessageKind::HASH_CUTS_COMMAND, "HASH_CUTS_COMMAND", Severity::Error, Scope::Host,
     Programs::Audit, "a # that ends the command for this cron"},
    {MessageKind::LINE_JOINED, "LINE_JOINED", Severity::Error, Scope::Host, Programs::Audit,
     "a line ending in \\ that this cron joins with the next"},
    {MessageKind::VARIABLE_IGNORED, "VARIABLE_IGNORED", Severity::Warning, Scope::Host,
     Programs::Audit, "an assignment that this cron ignores"},
    {MessageKind::CRON_WARNS, "CRON_WARNS", Severity::Warning, Scope::Host, Programs::Audit,
     "a line that cron loads with a warning"},
    {MessageKind::CRON_UNKNOWN, "CRON_UNKNOWN", Severity::Warning, Scope::Host, Programs::Audit,
     "a host whose cron could not be told"},
    {MessageKind::NOTHING_READ, "NOTHING_READ", Severity::Warning, Scope::Host, Programs::Audit,
     "an audit that found no crontab"},
    {MessageKind::DST_SKIPPED, "DST_SKIPPED", Severity::Warning, Scope::Host, Programs::Audit,
     "a job time that a change of the clock skips"},
    {MessageKind::DST_REPEATED, "DST_REPEATED", Severity::Warning, Scope::Host, Programs::Audit,
     "a job time that a change of the clock repeats"},
});

inline constexpr std::size_t KIND_COUNT = MESSAGE_KINDS.size();

// A set of kinds, such as those switched off.
using KindSet = std::bitset<KIND_COUNT>;

namespace detail {
constexpr bool rows_follow_enum_order() {
  for (std::size_t i = 0; i < KIND_COUNT; ++i) {
    if (static_cast<std::size_t>(MESSAGE_KINDS[i].kind) != i) return false;
  }
  return true;
}
constexpr bool names_are_unique() {
  for (std::size_t i = 0; i < KIND_COUNT; ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (MESSAGE_KINDS[i].name == MESSAGE_KINDS[j].name) return false;
    }
  }
  return true;
}
constexpr std::size_t count_of(Scope scope) {
  return static_cast<std::size_t>(
      std::count_if(MESSAGE_KINDS.begin(), MESSAGE_KINDS.end(),
                    [&](const KindInfo& k) { return k.scope == scope; }));
}
constexpr bool line_kinds_come_first() {
  for (std::size_t i = 0; i < KIND_COUNT; ++i) {
    if ((MESSAGE_KINDS[i].scope == Scope::Line) != (i < count_of(Scope::Line))) return false;
  }
  return true;
}
}  // namespace detail

static_assert(detail::rows_follow_enum_order(), "MESSAGE_KINDS rows follow the enum order");
static_assert(detail::names_are_unique());
static_assert(detail::line_kinds_come_first());

namespace detail {
// The kinds of how cron treats a file or a job are the audit's alone.
constexpr bool host_kinds_are_the_audits() {
  for (const KindInfo& k : MESSAGE_KINDS) {
    if (k.scope == Scope::Host && k.programs != Programs::Audit) return false;
  }
  return true;
}
}  // namespace detail
static_assert(detail::host_kinds_are_the_audits());

// The kinds an in-file command can name: the first LINE_KIND_COUNT kinds.
inline constexpr std::size_t LINE_KIND_COUNT = detail::count_of(Scope::Line);

// The order in which the long help lists the line kinds.
inline constexpr auto HELP_ORDER = std::to_array<MessageKind>({
    MessageKind::BARE_PERCENT,
    MessageKind::LINTKEEPER_ERROR,
    MessageKind::COMMENT,
    MessageKind::FIELD_PARSE_ERROR,
    MessageKind::FIELD_VALUE_ERROR,
    MessageKind::HOURS_NOT_MINUTES,
    MessageKind::INVALID_AT,
    MessageKind::INVALID_USER,
    MessageKind::LINE_ERROR,
    MessageKind::QUOTE_VALUES,
    MessageKind::SHELL_VAR,
    MessageKind::USER_NOT_FOUND,
});

namespace detail {
// Every line kind exactly once.
constexpr bool help_lists_each_line_kind_once() {
  if (HELP_ORDER.size() != LINE_KIND_COUNT) return false;
  std::array<bool, KIND_COUNT> seen{};
  for (const MessageKind kind : HELP_ORDER) {
    const auto i = static_cast<std::size_t>(kind);
    if (i >= LINE_KIND_COUNT || seen[i]) return false;
    seen[i] = true;
  }
  return true;
}
}  // namespace detail
static_assert(detail::help_lists_each_line_kind_once());

constexpr const KindInfo& kind_info(MessageKind kind) {
  return MESSAGE_KINDS[static_cast<std::size_t>(kind)];
}
constexpr std::string_view kind_name(MessageKind kind) { return kind_info(kind).name; }
constexpr Severity severity_of(MessageKind kind) { return kind_info(kind).severity; }
constexpr bool reported_by_lintkeeper(const KindInfo& kind) {
  return kind.programs != Programs::Audit;
}
constexpr bool reported_by_audit(const KindInfo& kind) {
  return kind.programs != Programs::Lintkeeper;
}
// Whether lintkeeper's reports show the kind's name with its text: all but the file kinds.
constexpr bool named_in_reports(MessageKind kind) { return kind_info(kind).scope != Scope::File; }

// The longest name of a line kind, for laying the names out in a column.
inline constexpr std::size_t LONGEST_LINE_KIND_NAME =
    std::max_element(
        MESSAGE_KINDS.begin(), MESSAGE_KINDS.begin() + LINE_KIND_COUNT,
        [](const KindInfo& a, const KindInfo& b) { return a.name.size() < b.name.size(); })
        ->name.size();

// The line kind of that name, as an in-file command names it: exact and case-sensitive.
std::optional<MessageKind> line_kind_from_name(std::string_view name);

}  // namespace lintkeeper
