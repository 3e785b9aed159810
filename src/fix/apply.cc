// The fixes of a file made in its text, and the diff that shows them.
#include "fix/apply.h"

#include <algorithm>

#include <fmt/format.h>

#include "audit/audit.h"
#include "formats/findings.h"

namespace lintkeeper {

namespace {

bool overlap(const Edit& a, const Edit& b) {
  return a.begin == b.begin || (a.begin < b.end && b.begin < a.end);
}

}  // namespace

std::vector<Edit> edits_to_make(const AuditedFile& file, bool unsafe) {
  std::vector<const Fix*> fixes;
  for_each_finding(file, [&](const ReportedFinding& f) {
    if (f.fix == nullptr || f.fix->edits.empty()) return;
    if (f.fix->safety == FixSafety::Unsafe && !unsafe) return;
    if (std::find(fixes.begin(), fixes.end(), f.fix) == fixes.end()) fixes.push_back(f.fix);
  });
  std::stable_sort(fixes.begin(), fixes.end(), [](const Fix* a, const Fix* b) {
    return a->edits.front().begin < b->edits.front().begin;
  });
  std::vector<Edit> edits;
  for (const Fix* fix : fixes) {
    const bool clash = std::any_of(fix->edits.begin(), fix->edits.end(), [&](const Edit& e) {
      return std::any_of(edits.begin(), edits.end(), [&](const Edit& o) { return overlap(e, o); });
    });
    if (!clash) edits.insert(edits.end(), fix->edits.begin(), fix->edits.end());
  }
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.begin < b.begin; });
  return edits;
}

namespace {

constexpr std::size_t kContext = 3;

// The lines of a text, each with its line feed when it has one.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t feed = text.find('\n', start);
    const std::size_t end = feed == std::string_view::npos ? text.size() : feed + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// The lines [first, last) of the text, changed into new_lines.
struct Change {
  std::size_t first;
  std::size_t last;
  std::vector<std::string> new_lines;
};

void add_line(std::string& out, char mark, std::string_view line) {
  out += mark;
  out.append(line);
  if (!line.ends_with('\n')) out += "\n\\ No newline at end of file\n";
}

// "3,2", or "3" for one line; a range of no lines is named by the line before it.
std::string hunk_range(std::size_t first, std::size_t count) {
  if (count == 1) return fmt::format("{}", first + 1);
  return fmt::format("{},{}", count == 0 ? first : first + 1, count);
}

}  // namespace

std::string unified_diff(std::string_view path, std::string_view before,
                         const std::vector<Edit>& edits) {
  if (edits.empty()) return {};
  const std::vector<std::string_view> lines = lines_of(before);
  std::vector<std::size_t> starts;
  for (std::string_view line : lines)
    starts.push_back(static_cast<std::size_t>(line.data() - before.data()));
  // The line that holds a byte: the end of the text is in its last line when that has no line
  // feed, else in the line after the last.
  const auto line_at = [&](std::size_t offset) {
    const auto it = std::upper_bound(starts.begin(), starts.end(), offset);
    std::size_t line = static_cast<std::size_t>(it - starts.begin());
    if (line > 0) --line;
    if (line < lines.size() && offset >= starts[line] + lines[line].size() &&
        lines[line].ends_with('\n')) {
      ++line;
    }
    return line;
  };

  // The lines each edit touches, joined where they meet, each made anew.
  std::vector<Change> changes;
  for (std::size_t i = 0; i < edits.size();) {
    const std::size_t first = line_at(edits[i].begin);
    std::size_t last =
        std::max(first, line_at(edits[i].end > edits[i].begin ? edits[i].end - 1 : edits[i].begin));
    std::size_t j = i + 1;
    while (j < edits.size() && line_at(edits[j].begin) <= last + 1) {
      last = std::max(last,
                      line_at(edits[j].end > edits[j].begin ? edits[j].end - 1 : edits[j].begin));
      ++j;
    }
    const std::size_t end_line = std::min(last + 1, lines.size());
    const std::size_t from = first < lines.size() ? starts[first] : before.size();
    const std::size_t to =
        end_line > first ? starts[end_line - 1] + lines[end_line - 1].size() : from;
    std::vector<Edit> local(edits.begin() + static_cast<std::ptrdiff_t>(i),
                            edits.begin() + static_cast<std::ptrdiff_t>(j));
    for (Edit& e : local) {
      e.begin -= from;
      e.end -= from;
    }
    const std::string made = apply_edits(before.substr(from, to - from), local);
    Change change{first, end_line, {}};
    for (std::string_view line : lines_of(made)) change.new_lines.emplace_back(line);
    // Lines the edits leave as they were are context, not change.
    std::size_t same = 0;
    while (change.first + same < change.last && same < change.new_lines.size() &&
           lines[change.first + same] == change.new_lines[same]) {
      ++same;
    }
    change.first += same;
    change.new_lines.erase(change.new_lines.begin(),
                           change.new_lines.begin() + static_cast<std::ptrdiff_t>(same));
    while (change.last > change.first && !change.new_lines.empty() &&
           lines[change.last - 1] == change.new_lines.back()) {
      --change.last;
      change.new_lines.pop_back();
    }
    changes.push_back(std::move(change));
    i = j;
  }

  std::string out = fmt::format("--- a/{0}\n+++ b/{0}\n", path);
  std::ptrdiff_t shift = 0;  // lines the changes before the hunk added
  for (std::size_t c = 0; c < changes.size();) {
    std::size_t d = c + 1;
    while (d < changes.size() && changes[d].first <= changes[d - 1].last + 2 * kContext) ++d;
    const std::size_t first = changes[c].first >= kContext ? changes[c].first - kContext : 0;
    const std::size_t last = std::min(changes[d - 1].last + kContext, lines.size());
    std::string body;
    std::size_t old_count = 0;
    std::size_t new_count = 0;
    std::size_t at = first;
    std::ptrdiff_t added = 0;
    for (std::size_t k = c; k < d; ++k) {
      for (; at < changes[k].first; ++at, ++old_count, ++new_count) add_line(body, ' ', lines[at]);
      for (; at < changes[k].last; ++at, ++old_count) add_line(body, '-', lines[at]);
      for (const std::string& line : changes[k].new_lines) {
        add_line(body, '+', line);
        ++new_count;
      }
      added += static_cast<std::ptrdiff_t>(changes[k].new_lines.size()) -
               static_cast<std::ptrdiff_t>(changes[k].last - changes[k].first);
    }
    for (; at < last; ++at, ++old_count, ++new_count) add_line(body, ' ', lines[at]);
    const std::size_t new_first =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(first) + shift);
    out += fmt::format("@@ -{} +{} @@\n", hunk_range(first, old_count),
                       hunk_range(new_first, new_count));
    out += body;
    shift += added;
    c = d;
  }
  return out;
}

}  // namespace lintkeeper
