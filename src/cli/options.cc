// The command line: option table, parser, help and version texts.
#include "cli/options.h"

#include <fmt/format.h>

#include "base/unicode.h"
#include "report/message_kind.h"

namespace lintkeeper {

namespace {

constexpr std::string_view kAbout = "Parse crontab files; check for potential syntax errors";
constexpr std::string_view kLongAbout =
    "Parse crontab files; check for potential syntax errors.\n\nChecks system crontabs "
    "(`/etc/crontab`, `/etc/cron.d/*`) or, with `--user`, user crontabs. Errors (`E:`) are on "
    "lines cron rejects or misreads, warnings (`W:`) are on lines that are valid but suspect.";
constexpr std::string_view kUsage = "Usage: lintkeeper [OPTIONS] <CRONTAB>";
constexpr std::string_view kCrontabHelp = "crontab file to parse";

std::string set_flag(bool Args::*member, Args& args) {
  args.*member = true;
  return {};
}

}  // namespace

const std::array<Option, 9> OPTIONS{{
    {"debug", 'd', "", Arity::Flag, "Print each lines as they were parsed",
     "For debugging the parser. Wins over `--echo`.",
     [](Args& a, std::string_view) { return set_flag(&Args::debug, a); }},
    {"debug-verbose", 'D', "", Arity::Flag, "Print each lines as they were parsed using {:#?}",
     "For debugging the parser. Wins over `--debug` and `--echo`.",
     [](Args& a, std::string_view) { return set_flag(&Args::debug_verbose, a); }},
    {"echo", 'e', "", Arity::Flag, "Echo each line as they were parsed as a string",
     "For debugging the parser: the line is written back from what was understood of it.",
     [](Args& a, std::string_view) { return set_flag(&Args::echo, a); }},
    {"fail-warnings", 'f', "FAIL_WARNINGS", Arity::One,
     "exit(1) only if more than this number of warnings are emitted (default 0)",
     "Errors still give exit status 2.",
     [](Args& a, std::string_view v) {
       std::uint64_t n = 0;
       std::string error = parse_count(v, n);
       if (error.empty()) a.fail_warnings = n;
       return error;
     }},
    {"quiet", 'q', "", Arity::Flag, "be quiet",
     "Nothing is printed, the exit status is the only result.",
     [](Args& a, std::string_view) { return set_flag(&Args::quiet, a); }},
    {"user", 'u', "", Arity::Flag, "Parse user crontab instead of system",
     "The lines of a user crontab have no user column: `minute hour day month weekday command`.",
     [](Args& a, std::string_view) { return set_flag(&Args::user, a); }},
    {"whitelist", 'w', "WHITELIST", Arity::Many,
     "user to ignore when warning of unrecognized users; may be passed multiple times",
     "`postgres` and `buildbot` are always ignored.",
     [](Args& a, std::string_view v) {
       a.whitelist.emplace_back(v);
       return std::string();
     }},
    {"no-check-passwd", 'n', "", Arity::Flag, "disable user lookup",
     "Like lintkeeper.py, every user that is not ignored is then reported as `USER_NOT_FOUND`. "
     "Outside unix there is nothing to look in, so without this option no user is reported.",
     [](Args& a, std::string_view) { return set_flag(&Args::no_check_passwd, a); }},
    {"junit", 'j', "FILE", Arity::One, "Also write the result as a junit XML file",
     "The normal output is not changed. There is a test case for the file and one for each "
     "line that is not blank or a comment, so that a CI pipeline can show them, like GitLab "
     "does with `artifacts:reports:junit`. A warning makes a test case fail only if there are "
     "more warnings than `--fail-warnings`.",
     [](Args& a, std::string_view v) {
       a.junit = std::string(v);
       return std::string();
     }},
}};

std::string parse_count(std::string_view text, std::uint64_t& value) {
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return "cannot parse integer from empty string";
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return "invalid digit found in string";
  }
  for (const char c : text) {
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return "number too large to fit in target type";
    value = value * 10 + digit;
  }
  return {};
}

namespace {

// "--fail-warnings <FAIL_WARNINGS>" or "--quiet": how errors name an option.
std::string option_display(const Option& o) {
  if (o.value_name.empty()) return fmt::format("--{}", o.long_name);
  return fmt::format("--{} <{}>", o.long_name, o.value_name);
}

std::string error_text(std::string_view message) {
  return fmt::format("error: {}\n\n{}\n\nFor more information, try '--help'.\n", message, kUsage);
}

// A separate argument can be an option's value unless it looks like an option itself.
bool looks_like_option(std::string_view arg) { return arg.size() > 1 && arg.front() == '-'; }

class Parser {
 public:
  explicit Parser(const std::vector<std::string_view>& args) : args_(args) {}

  CommandLine run() {
    bool options_ended = false;
    while (next_ < args_.size() && result_.action == CommandLine::Action::Run) {
      const std::string_view arg = args_[next_++];
      if (options_ended || !looks_like_option(arg)) {
        positional(arg);
      } else if (arg == "--") {
        options_ended = true;
      } else if (arg.starts_with("--")) {
        long_option(arg);
      } else {
        short_options(arg);
      }
    }
    if (result_.action == CommandLine::Action::Run && !have_crontab_) {
      result_.action = CommandLine::Action::Error;
      result_.error = fmt::format(
          "error: the following required arguments were not provided:\n  <CRONTAB>\n\n{}\n\n"
          "For more information, try '--help'.\n",
          kUsage);
    }
    return std::move(result_);
  }

 private:
  void fail(std::string_view message) {
    if (result_.action != CommandLine::Action::Run) return;
    result_.action = CommandLine::Action::Error;
    result_.error = error_text(message);
  }

  void positional(std::string_view arg) {
    if (have_crontab_) return fail(fmt::format("unexpected argument '{}' found", arg));
    have_crontab_ = true;
    result_.args.crontab = std::string(arg);
  }

  void long_option(std::string_view arg) {
    const std::string_view body = arg.substr(2);
    const std::size_t eq = body.find('=');
    const std::string_view name = body.substr(0, eq);
    const bool has_value = eq != std::string_view::npos;
    if (name == "help" || name == "version") {
      if (has_value) {
        return fail(fmt::format("unexpected value '{}' for '--{}' found; no more were expected",
                                body.substr(eq + 1), name));
      }
      result_.action =
          name == "help" ? CommandLine::Action::LongHelp : CommandLine::Action::Version;
      return;
    }
    for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
      if (OPTIONS[i].long_name != name) continue;
      if (has_value) return take(i, body.substr(eq + 1), true);
      return take(i, {}, false);
    }
    fail(fmt::format("unexpected argument '{}' found", arg));
  }

  void short_options(std::string_view arg) {
    for (std::size_t pos = 1; pos < arg.size(); ++pos) {
      const char c = arg[pos];
      if (c == 'h' || c == 'V') {
        result_.action = c == 'h' ? CommandLine::Action::ShortHelp : CommandLine::Action::Version;
        return;
      }
      std::size_t index = OPTIONS.size();
      for (std::size_t i = 0; i < OPTIONS.size(); ++i) {
        if (OPTIONS[i].short_name == c) index = i;
      }
      if (index == OPTIONS.size()) {
        char32_t ch = 0;
        const std::size_t n = decode_utf8(arg, pos, ch);
        return fail(fmt::format("unexpected argument '-{}' found", arg.substr(pos, n)));
      }
      if (OPTIONS[index].arity == Arity::Flag) {
        take(index, {}, false);
        if (result_.action != CommandLine::Action::Run) return;
        continue;
      }
      // The rest of the group is the value ("-f3", "-f=3"); else the next argument.
      std::string_view rest = arg.substr(pos + 1);
      if (rest.starts_with('=')) rest.remove_prefix(1);
      if (pos + 1 < arg.size()) return take(index, rest, true);
      return take(index, {}, false);
    }
  }

  // Records option i; an attached value is used as given, else the next argument.
  void take(std::size_t i, std::string_view value, bool attached) {
    const Option& o = OPTIONS[i];
    if (o.arity != Arity::Many && seen_[i]) {
      return fail(
          fmt::format("the argument '{}' cannot be used multiple times", option_display(o)));
    }
    seen_[i] = true;
    if (o.arity == Arity::Flag) {
      if (attached) {
        return fail(fmt::format("unexpected value '{}' for '--{}' found; no more were expected",
                                value, o.long_name));
      }
      o.apply(result_.args, {});
      return;
    }
    if (!attached) {
      if (next_ >= args_.size() || looks_like_option(args_[next_])) {
        return fail(
            fmt::format("a value is required for '{}' but none was supplied", option_display(o)));
      }
      value = args_[next_++];
    }
    if (o.long_name == "whitelist") {
      Utf8Fault fault{};
      if (!validate_utf8(value, fault)) {
        return fail("invalid UTF-8 was detected in one or more arguments");
      }
    }
    const std::string error = o.apply(result_.args, value);
    if (!error.empty()) {
      fail(fmt::format("invalid value '{}' for '{}': {}", lossy_utf8(value), option_display(o),
                       error));
    }
  }

  const std::vector<std::string_view>& args_;
  std::size_t next_ = 0;
  bool have_crontab_ = false;
  std::array<bool, OPTIONS.size()> seen_{};
  CommandLine result_;
};

struct HelpEntry {
  std::string spec;  // "-f, --fail-warnings <FAIL_WARNINGS>"
  std::string help;
};

std::vector<HelpEntry> option_entries(bool long_form) {
  std::vector<HelpEntry> entries;
  for (const Option& o : OPTIONS) {
    std::string spec = fmt::format("-{}, --{}", o.short_name, o.long_name);
    if (!o.value_name.empty()) spec += fmt::format(" <{}>", o.value_name);
    std::string help(o.help);
    if (long_form) {
      if (o.arity == Arity::One && o.long_name == "fail-warnings") help += '.';
      help += "\n\n";
      help += o.more_help;
    }
    entries.push_back({std::move(spec), std::move(help)});
  }
  entries.push_back({"-h, --help", long_form ? "Print help (see a summary with '-h')"
                                             : "Print help (see more with '--help')"});
  entries.push_back({"-V, --version", "Print version"});
  return entries;
}

// Short help: each entry on one line, helps aligned two blanks after the longest spec.
void write_section(std::string& out, std::string_view heading,
                   const std::vector<HelpEntry>& entries, bool long_form) {
  fmt::format_to(std::back_inserter(out), "{}:\n", heading);
  std::size_t width = 0;
  for (const HelpEntry& e : entries) width = std::max(width, e.spec.size());
  bool first = true;
  for (const HelpEntry& e : entries) {
    if (long_form) {
      if (!first) out += '\n';
      fmt::format_to(std::back_inserter(out), "  {}\n", e.spec);
      std::string_view help = e.help;
      while (!help.empty()) {
        const std::size_t nl = help.find('\n');
        const std::string_view line = help.substr(0, nl);
        if (!line.empty()) out += "          ";
        out += line;
        out += '\n';
        if (nl == std::string_view::npos) break;
        help.remove_prefix(nl + 1);
      }
    } else {
      fmt::format_to(std::back_inserter(out), "  {:<{}}  {}\n", e.spec, width, e.help);
    }
    first = false;
  }
}

std::string after_help() {
  std::string out =
      "Exit status:\n"
      "  0  no error, and no more warnings than --fail-warnings\n"
      "  1  more warnings than --fail-warnings\n"
      "  2  at least one error\n"
      "\n"
      "A message can be turned off from a line on, and back on, with a comment:\n"
      "  # lintkeeper: disable-msg=KIND\n"
      "  # lintkeeper: enable-msg=KIND\n"
      "\n"
      "Message kinds:";
  for (const MessageKind kind : HELP_ORDER) {
    fmt::format_to(std::back_inserter(out), "\n  {:<19}{}", kind_name(kind),
                   kind_info(kind).description);
  }
  return out;
}

std::string help_text(bool long_form) {
  std::string out;
  out += long_form ? kLongAbout : kAbout;
  out += "\n\n";
  out += kUsage;
  out += "\n\n";
  write_section(out, "Arguments", {{"<CRONTAB>", std::string(kCrontabHelp)}}, long_form);
  out += '\n';
  write_section(out, "Options", option_entries(long_form), long_form);
  if (long_form) {
    out += '\n';
    out += after_help();
    out += '\n';
  }
  return out;
}

}  // namespace

CommandLine parse_command_line(const std::vector<std::string_view>& args) {
  return Parser(args).run();
}

std::string short_help() { return help_text(false); }
std::string long_help() { return help_text(true); }
std::string version_text() { return fmt::format("{} {}\n", PROGRAM_NAME, PROGRAM_VERSION); }

}  // namespace lintkeeper
