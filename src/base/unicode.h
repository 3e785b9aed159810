// UTF-8 and the Unicode White_Space set: the few character facts the grammar needs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lintkeeper {

// The Unicode White_Space property.
constexpr bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Decodes the character at pos (pos < text.size()) into c and returns its length in
// bytes. Bytes that do not form valid UTF-8 are taken one at a time as U+FFFD.
std::size_t decode_utf8(std::string_view text, std::size_t pos, char32_t& c);

std::size_t white_space_at_slow(std::string_view text, std::size_t pos);

// Length in bytes of the white-space character at pos, or 0 if there is none.
inline std::size_t white_space_at(std::string_view text, std::size_t pos) {
  const auto b0 = static_cast<unsigned char>(text[pos]);
  if (b0 < 0x80) return (b0 == 0x20 || (b0 >= 0x09 && b0 <= 0x0D)) ? 1 : 0;
  return white_space_at_slow(text, pos);
}

// Removes white space at both ends.
std::string_view trim(std::string_view text);

// The same as trim for text known to be ASCII, without decoding.
inline std::string_view trim_ascii(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || (c >= 0x09 && c <= 0x0D); };
  std::size_t begin = 0, end = text.size();
  while (begin < end && space(text[begin])) ++begin;
  while (end > begin && space(text[end - 1])) --end;
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
