// Text form of items and the name check.
#include "fields/time_fields.h"

#include <variant>

namespace lintkeeper {

namespace {
template <class... F>
struct overloaded : F... {
  using F::operator()...;
};
}  // namespace

std::string item_text(const FieldItem& item) {
  return std::visit(
      overloaded{
          [](const Star&) { return std::string("*"); },
          [](const StarStep& s) { return fmt::format("*/{}", s.step); },
          [](const Time& t) { return fmt::format("{}", t.value); },
          [](const Range& r) { return fmt::format("{}-{}", r.start, r.end); },
          [](const RangeStep& r) { return fmt::format("{}-{}/{}", r.start, r.end, r.step); },
          [](const Text& t) { return std::string(t.name); },
          [](const TextRange& r) { return fmt::format("{}-{}", r.start, r.end); },
          [](const TextRangeStep& r) { return fmt::format("{}-{}/{}", r.start, r.end, r.step); },
      },
      item);
}

void check_name(const FieldSpec& spec, std::string_view name, const FieldItem& item,
                std::vector<std::string>& texts) {
  for (const std::string_view allowed : spec.names) {
    if (allowed.size() != name.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < name.size() && same; ++i) {
      char c = name[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == allowed[i];
    }
    if (same) return;
  }
  texts.push_back(
      fmt::format("{} is not valid for field \"{}\" ({})", name, spec.display_name, item));
}

}  // namespace lintkeeper
