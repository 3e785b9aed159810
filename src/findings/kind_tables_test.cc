// Holds the tables of kinds in the documentation to the table of kinds: the index of the kinds'
// pages lists every kind in order, with its severity, the programs that report it and its
// description; the README lists lintkeeper's line kinds in the order of its help.
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "findings/message_kind.h"

namespace lintkeeper {
namespace {

std::string read_source(std::string_view path) {
  std::ifstream in(std::string(LINTKEEPER_SOURCE_DIR) + "/" + std::string(path));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The rows of the Markdown tables of a text whose first cell names a kind (upper case, in
// backticks): the cells of each row, trimmed.
std::vector<std::vector<std::string>> kind_rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t name = line.starts_with("| `") ? 3 : line.starts_with("| [`") ? 4 : 0;
    if (name == 0 || line.size() <= name || line[name] < 'A' || line[name] > 'Z') continue;
    std::vector<std::string> cells;
    std::size_t start = 1;
    for (std::size_t bar; (bar = line.find(" |", start)) != std::string::npos; start = bar + 2) {
      std::string cell = line.substr(start, bar - start);
      cell.erase(0, cell.find_first_not_of(' '));
      cells.push_back(cell);
    }
    rows.push_back(cells);
  }
  return rows;
}

std::string_view programs_word(Programs programs) {
  switch (programs) {
    case Programs::Both:
      return "both";
    case Programs::Lintkeeper:
      return "lintkeeper";
    case Programs::Audit:
      return "lintkeeper-audit";
  }
  return "";
}

TEST(KindTables, PagesIndexListsEveryKind) {
  const auto rows = kind_rows(read_source("docs/kinds/README.md"));
  ASSERT_EQ(rows.size(), KIND_COUNT);
  for (std::size_t i = 0; i < KIND_COUNT; ++i) {
    const KindInfo& kind = MESSAGE_KINDS[i];
    SCOPED_TRACE(kind.name);
    EXPECT_EQ(rows[i], (std::vector<std::string>{fmt::format("[`{}`]({}.md)", kind.name, kind.name),
                                                 std::string(severity_word(kind.severity)),
                                                 std::string(programs_word(kind.programs)),
                                                 std::string(kind.description)}));
  }
}

TEST(KindTables, ReadmeListsTheLineKindsInHelpOrder) {
  const auto rows = kind_rows(read_source("README.md"));
  ASSERT_EQ(rows.size(), HELP_ORDER.size());
  for (std::size_t i = 0; i < HELP_ORDER.size(); ++i) {
    SCOPED_TRACE(kind_name(HELP_ORDER[i]));
    ASSERT_EQ(rows[i].size(), 3u);
    EXPECT_EQ(rows[i][0], fmt::format("`{}`", kind_name(HELP_ORDER[i])));
    EXPECT_EQ(rows[i][1], severity_word(severity_of(HELP_ORDER[i])));
  }
}

}  // namespace
}  // namespace lintkeeper
