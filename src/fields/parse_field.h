// Time-field parser: one token in, one Field out; never fails.
#pragma once

#include <array>
#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

// Reads the comma-separated items of a time field. Returns the items read before any
// fault, plus an error text: "\"TOKEN\" is incomplete" when the token ends too early, or
// "\"BEFORE[[C]]AFTER\"" marking the character C where reading stopped.
Field parse_field(std::string_view text);
// The same, into a fresh (default-constructed) Field.
void parse_field(std::string_view text, Field& field);

// Parses the five field texts of a scheduled line, in column order, into schedule.
void parse_schedule(const std::array<std::string_view, Schedule::kFieldCount>& texts,
                    Schedule& schedule);
Schedule parse_schedule(const std::array<std::string_view, Schedule::kFieldCount>& texts);

}  // namespace lintkeeper
