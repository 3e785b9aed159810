// The Unicode facts of the core, looked up in the tables that tools/unicode_tables generates
// from ICU at build time (base/unicode_tables.inc in the build tree).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "base/unicode_tables.inc"

namespace lintkeeper {

// Whether the quoted debug form writes c as \u{...} rather than as itself, by the rule of
// tools/unicode_rules.h. Values above U+10FFFF are escaped.
constexpr bool needs_unicode_escape(char32_t c) {
  namespace t = unicode_tables;
  constexpr unsigned kLeafWords = 1u << (t::ESCAPE_LEAF_SHIFT - 6);
  constexpr unsigned kMidSize = 1u << t::ESCAPE_MID_SHIFT;
  if (c > 0x10FFFF) return true;
  const std::size_t mid =
      std::size_t{t::ESCAPE_TOP[c >> (t::ESCAPE_LEAF_SHIFT + t::ESCAPE_MID_SHIFT)]} * kMidSize +
      ((c >> t::ESCAPE_LEAF_SHIFT) & (kMidSize - 1));
  const std::size_t word =
      std::size_t{t::ESCAPE_MID[mid]} * kLeafWords + ((c >> 6) & (kLeafWords - 1));
  return (t::ESCAPE_LEAVES[word] >> (c & 63)) & 1;
}

namespace unicode_tables {

// Every index of the trie stays inside the next stage, and the top covers every code point.
constexpr bool escape_trie_is_closed() {
  constexpr std::size_t kLeafWords = std::size_t{1} << (ESCAPE_LEAF_SHIFT - 6);
  constexpr std::size_t kMidSize = std::size_t{1} << ESCAPE_MID_SHIFT;
  if (ESCAPE_LEAF_SHIFT < 6 ||
      (std::size(ESCAPE_TOP) * kMidSize << ESCAPE_LEAF_SHIFT) != 0x110000 ||
      std::size(ESCAPE_MID) % kMidSize != 0 || std::size(ESCAPE_LEAVES) % kLeafWords != 0) {
    return false;
  }
  for (const auto m : ESCAPE_TOP) {
    if (m >= std::size(ESCAPE_MID) / kMidSize) return false;
  }
  for (const auto leaf : ESCAPE_MID) {
    if (leaf >= std::size(ESCAPE_LEAVES) / kLeafWords) return false;
  }
  return true;
}
static_assert(escape_trie_is_closed());

// The White_Space ranges are in order, apart (not even touching) and within the code points.
constexpr bool white_space_is_sorted() {
  for (std::size_t i = 0; i < std::size(WHITE_SPACE); ++i) {
    const auto [first, last] = WHITE_SPACE[i];
    if (first > last || last > 0x10FFFF) return false;
    if (i > 0 && WHITE_SPACE[i - 1][1] + 1 >= first) return false;
  }
  return true;
}
static_assert(white_space_is_sorted());

}  // namespace unicode_tables

}  // namespace lintkeeper
