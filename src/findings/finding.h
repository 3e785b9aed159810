// Findings as values: a finding, the findings of one line as the checks add them, a finished
// line with its findings, and the reader that every report is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "findings/message_kind.h"

namespace lintkeeper {

// How sure a fix is. Safe: the fixed file means to cron exactly what its author evidently
// wrote, and nothing else changes. Unsafe: probably right, but it changes what runs.
enum class FixSafety : std::uint8_t { Safe, Unsafe };
constexpr std::string_view fix_safety_word(FixSafety safety) {
  return safety == FixSafety::Safe ? "safe" : "unsafe";
}

// One edit of a line: its bytes from begin to end (of the line as read, with its line feed)
// replaced by text.
struct Edit {
  std::uint64_t line = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string text;
  // begin and end as UTF-16 code units of the line, as editors and SARIF count columns.
  std::size_t begin_utf16 = 0;
  std::size_t end_utf16 = 0;
  friend bool operator==(const Edit&, const Edit&) = default;
};

// The repair of a finding: edits of the crontab's text, or, for what no edit of its text
// repairs (a name, an owner, a mode), the command that does.
struct Fix {
  FixSafety safety = FixSafety::Safe;
  std::string description;  // "Remove the carriage return"
  std::vector<Edit> edits;
  std::string command;  // "chmod 0644 /etc/cron.d/backup", when there are no edits
  friend bool operator==(const Fix&, const Fix&) = default;
};

// text with the edits made: each is given in bytes of text, in order, none overlapping.
inline std::string apply_edits(std::string_view text, const std::vector<Edit>& edits) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  for (const Edit& e : edits) {
    out.append(text.substr(at, e.begin - at));
    out += e.text;
    at = e.end;
  }
  out.append(text.substr(at));
  return out;
}

inline constexpr std::uint32_t kNoFix = 0xFFFFFFFF;

// One finding. The text is owned by whatever holds the finding (a LineFindings, a store).
struct Finding {
  std::string_view text;
  MessageKind kind;
  std::uint64_t line = 0;      // the line it is on or concerns; 0 for the file as a whole
  std::uint32_t fix = kNoFix;  // its fix, in the table of whatever holds it, or kNoFix

  Severity severity() const { return severity_of(kind); }
};

// "KIND: text" for a finding of a kind that reports name, the text alone for one of a kind
// lintkeeper shows without its name.
std::string finding_text(const Finding& finding);

// A finished line: its trimmed text and its findings, errors first.
struct LineRecord {
  std::uint64_t number;
  std::string_view text;
  std::span<const Finding> findings;
};

// What every report is: it is handed the findings about the file and the finished lines,
// either as they come (a report printed while the file is read) or from a store afterwards
// (FindingStore::walk).
class FindingReader {
 public:
  virtual ~FindingReader() = default;
  virtual void file_finding(const Finding& finding) = 0;
  virtual void line(const LineRecord& line) = 0;
};

// A finding text known when the program is built. It holds no replacement field, so that a
// format string given without its arguments does not compile.
class FixedText {
 public:
  template <std::size_t N>
  consteval FixedText(const char (&literal)[N]) : text_(literal, N - 1) {
    for (const char c : text_) {
      if (c == '{' || c == '}') throw "a fixed finding text holds no replacement field";
    }
  }
  constexpr std::string_view view() const { return text_; }

 private:
  std::string_view text_;
};

// The findings of one line, in the order the checks add them. The texts lie one after the
// other in one buffer, reused from line to line. Kinds that are switched off at the line are
// not taken: neither formatted nor kept.
class LineFindings {
 public:
  void add(MessageKind kind, FixedText text) { take(kind, text.view()); }
  template <typename... T>
  requires(sizeof...(T) > 0) void add(MessageKind kind, fmt::format_string<T...> format,
                                      T&&... args) {
    if (is_dropped(kind)) return;
    scratch_.clear();
    fmt::format_to(fmt::appender(scratch_), format, std::forward<T>(args)...);
    take(kind, std::string_view(scratch_.data(), scratch_.size()));
  }
  // A finding joined from its parts rather than formatted: for findings that can come on
  // every line of a large crontab.
  template <typename... Parts>
  void add_joined(MessageKind kind, const Parts&... parts) {
    take(kind, part_view(parts)...);
  }

  // Gives the last finding of the kind on the line its fix; false when there is none (its
  // kind switched off, or not found).
  bool fix_last(MessageKind kind, Fix fix);
  std::span<const Fix> fixes() const { return fixes_; }

  std::span<const Finding> all() const { return findings_; }
  bool empty() const { return findings_.empty(); }
  bool has_error() const;

  // The kinds not taken from now on.
  void drop(const KindSet& kinds) { dropped_ = kinds; }
  bool is_dropped(MessageKind kind) const { return dropped_.test(static_cast<std::size_t>(kind)); }
  // Puts the errors first, keeping the order within each severity.
  void order();
  void clear() {
    findings_.clear();
    fixes_.clear();
    texts_size_ = 0;
  }
  // Moves the fixes of the line to the end of table, the findings pointing at them there.
  void move_fixes(std::vector<Fix>& table);

 private:
  // The one path of every finding: drops a kind not taken, else keeps the parts joined as its
  // text. Inline, so that parts of known size are copied without a call.
  template <typename... Parts>
  void take(MessageKind kind, const Parts&... parts) {
    if (is_dropped(kind)) return;
    const std::size_t size = (std::string_view(parts).size() + ...);
    char* const start = text_room(size);
    char* p = start;
    ((p = append_part(p, parts)), ...);
    findings_.push_back({{start, size}, kind});
  }
  static char* append_part(char* p, std::string_view part) {
    if (!part.empty()) std::memcpy(p, part.data(), part.size());
    return p + part.size();
  }
  // Room for size more bytes of texts. If the texts move, the findings follow them.
  char* text_room(std::size_t size);
  // A string literal's size is known without looking for its end.
  template <std::size_t N>
  static std::string_view part_view(const char (&literal)[N]) {
    return {literal, N - 1};
  }
  static std::string_view part_view(std::string_view part) { return part; }

  KindSet dropped_;
  std::vector<Finding> findings_;
  std::vector<Fix> fixes_;
  std::unique_ptr<char[]> texts_;
  std::size_t texts_size_ = 0;
  std::size_t texts_capacity_ = 0;
  fmt::memory_buffer scratch_;
};

}  // namespace lintkeeper
