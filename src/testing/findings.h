// What the unit tests read of findings: a finding as a value to compare and print, and the
// schedule of a text whose five fields are apart by single spaces.
#pragma once

#include <array>
#include <cstddef>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fields/parse_field.h"
#include "findings/finding.h"

namespace lintkeeper::testing {

struct Found {
  MessageKind kind;
  std::string text;
  friend bool operator==(const Found&, const Found&) = default;
  friend std::ostream& operator<<(std::ostream& os, const Found& f) {
    return os << severity_letter(severity_of(f.kind)) << " " << kind_name(f.kind) << ": " << f.text;
  }
};

inline std::vector<Found> found(std::span<const Finding> findings) {
  std::vector<Found> out;
  for (const Finding& f : findings) out.push_back({f.kind, std::string(f.text)});
  return out;
}

// The fields view into text, which must outlive the schedule.
inline Schedule schedule_of(std::string_view text) {
  std::array<std::string_view, Schedule::kFieldCount> fields;
  for (std::string_view& field : fields) {
    const std::size_t space = text.find(' ');
    field = text.substr(0, space);
    text = space == std::string_view::npos ? std::string_view() : text.substr(space + 1);
  }
  return parse_schedule(fields);
}

// A schedule written with single spaces and what a check finds in it.
struct ScheduleCase {
  std::string_view schedule;
  std::vector<Found> found;
};

// What the check (check_fields, check_timing) finds in the schedule.
template <void (*Check)(const Schedule&, LineFindings&)>
std::vector<Found> found_in(std::string_view schedule) {
  LineFindings findings;
  Check(schedule_of(schedule), findings);
  return found(findings.all());
}

}  // namespace lintkeeper::testing
