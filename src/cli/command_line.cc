// The command line: help layout, argument errors and value parsing.
#include "cli/command_line.h"

#include <algorithm>
#include <limits>

#include "base/unicode.h"

namespace lintkeeper {

namespace {

// Long helps indent their text under the option's names by this much.
constexpr std::string_view kLongHelpIndent = "          ";

struct HelpEntry {
  std::string synopsis;  // "-f, --fail-warnings <FAIL_WARNINGS>"
  std::string_view help;
};

// The short help of an option: the first paragraph of its doc, without a final period.
std::string_view short_doc(const OptionText& o) {
  if (!o.short_doc.empty()) return o.short_doc;
  std::string_view first = o.doc.substr(0, o.doc.find("\n\n"));
  if (first.ends_with('.')) first.remove_suffix(1);
  return first;
}

// Short form: each entry on one line, helps aligned two blanks after the longest synopsis.
// Long form: the synopsis on its line, then the help indented, entries apart by a blank line.
void write_section(std::string& out, std::string_view heading,
                   const std::vector<HelpEntry>& entries, bool long_form) {
  fmt::format_to(std::back_inserter(out), "{}:\n", heading);
  std::size_t width = 0;
  for (const HelpEntry& e : entries) width = std::max(width, e.synopsis.size());
  bool first = true;
  for (const HelpEntry& e : entries) {
    if (!long_form) {
      fmt::format_to(std::back_inserter(out), "  {:<{}}  {}\n", e.synopsis, width, e.help);
      continue;
    }
    if (!first) out += '\n';
    first = false;
    fmt::format_to(std::back_inserter(out), "  {}\n", e.synopsis);
    std::string_view help = e.help;
    while (true) {
      const std::size_t nl = help.find('\n');
      const std::string_view line = help.substr(0, nl);
      if (!line.empty()) out += kLongHelpIndent;
      out += line;
      out += '\n';
      if (nl == std::string_view::npos) break;
      help.remove_prefix(nl + 1);
    }
  }
}

std::string positional_synopsis(const CommandText& command) {
  if (command.many) return fmt::format("[{}]...", command.positional_name);
  return fmt::format("<{}>", command.positional_name);
}

}  // namespace

std::string usage_line(const CommandText& command) {
  if (command.positional_name.empty()) return fmt::format("Usage: {} [OPTIONS]", command.name);
  return fmt::format("Usage: {} [OPTIONS] {}", command.name, positional_synopsis(command));
}

std::string help_text(const CommandText& command, bool long_form) {
  std::string out(long_form ? command.long_about : command.about);
  out += "\n\n";
  out += usage_line(command);
  out += "\n\n";
  if (!command.positional_name.empty()) {
    write_section(out, "Arguments", {{positional_synopsis(command), command.positional_help}},
                  long_form);
    out += '\n';
  }
  std::vector<HelpEntry> entries;
  for (const OptionText& o : command.options) {
    // An option without a short name keeps its long name in the column of the others.
    std::string synopsis = o.short_name != 0 ? fmt::format("-{}, --{}", o.short_name, o.long_name)
                                             : fmt::format("    --{}", o.long_name);
    if (!o.value_name.empty()) synopsis += fmt::format(" <{}>", o.value_name);
    entries.push_back({std::move(synopsis), long_form ? o.doc : short_doc(o)});
  }
  write_section(out, "Options", entries, long_form);
  if (long_form && !command.after_long_help.empty()) {
    out += '\n';
    out += command.after_long_help;
    out += '\n';
  }
  return out;
}

std::string error_text(const CommandText& command, std::string_view problem) {
  return fmt::format("error: {}\n\n{}\n\nFor more information, try '--help'.\n", problem,
                     usage_line(command));
}

std::string option_display(const OptionText& o) {
  if (o.value_name.empty()) return fmt::format("--{}", o.long_name);
  return fmt::format("--{} <{}>", o.long_name, o.value_name);
}

std::string shown_argument(std::string_view arg) { return lossy_utf8(arg); }

bool is_utf8(std::string_view text) {
  Utf8Fault fault{};
  return validate_utf8(text, fault);
}

std::string_view first_character(std::string_view text) {
  char32_t c = 0;
  return text.substr(0, decode_utf8(text, 0, c));
}

std::string parse_count(std::string_view text, std::uint64_t& value) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return "cannot parse integer from empty string";
  if (!std::all_of(text.begin(), text.end(), is_ascii_digit)) {
    return "invalid digit found in string";
  }
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  value = 0;
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (kMax - digit) / 10) return "number too large to fit in target type";
    value = value * 10 + digit;
  }
  return {};
}

}  // namespace lintkeeper
