// Tests the text form of the time-field items that messages quote.
#include "fields/time_fields.h"

#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

struct TextCase {
  FieldItem item;
  std::string_view text;
};

// Numbers in decimal without leading zeros, names as written.
const TextCase kTexts[] = {
    {Star{}, "*"},
    {StarStep{15}, "*/15"},
    {StarStep{0}, "*/0"},
    {Time{5}, "5"},
    {Time{18446744073709551615u}, "18446744073709551615"},
    {Range{1, 5}, "1-5"},
    {RangeStep{1, 5, 2}, "1-5/2"},
    {RangeStep{8, 18, 18446744073709551615u}, "8-18/18446744073709551615"},
    {Text{"jan"}, "jan"},
    {Text{"JaN"}, "JaN"},
    {TextRange{"mon", "FRI"}, "mon-FRI"},
    {TextRangeStep{"mon", "fri", 2}, "mon-fri/2"},
    {TextRangeStep{"Jan", "dec", 0}, "Jan-dec/0"},
};

TEST(ItemText, EveryVariant) {
  for (const TextCase& c : kTexts) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(item_text(c.item), c.text);
    EXPECT_EQ(fmt::format("({})", c.item), "(" + std::string(c.text) + ")");
  }
}

}  // namespace
}  // namespace lintkeeper
