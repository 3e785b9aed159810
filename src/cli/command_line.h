// A command line described by a table of options: the parser, the help texts and the
// argument errors, shared by every program of the project.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

namespace lintkeeper {

enum class Arity { Flag, One, Many };

// What a command line asks for.
enum class Action { Run, ShortHelp, LongHelp, Version, Error };

// One option of a program whose options are held in Args.
template <typename Args>
struct Option {
  std::string_view long_name;   // "fail-warnings"
  char short_name;              // 'f'; 0 for none
  std::string_view value_name;  // "FAIL_WARNINGS"; empty for a flag
  Arity arity;
  // The long help; the short help is its first paragraph without a final period.
  std::string_view doc;
  // Stores the value; returns an empty text, or why the value is not accepted. Null for an
  // option that only asks for an action.
  std::string (*apply)(Args& args, std::string_view value);
  bool utf8_value = false;            // the value must be valid UTF-8
  Action short_action = Action::Run;  // what "-x" asks for
  Action long_action = Action::Run;   // what "--name" asks for
  std::string_view short_doc = {};    // the short help, when it is not taken from doc
};

// The positional arguments: one required value, or any number of them; none for a name that
// is empty (and many set).
template <typename Args>
struct Positional {
  std::string_view name;  // "CRONTAB"
  std::string_view help;
  bool many;
  std::string (*apply)(Args& args, std::string_view value);
};

template <typename Args>
struct Command {
  std::string_view name;        // "lintkeeper"
  std::string_view about;       // the first line of the short help
  std::string_view long_about;  // the opening of the long help
  Positional<Args> positional;
  std::span<const Option<Args>> options;
  std::string (*after_long_help)();  // the closing section of the long help, or null
};

// The outcome of reading a command line.
template <typename Args>
struct CommandLine {
  Action action = Action::Run;
  Args args;
  std::string error;  // for Error: the whole text for standard error
};

// What the help and the errors need to know of a command, without its argument type.
struct OptionText {
  std::string_view long_name;
  char short_name;
  std::string_view value_name;
  std::string_view doc, short_doc;
};
struct CommandText {
  std::string_view name, about, long_about, positional_name, positional_help;
  bool many;
  std::vector<OptionText> options;
  std::string after_long_help;
};

template <typename Args>
CommandText text_of(const Command<Args>& command) {
  CommandText text{command.name,
                   command.about,
                   command.long_about,
                   command.positional.name,
                   command.positional.help,
                   command.positional.many,
                   {},
                   {}};
  if (command.after_long_help != nullptr) text.after_long_help = command.after_long_help();
  for (const Option<Args>& o : command.options) {
    text.options.push_back({o.long_name, o.short_name, o.value_name, o.doc, o.short_doc});
  }
  return text;
}

std::string help_text(const CommandText& command, bool long_form);
// "Usage: lintkeeper [OPTIONS] <CRONTAB>"
std::string usage_line(const CommandText& command);
// The whole text of an argument error, for standard error.
std::string error_text(const CommandText& command, std::string_view problem);
// "--fail-warnings <FAIL_WARNINGS>" or "--quiet": how errors name an option.
std::string option_display(const OptionText& option);
// The argument as errors quote it: invalid UTF-8 replaced.
std::string shown_argument(std::string_view arg);
bool is_utf8(std::string_view text);
// The first character of a text, taken whole even when it is not ASCII.
std::string_view first_character(std::string_view text);

// Reads an unsigned 64-bit decimal number with an optional leading '+'. Returns an
// empty text, or why the value is not a number.
std::string parse_count(std::string_view text, std::uint64_t& value);

namespace detail {

// Reads the arguments one by one; the first problem found ends the reading.
template <typename Args>
class Parser {
 public:
  Parser(const Command<Args>& command, const std::vector<std::string_view>& args)
      : command_(command), text_(text_of(command)), args_(args), seen_(command.options.size()) {}

  CommandLine<Args> run() {
    bool options_ended = false;
    while (next_ < args_.size() && result_.action == Action::Run) {
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
    if (result_.action == Action::Run && !command_.positional.many && positionals_ == 0) {
      fail(fmt::format("the following required arguments were not provided:\n  <{}>",
                       command_.positional.name));
    }
    return std::move(result_);
  }

 private:
  // A separate argument can be an option's value unless it looks like an option itself.
  static bool looks_like_option(std::string_view arg) {
    return arg.size() > 1 && arg.front() == '-';
  }

  void fail(std::string_view problem) {
    if (result_.action != Action::Run) return;
    result_.action = Action::Error;
    result_.error = error_text(text_, problem);
  }

  void positional(std::string_view arg) {
    if (command_.positional.name.empty() || (!command_.positional.many && positionals_ > 0)) {
      return fail(fmt::format("unexpected argument '{}' found", arg));
    }
    ++positionals_;
    const std::string error = command_.positional.apply(result_.args, arg);
    if (!error.empty()) {
      fail(fmt::format("invalid value '{}' for '<{}>': {}", shown_argument(arg),
                       command_.positional.name, error));
    }
  }

  void long_option(std::string_view arg) {
    const std::string_view body = arg.substr(2);
    const std::size_t eq = body.find('=');
    const std::string_view name = body.substr(0, eq);
    for (std::size_t i = 0; i < command_.options.size(); ++i) {
      const Option<Args>& o = command_.options[i];
      if (o.long_name != name) continue;
      if (o.apply == nullptr) {
        if (eq != std::string_view::npos) return unexpected_value(o, body.substr(eq + 1));
        result_.action = o.long_action;
        return;
      }
      if (eq != std::string_view::npos) return take(i, body.substr(eq + 1), true);
      return take(i, {}, false);
    }
    fail(fmt::format("unexpected argument '{}' found", arg));
  }

  void short_options(std::string_view arg) {
    for (std::size_t pos = 1; pos < arg.size(); ++pos) {
      std::size_t index = command_.options.size();
      for (std::size_t i = 0; i < command_.options.size(); ++i) {
        if (command_.options[i].short_name == arg[pos]) index = i;
      }
      if (index == command_.options.size()) {
        return fail(
            fmt::format("unexpected argument '-{}' found", first_character(arg.substr(pos))));
      }
      const Option<Args>& o = command_.options[index];
      if (o.apply == nullptr) {
        result_.action = o.short_action;
        return;
      }
      if (o.arity == Arity::Flag) {
        take(index, {}, false);
        if (result_.action != Action::Run) return;
        continue;
      }
      // The rest of the group is the value ("-f3", "-f=3"); else the next argument.
      std::string_view rest = arg.substr(pos + 1);
      if (rest.starts_with('=')) rest.remove_prefix(1);
      if (pos + 1 < arg.size()) return take(index, rest, true);
      return take(index, {}, false);
    }
  }

  void unexpected_value(const Option<Args>& o, std::string_view value) {
    fail(fmt::format("unexpected value '{}' for '--{}' found; no more were expected", value,
                     o.long_name));
  }

  // Records option i; an attached value is used as given, else the next argument.
  void take(std::size_t i, std::string_view value, bool attached) {
    const Option<Args>& o = command_.options[i];
    if (o.arity != Arity::Many && seen_[i]) {
      return fail(fmt::format("the argument '{}' cannot be used multiple times",
                              option_display(text_.options[i])));
    }
    seen_[i] = true;
    if (o.arity == Arity::Flag) {
      if (attached) return unexpected_value(o, value);
      o.apply(result_.args, {});
      return;
    }
    if (!attached) {
      if (next_ >= args_.size() || looks_like_option(args_[next_])) {
        return fail(fmt::format("a value is required for '{}' but none was supplied",
                                option_display(text_.options[i])));
      }
      value = args_[next_++];
    }
    if (o.utf8_value && !is_utf8(value)) {
      return fail("invalid UTF-8 was detected in one or more arguments");
    }
    const std::string error = o.apply(result_.args, value);
    if (!error.empty()) {
      fail(fmt::format("invalid value '{}' for '{}': {}", shown_argument(value),
                       option_display(text_.options[i]), error));
    }
  }

  const Command<Args>& command_;
  const CommandText text_;
  const std::vector<std::string_view>& args_;
  std::size_t next_ = 0;
  std::size_t positionals_ = 0;
  std::vector<bool> seen_;
  CommandLine<Args> result_;
};

}  // namespace detail

// args excludes the program name.
template <typename Args>
CommandLine<Args> parse_command_line(const Command<Args>& command,
                                     const std::vector<std::string_view>& args) {
  return detail::Parser<Args>(command, args).run();
}

template <typename Args>
std::string help_text(const Command<Args>& command, bool long_form) {
  return help_text(text_of(command), long_form);
}

// What a command line that asks for no run gets: an argument error for standard error, or the
// help or the version for standard output, and the exit status.
struct Answer {
  int status;
  std::string text;
  bool is_error;
};
// The answer of the command line, or nothing when the program is to run.
template <typename Args>
std::optional<Answer> answer_without_run(const CommandLine<Args>& line,
                                         const Command<Args>& command,
                                         std::string_view version_text) {
  switch (line.action) {
    case Action::Error:
      return Answer{2, line.error, true};
    case Action::ShortHelp:
    case Action::LongHelp:
      return Answer{0, help_text(command, line.action == Action::LongHelp), false};
    case Action::Version:
      return Answer{0, std::string(version_text), false};
    case Action::Run:
      break;
  }
  return std::nullopt;
}

}  // namespace lintkeeper
