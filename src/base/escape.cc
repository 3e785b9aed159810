// Texts escaped character by character.
#include "base/escape.h"

#include <algorithm>
#include <bitset>

#include "base/unicode.h"

namespace lintkeeper {

void append_escaped(std::string& out, std::string_view text, std::span<const Replacement> table,
                    bool (*other)(char32_t c, std::string& out)) {
  std::bitset<0x80> replaced;  // the ASCII characters of the table
  for (const Replacement& r : table) {
    if (r.c < 0x80) replaced.set(r.c);
  }
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto b = static_cast<unsigned char>(text[pos]);
    if (b >= 0x20 && b < 0x7F && !replaced.test(b)) {  // the common case: kept as it is
      out += static_cast<char>(b);
      ++pos;
      continue;
    }
    char32_t c = 0;
    const std::size_t n = decode_utf8(text, pos, c);
    const auto found =
        std::find_if(table.begin(), table.end(), [c](const Replacement& r) { return r.c == c; });
    if (c == 0xFFFD && n == 1) {
      out += "\xEF\xBF\xBD";  // not UTF-8: never copy the byte
    } else if (found != table.end()) {
      out += found->text;
    } else if (!other(c, out)) {
      out.append(text.substr(pos, n));
    }
    pos += n;
  }
}

std::string shell_quoted(std::string_view text) {
  constexpr std::string_view kPlain =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_./:=+-";
  if (!text.empty() && text.find_first_not_of(kPlain) == std::string_view::npos) {
    return std::string(text);
  }
  std::string out = "'";
  for (const char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

}  // namespace lintkeeper
