// The WebAssembly module of the web page: lintkeeper's run, and lintkeeper-audit's, of a
// crontab held in memory, each answering in JSON.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <emscripten/emscripten.h>
#include <fmt/format.h>

#include "audit/audit.h"
#include "base/escape.h"
#include "base/output.h"
#include "cli/audit_options.h"
#include "cli/options.h"
#include "formats/formats.h"
#include "report/report.h"
#include "run/check_file.h"

namespace lintkeeper {

namespace {

// The folder of emscripten's in-memory file system where the crontab is written and read,
// so that a name such as "tmp" does not meet the file system's own folders.
constexpr const char* kWorkDir = "/crontabs";

// The arguments of a call, each ended by a NUL byte as the page packs them.
std::vector<std::string_view> unpack_arguments(std::string_view packed) {
  std::vector<std::string_view> args;
  while (!packed.empty()) {
    const std::size_t end = packed.find('\0');
    args.push_back(packed.substr(0, end));
    packed.remove_prefix(end == std::string_view::npos ? packed.size() : end + 1);
  }
  return args;
}

// Writes the crontab at path. A path that cannot be written (in a folder that is not there)
// is left alone: the check then reports the file missing, as it would natively.
void write_crontab(const std::string& path, std::string_view text) {
  ::mkdir(kWorkDir, 0755);
  ::chdir(kWorkDir);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

// A JSON string. The texts of a report are UTF-8 (lines that are not are never printed), so
// only quotes, backslashes and control characters need escaping.
void append_json(std::string& out, std::string_view text) {
  static constexpr Replacement kJson[] = {{U'"', "\\\""}, {U'\\', "\\\\"}, {U'\n', "\\n"}};
  out += '"';
  append_escaped(out, text, kJson, [](char32_t c, std::string& o) {
    if (c >= 0x20) return false;
    fmt::format_to(std::back_inserter(o), "\\u{:04x}", static_cast<unsigned>(c));
    return true;
  });
  out += '"';
}

void append_message(std::string& out, std::uint64_t line, const LineMessage& m) {
  fmt::format_to(std::back_inserter(out), R"({{"line":{},"kind":"{}","error":{},"text":)", line,
                 kind_name(m.kind), m.severity() == Severity::Error);
  append_json(out, m.text);
  out += '}';
}

// {"status":N,"stdout":"...","stderr":"...", then the caller's members}.
std::string result_json(int status, std::string_view out, std::string_view err) {
  std::string json = fmt::format(R"({{"status":{},"stdout":)", status);
  append_json(json, out);
  json += R"(,"stderr":)";
  append_json(json, err);
  return json;
}

// lintkeeper's run as src/cli/main.cc makes it, with its output held in memory. The lines
// with messages are kept as records and given with the file's messages.
std::string check(std::string_view text, const std::vector<std::string_view>& arguments) {
  const CommandLine<Args> command_line = parse_lintkeeper_command_line(arguments);
  Output out;
  switch (command_line.action) {
    case Action::Error:
      return result_json(2, {}, command_line.error) + "}";
    case Action::ShortHelp:
    case Action::LongHelp:
      return result_json(0, help_text(LINTKEEPER_COMMAND, command_line.action == Action::LongHelp),
                         {}) +
             "}";
    case Action::Version:
      return result_json(0, version_text(PROGRAM_NAME), {}) + "}";
    case Action::Run:
      break;
  }
  const Args& args = command_line.args;
  write_crontab(args.crontab, text);
  Report report(out, args.quiet, args.junit ? Report::Keep::All : Report::Keep::WithMessages);
  const int status = check_file(args, report);
  ::unlink(args.crontab.c_str());

  std::string json = result_json(status, out.contents(), {}) + R"(,"lines":[)";
  LineRecord line{};
  for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
    if (line.messages.empty()) continue;
    if (json.back() == '}') json += ',';
    fmt::format_to(std::back_inserter(json), R"({{"line":{},"messages":[)", line.number);
    for (const LineMessage& m : line.messages) {
      if (json.back() == '}') json += ',';
      append_message(json, line.number, m);
    }
    json += "]}";
  }
  json += R"(],"file":[)";
  for (const LineMessage& m : report.file_messages()) {
    if (json.back() == '}') json += ',';
    append_message(json, m.line, m);
  }
  return json + "]}";
}

// lintkeeper-audit's run of the crontabs named, as src/cli/audit_main.cc makes it. Besides
// its report, the findings that only the audit makes: what cron itself does with the lines.
std::string audit(std::string_view text, const std::vector<std::string_view>& arguments) {
  const CommandLine<AuditArgs> command_line = parse_audit_command_line(arguments);
  if (command_line.action != Action::Run) {
    return result_json(2, {}, command_line.error) + R"(,"findings":[]})";
  }
  const AuditArgs& args = command_line.args;
  for (const std::string& path : args.audit.paths) write_crontab(path, text);
  const Audit result = run_audit(args.audit);
  for (const std::string& path : args.audit.paths) ::unlink(path.c_str());
  Output out;
  write_report(args.format, result, {args.fail_warnings, AUDIT_PROGRAM_NAME, PROGRAM_VERSION}, out);

  std::string json =
      result_json(result.exit_status(args.fail_warnings), out.contents(), {}) + R"(,"findings":[)";
  const auto add = [&json](std::uint64_t line, const LineMessage& m) {
    if (kind_info(m.kind).scope != Scope::Host) return;
    if (json.back() == '}') json += ',';
    append_message(json, line, m);
  };
  for (const AuditedFile& file : result.files) {
    for (const LineMessage& m : file.report->file_messages()) add(m.line, m);
    LineRecord line{};
    for (LineStore::Cursor lines = file.report->lines(); lines.next(line);) {
      for (const LineMessage& m : line.messages) add(line.number, m);
    }
  }
  return json + "]}";
}

// The answer of the last call, which the page reads before the next.
std::string last_answer;

}  // namespace

}  // namespace lintkeeper

extern "C" {

// Runs lintkeeper with the arguments (args_size bytes, each argument ended by a NUL byte) on
// the crontab text, which is written where the arguments name the crontab. Returns
// {"status":N,"stdout":"...","stderr":"...","lines":[{"line":N,"messages":[MESSAGE...]}...],
// "file":[MESSAGE...]}, each MESSAGE {"line":N,"kind":"KIND","error":BOOL,"text":"..."} and
// "line" 0 for a message about the whole file. Valid until the next call.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_check(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = check({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Runs lintkeeper-audit in the same way. Returns {"status":N,"stdout":"...","stderr":"...",
// "findings":[MESSAGE...]}: the findings of the kinds only lintkeeper-audit reports.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_audit(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = audit({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

}  // extern "C"
