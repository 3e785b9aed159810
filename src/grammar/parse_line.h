// Line parser: one trimmed crontab line in, one CrontabLine out; never fails.
#pragma once

#include <string_view>

#include "grammar/line.h"

namespace lintkeeper {

// text is one line without its terminator and without white space at either end. Every
// view in the result points into text.
CrontabLine parse_line(std::string_view text, CrontabFlavor flavor);

}  // namespace lintkeeper
