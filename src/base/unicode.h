// UTF-8 and the Unicode White_Space set: the few character facts the grammar needs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "base/chars.h"
#include "base/unicode_tables.h"

namespace lintkeeper {

// The Unicode White_Space property, from the generated table.
constexpr bool is_white_space(char32_t c) {
  if (c < 0x80) return is_ascii_space(static_cast<char>(c));
  for (const auto& [first, last] : unicode_tables::WHITE_SPACE) {
    if (c < first) return false;
    if (c <= last) return true;
  }
  return false;
}

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

// The UTF-16 code units of text, as editors and their protocols count columns: two for a
// character outside the Basic Multilingual Plane, one for each byte that is not UTF-8.
std::size_t utf16_units(std::string_view text);

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
