// Fuzz target: the line parser and its three printers on arbitrary bytes.
//
// Each input is parsed as it is and, decoded and trimmed as a file line would be, in both
// flavours. Checks that every member is a piece of the line, that the flavour decides the
// user column, that the echo form of a scheduled, @ or assignment line reads back as the same
// line, that the verbose debug form folds into the one-line form, and that the two column
// splits agree.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "audit/check_timing.h"
#include "base/output.h"
#include "base/overloaded.h"
#include "base/unicode.h"
#include "cron/cron_line.h"
#include "fields/check_fields.h"
#include "fuzz/fuzz_check.h"
#include "grammar/parse_line.h"
#include "grammar/print.h"

namespace lintkeeper {
namespace {

using fuzz::check;

bool is_field_char(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
         c == ',' || c == '-' || c == '/';
}

bool starts_with_white_space(std::string_view text) {
  return !text.empty() && white_space_at(text, 0) != 0;
}

bool has_white_space(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    if (white_space_at(text, pos) != 0) return true;
    char32_t c = 0;
    pos += decode_utf8(text, pos, c);
  }
  return false;
}

// A column between separators: not empty, no white space in it.
void check_word(std::string_view word, std::string_view line, const char* what) {
  check(!word.empty(), what, line);
  check(!has_white_space(word), what, line);
}

void check_command(std::string_view command, std::string_view line) {
  check(!command.empty() && !starts_with_white_space(command),
        "a command that is empty or starts with white space", line);
}

void check_field(const Field& field, std::string_view line) {
  check(fuzz::inside(field.text, line), "a field text lies outside the line", line);
  check(!field.text.empty(), "an empty field text", line);
  for (const char c : field.text)
    check(is_field_char(c), "a field text holds a stray character", line);
  check(field.error.has_value() || !field.items.empty(), "a field without error or item", line);
  const auto names_inside = [&](std::string_view name) {
    check(fuzz::inside(name, field.text), "a name lies outside its field", line);
  };
  for (const FieldItem& item : field.items) {
    std::visit(overloaded{
                   [&](const Text& t) { names_inside(t.name); },
                   [&](const TextRange& r) {
                     names_inside(r.start);
                     names_inside(r.end);
                   },
                   [&](const TextRangeStep& r) {
                     names_inside(r.start);
                     names_inside(r.end);
                   },
                   [](const auto&) {},
               },
               item);
  }
}

std::vector<std::string_view> field_texts(const Schedule& schedule) {
  std::vector<std::string_view> texts;
  for (const Field& field : schedule.fields) texts.push_back(field.text);
  return texts;
}

void check_members(const CrontabLine& parsed, std::string_view line, CrontabFlavor flavor) {
  const auto in = [&](std::string_view view) {
    check(fuzz::inside(view, line), "a member lies outside the line", line);
  };
  const bool user_crontab = flavor == CrontabFlavor::UserCrontab;
  std::visit(overloaded{
                 [&](const Blank&) { check(line.empty(), "a Blank line that is not empty", line); },
                 [&](const Comment& c) {
                   in(c.text);
                   check(line.front() == '#' && c.text.data() == line.data() + 1 &&
                             c.text.size() == line.size() - 1,
                         "a comment that is not the line after its '#'", line);
                 },
                 [&](const LintkeeperCmd& c) {
                   in(c.comment);
                   in(c.command);
                   in(c.msg_kind);
                   check(c.msg_kind.find('=') == std::string_view::npos,
                         "a message kind holding '='", line);
                 },
                 [&](const EnvVar& v) {
                   in(v.name);
                   in(v.value);
                   check(!v.name.empty(), "an empty variable name", line);
                 },
                 [&](const Special& s) {
                   in(s.macro_name);
                   check_word(s.macro_name, line, "a bad directive name");
                   check(s.user.has_value() != user_crontab, "the flavour and the user disagree",
                         line);
                   if (s.user) {
                     in(*s.user);
                     check_word(*s.user, line, "a bad user column");
                   }
                   in(s.command);
                   check_command(s.command, line);
                 },
                 [&](const Standard& s) {
                   check(user_crontab, "a Standard line in a system crontab", line);
                   for (const Field& f : s.schedule.fields) check_field(f, line);
                   in(s.command);
                   check_command(s.command, line);
                 },
                 [&](const System& s) {
                   check(!user_crontab, "a System line in a user crontab", line);
                   for (const Field& f : s.schedule.fields) check_field(f, line);
                   in(s.user);
                   check_word(s.user, line, "a bad user column");
                   in(s.command);
                   check_command(s.command, line);
                 },
                 [&](const Unknown& u) {
                   check(u.text.data() == line.data() && u.text.size() == line.size(),
                         "an Unknown line that is not the whole line", line);
                 },
             },
             parsed);
}

// The echo form, without its line feed, parses again to the same kind with the same columns.
void check_echo(const CrontabLine& parsed, std::string_view line, CrontabFlavor flavor) {
  const std::string echo = format_echo(parsed);
  check(!echo.empty() && echo.back() == '\n', "an echo form without its line feed", echo);
  const std::string_view text(echo.data(), echo.size() - 1);
  const CrontabLine again = parse_line(text, flavor);
  const std::string detail = std::string(line) + "\n" + echo;
  if (const auto* sys = std::get_if<System>(&parsed)) {
    const auto* t = std::get_if<System>(&again);
    check(t != nullptr, "the echo of a System line is not a System line", detail);
    check(field_texts(sys->schedule) == field_texts(t->schedule) && sys->user == t->user &&
              sys->command == t->command,
          "the echo of a System line reads back differently", detail);
    check(format_debug(parsed) == format_debug(again), "the echo of a System line has other items",
          detail);
  } else if (const auto* std_line = std::get_if<Standard>(&parsed)) {
    const auto* t = std::get_if<Standard>(&again);
    check(t != nullptr, "the echo of a Standard line is not a Standard line", detail);
    check(field_texts(std_line->schedule) == field_texts(t->schedule) &&
              std_line->command == t->command,
          "the echo of a Standard line reads back differently", detail);
    check(format_debug(parsed) == format_debug(again),
          "the echo of a Standard line has other items", detail);
  } else if (std::holds_alternative<Special>(parsed) || std::holds_alternative<EnvVar>(parsed) ||
             std::holds_alternative<Comment>(parsed) ||
             std::holds_alternative<LintkeeperCmd>(parsed)) {
    check(format_debug(parsed) == format_debug(again), "the echo form reads back differently",
          detail);
  }
}

// The mask-based column split, when it takes a line, splits it as the byte-by-byte one.
void check_split(std::string_view line, CrontabFlavor flavor) {
  const std::optional<ScheduleColumns> fast = split_columns_fast(line, flavor);
  if (!fast) return;
  const std::optional<ScheduleColumns> slow = split_columns(line, flavor);
  check(slow.has_value(), "the shortcut splits a line the slow split declines", line);
  check(fast->fields == slow->fields && fast->user == slow->user && fast->command == slow->command,
        "the two column splits disagree", line);
}

// How cron reads the line, and when a valid schedule of it runs: nothing may fault, and what
// cron keeps of the line lies in it.
void check_cron(std::string_view line, CrontabFlavor flavor) {
  for (const CronReading& reading :
       {read_cron_line(line, flavor), read_cron_last_line(line, flavor)}) {
    for (const std::string_view part : {reading.user, reading.name, reading.command}) {
      check(part.empty() || fuzz::inside(part, line), "cron's reading lies outside the line", line);
    }
  }
  const CrontabLine parsed = parse_line(line, flavor);
  const Schedule* schedule = nullptr;
  if (const auto* s = std::get_if<Standard>(&parsed)) schedule = &s->schedule;
  if (const auto* s = std::get_if<System>(&parsed)) schedule = &s->schedule;
  if (schedule != nullptr && is_valid_schedule(*schedule)) {
    LineFindings found;
    check_timing(*schedule, found);
  }
}

void check_line(std::string_view line, CrontabFlavor flavor) {
  check_cron(line, flavor);
  check_split(line, flavor);
  const CrontabLine parsed = parse_line(line, flavor);
  check_members(parsed, line, flavor);
  check_echo(parsed, line, flavor);
  fuzz::check_verbose_folds(format_debug(parsed), format_debug_verbose(parsed));
}

}  // namespace
}  // namespace lintkeeper

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lintkeeper::CrontabFlavor;
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  // As given, which may be neither UTF-8 nor trimmed: the parser must still hold.
  lintkeeper::check_line(raw, CrontabFlavor::SystemCrontab);
  lintkeeper::check_line(raw, CrontabFlavor::UserCrontab);
  // As a line of a file reaches the parser: valid UTF-8 without white space at its ends.
  const std::string decoded = lintkeeper::lossy_utf8(raw);
  const std::string_view text = lintkeeper::trim(decoded);
  lintkeeper::check_line(text, CrontabFlavor::SystemCrontab);
  lintkeeper::check_line(text, CrontabFlavor::UserCrontab);
  return 0;
}
