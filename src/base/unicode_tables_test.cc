// Tests that the generated Unicode tables agree with ICU on every code point.
#include "base/unicode_tables.h"

#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include "base/unicode.h"
#include "tools/unicode_rules.h"

namespace lintkeeper {
namespace {

struct Fact {
  const char* name;
  bool (*table)(char32_t);
  bool (*icu)(char32_t);
};
constexpr Fact kFacts[] = {
    {"needs_unicode_escape", [](char32_t c) { return needs_unicode_escape(c); },
     icu_needs_unicode_escape},
    {"is_white_space", [](char32_t c) { return is_white_space(c); }, icu_is_white_space},
};

TEST(UnicodeTables, AgreeWithIcuOnEveryCodePoint) {
  for (const Fact& fact : kFacts) {
    SCOPED_TRACE(fact.name);
    int differences = 0;
    std::string first;  // the first few code points that differ
    const auto check = [&](char32_t c) {
      const bool table = fact.table(c), icu = fact.icu(c);
      if (table == icu) return;
      if (++differences <= 8) first += fmt::format(" U+{:04X} (table {}, ICU {})", +c, table, icu);
    };
    for (char32_t c = 0; c <= 0x10FFFF; ++c) check(c);
    // Not code points: escaped like unassigned ones.
    for (const char32_t c : {0x110000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) check(c);
    EXPECT_EQ(differences, 0) << "first:" << first;
  }
}

}  // namespace
}  // namespace lintkeeper
