// The fixed ASCII character sets of the grammar, as one lookup table.
#pragma once

#include <array>
#include <cstdint>

namespace lintkeeper {

enum CharClass : std::uint8_t {
  kIdentStart = 1 << 0,  // A-Z a-z _
  kIdentChar = 1 << 1,   // identifier start and 0-9
  kFieldChar = 1 << 2,   // A-Z a-z 0-9 * , - /
  kAsciiSpace = 1 << 3,  // tab, line feed, vertical tab, form feed, carriage return, space
  kDigit = 1 << 4,
  kLetter = 1 << 5,
  kUserForbidden = 1 << 6,  // ASCII punctuation other than - . _
};

namespace detail {
constexpr std::array<std::uint8_t, 256> make_char_classes() {
  std::array<std::uint8_t, 256> t{};
  for (int c = 0; c < 256; ++c) {
    std::uint8_t bits = 0;
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    const bool digit = c >= '0' && c <= '9';
    if (letter || c == '_') bits |= kIdentStart;
    if (letter || digit || c == '_') bits |= kIdentChar;
    if (letter || digit || c == '*' || c == ',' || c == '-' || c == '/') bits |= kFieldChar;
    if (c == ' ' || (c >= 0x09 && c <= 0x0D)) bits |= kAsciiSpace;
    if (digit) bits |= kDigit;
    if (letter) bits |= kLetter;
    if ((c >= 0x21 && c <= 0x2C) || c == 0x2F || (c >= 0x3A && c <= 0x40) ||
        (c >= 0x5B && c <= 0x5E) || c == 0x60 || (c >= 0x7B && c <= 0x7E)) {
      bits |= kUserForbidden;
    }
    t[static_cast<std::size_t>(c)] = bits;
  }
  return t;
}
inline constexpr std::array<std::uint8_t, 256> CHAR_CLASSES = make_char_classes();
}  // namespace detail

constexpr bool has_class(char c, CharClass cls) {
  return (detail::CHAR_CLASSES[static_cast<unsigned char>(c)] & cls) != 0;
}

}  // namespace lintkeeper
