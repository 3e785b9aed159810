// Tests trim, validate_utf8, lossy_utf8 and decode_utf8.
#include "base/unicode.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

// Every character of the White_Space set, as UTF-8.
constexpr std::string_view kWhiteSpace[] = {
    "\t",     "\n",     "\v",     "\f",     "\r",     " ",      "\xc2\x85", "\u00a0", "\u1680",
    "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",   "\u2007", "\u2008",
    "\u2009", "\u200a", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000",
};

TEST(Trim, EveryWhiteSpaceCharacterAtBothEnds) {
  for (const std::string_view ws : kWhiteSpace) {
    const std::string text = std::string(ws) + "a" + std::string(ws) + "b" + std::string(ws);
    SCOPED_TRACE(testing::PrintToString(text));
    const std::string inner = "a" + std::string(ws) + "b";
    EXPECT_EQ(trim(text), inner);
    EXPECT_EQ(trim(std::string(ws) + std::string(ws) + "x"), "x");
    EXPECT_EQ(trim("x" + std::string(ws) + std::string(ws)), "x");
    EXPECT_EQ(trim(std::string(ws)), "");
  }
}

TEST(Trim, AllWhiteSpaceMixed) {
  std::string all;
  for (const std::string_view ws : kWhiteSpace) all += ws;
  EXPECT_EQ(trim(all + "x y" + all), "x y");
  EXPECT_EQ(trim(all), "");
  EXPECT_EQ(trim(""), "");
}

// Characters outside White_Space stay, even invisible ones and near neighbours in the
// code charts.
constexpr std::string_view kNotWhiteSpace[] = {
    "\u200b",  // zero width space
    "\u200c",  // zero width non-joiner
    "\u2060",  // word joiner
    "\ufeff",  // zero width no-break space (byte order mark)
    "\u180e",  // Mongolian vowel separator
    "\u00a1", "\xc2\x84", "\u1681", "\u2027", "\u202a", "\u2030",
    "\u205e", "\u3001",   "\x08",   "\x1c",   "\u00e9", "𝐀",
};

TEST(Trim, KeepsOtherCharacters) {
  for (const std::string_view c : kNotWhiteSpace) {
    const std::string text = std::string(c) + "x" + std::string(c);
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(trim(text), text);
    EXPECT_EQ(trim(" " + text + "\u3000"), text);
  }
}

TEST(Trim, ReturnsAViewIntoTheText) {
  const std::string text = "\u3000 a b\t";
  const std::string_view trimmed = trim(text);
  EXPECT_EQ(trimmed, "a b");
  EXPECT_EQ(trimmed.data(), text.data() + 4);
}

TEST(TrimAscii, SameAsTrimOnEveryAsciiText) {
  // Every text of up to three bytes drawn from white space, its neighbours and letters.
  constexpr std::string_view bytes =
      "\t\n\v\f\r \x08\x0e\x1c\x7f"
      "a";
  std::vector<std::string> texts = {""};
  for (int length = 1; length <= 3; ++length) {
    std::vector<std::string> longer;
    for (const std::string& t : texts) {
      for (const char b : bytes) longer.push_back(t + b);
    }
    for (const std::string& t : longer) {
      SCOPED_TRACE(testing::PrintToString(t));
      const std::string_view trimmed = trim_ascii(t);
      EXPECT_EQ(trimmed, trim(t));
      EXPECT_EQ(trimmed.data() - t.data(), trim(t).data() - t.data());
    }
    texts = std::move(longer);
  }
}

struct FaultCase {
  std::string_view bytes;
  std::size_t index;
  std::size_t length;  // 0: the text ends inside a sequence
};

constexpr FaultCase kFaults[] = {
    // Bytes that never start a sequence.
    {"\xff", 0, 1},
    {"\xfe", 0, 1},
    {"\x80", 0, 1},
    {"\xbf", 0, 1},
    {"\xc0\x80", 0, 1},
    {"\xc1\xbf", 0, 1},
    {"\xf5\x80\x80\x80", 0, 1},
    // A second byte outside the range its first byte allows.
    {"\xc2\x41", 0, 1},
    {"\xe0\x80", 0, 1},
    {"\xe0\x9f\xbf", 0, 1},
    {"\xed\xa0\x80", 0, 1},  // a surrogate
    {"\xf0\x80\x80\x80", 0, 1},
    {"\xf4\x90\x80\x80", 0, 1},
    // The sequence breaks off after two or three good bytes.
    {"\xe2\x82\x41", 0, 2},
    {"\xe2\x82\x0a", 0, 2},
    {"\xf0\x9f\x41", 0, 2},
    {"\xf0\x9f\x98\x41", 0, 3},
    {"\xf0\x9f\x98\xf0\x9f\x98\x80", 0, 3},
    // The text ends inside a sequence.
    {"\xc2", 0, 0},
    {"\xe2", 0, 0},
    {"\xe2\x82", 0, 0},
    {"\xf0\x9f", 0, 0},
    {"\xf0\x9f\x98", 0, 0},
    // Indexes are byte offsets of the first bad sequence.
    {"ab\xff", 2, 1},
    {"0123456789abcdef\xff", 16, 1},
    {"0123456789\xe2\x82\x41", 10, 2},
    {"\u00e9\xff", 2, 1},
    {"a\u20ac\xf0\x9f\x98\x41", 4, 3},
    {"a\xffz\xfe", 1, 1},
    {"abcdefgh\xe2\x82", 8, 0},
    {"x\xe2\x82\x0a", 1, 2},
    {"\xe2\x82\xac\xe2\x82", 3, 0},
};

TEST(ValidateUtf8, Faults) {
  for (const FaultCase& c : kFaults) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    Utf8Fault fault{99, 99};
    EXPECT_FALSE(validate_utf8(c.bytes, fault));
    EXPECT_EQ(fault.index, c.index);
    EXPECT_EQ(fault.length, c.length);
  }
}

constexpr std::string_view kValid[] = {
    "",
    "plain ASCII text, longer than eight bytes",
    "\u00e9\u20ac𝐀",
    "\xc2\x80",
    "\xdf\xbf",
    "\xe0\xa0\x80",
    "\xed\x9f\xbf",
    "\xee\x80\x80",
    "\xef\xbf\xbf",
    "\xf0\x90\x80\x80",
    "\xf4\x8f\xbf\xbf",
    "0 3 * * * root date +%F\n",
};

TEST(ValidateUtf8, ValidTextLeavesFaultUntouched) {
  for (const std::string_view text : kValid) {
    SCOPED_TRACE(testing::PrintToString(std::string(text)));
    Utf8Fault fault{99, 98};
    EXPECT_TRUE(validate_utf8(text, fault));
    EXPECT_EQ(fault.index, 99u);
    EXPECT_EQ(fault.length, 98u);
  }
}

struct LossyCase {
  std::string_view bytes;
  std::string_view text;
};

constexpr LossyCase kLossy[] = {
    {"\xff\xfe", "\ufffd\ufffd"},
    {"ab\xe2\x82", "ab\ufffd"},
    {"\xf0\x9f\x98", "\ufffd"},
    {"\xe2\x82\x41", "\ufffdA"},
    {"\xf0\x9f\x98\x41z", "\ufffdAz"},
    {"\xed\xa0\x80", "\ufffd\ufffd\ufffd"},
    {"\xc0\x80", "\ufffd\ufffd"},
    {"a\xffz", "a\ufffdz"},
    {"cr\u00e9\xffme", "cr\u00e9\ufffdme"},
    {"\u00e9\u20ac𝐀", "\u00e9\u20ac𝐀"},
    {"", ""},
};

TEST(LossyUtf8, ReplacesEachBadSequence) {
  for (const LossyCase& c : kLossy) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(lossy_utf8(c.bytes), c.text);
  }
}

struct DecodeCase {
  std::string_view bytes;
  std::size_t pos;
  char32_t c;
  std::size_t length;
};

// One character at pos; a byte that does not start a valid sequence is U+FFFD on its own.
constexpr DecodeCase kDecode[] = {
    {"a", 0, U'a', 1},
    {std::string_view("\0", 1), 0, 0, 1},
    {"x\u00e9", 1, 0xE9, 2},
    {"\u20ac!", 0, 0x20AC, 3},
    {"\u3000", 0, 0x3000, 3},
    {"\U0001D400", 0, 0x1D400, 4},
    {"\xff", 0, 0xFFFD, 1},
    {"\x80\x80", 0, 0xFFFD, 1},
    {"\xc3", 0, 0xFFFD, 1},              // cut short
    {"\xe2\x82", 0, 0xFFFD, 1},          // cut short
    {"\xc0\x80", 0, 0xFFFD, 1},          // overlong
    {"\xed\xa0\x80", 0, 0xFFFD, 1},      // surrogate
    {"\xf4\x90\x80\x80", 0, 0xFFFD, 1},  // above U+10FFFF
    {"\xe3\x80\x80", 1, 0xFFFD, 1},      // inside a sequence
};

TEST(DecodeUtf8, OneCharacterOrOneBadByte) {
  for (const DecodeCase& c : kDecode) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)));
    char32_t decoded = 0;
    EXPECT_EQ(decode_utf8(c.bytes, c.pos, decoded), c.length);
    EXPECT_EQ(static_cast<std::uint32_t>(decoded), static_cast<std::uint32_t>(c.c));
  }
}

}  // namespace
}  // namespace lintkeeper
