// The findings of one crontab: a line's findings, the in-file commands, the store.
#include "findings/store.h"

#include <algorithm>
#include <tuple>

namespace lintkeeper {

namespace {

// The texts of a line's findings start with room for this many bytes.
constexpr std::size_t kFirstTextsCapacity = 4096;

}  // namespace

std::string finding_text(const Finding& finding) {
  if (named_in_reports(finding.kind)) {
    return fmt::format("{}: {}", kind_name(finding.kind), finding.text);
  }
  return std::string(finding.text);
}

bool LineFindings::has_error() const {
  return std::any_of(findings_.begin(), findings_.end(),
                     [](const Finding& f) { return f.severity() == Severity::Error; });
}

bool LineFindings::fix_last(MessageKind kind, Fix fix) {
  for (auto f = findings_.rbegin(); f != findings_.rend(); ++f) {
    if (f->kind != kind) continue;
    if (f->fix == kNoFix) {
      f->fix = static_cast<std::uint32_t>(fixes_.size());
      fixes_.push_back(std::move(fix));
      return true;
    }
    // A second fix of the same finding: one fix of both, as sure as the less sure.
    Fix& both = fixes_[f->fix];
    if (fix.safety == FixSafety::Unsafe) both.safety = FixSafety::Unsafe;
    both.description += "; " + fix.description;
    both.edits.insert(both.edits.end(), fix.edits.begin(), fix.edits.end());
    std::sort(both.edits.begin(), both.edits.end(), [](const Edit& a, const Edit& b) {
      return std::tie(a.line, a.begin, a.end) < std::tie(b.line, b.begin, b.end);
    });
    return true;
  }
  return false;
}

void LineFindings::move_fixes(std::vector<Fix>& table) {
  if (fixes_.empty()) return;
  const auto base = static_cast<std::uint32_t>(table.size());
  for (Finding& f : findings_) {
    if (f.fix != kNoFix) f.fix += base;
  }
  std::move(fixes_.begin(), fixes_.end(), std::back_inserter(table));
  fixes_.clear();
}

void LineFindings::order() {
  if (findings_.size() < 2) return;
  std::stable_partition(findings_.begin(), findings_.end(),
                        [](const Finding& f) { return f.severity() == Severity::Error; });
}

char* LineFindings::text_room(std::size_t size) {
  if (texts_size_ + size > texts_capacity_) {
    const std::size_t capacity =
        std::max({kFirstTextsCapacity, 2 * texts_capacity_, texts_size_ + size});
    // Left uninitialised, as make_unique_for_overwrite would (which the libc++ of the
    // WebAssembly build lacks).
    std::unique_ptr<char[]> fresh(new char[capacity]);
    if (texts_size_ > 0) std::memcpy(fresh.get(), texts_.get(), texts_size_);
    for (Finding& f : findings_)
      f.text = {fresh.get() + (f.text.data() - texts_.get()), f.text.size()};
    texts_ = std::move(fresh);
    texts_capacity_ = capacity;
  }
  char* const room = texts_.get() + texts_size_;
  texts_size_ += size;
  return room;
}

std::optional<KindSwitch> kind_switch(const LintkeeperCmd& command) {
  const std::optional<MessageKind> kind = line_kind_from_name(command.msg_kind);
  if (!kind) return std::nullopt;
  if (command.command == DISABLE_COMMAND) return KindSwitch{*kind, false};
  if (command.command == ENABLE_COMMAND) return KindSwitch{*kind, true};
  return std::nullopt;
}

void check_kind_switch(const LintkeeperCmd& command, LineFindings& findings) {
  if (!line_kind_from_name(command.msg_kind)) {
    findings.add(MessageKind::LINTKEEPER_ERROR, "\"{}\" is an unknown error message.",
                 command.msg_kind);
  }
  if (command.command != DISABLE_COMMAND && command.command != ENABLE_COMMAND) {
    findings.add(MessageKind::LINTKEEPER_ERROR,
                 "Invalid lintkeeper command - must be enable-msg or disable-msg.");
  }
}

void FindingStore::finish_line(std::uint64_t number, std::string_view text,
                               const LintkeeperCmd* command) {
  line_.order();
  line_.move_fixes(fixes_);
  for (const Finding& f : line_.all()) counts_.count(f.severity());
  const LineRecord record{number, text, line_.all()};
  if (live_ != nullptr) live_->line(record);
  if (keep_ == Keep::All || (keep_ == Keep::WithFindings && !line_.empty())) {
    lines_.append(number, text, line_.all());
  }
  line_.clear();
  if (command == nullptr) return;
  if (const std::optional<KindSwitch> s = kind_switch(*command)) {
    disabled_.set(static_cast<std::size_t>(s->kind), !s->on);
    update_dropped();
  }
}

void FindingStore::keep_file(MessageKind kind, std::uint64_t line, std::string_view text) {
  if (switched_off_.test(static_cast<std::size_t>(kind))) return;
  const Finding finding{file_texts_.emplace_back(text), kind, line};
  file_findings_.push_back(finding);
  counts_.count(finding.severity());
  if (live_ != nullptr) live_->file_finding(finding);
}

bool FindingStore::fix_file_finding(MessageKind kind, Fix fix) {
  for (auto f = file_findings_.rbegin(); f != file_findings_.rend(); ++f) {
    if (f->kind != kind) continue;
    f->fix = static_cast<std::uint32_t>(fixes_.size());
    fixes_.push_back(std::move(fix));
    return true;
  }
  return false;
}

void FindingStore::lead_with(MessageKind kind, std::string_view text) {
  const std::size_t before = file_findings_.size();
  keep_file(kind, 0, text);
  if (file_findings_.size() > before) {
    std::rotate(file_findings_.rbegin(), file_findings_.rbegin() + 1, file_findings_.rend());
  }
}

void FindingStore::switch_off(const KindSet& kinds) {
  switched_off_ |= kinds;
  update_dropped();
}

void FindingStore::walk(FindingReader& reader) const {
  for (const Finding& f : file_findings_) reader.file_finding(f);
  LineRecord record{};
  for (LineStore::Cursor lines = lines_.cursor(); lines.next(record);) reader.line(record);
}

}  // namespace lintkeeper
