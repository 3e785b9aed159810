// Tests that the mask-based column split agrees with the byte-by-byte one, and that it
// takes the ordinary lines it is there for.
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "grammar/parse_line.h"

namespace lintkeeper {
namespace {

constexpr CrontabFlavor SYS = CrontabFlavor::SystemCrontab;
constexpr CrontabFlavor USR = CrontabFlavor::UserCrontab;

std::string describe(const ScheduleColumns& c) {
  std::string out;
  for (const std::string_view f : c.fields) out.append(f).append("|");
  return out.append(c.user).append("|").append(c.command);
}

// When the shortcut splits a line, the split is the byte-by-byte one. Returns whether the
// shortcut took the line.
bool expect_agreement(std::string_view line, CrontabFlavor flavor) {
  const std::optional<ScheduleColumns> fast = split_columns_fast(line, flavor);
  if (!fast) return false;
  const std::optional<ScheduleColumns> slow = split_columns(line, flavor);
  EXPECT_TRUE(slow.has_value()) << '"' << line << '"';
  if (slow) {
    EXPECT_EQ(describe(*fast), describe(*slow)) << '"' << line << '"';
  }
  return true;
}

struct Case {
  std::string_view line;
  CrontabFlavor flavor;
  bool fast;  // whether the shortcut takes it
};

// Lines at the edges of the shortcut: its 63-byte window, non-ASCII white space or
// characters next to a column, and columns that end at the end of the line.
const Case kCases[] = {
    {"0 * * * * root run", SYS, true},
    {"*/5\t1-5 1,15 jan-jun mon-fri www-data cd /srv && make", SYS, true},
    {"0 * * * * run this", USR, true},
    {"0  *\t\t* *  *   root   run", SYS, true},
    {"0 * * * * r\u00e9my run", SYS, false},   // a non-ASCII user name
    {"0 * * * * root\u00a0run", SYS, false},   // no-break space after the user
    {"0 * * * * root \u00a0run", SYS, false},  // ... after ASCII white space
    {"0 * * * *\u00a0root run", SYS, false},   // between a field and the user
    {"0 * * * * \u00e9t\u00e9", USR, false},   // a command that starts non-ASCII
    {"0 * * * * \u3000run", USR, false},       // ideographic space before the command
    {"0 * * * * root", SYS, false},            // no command
    {"0 * * * *", USR, false},                 // no command
    {"0 * * * * root ", SYS, false},           // untrimmed: white space, no command
    {"0 * * x! * root run", SYS, false},       // a character no field may hold
    {std::string_view("0 * * * * ro\0t run", 17), SYS, true},  // NUL is part of a user name
    {"0 * * * * u v", SYS, true},
};

TEST(SplitColumns, ShortcutAgreesOnEdgeCases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << '"' << c.line << '"');
    EXPECT_EQ(split_columns_fast(c.line, c.flavor).has_value(), c.fast);
    expect_agreement(c.line, c.flavor);
  }
}

TEST(SplitColumns, WindowEdge) {
  // The command must start within the first 63 bytes; a user column may end at byte 61.
  for (std::size_t user = 1; user < 60; ++user) {
    const std::string line = "* * * * * " + std::string(user, 'u') + " run";
    SCOPED_TRACE(line);
    EXPECT_EQ(split_columns_fast(line, SYS).has_value(), 10 + user + 1 < 63);
    expect_agreement(line, SYS);
    expect_agreement(line, USR);
  }
  for (std::size_t gap = 1; gap < 70; ++gap) {
    const std::string line = "1 2 3 4 5" + std::string(gap, ' ') + "run";
    SCOPED_TRACE(line);
    EXPECT_EQ(split_columns_fast(line, USR).has_value(), 9 + gap < 63);
    expect_agreement(line, USR);
  }
}

TEST(SplitColumns, ShortcutAgreesOnRandomLines) {
  // Lines shaped like scheduled lines, each column drawn from pieces that matter to the
  // split, so that the shortcut takes some and declines others.
  const std::string long_digits(40, '7');
  const std::string_view columns[] = {
      "*",       "0",        "15",     "1-5",       "*/2",
      "jan-jun", "1,15",     "root",   "r\u00e9my", "x!",
      "#",       "",         "\u00a0", "a\u2003b",  std::string_view("n\0l", 3),
      "\xff",    long_digits};
  const std::string_view gaps[] = {" ",      "  ",      "\t",      " \t ", "\v\r",
                                   "\u00a0", " \u0085", "\u3000 ", ""};
  std::mt19937 random(20261208);
  const auto pick = [&random](const auto& list) {
    return list[std::uniform_int_distribution<std::size_t>(0, std::size(list) - 1)(random)];
  };
  int taken = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string line;
    const int n = std::uniform_int_distribution<int>(5, 8)(random);
    for (int column = 0; column < n; ++column) {
      // Mostly the common pieces: the first seven columns and the first two gaps.
      line.append(random() % 4 != 0 ? columns[random() % 7] : pick(columns));
      if (column + 1 < n) line.append(random() % 4 != 0 ? gaps[random() % 2] : pick(gaps));
    }
    taken += expect_agreement(line, SYS);
    taken += expect_agreement(line, USR);
    if (HasFailure()) return;
  }
  EXPECT_GT(taken, 5000);
}

}  // namespace
}  // namespace lintkeeper
