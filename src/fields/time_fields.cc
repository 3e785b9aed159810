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

namespace {

// Every allowed name has the same length.
constexpr std::size_t kNameLength = MONTH_NAMES[0].size();
constexpr bool all_names_have_length(std::span<const std::string_view> names) {
  for (const std::string_view name : names) {
    if (name.size() != kNameLength) return false;
  }
  return true;
}
static_assert(all_names_have_length(MONTH_NAMES) && all_names_have_length(WEEKDAY_NAMES));

}  // namespace

bool is_valid_name(const FieldSpec& spec, std::string_view name) {
  return name_value(spec, name).has_value();
}

std::optional<std::uint64_t> name_value(const FieldSpec& spec, std::string_view name) {
  if (name.size() != kNameLength) return std::nullopt;
  // Names hold ASCII letters only, so setting the 0x20 bit lower-cases them.
  char lower[kNameLength];
  for (std::size_t i = 0; i < kNameLength; ++i) lower[i] = static_cast<char>(name[i] | 0x20);
  for (std::size_t i = 0; i < spec.names.size(); ++i) {
    if (spec.names[i] == std::string_view(lower, kNameLength)) return spec.min + i;
  }
  return std::nullopt;
}

}  // namespace lintkeeper
