// Message kinds: the twelve kinds of finding, their names, severities and descriptions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lintkeeper {

enum class Severity : std::uint8_t { Warning = 0, Error = 1 };

// Numbered in the order in which names are looked up.
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
};

struct KindInfo {
  MessageKind kind;
  std::string_view name;
  Severity severity;
  std::string_view description;  // as listed in the long help
};

inline constexpr std::array<KindInfo, 12> MESSAGE_KINDS{{
    {MessageKind::BARE_PERCENT, "BARE_PERCENT", Severity::Warning,
     "a % that is not escaped in the command"},
    {MessageKind::LINTKEEPER_ERROR, "LINTKEEPER_ERROR", Severity::Error,
     "a bad `# lintkeeper:` command"},
    {MessageKind::FIELD_PARSE_ERROR, "FIELD_PARSE_ERROR", Severity::Error,
     "a time field that does not parse"},
    {MessageKind::FIELD_VALUE_ERROR, "FIELD_VALUE_ERROR", Severity::Error,
     "a time field with a value out of its limits"},
    {MessageKind::INVALID_AT, "INVALID_AT", Severity::Error, "an unknown @ directive"},
    {MessageKind::INVALID_USER, "INVALID_USER", Severity::Error,
     "a user name that can not be a user name"},
    {MessageKind::LINE_ERROR, "LINE_ERROR", Severity::Error,
     "a line that is not understood at all"},
    {MessageKind::QUOTE_VALUES, "QUOTE_VALUES", Severity::Error, "an empty variable assignment"},
    {MessageKind::SHELL_VAR, "SHELL_VAR", Severity::Warning, "a shell-like variable assignment"},
    {MessageKind::USER_NOT_FOUND, "USER_NOT_FOUND", Severity::Warning,
     "a user that is not in the password database"},
    {MessageKind::HOURS_NOT_MINUTES, "HOURS_NOT_MINUTES", Severity::Warning,
     "a fixed hour with every minute"},
    {MessageKind::COMMENT, "COMMENT", Severity::Error,
     "a comment at the end of a variable assignment"},
}};

constexpr bool rows_follow_enum_order(const std::array<KindInfo, 12>& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (static_cast<std::size_t>(rows[i].kind) != i) return false;
  }
  return true;
}
static_assert(rows_follow_enum_order(MESSAGE_KINDS));

// The order in which the long help lists the kinds.
inline constexpr std::array<MessageKind, 12> HELP_ORDER{{
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
}};

constexpr const KindInfo& kind_info(MessageKind kind) {
  return MESSAGE_KINDS[static_cast<std::size_t>(kind)];
}
constexpr std::string_view kind_name(MessageKind kind) { return kind_info(kind).name; }

// Exact, case-sensitive match against the names, in table order.
std::optional<MessageKind> kind_from_name(std::string_view name);

}  // namespace lintkeeper
