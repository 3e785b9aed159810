// The parsed form of one crontab line.
//
// Every std::string_view below points into the line text handed to the parser: the text
// must outlive the CrontabLine made from it. A Field owns its item list and error text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "base/small_vector.h"

namespace lintkeeper {

// --- Time-field items ---
struct Star {};
struct StarStep {
  std::uint64_t step;
};
struct Time {
  std::uint64_t value;
};
struct Range {
  std::uint64_t start, end;
};
struct RangeStep {
  std::uint64_t start, end, step;
};
struct Text {
  std::string_view name;
};
struct TextRange {
  std::string_view start, end;
};
struct TextRangeStep {
  std::string_view start, end;
  std::uint64_t step;
};

using FieldItem =
    std::variant<Star, StarStep, Time, Range, RangeStep, Text, TextRange, TextRangeStep>;

// One time field. Without error, items holds at least one item; with an error, the
// items recognised before it.
// Most fields hold one or two items: those are kept inline.
using ItemList = SmallVector<FieldItem, 2>;

struct Field {
  // User-provided constructors: a new Field is not first cleared byte by byte.
  Field() noexcept {}
  Field(std::string_view text_in, ItemList items_in = {},
        std::optional<std::string> error_in = std::nullopt)
      : text(text_in), items(std::move(items_in)), error(std::move(error_in)) {}

  std::string_view text;
  ItemList items;
  std::optional<std::string> error;
};

// --- Line kinds ---
struct Blank {};
struct Comment {
  std::string_view text;  // everything after the first '#'
};
struct LintkeeperCmd {
  std::string_view comment;   // everything after the first '#'
  std::string_view command;   // text before the last '='
  std::string_view msg_kind;  // text after the last '='
};
struct EnvVar {
  std::string_view name;
  std::string_view value;  // everything after the '=', untrimmed at its start
};
struct Special {
  std::string_view macro_name;           // without the '@'
  std::optional<std::string_view> user;  // absent in a user crontab
  std::string_view command;
};
// The five time fields of a scheduled line, in column order: minute, hour, day of month,
// month, day of week (the rows of TIME_FIELDS).
struct Schedule {
  static constexpr std::size_t kFieldCount = 5;
  std::array<Field, kFieldCount> fields;
};
// The scheduled lines have user-provided constructors, so that emplacing one does not first
// clear it byte by byte.
struct Standard {
  Standard() noexcept {}
  Standard(Schedule schedule_in, std::string_view command_in)
      : schedule(std::move(schedule_in)), command(command_in) {}
  Schedule schedule;
  std::string_view command;
};
struct System {
  System() noexcept {}
  System(Schedule schedule_in, std::string_view user_in, std::string_view command_in)
      : schedule(std::move(schedule_in)), user(user_in), command(command_in) {}
  Schedule schedule;
  std::string_view user;
  std::string_view command;
};
struct Unknown {
  std::string_view text;  // the whole line
};

using CrontabLine =
    std::variant<Blank, Comment, LintkeeperCmd, EnvVar, Special, Standard, System, Unknown>;

enum class CrontabFlavor { SystemCrontab, UserCrontab };

// The schedule of a scheduled line, or null.
inline const Schedule* schedule_of(const CrontabLine& line) {
  if (const auto* s = std::get_if<Standard>(&line)) return &s->schedule;
  if (const auto* s = std::get_if<System>(&line)) return &s->schedule;
  return nullptr;
}

// The command of a job line as lintkeeper reads it, or nothing.
inline std::optional<std::string_view> command_of(const CrontabLine& line) {
  if (const auto* s = std::get_if<Standard>(&line)) return s->command;
  if (const auto* s = std::get_if<System>(&line)) return s->command;
  if (const auto* s = std::get_if<Special>(&line)) return s->command;
  return std::nullopt;
}

}  // namespace lintkeeper
