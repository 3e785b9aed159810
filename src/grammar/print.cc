// Printers of a parsed line. Each type describes itself once to a DebugWriter, which lays
// it out either on one line or one member per line.
#include "grammar/print.h"

#include <cstdint>
#include <variant>

#include <fmt/format.h>

#include "base/escape.h"
#include "base/overloaded.h"
#include "base/unicode.h"
#include "base/unicode_tables.h"
#include "fields/time_fields.h"

namespace lintkeeper {

namespace {

class DebugWriter {
 public:
  explicit DebugWriter(bool verbose) : verbose_(verbose) {}

  std::string take() { return std::move(out_); }

  void unit(std::string_view name) { out_ += name; }
  void value(std::uint64_t n) { fmt::format_to(std::back_inserter(out_), "{}", n); }
  void value(std::string_view t) { append_quoted(out_, t); }

  // name(value)
  template <typename F>
  void tuple(std::string_view name, F&& value) {
    out_ += name;
    out_ += '(';
    if (verbose_) {
      ++depth_;
      newline();
      value();
      out_ += ',';
      --depth_;
      newline();
    } else {
      value();
    }
    out_ += ')';
  }

  // name { member: value, ... }; the members are written by calling member().
  template <typename F>
  void record(std::string_view name, F&& members) {
    out_ += name;
    out_ += verbose_ ? " {" : " { ";
    first_.push_back(true);
    ++depth_;
    members();
    --depth_;
    first_.pop_back();
    if (verbose_) {
      newline();
      out_ += '}';
    } else {
      out_ += " }";
    }
  }
  template <typename F>
  void member(std::string_view name, F&& value) {
    separate();
    out_ += name;
    out_ += ": ";
    value();
    if (verbose_) out_ += ',';
  }

  // [element, ...]
  template <typename Range, typename F>
  void list(const Range& elements, F&& each) {
    if (elements.empty()) {
      out_ += "[]";
      return;
    }
    out_ += '[';
    first_.push_back(true);
    ++depth_;
    for (const auto& e : elements) {
      separate();
      each(e);
      if (verbose_) out_ += ',';
    }
    --depth_;
    first_.pop_back();
    if (verbose_) newline();
    out_ += ']';
  }

  template <typename T, typename F>
  void optional(const std::optional<T>& value, F&& each) {
    if (!value) {
      out_ += "None";
      return;
    }
    tuple("Some", [&] { each(*value); });
  }

 private:
  void newline() {
    out_ += '\n';
    out_.append(static_cast<std::size_t>(depth_) * 4, ' ');
  }
  // Before a member or element: a new line when verbose, else ", " after the first.
  void separate() {
    if (verbose_) {
      newline();
    } else if (!first_.back()) {
      out_ += ", ";
    }
    first_.back() = false;
  }

  bool verbose_;
  int depth_ = 0;
  std::vector<bool> first_;
  std::string out_;
};

// Range, RangeStep, TextRange and TextRangeStep: their start, end and step when they have one.
template <typename R>
void describe_range(DebugWriter& w, std::string_view name, const R& r) {
  w.record(name, [&] {
    w.member("start", [&] { w.value(r.start); });
    w.member("end", [&] { w.value(r.end); });
    if constexpr (requires { r.step; }) w.member("step", [&] { w.value(r.step); });
  });
}

void describe(DebugWriter& w, const FieldItem& item) {
  std::visit(overloaded{
                 [&](const Star&) { w.unit("Star"); },
                 [&](const StarStep& s) { w.tuple("StarStep", [&] { w.value(s.step); }); },
                 [&](const Time& t) { w.tuple("Time", [&] { w.value(t.value); }); },
                 [&](const Range& r) { describe_range(w, "Range", r); },
                 [&](const RangeStep& r) { describe_range(w, "RangeStep", r); },
                 [&](const Text& t) { w.tuple("Text", [&] { w.value(t.name); }); },
                 [&](const TextRange& r) { describe_range(w, "TextRange", r); },
                 [&](const TextRangeStep& r) { describe_range(w, "TextRangeStep", r); },
             },
             item);
}

void describe(DebugWriter& w, const Field& field) {
  w.record("Field", [&] {
    w.member("text", [&] { w.value(field.text); });
    w.member("items",
             [&] { w.list(field.items, [&](const FieldItem& item) { describe(w, item); }); });
    w.member("error",
             [&] { w.optional(field.error, [&](const std::string& error) { w.value(error); }); });
  });
}

void describe_fields(DebugWriter& w, const Schedule& schedule) {
  for (std::size_t i = 0; i < Schedule::kFieldCount; ++i) {
    w.member(TIME_FIELDS[i].member_name, [&] { describe(w, schedule.fields[i]); });
  }
}

void describe(DebugWriter& w, const CrontabLine& line) {
  const auto text = [&](std::string_view t) { return [&w, t] { w.value(t); }; };
  std::visit(overloaded{
                 [&](const Blank&) { w.unit("Blank"); },
                 [&](const Comment& c) { w.tuple("Comment", text(c.text)); },
                 [&](const LintkeeperCmd& c) {
                   w.record("LintkeeperCmd", [&] {
                     w.member("comment", text(c.comment));
                     w.member("command", text(c.command));
                     w.member("msg_kind", text(c.msg_kind));
                   });
                 },
                 [&](const EnvVar& v) {
                   w.record("EnvVar", [&] {
                     w.member("name", text(v.name));
                     w.member("value", text(v.value));
                   });
                 },
                 [&](const Special& s) {
                   w.record("Special", [&] {
                     w.member("macro_name", text(s.macro_name));
                     w.member("user",
                              [&] { w.optional(s.user, [&](std::string_view u) { w.value(u); }); });
                     w.member("command", text(s.command));
                   });
                 },
                 [&](const Standard& s) {
                   w.record("Standard", [&] {
                     describe_fields(w, s.schedule);
                     w.member("command", text(s.command));
                   });
                 },
                 [&](const System& s) {
                   w.record("System", [&] {
                     describe_fields(w, s.schedule);
                     w.member("user", text(s.user));
                     w.member("command", text(s.command));
                   });
                 },
                 [&](const Unknown& u) { w.tuple("Unknown", text(u.text)); },
             },
             line);
}

// The fields, the user column when there is one and the command, joined by tabs.
std::string echo_scheduled(const Schedule& schedule, std::optional<std::string_view> user,
                           std::string_view command) {
  std::string out;
  for (const Field& field : schedule.fields) {
    out += field.text;
    out += '\t';
  }
  if (user) {
    out += *user;
    out += '\t';
  }
  out += command;
  out += '\n';
  return out;
}

template <typename T>
std::string debug_string(const T& value, bool verbose) {
  DebugWriter w(verbose);
  describe(w, value);
  return w.take();
}

}  // namespace

void append_quoted(std::string& out, std::string_view text) {
  static constexpr Replacement kEscapes[] = {
      {U'"', "\\\""}, {U'\\', "\\\\"}, {U'\t', "\\t"},
      {U'\n', "\\n"}, {U'\r', "\\r"},  {U'\0', "\\0"},
  };
  out += '"';
  append_escaped(out, text, kEscapes, [](char32_t c, std::string& escaped) {
    if (!needs_unicode_escape(c)) return false;
    fmt::format_to(std::back_inserter(escaped), "\\u{{{:x}}}", static_cast<std::uint32_t>(c));
    return true;
  });
  out += '"';
}

std::string format_debug(const CrontabLine& line) { return debug_string(line, false); }
std::string format_debug_verbose(const CrontabLine& line) { return debug_string(line, true); }
std::string format_debug(const Field& field) { return debug_string(field, false); }
std::string format_debug_verbose(const Field& field) { return debug_string(field, true); }

std::string format_echo(const CrontabLine& line) {
  return std::visit(
      overloaded{
          [](const Blank&) { return std::string("\n"); },
          [](const Comment& c) { return fmt::format("#{}\n", c.text); },
          [](const LintkeeperCmd& c) { return fmt::format("#{}\n", c.comment); },
          [](const EnvVar& v) { return fmt::format("{}={}\n", v.name, v.value); },
          [](const Special& s) {
            if (s.user) return fmt::format("@{}\t{}\t{}\n", s.macro_name, *s.user, s.command);
            return fmt::format("@{}\t{}\n", s.macro_name, s.command);
          },
          [](const Standard& s) { return echo_scheduled(s.schedule, {}, s.command); },
          [](const System& s) { return echo_scheduled(s.schedule, s.user, s.command); },
          [](const Unknown& u) { return fmt::format("{}\n", u.text); },
      },
      line);
}

}  // namespace lintkeeper
