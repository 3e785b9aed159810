// Schedule checks: limits, ranges, steps and names of the five time fields.
#include "fields/check_fields.h"

#include <string>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "fields/time_fields.h"

namespace lintkeeper {

namespace {

// Reports each problem of one item to its sink: the sink is called once per problem, with
// the kind of problem and its numbers or name, and nothing is built for an item without one.
template <typename Sink>
class ItemChecks {
 public:
  ItemChecks(const FieldSpec& spec, Sink& sink) : spec_(spec), sink_(sink) {}

  void low(std::uint64_t n) {
    if (n < spec_.min) sink_.too_low(n);
  }
  void high(std::uint64_t n) {
    if (n > spec_.max) sink_.too_high(n);
  }
  void order(std::uint64_t start, std::uint64_t end) {
    if (start > end) sink_.reversed(start, end);
  }
  void step_zero(std::uint64_t step) {
    if (step == 0) sink_.too_low(0);
  }
  void step_over_end(std::uint64_t step, std::uint64_t end) {
    if (step > end) sink_.step_over_end(step, end);
  }
  void name(std::string_view name) {
    if (!is_valid_name(spec_, name)) sink_.bad_name(name);
  }

 private:
  const FieldSpec& spec_;
  Sink& sink_;
};

// The rules of each kind of item, in the order in which their messages come.
template <typename Sink>
struct ItemRules {
  ItemChecks<Sink> c;

  void operator()(const Star&) {}
  void operator()(const StarStep& s) {
    c.step_zero(s.step);
    c.high(s.step);
  }
  void operator()(const Time& t) {
    c.low(t.value);
    c.high(t.value);
  }
  void operator()(const Range& r) {
    c.order(r.start, r.end);
    c.low(r.start);
    c.high(r.end);
  }
  void operator()(const RangeStep& r) {
    c.order(r.start, r.end);
    c.low(r.start);
    c.high(r.end);
    c.step_zero(r.step);
    c.step_over_end(r.step, r.end);
    c.high(r.step);
  }
  void operator()(const Text& t) { c.name(t.name); }
  void operator()(const TextRange& r) {
    c.name(r.start);
    c.name(r.end);
  }
  void operator()(const TextRangeStep& r) {
    c.name(r.start);
    c.name(r.end);
    c.step_zero(r.step);
    c.high(r.step);
  }
};

template <typename Sink>
void check_item(const FieldSpec& spec, const FieldItem& item, Sink& sink) {
  ItemRules<Sink> rules{ItemChecks<Sink>(spec, sink)};
  // Stars and numbers, the most common items, are told apart before the other kinds.
  if (std::holds_alternative<Star>(item)) return;
  if (const Time* time = std::get_if<Time>(&item)) return rules(*time);
  std::visit(rules, item);
}

// Writes each problem of an item as a FIELD_VALUE_ERROR.
class MessageSink {
 public:
  MessageSink(const FieldSpec& spec, const FieldItem& item, LineFindings& found)
      : spec_(spec), item_(item), found_(found) {}

  void too_low(std::uint64_t n) {
    add("{} is too low for field \"{}\" ({})", n, spec_.display_name, item_);
  }
  void too_high(std::uint64_t n) {
    add("{} is too high for field \"{}\" ({})", n, spec_.display_name, item_);
  }
  void reversed(std::uint64_t start, std::uint64_t end) {
    add("{} is greater than {} in field \"{}\" ({})", start, end, spec_.display_name, item_);
  }
  void step_over_end(std::uint64_t step, std::uint64_t end) {
    add("the step ({}) is greater than the last number ({}) in field \"{}\" ({})", step, end,
        spec_.display_name, item_);
  }
  void bad_name(std::string_view name) {
    add("{} is not valid for field \"{}\" ({})", name, spec_.display_name, item_);
  }

 private:
  template <typename... T>
  void add(fmt::format_string<T...> format, T&&... args) {
    found_.add(MessageKind::FIELD_VALUE_ERROR, format, std::forward<T>(args)...);
  }

  const FieldSpec& spec_;
  const FieldItem& item_;
  LineFindings& found_;
};

// Notes that an item has a problem, and nothing more.
struct NoteProblem {
  bool found = false;
  void too_low(std::uint64_t) { found = true; }
  void too_high(std::uint64_t) { found = true; }
  void reversed(std::uint64_t, std::uint64_t) { found = true; }
  void step_over_end(std::uint64_t, std::uint64_t) { found = true; }
  void bad_name(std::string_view) { found = true; }
};

bool is_lone_star(const Field& field) {
  return field.items.size() == 1 && std::holds_alternative<Star>(field.items.front());
}

}  // namespace

void check_fields(const Schedule& schedule, LineFindings& found) {
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    const Field& field = schedule.fields[i];
    const FieldSpec& spec = TIME_FIELDS[i];
    if (field.error) {
      found.add(MessageKind::FIELD_PARSE_ERROR, "Failed to fully parse \"{}\" field here: {}",
                spec.display_name, *field.error);
    }
    for (const FieldItem& item : field.items) {
      MessageSink sink(spec, item, found);
      check_item(spec, item, sink);
    }
  }
  const Field& minutes = schedule.fields[0];
  const Field& hours = schedule.fields[1];
  const bool every_minute = minutes.items.empty() || is_lone_star(minutes);
  const bool fixed_hours = !hours.items.empty() && !is_lone_star(hours);
  if (every_minute && fixed_hours) {
    found.add(MessageKind::HOURS_NOT_MINUTES, "Cron will run this every minute for the hours set.");
  }
}

bool is_valid_schedule(const Schedule& schedule) {
  NoteProblem sink;
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    const Field& field = schedule.fields[i];
    if (field.error) return false;
    for (const FieldItem& item : field.items) check_item(TIME_FIELDS[i], item, sink);
  }
  return !sink.found;
}

}  // namespace lintkeeper
