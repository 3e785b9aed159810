// The recorded tables of the oracles (tests/oracles): rows of tab-separated cells, whose bytes
// are escaped as "\t", "\\" and "\xNN".
#pragma once

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace lintkeeper::testing {

// The bytes of a cell.
inline std::string unescape_cell(std::string_view cell) {
  const auto hex = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
  std::string out;
  for (std::size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\' || i + 1 == cell.size()) {
      out += cell[i];
    } else if (cell[i + 1] == 't') {
      out += '\t';
      ++i;
    } else if (cell[i + 1] == 'x' && i + 3 < cell.size()) {
      out += static_cast<char>(hex(cell[i + 2]) * 16 + hex(cell[i + 3]));
      i += 3;
    } else {
      out += cell[i + 1];
      ++i;
    }
  }
  return out;
}

// The cells of a row.
inline std::vector<std::string> split_tabs(const std::string& row) {
  std::vector<std::string> cells;
  for (std::size_t start = 0;;) {
    const std::size_t tab = row.find('\t', start);
    cells.push_back(row.substr(start, tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

// The rows of a table of the source tree (a path from its top) after its header line, which
// goes to header when asked for; none when the file cannot be read.
inline std::vector<std::vector<std::string>> read_table(std::string_view path,
                                                        std::string* header = nullptr) {
  std::ifstream in(std::string(LINTKEEPER_SOURCE_DIR) + "/" + std::string(path), std::ios::binary);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);
  if (header != nullptr) *header = line;
  while (std::getline(in, line)) rows.push_back(split_tabs(line));
  return rows;
}

}  // namespace lintkeeper::testing
