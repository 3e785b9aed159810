// The findings of one crontab: the store that keeps them, applies the in-file commands that
// switch kinds off and on, counts them and hands them to the reports. It prints nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "findings/finding.h"
#include "findings/line_store.h"
#include "findings/verdict.h"
#include "grammar/line.h"

namespace lintkeeper {

// The in-file commands: "# lintkeeper: disable-msg=KIND" and "enable-msg".
inline constexpr std::string_view DISABLE_COMMAND = "disable-msg";
inline constexpr std::string_view ENABLE_COMMAND = "enable-msg";

// The kind an in-file command names and what it does, or nothing when it does nothing.
struct KindSwitch {
  MessageKind kind;
  bool on;
};
std::optional<KindSwitch> kind_switch(const LintkeeperCmd& command);
// The LINTKEEPER_ERROR findings of a command that names no kind or no command.
void check_kind_switch(const LintkeeperCmd& command, LineFindings& findings);

class FindingStore {
 public:
  // Which finished lines are kept, for a report that reads them after the run: they cost
  // memory in proportion to the file.
  enum class Keep { None, WithFindings, All };

  // live, when given, is handed every finding as it comes: the findings about the file at
  // once, each line when it is finished.
  explicit FindingStore(Keep keep = Keep::All, FindingReader* live = nullptr)
      : keep_(keep), live_(live) {}
  FindingStore(const FindingStore&) = delete;
  FindingStore& operator=(const FindingStore&) = delete;

  // The findings of the line being read, to which the checks add: what is switched off at
  // this line is not taken.
  LineFindings& line() { return line_; }
  // Ends the line: orders its findings errors first, counts them, hands the line to the live
  // reader and keeps it as asked. Then carries out the line's in-file command, if any, which
  // takes effect from the next line on.
  void finish_line(std::uint64_t number, std::string_view text,
                   const LintkeeperCmd* command = nullptr);

  // Findings about the file as a whole (line 0), or about one of its lines, of a kind that no
  // in-file command switches off.
  void add_file(MessageKind kind, FixedText text) { keep_file(kind, 0, text.view()); }
  template <typename... T>
  requires(sizeof...(T) > 0) void add_file(MessageKind kind, fmt::format_string<T...> format,
                                           T&&... args) {
    keep_file(kind, 0, fmt::format(format, std::forward<T>(args)...));
  }
  template <typename... T>
  void add_file_line(MessageKind kind, std::uint64_t line, fmt::format_string<T...> format,
                     T&&... args) {
    keep_file(kind, line, fmt::format(format, std::forward<T>(args)...));
  }
  // A finding about the file that goes before all the others: the one that explains them.
  void lead_with(MessageKind kind, std::string_view text);
  // Gives the last finding of the kind about the file its fix; false when there is none.
  bool fix_file_finding(MessageKind kind, Fix fix);
  // The fix of a finding the store holds, or null.
  const Fix* fix_of(const Finding& finding) const {
    return finding.fix == kNoFix ? nullptr : &fixes_[finding.fix];
  }

  // Switches kinds off for the whole run, file kinds too; in-file commands do not switch them
  // back on.
  void switch_off(const KindSet& kinds);

  const Counts& counts() const { return counts_; }
  std::span<const Finding> file_findings() const { return file_findings_; }
  // Hands the kept findings to the reader: those about the file first, then the kept lines in
  // file order.
  void walk(FindingReader& reader) const;

 private:
  void keep_file(MessageKind kind, std::uint64_t line, std::string_view text);
  void update_dropped() { line_.drop(disabled_ | switched_off_); }

  Keep keep_;
  FindingReader* live_;
  KindSet disabled_;      // by in-file commands
  KindSet switched_off_;  // for the whole run
  Counts counts_;
  LineFindings line_;
  std::vector<Finding> file_findings_;
  std::deque<std::string> file_texts_;
  std::vector<Fix> fixes_;  // of the findings kept
  LineStore lines_;
};

}  // namespace lintkeeper
