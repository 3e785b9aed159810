// Writes the Unicode tables of the core (unicode_tables.inc) from the ICU it is linked with.
//
// Usage: unicode_tables OUTPUT
//
// needs_unicode_escape becomes a three-stage trie of bits: a top index per block of code
// points, deduplicated middle blocks of leaf numbers and deduplicated leaves of 64-bit words.
// Of the shapes tried, the smallest is written. White_Space, a few dozen code points, becomes a
// list of ranges.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <unicode/uchar.h>
#include <unicode/uversion.h>

#include "tools/unicode_rules.h"

namespace lintkeeper {
namespace {

constexpr std::uint32_t kCodePoints = 0x110000;  // 17 planes: 17 << 16

struct Trie {
  int leaf_shift = 0;  // 1 << leaf_shift code points a leaf, at least one word
  int mid_shift = 0;   // 1 << mid_shift leaves a middle block
  std::vector<std::uint32_t> top;
  std::vector<std::uint32_t> mid;
  std::vector<std::uint64_t> leaves;
};

// Bytes of the narrowest unsigned type that holds every value below count.
std::size_t index_width(std::size_t count) { return count <= 0x100 ? 1 : 2; }

std::size_t trie_bytes(const Trie& t) {
  const std::size_t words_a_leaf = std::size_t{1} << (t.leaf_shift - 6);
  return t.top.size() * index_width(t.mid.size() >> t.mid_shift) +
         t.mid.size() * index_width(t.leaves.size() / words_a_leaf) +
         t.leaves.size() * sizeof(std::uint64_t);
}

// Splits items into blocks of block_size, appends each distinct block once to unique and
// returns the block numbers in order.
template <typename T>
std::vector<std::uint32_t> deduplicate(const std::vector<T>& items, std::size_t block_size,
                                       std::vector<T>& unique) {
  std::map<std::vector<T>, std::uint32_t> numbers;
  std::vector<std::uint32_t> order;
  for (std::size_t i = 0; i < items.size(); i += block_size) {
    std::vector<T> block(items.begin() + static_cast<std::ptrdiff_t>(i),
                         items.begin() + static_cast<std::ptrdiff_t>(i + block_size));
    const auto [it, added] = numbers.try_emplace(block, static_cast<std::uint32_t>(numbers.size()));
    if (added) unique.insert(unique.end(), block.begin(), block.end());
    order.push_back(it->second);
  }
  return order;
}

Trie make_trie(const std::vector<std::uint64_t>& words, int leaf_shift, int mid_shift) {
  Trie t;
  t.leaf_shift = leaf_shift;
  t.mid_shift = mid_shift;
  const std::vector<std::uint32_t> leaf_numbers =
      deduplicate(words, std::size_t{1} << (leaf_shift - 6), t.leaves);
  t.top = deduplicate(leaf_numbers, std::size_t{1} << mid_shift, t.mid);
  return t;
}

Trie smallest_trie(const std::vector<std::uint64_t>& words) {
  Trie best;
  for (int leaf_shift = 6; leaf_shift <= 9; ++leaf_shift) {
    for (int mid_shift = 1; leaf_shift + mid_shift <= 16; ++mid_shift) {
      Trie t = make_trie(words, leaf_shift, mid_shift);
      if (best.top.empty() || trie_bytes(t) < trie_bytes(best)) best = std::move(t);
    }
  }
  return best;
}

// One bit per code point, in 64-bit words.
template <typename Predicate>
std::vector<std::uint64_t> code_point_bits(Predicate has) {
  std::vector<std::uint64_t> words(kCodePoints / 64);
  for (char32_t c = 0; c < kCodePoints; ++c) {
    if (has(c)) words[c / 64] |= std::uint64_t{1} << (c % 64);
  }
  return words;
}

// [first, last] pairs of the code points that have the property.
template <typename Predicate>
std::vector<std::pair<char32_t, char32_t>> code_point_ranges(Predicate has) {
  std::vector<std::pair<char32_t, char32_t>> ranges;
  for (char32_t c = 0; c < kCodePoints; ++c) {
    if (!has(c)) continue;
    if (!ranges.empty() && ranges.back().second + 1 == c) {
      ranges.back().second = c;
    } else {
      ranges.emplace_back(c, c);
    }
  }
  return ranges;
}

// Writes the values as a C++ array, wrapped to 100 columns.
template <typename T>
void write_array(std::FILE* out, const char* type, const char* name, const std::vector<T>& values,
                 const char* format) {
  std::fprintf(out, "inline constexpr %s %s[%zu] = {", type, name, values.size());
  std::size_t column = 100;
  for (const T value : values) {
    char item[32];
    const int n = std::snprintf(item, sizeof item, format, static_cast<unsigned long long>(value));
    if (column + static_cast<std::size_t>(n) + 2 > 100) {
      std::fputs("\n   ", out);
      column = 3;
    }
    std::fprintf(out, " %s,", item);
    column += static_cast<std::size_t>(n) + 2;
  }
  std::fputs("\n};\n", out);
}

void write_trie(std::FILE* out, const char* name, const Trie& t) {
  const std::string prefix = name;
  const std::size_t words_a_leaf = std::size_t{1} << (t.leaf_shift - 6);
  std::fprintf(out, "inline constexpr int %s_LEAF_SHIFT = %d;\n", name, t.leaf_shift);
  std::fprintf(out, "inline constexpr int %s_MID_SHIFT = %d;\n", name, t.mid_shift);
  const auto type = [](std::size_t count) {
    return index_width(count) == 1 ? "std::uint8_t" : "std::uint16_t";
  };
  write_array(out, type(t.mid.size() >> t.mid_shift), (prefix + "_TOP").c_str(), t.top, "%llu");
  write_array(out, type(t.leaves.size() / words_a_leaf), (prefix + "_MID").c_str(), t.mid, "%llu");
  write_array(out, "std::uint64_t", (prefix + "_LEAVES").c_str(), t.leaves, "0x%llx");
}

void write_tables(std::FILE* out) {
  UVersionInfo icu{}, unicode{};
  u_getVersion(icu);
  u_getUnicodeVersion(unicode);
  char icu_text[U_MAX_VERSION_STRING_LENGTH], unicode_text[U_MAX_VERSION_STRING_LENGTH];
  u_versionToString(icu, icu_text);
  u_versionToString(unicode, unicode_text);

  const Trie escape = smallest_trie(code_point_bits(icu_needs_unicode_escape));
  std::fprintf(out, "// Generated by tools/unicode_tables from ICU %s (Unicode %s): do not edit.\n",
               icu_text, unicode_text);
  std::fputs("#include <cstdint>\n\nnamespace lintkeeper::unicode_tables {\n\n", out);
  std::fprintf(out, "// needs_unicode_escape: a trie of %zu bytes.\n", trie_bytes(escape));
  write_trie(out, "ESCAPE", escape);

  std::fputs("\n// White_Space: [first, last] ranges.\n", out);
  std::fputs("inline constexpr char32_t WHITE_SPACE[][2] = {\n", out);
  for (const auto& [first, last] : code_point_ranges(icu_is_white_space)) {
    std::fprintf(out, "    {0x%x, 0x%x},\n", static_cast<unsigned>(first),
                 static_cast<unsigned>(last));
  }
  std::fputs("};\n\n}  // namespace lintkeeper::unicode_tables\n", out);
}

}  // namespace
}  // namespace lintkeeper

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  lintkeeper::write_tables(out);
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
