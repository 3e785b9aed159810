// The ASCII character facts: each set defined once, and a lookup table of the sets.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace lintkeeper {

// ASCII white space: the space and the controls from tab to carriage return.
inline constexpr char kSpace = ' ';
inline constexpr char kFirstSpaceControl = '\t';
inline constexpr char kLastSpaceControl = '\r';

constexpr bool is_ascii_space(char c) {
  return c == kSpace || (c >= kFirstSpaceControl && c <= kLastSpaceControl);
}
// Plain comparisons: they need no memory access.
constexpr bool is_ascii_digit(char c) { return static_cast<unsigned char>(c - '0') <= 9; }
constexpr bool is_ascii_letter(char c) {
  return static_cast<unsigned char>((c | 0x20) - 'a') <= 'z' - 'a';
}
constexpr char ascii_lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}
// The blanks that part a crontab's fields: space and tab.
constexpr bool is_ascii_blank(char c) { return c == ' ' || c == '\t'; }

enum CharClass : std::uint8_t {
  kIdentStart = 1 << 0,     // A-Z a-z _
  kIdentChar = 1 << 1,      // identifier start and 0-9
  kFieldChar = 1 << 2,      // A-Z a-z 0-9 * , - /
  kUserForbidden = 1 << 3,  // ASCII punctuation other than - . _
  kNameChar = 1 << 4,       // identifier characters and -
};

namespace detail {
constexpr bool is_punctuation(int c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') ||
         (c >= '{' && c <= '~');
}
constexpr std::array<std::uint8_t, 256> make_char_classes() {
  std::array<std::uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    const bool letter = is_ascii_letter(c), digit = is_ascii_digit(c);
    std::uint8_t bits = 0;
    if (letter || c == '_') bits |= kIdentStart;
    if (letter || digit || c == '_') bits |= kIdentChar;
    if (letter || digit || c == '*' || c == ',' || c == '-' || c == '/') bits |= kFieldChar;
    if (is_punctuation(i) && c != '-' && c != '.' && c != '_') bits |= kUserForbidden;
    if (letter || digit || c == '_' || c == '-') bits |= kNameChar;
    t[static_cast<std::size_t>(i)] = bits;
  }
  return t;
}
inline constexpr std::array<std::uint8_t, 256> CHAR_CLASSES = make_char_classes();
}  // namespace detail

constexpr bool has_class(char c, CharClass cls) {
  return (detail::CHAR_CLASSES[static_cast<unsigned char>(c)] & cls) != 0;
}

// [A-Za-z0-9_-]+: the names run-parts runs, and the crontab names that are always accepted.
constexpr bool is_portable_name(std::string_view name) {
  for (const char c : name) {
    if (!has_class(c, kNameChar)) return false;
  }
  return !name.empty();
}

}  // namespace lintkeeper
