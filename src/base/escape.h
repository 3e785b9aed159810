// Texts escaped character by character, by a table of replacements.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace lintkeeper {

struct Replacement {
  char32_t c;
  std::string_view text;
};

// Appends text to out. A character of the table becomes its replacement text; a control
// character or a non-ASCII one is offered to other(c, out), which appends its replacement and
// returns true, or returns false to keep the character as it is; every other character is
// kept. A byte that is not UTF-8 becomes U+FFFD, whatever the table says.
void append_escaped(std::string& out, std::string_view text, std::span<const Replacement> table,
                    bool (*other)(char32_t c, std::string& out));

// A word for a POSIX shell that stands for text: text itself when it holds only characters
// no shell reads otherwise ([A-Za-z0-9_./:=+-]), else text in single quotes.
std::string shell_quoted(std::string_view text);

}  // namespace lintkeeper
