// Schedule checks: limits, ranges, steps and names of the five time fields.
#include "fields/check_fields.h"

#include <string>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "base/overloaded.h"
#include "fields/time_fields.h"

namespace lintkeeper {

namespace {

class ItemChecks {
 public:
  ItemChecks(const FieldSpec& spec, const FieldItem& item, std::vector<std::string>& texts)
      : spec_(spec), item_(item), texts_(texts) {}

  void too_low(std::uint64_t n) {
    texts_.push_back(
        fmt::format("{} is too low for field \"{}\" ({})", n, spec_.display_name, item_));
  }
  void too_high(std::uint64_t n) {
    texts_.push_back(
        fmt::format("{} is too high for field \"{}\" ({})", n, spec_.display_name, item_));
  }
  void low(std::uint64_t n) {
    if (n < spec_.min) too_low(n);
  }
  void high(std::uint64_t n) {
    if (n > spec_.max) too_high(n);
  }
  void order(std::uint64_t start, std::uint64_t end) {
    if (start > end) {
      texts_.push_back(fmt::format("{} is greater than {} in field \"{}\" ({})", start, end,
                                   spec_.display_name, item_));
    }
  }
  void step(std::uint64_t step) {
    if (step == 0) too_low(0);
  }
  void step_over_end(std::uint64_t step, std::uint64_t end) {
    if (step > end) {
      texts_.push_back(
          fmt::format("the step ({}) is greater than the last number ({}) in field \"{}\" ({})",
                      step, end, spec_.display_name, item_));
    }
  }
  void name(std::string_view name) { check_name(spec_, name, item_, texts_); }

 private:
  const FieldSpec& spec_;
  const FieldItem& item_;
  std::vector<std::string>& texts_;
};

void check_item(const FieldSpec& spec, const FieldItem& item, std::vector<std::string>& texts) {
  ItemChecks c(spec, item, texts);
  std::visit(overloaded{
                 [](const Star&) {},
                 [&](const StarStep& s) {
                   c.step(s.step);
                   c.high(s.step);
                 },
                 [&](const Time& t) {
                   c.low(t.value);
                   c.high(t.value);
                 },
                 [&](const Range& r) {
                   c.order(r.start, r.end);
                   c.low(r.start);
                   c.high(r.end);
                 },
                 [&](const RangeStep& r) {
                   c.order(r.start, r.end);
                   c.low(r.start);
                   c.high(r.end);
                   c.step(r.step);
                   c.step_over_end(r.step, r.end);
                   c.high(r.step);
                 },
                 [&](const Text& t) { c.name(t.name); },
                 [&](const TextRange& r) {
                   c.name(r.start);
                   c.name(r.end);
                 },
                 [&](const TextRangeStep& r) {
                   c.name(r.start);
                   c.name(r.end);
                   c.step(r.step);
                   c.high(r.step);
                 },
             },
             item);
}

template <typename T>
const T& as(const FieldItem& item) {
  return *std::get_if<T>(&item);
}

// Whether check_item would find nothing to report: true for most items, which are then
// passed over without building any text.
bool is_clean(const FieldSpec& spec, const FieldItem& item) {
  const auto in_limits = [&spec](std::uint64_t n) { return n >= spec.min && n <= spec.max; };
  const auto named = [&spec](std::string_view name) { return is_valid_name(spec, name); };
  const auto step_ok = [&spec](std::uint64_t step) { return step != 0 && step <= spec.max; };
  switch (item.index()) {
    case 0:  // Star
      return true;
    case 1:  // StarStep
      return step_ok(as<StarStep>(item).step);
    case 2:  // Time
      return in_limits(as<Time>(item).value);
    case 3: {
      const Range& r = as<Range>(item);
      return r.start <= r.end && in_limits(r.start) && in_limits(r.end);
    }
    case 4: {
      const RangeStep& r = as<RangeStep>(item);
      return r.start <= r.end && in_limits(r.start) && in_limits(r.end) && step_ok(r.step) &&
             r.step <= r.end;
    }
    case 5:
      return named(as<Text>(item).name);
    case 6: {
      const TextRange& r = as<TextRange>(item);
      return named(r.start) && named(r.end);
    }
    case 7: {
      const TextRangeStep& r = as<TextRangeStep>(item);
      return named(r.start) && named(r.end) && step_ok(r.step);
    }
    default:
      return false;
  }
}

bool is_lone_star(const Field& field) {
  return field.items.size() == 1 && std::holds_alternative<Star>(field.items.front());
}

}  // namespace

void check_fields(const ScheduleFields& fields, Report& report) {
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const Field& field = *fields[i];
    const FieldSpec& spec = TIME_FIELDS[i];
    if (field.error) {
      report.add_error(MessageKind::FIELD_PARSE_ERROR,
                       "Failed to fully parse \"{}\" field here: {}", spec.display_name,
                       *field.error);
    }
    for (const FieldItem& item : field.items) {
      // Stars and numbers, the most common items, are tested before the other kinds.
      if (std::holds_alternative<Star>(item)) continue;
      if (const Time* time = std::get_if<Time>(&item)) {
        if (time->value >= spec.min && time->value <= spec.max) continue;
      } else if (is_clean(spec, item)) {
        continue;
      }
      texts.clear();
      check_item(spec, item, texts);
      for (const std::string& text : texts) {
        report.add_error(MessageKind::FIELD_VALUE_ERROR, std::string_view(text));
      }
    }
  }
  const Field& minutes = *fields[0];
  const Field& hours = *fields[1];
  const bool every_minute = minutes.items.empty() || is_lone_star(minutes);
  const bool fixed_hours = !hours.items.empty() && !is_lone_star(hours);
  if (every_minute && fixed_hours) {
    report.add_warning(MessageKind::HOURS_NOT_MINUTES,
                       std::string_view("Cron will run this every minute for the hours set."));
  }
}

}  // namespace lintkeeper
