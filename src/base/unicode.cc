// UTF-8 decoding, validation and white space.
#include "base/unicode.h"

#include <array>
#include <cstdint>

#include "base/chars.h"

namespace lintkeeper {

namespace {

// The ASCII white space of the fast paths (is_ascii_space) is that of the table.
constexpr bool table_in_ascii(char32_t c) {
  for (const auto& [first, last] : unicode_tables::WHITE_SPACE) {
    if (c >= first && c <= last) return true;
  }
  return false;
}
constexpr bool ascii_white_space_agrees() {
  for (char32_t c = 0; c < 0x80; ++c) {
    if (is_ascii_space(static_cast<char>(c)) != table_in_ascii(c)) return false;
  }
  return true;
}
static_assert(ascii_white_space_agrees());

// The first UTF-8 byte of each White_Space character from U+0080 on: white_space_at_slow
// decodes only the characters that start with one.
constexpr std::array<bool, 256> make_white_space_leads() {
  std::array<bool, 256> leads{};
  for (const auto& [first, last] : unicode_tables::WHITE_SPACE) {
    for (char32_t c = first < 0x80 ? 0x80 : first; c <= last; ++c) {
      const char32_t lead = c < 0x800     ? 0xC0 | c >> 6
                            : c < 0x10000 ? 0xE0 | c >> 12
                                          : 0xF0 | c >> 18;
      leads[lead] = true;
    }
  }
  return leads;
}
constexpr std::array<bool, 256> WHITE_SPACE_LEADS = make_white_space_leads();

bool is_continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Checks one sequence starting at text[pos]. Returns its length when valid; otherwise
// fills fault (relative index pos) and returns 0.
std::size_t check_sequence(std::string_view text, std::size_t pos, Utf8Fault& fault) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char first = at(0);
  if (first < 0x80) return 1;
  std::size_t width = 0;
  if (first >= 0xC2 && first <= 0xDF) {
    width = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    width = 3;
  } else if (first >= 0xF0 && first <= 0xF4) {
    width = 4;
  } else {
    fault = {pos, 1};
    return 0;
  }
  const std::size_t avail = text.size() - pos;
  for (std::size_t i = 1; i < width; ++i) {
    if (i >= avail) {
      fault = {pos, 0};
      return 0;
    }
    const unsigned char b = at(i);
    bool ok = is_continuation(b);
    if (i == 1 && ok) {
      if (first == 0xE0)
        ok = b >= 0xA0;
      else if (first == 0xED)
        ok = b <= 0x9F;
      else if (first == 0xF0)
        ok = b >= 0x90;
      else if (first == 0xF4)
        ok = b <= 0x8F;
    }
    if (!ok) {
      fault = {pos, i};
      return 0;
    }
  }
  return width;
}

}  // namespace

std::size_t decode_utf8(std::string_view text, std::size_t pos, char32_t& c) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) {
    c = b0;
    return 1;
  }
  Utf8Fault fault{};
  const std::size_t n = check_sequence(text, pos, fault);
  if (n == 0) {
    c = 0xFFFD;
    return 1;
  }
  const auto b = [&](std::size_t i) { return static_cast<char32_t>(text[pos + i]) & 0x3F; };
  if (n == 2)
    c = ((b0 & 0x1Fu) << 6) | b(1);
  else if (n == 3)
    c = ((b0 & 0x0Fu) << 12) | (b(1) << 6) | b(2);
  else
    c = ((b0 & 0x07u) << 18) | (b(1) << 12) | (b(2) << 6) | b(3);
  return n;
}

std::size_t white_space_at_slow(std::string_view text, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (!WHITE_SPACE_LEADS[b0]) return 0;  // fast path
  char32_t c = 0;
  const std::size_t n = decode_utf8(text, pos, c);
  return is_white_space(c) ? n : 0;
}

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t n = white_space_at(text, begin);
    if (n == 0) break;
    begin += n;
  }
  std::size_t end = text.size();
  while (end > begin) {
    // Step back to the start of the last character.
    std::size_t start = end - 1;
    while (start > begin && end - start < 4 &&
           is_continuation(static_cast<unsigned char>(text[start]))) {
      --start;
    }
    const std::size_t n = white_space_at(text, start);
    if (n == 0 || start + n != end) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

bool validate_utf8(std::string_view text, Utf8Fault& fault) {
  std::size_t pos = 0;
  const std::size_t size = text.size();
  while (pos < size) {
    // Fast path over ASCII, eight bytes at a time.
    while (pos + 8 <= size) {
      std::uint64_t word;
      __builtin_memcpy(&word, text.data() + pos, 8);
      if (word & 0x8080808080808080ull) break;
      pos += 8;
    }
    if (pos >= size) break;
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      ++pos;
      continue;
    }
    const std::size_t n = check_sequence(text, pos, fault);
    if (n == 0) return false;
    pos += n;
  }
  return true;
}

std::string lossy_utf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    Utf8Fault fault{};
    const std::size_t n = check_sequence(text, pos, fault);
    if (n > 0) {
      out.append(text.substr(pos, n));
      pos += n;
    } else {
      out.append("\xEF\xBF\xBD");
      pos += fault.length == 0 ? text.size() - pos : fault.length;
    }
  }
  return out;
}

std::size_t utf16_units(std::string_view text) {
  std::size_t units = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    pos += decode_utf8(text, pos, c);
    units += c > 0xFFFF ? 2 : 1;
  }
  return units;
}

}  // namespace lintkeeper
