// Tests of a document's lines and columns, as the protocol and as cron count them.
#include "lsp/text.h"

#include <gtest/gtest.h>

namespace lintkeeper {
namespace {

// U+00A0 (two bytes, one UTF-16 unit) and U+1F600 (four bytes, two units).
constexpr std::string_view kNbsp = "\u00a0";
constexpr std::string_view kEmoji = "\U0001F600";

std::string joined(std::string_view a, std::string_view b, std::string_view c = "") {
  return std::string(a) + std::string(b) + std::string(c);
}

TEST(DocumentText, PositionsAndOffsets) {
  struct Case {
    std::string text;
    std::size_t offset;
    Position position;
  };
  const Case cases[] = {
      {joined("a", kNbsp, "b"), 3, {0, 2}},
      {joined(kEmoji, "c"), 4, {0, 2}},
      {"ab\r\ncd", 4, {1, 0}},
      {"ab\r\ncd", 6, {1, 2}},
      {"a\rb", 2, {1, 0}},
      {"a\n", 2, {1, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const DocumentText text(c.text);
    EXPECT_EQ(text.position_of(c.offset), c.position);
    EXPECT_EQ(text.offset_of(c.position), c.offset);
  }
}

TEST(DocumentText, PositionsThatAreNoOffset) {
  struct Case {
    std::string text;
    Position position;
    std::size_t offset;  // of offset_of
  };
  const Case cases[] = {
      {joined("a", kNbsp, "b"), {0, 99}, 4},  // past the line's end: its end
      {joined(kEmoji, "c"), {0, 1}, 0},       // inside the emoji: its start
      {"ab\r\ncd", {0, 5}, 2},                // the line ends before its "\r\n"
      {"ab\r\ncd", {7, 0}, 6},                // past the last line: the end
      {"", {0, 3}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DocumentText(c.text).offset_of(c.position), c.offset);
  }
  // Between the "\r" and the "\n": the end of the line.
  EXPECT_EQ(DocumentText("ab\r\ncd").position_of(3), (Position{0, 2}));
}

TEST(DocumentText, EditsThatSplitALineBreakTakeItWhole) {
  struct Case {
    std::string text;
    ByteEdit edit;
    TextEdit expected;
  };
  const Case cases[] = {
      // The carriage return of "\r\n" removed: the client sees the break replaced by "\n".
      {"ab\r\ncd", {2, 3, ""}, {{{0, 2}, {1, 0}}, "\n"}},
      // Something put between them.
      {"ab\r\ncd", {3, 3, "x"}, {{{0, 2}, {1, 0}}, "\rx\n"}},
      {"ab\ncd", {2, 3, ""}, {{{0, 2}, {1, 0}}, ""}},
      {joined(kNbsp, "%"), {2, 2, "\\"}, {{{0, 1}, {0, 1}}, "\\"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(DocumentText(c.text).text_edit(c.edit), c.expected);
  }
}

TEST(DocumentText, CronLines) {
  // Cron ends lines at "\n" only; the protocol also at a lone "\r".
  const DocumentText text("a\rb\nc");
  EXPECT_EQ(text.cron_line_count(), 2u);
  EXPECT_EQ(text.cron_line_range(1), (DocumentRange{{0, 0}, {1, 1}}));
  EXPECT_EQ(text.cron_line_range(2), (DocumentRange{{2, 0}, {2, 1}}));
  EXPECT_EQ(text.cron_line_begin(2), 4u);
  EXPECT_EQ(text.cron_line_end(1), 4u);
  EXPECT_EQ(text.cron_line_end(2), 5u);
  EXPECT_EQ(text.cron_line_at(3), 1u);
  EXPECT_EQ(text.cron_line_at(5), 2u);
  EXPECT_EQ(DocumentText("x\r\n").cron_line_range(1), (DocumentRange{{0, 0}, {0, 1}}));
  EXPECT_EQ(DocumentText("").cron_line_range(1), (DocumentRange{{0, 0}, {0, 0}}));
}

}  // namespace
}  // namespace lintkeeper
