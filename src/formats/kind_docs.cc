// The documentation page of each message kind, compiled in.
#include "formats/kind_docs.h"

#include <string>
#include <utility>

namespace lintkeeper {

namespace {

constexpr std::pair<std::string_view, std::string_view> kPages[] = {
#include "formats/kind_docs.inc"
    {"", ""},  // so that the table has a row when there is no page yet
};

}  // namespace

std::string_view kind_doc(MessageKind kind) {
  for (const auto& [name, page] : kPages) {
    if (name == kind_name(kind)) return page;
  }
  return {};
}

std::string doc_summary(std::string_view page) {
  // Past the title line and the blank lines after it, up to the next blank line.
  std::size_t start = page.find('\n');
  start = start == std::string_view::npos ? page.size() : start;
  while (start < page.size() && page[start] == '\n') ++start;
  const std::size_t end = page.find("\n\n", start);
  std::string summary(page.substr(start, end == std::string_view::npos ? end : end - start));
  for (char& c : summary) {
    if (c == '\n') c = ' ';
  }
  while (!summary.empty() && summary.back() == ' ') summary.pop_back();
  return summary;
}

}  // namespace lintkeeper
