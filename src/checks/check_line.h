// Line checks: which checks run for each kind of line, and the checks of assignments,
// @ directives and commands.
#pragma once

#include <string_view>

#include "checks/check_user.h"
#include "findings/finding.h"
#include "grammar/line.h"

namespace lintkeeper {

// Runs the checks of the line's kind, adding its findings. percent_newline: whether the cron
// takes a '%' of a command for a line break (BARE_PERCENT), as all but busybox's do.
void check_line(const CrontabLine& line, const UserRules& users, LineFindings& found,
                bool percent_newline = true);

// True when a variable value ends in what cron would take as part of the value but a
// shell user means as a comment.
bool has_trailing_comment(std::string_view value);
// Where the '#' of that comment is in value, or npos.
std::size_t trailing_comment_at(std::string_view value);

// True when the command holds a '%' not preceded by a backslash.
bool find_bare_percent(std::string_view command);

// True for the eight @ directives cron knows.
bool is_valid_at_name(std::string_view name);

}  // namespace lintkeeper
