// Tests parse_field: the items of a time field, its two error forms, saturation and names.
#include "fields/parse_field.h"

#include <string_view>

#include <gtest/gtest.h>

#include "grammar/print.h"

namespace lintkeeper {
namespace {

struct Case {
  std::string_view token;
  std::string_view debug;  // format_debug of the parsed Field
};

// One row per token: the items recognised and the error text, if any.
constexpr Case kItemsAndErrors[] = {
    // Whole fields.
    {"*", R"(Field { text: "*", items: [Star], error: None })"},
    {"*,*", R"(Field { text: "*,*", items: [Star, Star], error: None })"},
    {"*/0", R"(Field { text: "*/0", items: [StarStep(0)], error: None })"},
    {"1-5,*/2,jan",
     R"(Field { text: "1-5,*/2,jan", items: [Range { start: 1, end: 5 }, StarStep(2), )"
     R"(Text("jan")], error: None })"},
    {"JAN-dec/2", R"(Field { text: "JAN-dec/2", items: [TextRangeStep { start: "JAN", end: "dec", )"
                  R"(step: 2 }], error: None })"},
    {"janvier", R"(Field { text: "janvier", items: [Text("janvier")], error: None })"},
    {"007", R"(Field { text: "007", items: [Time(7)], error: None })"},
    {"99999999999999999999",
     R"(Field { text: "99999999999999999999", items: [Time(18446744073709551615)], )"
     R"(error: None })"},
    {"1-5/2", R"(Field { text: "1-5/2", items: [RangeStep { start: 1, end: 5, step: 2 }], )"
              R"(error: None })"},
    {"mon-fri", R"(Field { text: "mon-fri", items: [TextRange { start: "mon", end: "fri" }], )"
                R"(error: None })"},
    {"3,15", R"(Field { text: "3,15", items: [Time(3), Time(15)], error: None })"},
    // The token ends where an item or a required part of it would start.
    {"", R"(Field { text: "", items: [], error: Some("\"\" is incomplete") })"},
    {"1,", R"(Field { text: "1,", items: [], error: Some("\"1,\" is incomplete") })"},
    {"1,2,", R"(Field { text: "1,2,", items: [Time(1)], error: Some("\"1,2,\" is incomplete") })"},
    {"*/", R"(Field { text: "*/", items: [], error: Some("\"*/\" is incomplete") })"},
    {"1-", R"(Field { text: "1-", items: [], error: Some("\"1-\" is incomplete") })"},
    {"1-5/", R"(Field { text: "1-5/", items: [], error: Some("\"1-5/\" is incomplete") })"},
    {"jan-", R"(Field { text: "jan-", items: [], error: Some("\"jan-\" is incomplete") })"},
    {"jan-feb/",
     R"(Field { text: "jan-feb/", items: [], error: Some("\"jan-feb/\" is incomplete") })"},
    {"*,1-", R"(Field { text: "*,1-", items: [Star], error: Some("\"*,1-\" is incomplete") })"},
    // A character that does not fit, marked in context.
    {",1", R"(Field { text: ",1", items: [], error: Some("\"[[,]]1\"") })"},
    {"1,,2", R"(Field { text: "1,,2", items: [Time(1)], error: Some("\"1,[[,]]2\"") })"},
    {"1,,", R"(Field { text: "1,,", items: [Time(1)], error: Some("\"1,[[,]]\"") })"},
    {"*/x", R"(Field { text: "*/x", items: [], error: Some("\"*/[[x]]\"") })"},
    {"*x", R"(Field { text: "*x", items: [], error: Some("\"*[[x]]\"") })"},
    {"*-5", R"(Field { text: "*-5", items: [], error: Some("\"*[[-]]5\"") })"},
    {"1/5", R"(Field { text: "1/5", items: [], error: Some("\"1[[/]]5\"") })"},
    {"1-x", R"(Field { text: "1-x", items: [], error: Some("\"1-[[x]]\"") })"},
    {"1-5-7", R"(Field { text: "1-5-7", items: [], error: Some("\"1-5[[-]]7\"") })"},
    {"*/5/2", R"(Field { text: "*/5/2", items: [], error: Some("\"*/5[[/]]2\"") })"},
    {"jan-5", R"(Field { text: "jan-5", items: [], error: Some("\"jan-[[5]]\"") })"},
    {"jan/2", R"(Field { text: "jan/2", items: [], error: Some("\"jan[[/]]2\"") })"},
    {"jan-feb/x", R"(Field { text: "jan-feb/x", items: [], error: Some("\"jan-feb/[[x]]\"") })"},
    {"+5", R"(Field { text: "+5", items: [], error: Some("\"[[+]]5\"") })"},
    {"-5", R"(Field { text: "-5", items: [], error: Some("\"[[-]]5\"") })"},
    {"é", R"(Field { text: "é", items: [], error: Some("\"[[é]]\"") })"},
    {"1,é5", R"(Field { text: "1,é5", items: [Time(1)], error: Some("\"1,[[é]]5\"") })"},
    {"5€,6", R"(Field { text: "5€,6", items: [], error: Some("\"5[[€]],6\"") })"},
    {"1,2,x5",
     R"(Field { text: "1,2,x5", items: [Time(1), Time(2)], error: Some("\"1,2,x[[5]]\"") })"},
    {"1,2x", R"(Field { text: "1,2x", items: [Time(1)], error: Some("\"1,2[[x]]\"") })"},
};

TEST(ParseField, ItemsAndErrors) {
  for (const Case& c : kItemsAndErrors) {
    SCOPED_TRACE(c.token);
    EXPECT_EQ(format_debug(parse_field(c.token)), c.debug);
  }
}

// Digit runs beyond 64 bits take the largest value, in every numeric position; leading
// zeros never count towards that.
constexpr Case kNumbers[] = {
    {"18446744073709551615",
     R"(Field { text: "18446744073709551615", items: [Time(18446744073709551615)], )"
     R"(error: None })"},
    {"18446744073709551616",
     R"(Field { text: "18446744073709551616", items: [Time(18446744073709551615)], )"
     R"(error: None })"},
    {"18446744073709551610",
     R"(Field { text: "18446744073709551610", items: [Time(18446744073709551610)], )"
     R"(error: None })"},
    {"184467440737095516150",
     R"(Field { text: "184467440737095516150", items: [Time(18446744073709551615)], )"
     R"(error: None })"},
    {"*/99999999999999999999",
     R"(Field { text: "*/99999999999999999999", items: [StarStep(18446744073709551615)], )"
     R"(error: None })"},
    {"99999999999999999999-1/123456789012345678901234567890",
     R"(Field { text: "99999999999999999999-1/123456789012345678901234567890", items: )"
     R"([RangeStep { start: 18446744073709551615, end: 1, step: 18446744073709551615 }], )"
     R"(error: None })"},
    {"1-99999999999999999999",
     R"(Field { text: "1-99999999999999999999", items: [Range { start: 1, )"
     R"(end: 18446744073709551615 }], error: None })"},
    {"mon-fri/99999999999999999999",
     R"(Field { text: "mon-fri/99999999999999999999", items: [TextRangeStep { )"
     R"(start: "mon", end: "fri", step: 18446744073709551615 }], error: None })"},
    {"00", R"(Field { text: "00", items: [Time(0)], error: None })"},
    {"0000000000000000000000000000001",
     R"(Field { text: "0000000000000000000000000000001", items: [Time(1)], error: None })"},
    {"0007-010/002",
     R"(Field { text: "0007-010/002", items: [RangeStep { start: 7, end: 10, step: 2 }], )"
     R"(error: None })"},
    {"*/05", R"(Field { text: "*/05", items: [StarStep(5)], error: None })"},
};

TEST(ParseField, SaturationAndLeadingZeros) {
  for (const Case& c : kNumbers) {
    SCOPED_TRACE(c.token);
    EXPECT_EQ(format_debug(parse_field(c.token)), c.debug);
  }
}

// Names keep the case in which they were written, whatever the mix.
constexpr Case kNames[] = {
    {"Jan", R"(Field { text: "Jan", items: [Text("Jan")], error: None })"},
    {"mOn", R"(Field { text: "mOn", items: [Text("mOn")], error: None })"},
    {"SUN-sat", R"(Field { text: "SUN-sat", items: [TextRange { start: "SUN", end: "sat" }], )"
                R"(error: None })"},
    {"Jan-DEC/3", R"(Field { text: "Jan-DEC/3", items: [TextRangeStep { start: "Jan", end: "DEC", )"
                  R"(step: 3 }], error: None })"},
    {"JAN,feb-MAR",
     R"(Field { text: "JAN,feb-MAR", items: [Text("JAN"), TextRange { start: "feb", )"
     R"(end: "MAR" }], error: None })"},
};

TEST(ParseField, NamesAsWritten) {
  for (const Case& c : kNames) {
    SCOPED_TRACE(c.token);
    EXPECT_EQ(format_debug(parse_field(c.token)), c.debug);
  }
}

}  // namespace
}  // namespace lintkeeper
