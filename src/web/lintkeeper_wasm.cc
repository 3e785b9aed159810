// The WebAssembly module of the web page: lintkeeper's run, and lintkeeper-audit's, of a
// crontab held in memory, each answering in JSON.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <emscripten/emscripten.h>

#include "audit/audit.h"
#include "base/output.h"
#include "cli/audit_options.h"
#include "cli/options.h"
#include "formats/formats.h"
#include "formats/json_writer.h"
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

void write_message(JsonWriter& json, std::uint64_t line, const LineMessage& m) {
  json.object([&] {
    json.key("line").value(line);
    json.key("kind").value(kind_name(m.kind));
    json.key("error").value(m.severity() == Severity::Error);
    json.key("text").value(m.text);
  });
}

// {"status":N,"stdout":"...","stderr":"...", then the members that more writes}. The texts of
// a run are UTF-8: a line that is not is reported, never printed.
template <typename More>
std::string answer(int status, std::string_view out, std::string_view err, More&& more) {
  Output text;
  JsonWriter json(text);
  json.object([&] {
    json.key("status").value(static_cast<std::uint64_t>(status));
    json.key("stdout").value(out);
    json.key("stderr").value(err);
    more(json);
  });
  return std::string(text.contents());
}

void no_more(JsonWriter&) {}

// lintkeeper's run as src/cli/main.cc makes it, with its output held in memory. The lines
// with messages are kept as records and given with the file's messages.
std::string check(std::string_view text, const std::vector<std::string_view>& arguments) {
  const CommandLine<Args> command_line = parse_lintkeeper_command_line(arguments);
  if (const auto other =
          answer_without_run(command_line, LINTKEEPER_COMMAND, version_text(PROGRAM_NAME))) {
    return answer(other->status, other->is_error ? "" : other->text,
                  other->is_error ? other->text : "", no_more);
  }
  const Args& args = command_line.args;
  write_crontab(args.crontab, text);
  Output out;
  Report report(out, args.quiet, args.junit ? Report::Keep::All : Report::Keep::WithMessages);
  const int status = check_file(args, report);
  ::unlink(args.crontab.c_str());

  return answer(status, out.contents(), {}, [&report](JsonWriter& json) {
    json.key("lines").array([&] {
      LineRecord line{};
      for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
        if (line.messages.empty()) continue;
        json.object([&] {
          json.key("line").value(line.number);
          json.key("messages").array([&] {
            for (const LineMessage& m : line.messages) write_message(json, line.number, m);
          });
        });
      }
    });
    json.key("file").array([&] {
      for (const LineMessage& m : report.file_messages()) write_message(json, m.line, m);
    });
  });
}

// lintkeeper-audit's run of the crontabs named, as src/cli/audit_main.cc makes it. Besides
// its report, the findings that only the audit makes: what cron itself does with the lines.
std::string audit(std::string_view text, const std::vector<std::string_view>& arguments) {
  const auto no_findings = [](JsonWriter& json) { json.key("findings").array([] {}); };
  const CommandLine<AuditArgs> command_line = parse_audit_command_line(arguments);
  if (command_line.action != Action::Run) {
    return answer(2, {}, command_line.error, no_findings);
  }
  const AuditArgs& args = command_line.args;
  for (const std::string& path : args.audit.paths) write_crontab(path, text);
  const Audit result = run_audit(args.audit);
  for (const std::string& path : args.audit.paths) ::unlink(path.c_str());
  Output out;
  write_report(args.format, result, {args.fail_warnings, AUDIT_PROGRAM_NAME, PROGRAM_VERSION}, out);

  const int status = result.exit_status(args.fail_warnings);
  return answer(status, out.contents(), {}, [&result](JsonWriter& json) {
    json.key("findings").array([&] {
      const auto add = [&json](std::uint64_t line, const LineMessage& m) {
        if (kind_info(m.kind).scope == Scope::Host) write_message(json, line, m);
      };
      for (const AuditedFile& file : result.files) {
        for (const LineMessage& m : file.report->file_messages()) add(m.line, m);
        LineRecord line{};
        for (LineStore::Cursor lines = file.report->lines(); lines.next(line);) {
          for (const LineMessage& m : line.messages) add(line.number, m);
        }
      }
    });
  });
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
