// Diagnostics, hovers and code actions from an audit of a document.
#include "lsp/answers.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include <fmt/format.h>

#include "base/time_zone.h"
#include "findings/store.h"
#include "formats/findings.h"

namespace lintkeeper {

namespace {

using nlohmann::json;

json to_json(const Position& p) { return {{"line", p.line}, {"character", p.character}}; }

bool before(const Position& a, const Position& b) {
  return a.line < b.line || (a.line == b.line && a.character < b.character);
}
bool meet(const DocumentRange& a, const DocumentRange& b) {
  return !before(a.end, b.start) && !before(b.end, a.start);
}

void each_finding(const CheckedDocument& doc,
                  const std::function<void(const ReportedFinding&)>& each) {
  for (const AuditedFile& file : doc.audit.files) for_each_finding(file, each);
}

DocumentRange range_of(const CheckedDocument& doc, const ReportedFinding& f) {
  return doc.text.cron_line_range(f.report_line());
}

json diagnostic(const CheckedDocument& doc, const ReportedFinding& f) {
  return {{"range", to_json(range_of(doc, f))},
          {"severity", f.finding.severity() == Severity::Error ? 1 : 2},
          {"code", kind_name(f.kind())},
          {"source", "lintkeeper"},
          {"message", f.text()}};
}

json text_edit(const DocumentText& text, ByteEdit edit) {
  const TextEdit made = text.text_edit(std::move(edit));
  return {{"range", to_json(made.range)}, {"newText", made.text}};
}

json quick_fix(std::string title, const std::string& uri, json edits, json diagnostics) {
  return {{"title", std::move(title)},
          {"kind", "quickfix"},
          {"diagnostics", std::move(diagnostics)},
          {"edit", {{"changes", {{uri, std::move(edits)}}}}}};
}

// The edits that put the lines first to last between the commands that switch kind off and on
// again. A last line without a line feed stays without one.
json switch_off_edits(const DocumentText& text, std::uint64_t first, std::uint64_t last,
                      MessageKind kind) {
  const std::size_t begin = text.cron_line_begin(first);
  const std::size_t end = text.cron_line_end(last);
  const bool fed = end > begin && text.text()[end - 1] == '\n';
  const std::string_view name = kind_name(kind);
  return json::array(
      {text_edit(text, {begin, begin, fmt::format("# lintkeeper: {}={}\n", DISABLE_COMMAND, name)}),
       text_edit(text, {end, end,
                        fmt::format("{}# lintkeeper: {}={}{}", fed ? "" : "\n", ENABLE_COMMAND,
                                    name, fed ? "\n" : "")})});
}

}  // namespace

json to_json(const DocumentRange& range) {
  return {{"start", to_json(range.start)}, {"end", to_json(range.end)}};
}

std::optional<Position> position_from(const json& value) {
  if (!value.is_object()) return std::nullopt;
  const auto line = value.find("line");
  const auto character = value.find("character");
  if (line == value.end() || character == value.end() || !line->is_number_unsigned() ||
      !character->is_number_unsigned()) {
    return std::nullopt;
  }
  return Position{line->get<std::uint64_t>(), character->get<std::uint64_t>()};
}

std::optional<DocumentRange> range_from(const json& value) {
  if (!value.is_object() || !value.contains("start") || !value.contains("end")) return std::nullopt;
  const std::optional<Position> start = position_from(value.at("start"));
  const std::optional<Position> end = position_from(value.at("end"));
  if (!start || !end) return std::nullopt;
  return DocumentRange{*start, *end};
}

json diagnostics(const CheckedDocument& doc) {
  json all = json::array();
  each_finding(doc, [&](const ReportedFinding& f) { all.push_back(diagnostic(doc, f)); });
  return all;
}

json hover(const CheckedDocument& doc, Position position) {
  const std::string& text = doc.text.text();
  const std::size_t offset = doc.text.offset_of(position);
  // After the last line feed, or past the end: on no line.
  if (offset == text.size() && (text.empty() || text.back() == '\n')) return nullptr;
  const std::uint64_t line = doc.text.cron_line_at(offset);
  const auto job = std::find_if(doc.audit.jobs.begin(), doc.audit.jobs.end(),
                                [&](const AuditedJob& j) { return j.line == line; });
  if (job == doc.audit.jobs.end()) return nullptr;
  std::string shown = fmt::format("**{}**\n", job->description);
  if (!job->next.empty()) {
    shown += fmt::format("\nNext runs ({}):\n\n", job->time_zone);
    for (const JobRun& run : job->next) {
      shown += fmt::format("- {}\n", format_rfc3339(run.at, run.offset));
    }
  }
  return {{"contents", {{"kind", "markdown"}, {"value", std::move(shown)}}},
          {"range", to_json(doc.text.cron_line_range(line))}};
}

json code_actions(const CheckedDocument& doc, const std::string& uri, DocumentRange range) {
  json fixes = json::array();
  std::vector<const Fix*> fixed;
  // The kinds to switch off, each with its first and last line and its diagnostics, in the
  // order found.
  struct Switch {
    MessageKind kind;
    std::uint64_t first;
    std::uint64_t last;
    json diagnostics = json::array();
  };
  std::vector<Switch> switches;
  each_finding(doc, [&](const ReportedFinding& f) {
    if (!meet(range_of(doc, f), range)) return;
    const Fix* fix = f.fix;
    if (fix != nullptr && !fix->edits.empty() &&
        std::find(fixed.begin(), fixed.end(), fix) == fixed.end()) {
      fixed.push_back(fix);
      json edits = json::array();
      for (const Edit& e : fix->edits)
        edits.push_back(text_edit(doc.text, {e.begin, e.end, e.text}));
      json action = quick_fix(fix->description, uri, std::move(edits), {diagnostic(doc, f)});
      action["isPreferred"] = fix->safety == FixSafety::Safe;
      fixes.push_back(std::move(action));
    }
    if (kind_info(f.kind()).scope != Scope::Line || f.line() == 0) return;
    auto it = std::find_if(switches.begin(), switches.end(),
                           [&](const Switch& s) { return s.kind == f.kind(); });
    if (it == switches.end()) it = switches.insert(switches.end(), {f.kind(), f.line(), f.line()});
    it->last = f.line();
    it->diagnostics.push_back(diagnostic(doc, f));
  });
  for (Switch& s : switches) {
    fixes.push_back(quick_fix(fmt::format("Switch {} off here", kind_name(s.kind)), uri,
                              switch_off_edits(doc.text, s.first, s.last, s.kind),
                              std::move(s.diagnostics)));
  }
  return fixes;
}

}  // namespace lintkeeper
