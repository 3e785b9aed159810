// The fixes of the findings of a line, each tried on the line before it is given.
#include "audit/fixes.h"

#include <algorithm>
#include <array>
#include <variant>
#include <vector>

#include <fmt/format.h>

#include "audit/line_rules.h"
#include "base/chars.h"
#include "base/escape.h"
#include "base/unicode.h"
#include "checks/check_line.h"
#include "cron/cron_reading.h"
#include "fields/time_fields.h"
#include "grammar/parse_line.h"

namespace lintkeeper {

namespace {

using Verdict = CronReading::Verdict;
using Edits = std::vector<Edit>;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where a view into raw starts in it.
std::size_t offset_in(std::string_view raw, std::string_view part) {
  return static_cast<std::size_t>(part.data() - raw.data());
}

std::string_view body_of(std::string_view raw) {
  return raw.ends_with('\n') ? raw.substr(0, raw.size() - 1) : raw;
}

// One kind of finding and how the audit fixes it; edits answers none when the line has no
// such fix.
struct LineFixer {
  MessageKind kind;
  FixSafety safety;
  std::string_view description;
  Edits (*edits)(std::string_view raw, const CrontabLine& line, const CronReading& cron);
};

// A carriage return before the line feed, which cron keeps in the command or value.
Edits carriage_return(std::string_view raw, const CrontabLine&, const CronReading&) {
  const std::string_view body = body_of(raw);
  if (!body.ends_with('\r')) return {};
  return {{0, body.size() - 1, body.size(), ""}};
}

// Each '%' of the command not after a backslash, escaped: it then reaches the command.
Edits bare_percent(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const std::optional<std::string_view> command = command_of(line);
  if (!command) return {};
  Edits edits;
  for (std::size_t pos = command->find('%'); pos != std::string_view::npos;
       pos = command->find('%', pos + 1)) {
    if (pos > 0 && (*command)[pos - 1] == '\\') continue;
    const std::size_t at = offset_in(raw, *command) + pos;
    edits.push_back({0, at, at, "\\"});
  }
  return edits;
}

// "@Daily" in lower case, when that is a name cron knows.
Edits at_name(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const auto* special = std::get_if<Special>(&line);
  if (special == nullptr) return {};
  std::string lower(special->macro_name);
  for (char& c : lower) c = ascii_lower(c);
  if (lower == special->macro_name ||
      std::find(AT_NAMES.begin(), AT_NAMES.end(), lower) == AT_NAMES.end()) {
    return {};
  }
  const std::size_t at = offset_in(raw, special->macro_name);
  return {{0, at, at + special->macro_name.size(), lower}};
}

// "NAME=" given the empty value that cron takes only in quotes.
Edits empty_value(std::string_view raw, const CrontabLine& line, const CronReading& cron) {
  // Only where the cron refuses it: one that takes it already gives the value it means.
  const auto* var = std::get_if<EnvVar>(&line);
  if (var == nullptr || !trim(var->value).empty() || cron.verdict != Verdict::Refused) return {};
  const std::size_t at = offset_in(raw, var->value);
  return {{0, at, at + var->value.size(), "\"\""}};
}

// "* 2 * * *" run once in the hour, at its minute 0, rather than each minute.
Edits every_minute(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const Schedule* schedule = schedule_of(line);
  if (schedule == nullptr || schedule->fields[0].text != "*") return {};
  const std::size_t at = offset_in(raw, schedule->fields[0].text);
  return {{0, at, at + 1, "0"}};
}

// "NAME=value # note": the note moved to a comment line of its own above.
Edits value_comment(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const auto* var = std::get_if<EnvVar>(&line);
  if (var == nullptr) return {};
  const std::size_t hash = trailing_comment_at(var->value);
  if (hash == std::string_view::npos) return {};
  std::size_t cut = hash;
  while (cut > 0 && is_ascii_blank(var->value[cut - 1])) --cut;
  const std::size_t value_at = offset_in(raw, var->value);
  const std::size_t end = value_at + var->value.size();
  return {{0, 0, 0, std::string(var->value.substr(hash)) + "\n"}, {0, value_at + cut, end, ""}};
}

// White space that is not ASCII (a no-break space) between the fields, made a space: cron
// parts the fields at spaces and tabs only.
Edits field_spaces(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const std::optional<std::string_view> command = command_of(line);
  if (!command || !schedule_of(line)) return {};
  const std::size_t end = offset_in(raw, *command);
  Edits edits;
  for (std::size_t pos = 0; pos < end;) {
    const std::size_t size = white_space_at(raw, pos);
    if (size > 1) edits.push_back({0, pos, pos + size, " "});
    pos += std::max<std::size_t>(size, 1);
  }
  return edits;
}

// A byte-order mark before the first line, which cron reads as part of it.
Edits byte_order_mark(std::string_view raw, const CrontabLine&, const CronReading&) {
  if (!raw.starts_with(kByteOrderMark)) return {};
  return {{0, 0, kByteOrderMark.size(), ""}};
}

// The line feed a last line lacks, where the cron loses the line for it.
Edits missing_line_feed(std::string_view raw, const CrontabLine&, const CronReading&) {
  if (raw.ends_with('\n')) return {};
  return {{0, raw.size(), raw.size(), "\n"}};
}

// The user of a user column that a cron without one takes for the command.
Edits user_column(std::string_view raw, const CrontabLine& line, const CronReading&) {
  const std::optional<std::string_view> command = command_of(line);
  if (!command) return {};
  const std::size_t word = command->find_first_of(" \t");
  if (word == std::string_view::npos) return {};
  const std::size_t next = command->find_first_not_of(" \t", word);
  const std::size_t at = offset_in(raw, *command);
  return {{0, at, at + next, ""}};
}

constexpr auto LINE_FIXERS = std::to_array<LineFixer>({
    {MessageKind::CARRIAGE_RETURN, FixSafety::Safe, "Remove the carriage return", carriage_return},
    {MessageKind::QUOTE_VALUES, FixSafety::Safe, "Write the empty value as \"\"", empty_value},
    {MessageKind::CRON_REJECTS, FixSafety::Safe, "Part the fields with spaces", field_spaces},
    {MessageKind::CRON_REJECTS, FixSafety::Safe, "Add the line feed", missing_line_feed},
    {MessageKind::LINE_ERROR, FixSafety::Safe, "Remove the byte-order mark", byte_order_mark},
    {MessageKind::BARE_PERCENT, FixSafety::Unsafe, "Escape each bare % as \\%", bare_percent},
    {MessageKind::INVALID_AT, FixSafety::Unsafe, "Write the @ name in lower case", at_name},
    {MessageKind::HOURS_NOT_MINUTES, FixSafety::Unsafe, "Run it at minute 0 of those hours",
     every_minute},
    {MessageKind::COMMENT, FixSafety::Unsafe, "Move the comment to a line of its own",
     value_comment},
    {MessageKind::USER_COLUMN, FixSafety::Unsafe, "Remove the user column", user_column},
});

bool has_kind(std::span<const Finding> findings, MessageKind kind) {
  return std::any_of(findings.begin(), findings.end(),
                     [kind](const Finding& f) { return f.kind == kind; });
}

// Whether the lines of the fixed text are rid of the finding, as lintkeeper checks them and
// as the cron reads them, with no finding of lintkeeper's that the line did not have.
bool fixes_it(const LineFixContext& context, MessageKind kind, std::span<const Finding> before,
              std::string_view fixed) {
  const std::unique_ptr<CrontabModel> model =
      crontab_model(context.cron, context.flavor, context.user);
  for (std::size_t start = 0; start < fixed.size();) {
    const std::size_t feed = fixed.find('\n', start);
    const std::size_t end = feed == std::string_view::npos ? fixed.size() : feed + 1;
    const std::string_view raw = fixed.substr(start, end - start);
    start = end;
    const CronReading cron = model->line(raw);
    if (cron.verdict == Verdict::Refused || cron.verdict == Verdict::Crashes ||
        cron.verdict == Verdict::Continued || !cron.misread.empty()) {
      return false;
    }
    const std::string_view body = body_of(raw);
    if (body.ends_with('\r') && cron.verdict != Verdict::Skipped) return false;
    LineFindings found;
    check_line(parse_line(trim(body), context.flavor), context.users, found,
               context.cron.percent_newline);
    for (const Finding& f : found.all()) {
      if (f.kind == kind || !has_kind(before, f.kind)) return false;
    }
  }
  return true;
}

// The edits, given in bytes of raw, placed in the file: their line, their columns in UTF-16
// code units and their bytes counted from the file's start.
void place(Edits& edits, std::uint64_t number, std::uint64_t offset, std::string_view raw) {
  for (Edit& e : edits) {
    e.line = number;
    e.begin_utf16 = utf16_units(raw.substr(0, e.begin));
    e.end_utf16 = utf16_units(raw.substr(0, e.end));
    e.begin += offset;
    e.end += offset;
  }
}

}  // namespace

void fix_line(const LineFixContext& context, std::uint64_t number, std::uint64_t offset,
              std::string_view raw, const CrontabLine& line, const CronReading& cron,
              LineFindings& found) {
  for (const LineFixer& fixer : LINE_FIXERS) {
    if (!has_kind(found.all(), fixer.kind)) continue;
    Edits edits = fixer.edits(raw, line, cron);
    if (edits.empty() || !fixes_it(context, fixer.kind, found.all(), apply_edits(raw, edits))) {
      continue;
    }
    place(edits, number, offset, raw);
    found.fix_last(fixer.kind,
                   {fixer.safety, std::string(fixer.description), std::move(edits), {}});
  }
}

Fix missing_newline_fix(std::uint64_t line, std::uint64_t offset, std::string_view raw) {
  const std::size_t units = utf16_units(raw);
  const std::size_t end = offset + raw.size();
  return {FixSafety::Safe, "Add the line feed", {{line, end, end, "\n", units, units}}, {}};
}

namespace {

// A path as a word of a command: quoted for the shell, and never taken for an option.
std::string path_word(std::string_view path) {
  return shell_quoted(path.starts_with('-') ? "./" + std::string(path) : std::string(path));
}

// The path of a file renamed in its folder.
std::string renamed(std::string_view path, bool dot_allowed) {
  const std::size_t slash = path.rfind('/');
  const std::string_view folder = slash == std::string_view::npos ? "" : path.substr(0, slash + 1);
  return std::string(folder) + portable_name(path.substr(folder.size()), dot_allowed);
}

}  // namespace

std::optional<Fix> repair_fix(MessageKind kind, const CronInfo& cron, const FileRepair& file) {
  const std::string path = path_word(file.path);
  switch (kind) {
    case MessageKind::FILE_MODE:
      if (file.spool) {
        return Fix{FixSafety::Safe,
                   "Give it the mode of a crontab of the spool",
                   {},
                   fmt::format("chmod 0600 {}", path)};
      }
      return Fix{
          FixSafety::Safe, "Let only its owner write it", {}, fmt::format("chmod go-w {}", path)};
    case MessageKind::FILE_OWNER: {
      const std::string owner =
          file.spool && cron.spool.owner_is_user ? shell_quoted(file.user) : std::string("root");
      if (file.target != file.path) {
        return Fix{FixSafety::Safe,
                   "Give the link and its file to root",
                   {},
                   fmt::format("chown -h root {} && chown root {}", path, path_word(file.target))};
      }
      return Fix{FixSafety::Safe,
                 fmt::format("Give it to {}", owner),
                 {},
                 fmt::format("chown {} {}", owner, path)};
    }
    case MessageKind::FILE_LINKS:
      return Fix{FixSafety::Safe,
                 "Make it a file of its own",
                 {},
                 fmt::format("cp -p {0} {0}.new && mv {0}.new {0}", path)};
    case MessageKind::FILE_NAME:
    case MessageKind::RUN_PARTS_NAME:
      return Fix{FixSafety::Unsafe,
                 "Rename it",
                 {},
                 fmt::format("mv {} {}", path,
                             path_word(renamed(file.path, kind == MessageKind::RUN_PARTS_NAME &&
                                                              file.dot_allowed)))};
    case MessageKind::RUN_PARTS_EXEC:
      return Fix{FixSafety::Unsafe, "Make it executable", {}, fmt::format("chmod +x {}", path)};
    default:
      return std::nullopt;
  }
}

std::string portable_name(std::string_view name, bool dot_allowed) {
  const auto fits = [dot_allowed](char c) {
    return has_class(c, kNameChar) || (dot_allowed && c == '.');
  };
  const std::string_view stem = name.substr(0, name.find('.'));
  if (!stem.empty() && std::all_of(stem.begin(), stem.end(), fits)) return std::string(stem);
  std::string out(name);
  for (char& c : out) {
    if (!fits(c)) c = '_';
  }
  if (!out.empty() && out.front() == '.') out.front() = '_';
  return out;
}

}  // namespace lintkeeper
