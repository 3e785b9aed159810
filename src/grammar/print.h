// Printers of a parsed line: the echo form and the two debug forms.
#pragma once

#include <string>
#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

// The line written back as crontab text, columns joined by tabs; ends with a line feed.
std::string format_echo(const CrontabLine& line);
// The parsed structure on one line, without a line feed.
std::string format_debug(const CrontabLine& line);
// The parsed structure one member per line, indented by four spaces a level; no final
// line feed.
std::string format_debug_verbose(const CrontabLine& line);

std::string format_debug(const Field& field);
std::string format_debug_verbose(const Field& field);

// A text in double quotes with escapes for quotes, backslashes, control characters,
// invisible characters and combining marks.
void append_quoted(std::string& out, std::string_view text);

}  // namespace lintkeeper
