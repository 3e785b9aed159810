// Line checks: dispatch by line kind; assignments, @ directives, commands, unknown lines.
#include "checks/check_line.h"

#include <algorithm>
#include <array>
#include <variant>

#include "base/overloaded.h"
#include "base/unicode.h"
#include "checks/check_user.h"
#include "fields/check_fields.h"
#include "fields/time_fields.h"
#include "findings/store.h"

namespace lintkeeper {

namespace {

// The shortest and longest of the @ names: a name outside them needs no comparison.
constexpr auto kAtNameSizes = std::minmax_element(
    AT_NAMES.begin(), AT_NAMES.end(), [](auto a, auto b) { return a.size() < b.size(); });
constexpr std::size_t kShortestAtName = kAtNameSizes.first->size();
constexpr std::size_t kLongestAtName = kAtNameSizes.second->size();

void check_assignment(const EnvVar& var, LineFindings& found) {
  if (trim(var.value).empty()) {
    found.add(MessageKind::QUOTE_VALUES,
              "Variable assignments in crontabs must contain non-whitespace characters (try "
              "quotes).");
  }
  if (var.value.find('$') != std::string_view::npos) {
    found.add(MessageKind::SHELL_VAR,
              "Variable assignments in crontabs are not like shell.  $VAR is not expanded.");
  }
  if (has_trailing_comment(var.value)) {
    found.add(MessageKind::COMMENT,
              "Variable assignments in crontabs are not like shell.  # comment is not allowed.");
  }
}

void check_command(std::string_view command, LineFindings& found) {
  if (find_bare_percent(command)) {
    found.add(MessageKind::BARE_PERCENT,
              "A bare % is a line break in crontab and is commonly not intended.");
  }
}

}  // namespace

std::size_t trailing_comment_at(std::string_view value) {
  if (value.empty()) return std::string_view::npos;
  if (value.front() != '"') {
    // The first character is not looked at; '#' is ASCII, so bytes will do.
    return value.find('#', 1);
  }
  const std::string_view rest = value.substr(1);
  for (std::size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] != '"') continue;
    const std::string_view after = rest.substr(i + 1);
    if (after.starts_with('#')) return i + 2;
    if (after.starts_with(" #")) return i + 3;
  }
  return std::string_view::npos;
}

bool has_trailing_comment(std::string_view value) {
  return trailing_comment_at(value) != std::string_view::npos;
}

bool find_bare_percent(std::string_view command) {
  // '%' and '\' are ASCII and never part of a longer UTF-8 sequence, so the byte before a
  // '%' is the whole previous character exactly when it is a backslash.
  std::size_t pos = command.find('%');
  while (pos != std::string_view::npos) {
    if (pos == 0 || command[pos - 1] != '\\') return true;
    pos = command.find('%', pos + 1);
  }
  return false;
}

bool is_valid_at_name(std::string_view name) {
  if (name.size() < kShortestAtName || name.size() > kLongestAtName) return false;
  for (const std::string_view valid : AT_NAMES) {
    if (valid == name) return true;
  }
  return false;
}

void check_line(const CrontabLine& line, const UserRules& users, LineFindings& found,
                bool percent_newline) {
  std::visit(
      overloaded{
          [](const Blank&) {},
          [](const Comment&) {},
          [&](const LintkeeperCmd& c) { check_kind_switch(c, found); },
          [&](const EnvVar& v) { check_assignment(v, found); },
          [&](const Special& s) {
            if (!is_valid_at_name(s.macro_name)) {
              found.add(MessageKind::INVALID_AT, "Invalid @ directive \"{}\"", s.macro_name);
            }
            if (s.user) check_user(*s.user, users, found);
            if (percent_newline) check_command(s.command, found);
          },
          [&](const Standard& s) {
            check_fields(s.schedule, found);
            if (percent_newline) check_command(s.command, found);
          },
          [&](const System& s) {
            check_fields(s.schedule, found);
            check_user(s.user, users, found);
            if (percent_newline) check_command(s.command, found);
          },
          [&](const Unknown&) { found.add(MessageKind::LINE_ERROR, "Failed to parse line."); },
      },
      line);
}

}  // namespace lintkeeper
