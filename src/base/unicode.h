// UTF-8 and the Unicode White_Space set: the few character facts the grammar needs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/chars.h"

namespace lintkeeper {

// The characters of the Unicode White_Space property above ASCII, as inclusive ranges.
struct CodePointRange {
  char32_t first, last;
};
inline constexpr auto NON_ASCII_WHITE_SPACE = std::to_array<CodePointRange>({
    {0x85, 0x85},
    {0xA0, 0xA0},
    {0x1680, 0x1680},
    {0x2000, 0x200A},
    {0x2028, 0x2029},
    {0x202F, 0x202F},
    {0x205F, 0x205F},
    {0x3000, 0x3000},
});

// The Unicode White_Space property.
constexpr bool is_white_space(char32_t c) {
  if (c < 0x80) return is_ascii_space(static_cast<char>(c));
  for (const CodePointRange& range : NON_ASCII_WHITE_SPACE) {
    if (c >= range.first && c <= range.last) return true;
  }
  return false;
}

namespace detail {
// The first byte of the UTF-8 form of c.
constexpr unsigned char utf8_lead_byte(char32_t c) {
  if (c < 0x80) return static_cast<unsigned char>(c);
  if (c < 0x800) return static_cast<unsigned char>(0xC0 | (c >> 6));
  if (c < 0x10000) return static_cast<unsigned char>(0xE0 | (c >> 12));
  return static_cast<unsigned char>(0xF0 | (c >> 18));
}
constexpr std::array<bool, 256> make_white_space_leads() {
  std::array<bool, 256> leads{};
  for (const CodePointRange& range : NON_ASCII_WHITE_SPACE) {
    for (char32_t c = range.first; c <= range.last; ++c) leads[utf8_lead_byte(c)] = true;
  }
  return leads;
}
}  // namespace detail

// The bytes that start the UTF-8 form of a non-ASCII white-space character: any other
// byte needs no decoding to know that no white space starts there.
inline constexpr std::array<bool, 256> WHITE_SPACE_LEAD_BYTES = detail::make_white_space_leads();

// Decodes the character at pos (pos < text.size()) into c and returns its length in
// bytes. Bytes that do not form valid UTF-8 are taken one at a time as U+FFFD.
std::size_t decode_utf8(std::string_view text, std::size_t pos, char32_t& c);

std::size_t white_space_at_slow(std::string_view text, std::size_t pos);

// Length in bytes of the white-space character at pos, or 0 if there is none.
inline std::size_t white_space_at(std::string_view text, std::size_t pos) {
  if (static_cast<unsigned char>(text[pos]) < 0x80) return is_ascii_space(text[pos]) ? 1 : 0;
  return white_space_at_slow(text, pos);
}

// Removes white space at both ends.
std::string_view trim(std::string_view text);

// The same as trim for text known to be ASCII, without decoding.
inline std::string_view trim_ascii(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && is_ascii_space(text[begin])) ++begin;
  while (end > begin && is_ascii_space(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

// The first fault of a byte string that is not valid UTF-8.
struct Utf8Fault {
  std::size_t index;   // byte offset where the bad sequence starts
  std::size_t length;  // bytes of the maximal invalid prefix (1 to 3); 0 if the text ends
                       // inside an unfinished sequence
};
// Returns true and leaves fault untouched when text is valid UTF-8.
bool validate_utf8(std::string_view text, Utf8Fault& fault);

// Decodes text, replacing each maximal invalid sequence by one U+FFFD.
std::string lossy_utf8(std::string_view text);

}  // namespace lintkeeper
