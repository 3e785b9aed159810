// Text form of items and the name check.
#include "fields/time_fields.h"

#include <variant>

#include "base/overloaded.h"

namespace lintkeeper {

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

bool is_valid_name(const FieldSpec& spec, std::string_view name) {
  // Every allowed name has three letters; names hold ASCII letters only, so setting the
  // 0x20 bit lower-cases them.
  if (name.size() != 3) return false;
  const char lower[3] = {static_cast<char>(name[0] | 0x20), static_cast<char>(name[1] | 0x20),
                         static_cast<char>(name[2] | 0x20)};
  for (const std::string_view allowed : spec.names) {
    if (allowed == std::string_view(lower, 3)) return true;
  }
  return false;
}

void check_name(const FieldSpec& spec, std::string_view name, const FieldItem& item,
                std::vector<std::string>& texts) {
  if (is_valid_name(spec, name)) return;
  texts.push_back(
      fmt::format("{} is not valid for field \"{}\" ({})", name, spec.display_name, item));
}

}  // namespace lintkeeper
