// The WebAssembly module of the web page: lintkeeper's run, and lintkeeper-audit's, of a
// crontab held in memory, and what the page needs to know of both programs, each answering in
// JSON. The page shows what the answers hold; it reads no report text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <emscripten/emscripten.h>

#include "audit/audit.h"
#include "base/memory_file_system.h"
#include "base/output.h"
#include "cli/audit_options.h"
#include "cli/check_file.h"
#include "cli/options.h"
#include "formats/findings.h"
#include "formats/formats.h"
#include "formats/json_writer.h"

namespace lintkeeper {

namespace {

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

// The crontab as a file of the name the arguments give it. A name in a folder that is not
// there is not written: the check then reports the file missing, as it would natively.
void add_crontab(MemoryFileSystem& fs, const std::string& path, std::string_view text) {
  if (path.find('/') == std::string::npos && !path.empty() && path != "." && path != "..") {
    fs.add_file(path, text);
  }
}

void write_finding(JsonWriter& json, const Finding& f) {
  json.object([&] {
    json.key("line").value(f.line);
    json.key("kind").value(kind_name(f.kind));
    json.key("severity").value(severity_word(f.severity()));
    json.key("text").value(f.text);
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

template <typename Args>
std::string answer_of(const Answer& other) {
  return answer(other.status, other.is_error ? "" : other.text, other.is_error ? other.text : "",
                [](JsonWriter& json) { json.key("report").array([] {}); });
}

// Where each part of lintkeeper's text report starts, and what it is about: noted just before
// the report prints a finding about the file or a line with its findings.
class ReportParts final : public FindingReader {
 public:
  explicit ReportParts(const Output& out) : out_(out) {}
  void file_finding(const Finding& finding) override {
    marks_.push_back({out_.contents().size(), finding.line, finding.kind, true, 0, {}});
  }
  void line(const LineRecord& line) override {
    if (line.findings.empty()) return;
    Mark mark{out_.contents().size(), line.number, line.findings.front().kind, false,
              line.findings.size(),   {}};
    for (const Finding& f : line.findings) mark.kinds.push_back(f.kind);
    marks_.push_back(std::move(mark));
  }

  // The report as its lines, each {"text": ..., and for a line of a finding or of a line's
  // header, "line" (0 for the file as a whole), "severity" and, for a finding, "kind"}.
  void write(JsonWriter& json, std::string_view text) const {
    std::size_t at = 0, next_mark = 0;
    // The lines of the current mark: the header first, then a finding's each.
    std::size_t part = 0;
    const Mark* mark = nullptr;
    json.array([&] {
      while (at < text.size()) {
        if (next_mark < marks_.size() && marks_[next_mark].offset <= at) {
          mark = &marks_[next_mark++];
          part = 0;
        }
        const std::size_t end = text.find('\n', at);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view piece = text.substr(at, stop - at);
        json.object([&] {
          json.key("text").value(piece);
          if (mark == nullptr) return;
          json.key("line").value(mark->line);
          if (mark->file) {
            json.key("severity").value(severity_word(severity_of(mark->kind)));
            json.key("kind").value(kind_name(mark->kind));
          } else if (part == 0) {
            json.key("severity").value(severity_word(severity_of(mark->kind)));
          } else {
            const MessageKind kind = mark->kinds[part - 1];
            json.key("severity").value(severity_word(severity_of(kind)));
            json.key("kind").value(kind_name(kind));
          }
        });
        // A mark covers its own lines only: what follows is the run's own text.
        if (mark != nullptr && ++part > (mark->file ? 0 : mark->count)) mark = nullptr;
        at = stop;
      }
    });
  }

 private:
  struct Mark {
    std::size_t offset;
    std::uint64_t line;
    MessageKind kind;  // of a finding about the file, or of a line's first finding
    bool file;
    std::size_t count;  // of a line's findings
    std::vector<MessageKind> kinds;
  };
  const Output& out_;
  std::vector<Mark> marks_;
};

// Every finding kept by a store, as the page marks the lines of its editor.
class Findings final : public FindingReader {
 public:
  explicit Findings(JsonWriter& json) : json_(json) {}
  void file_finding(const Finding& f) override { write_finding(json_, f); }
  void line(const LineRecord& line) override {
    for (const Finding& f : line.findings) write_finding(json_, f);
  }

 private:
  JsonWriter& json_;
};

// lintkeeper's run as src/cli/main.cc makes it, with its output held in memory. Besides the
// report as text and as parts, every finding with its line.
std::string check(std::string_view text, const std::vector<std::string_view>& arguments) {
  const CommandLine<Args> command_line = parse_lintkeeper_command_line(arguments);
  if (const auto other =
          answer_without_run(command_line, LINTKEEPER_COMMAND, version_text(PROGRAM_NAME))) {
    return answer_of<Args>(*other);
  }
  const Args& args = command_line.args;
  MemoryFileSystem fs;
  add_crontab(fs, args.crontab, text);
  Output out;
  ReportParts parts(out);
  LintkeeperRun run(args, out, FindingStore::Keep::WithFindings, &parts);
  const int status = run.run(fs);
  return answer(status, out.contents(), {}, [&](JsonWriter& json) {
    json.key("report");
    parts.write(json, out.contents());
    json.key("findings").array([&] {
      Findings findings(json);
      run.findings().walk(findings);
    });
  });
}

// lintkeeper-audit's run of the crontabs named, as src/cli/audit_main.cc makes it: its
// findings, without its report text.
std::string audit(std::string_view text, const std::vector<std::string_view>& arguments) {
  const CommandLine<AuditArgs> command_line = parse_audit_command_line(arguments);
  if (const auto other =
          answer_without_run(command_line, AUDIT_COMMAND, version_text(AUDIT_PROGRAM_NAME))) {
    return answer_of<AuditArgs>(*other);
  }
  const AuditArgs& args = command_line.args;
  MemoryFileSystem fs;
  for (const std::string& path : args.audit.paths) add_crontab(fs, path, text);
  const Audit result = run_audit(args.audit, fs);
  const int status = WarningLimit{args.audit.check.fail_warnings}.exit_status(result.counts());
  return answer(status, {}, {}, [&result](JsonWriter& json) {
    json.key("findings").array([&] {
      for (const AuditedFile& file : result.files) {
        for_each_finding(file, [&](const ReportedFinding& f) { write_finding(json, f.finding); });
      }
    });
  });
}

// What the page shows of the programs: their version, what each exit status means, and the
// kinds with the programs that report them.
std::string about() {
  Output text;
  JsonWriter json(text);
  json.object([&] {
    json.key("version").value(PROGRAM_VERSION);
    json.key("exit_statuses").array([&] {
      for (const ExitStatusInfo& s : EXIT_STATUSES) {
        json.object([&] {
          json.key("status").value(static_cast<std::uint64_t>(s.status));
          json.key("meaning").value(s.meaning);
        });
      }
    });
    json.key("kinds").array([&] {
      for (const KindInfo& k : MESSAGE_KINDS) {
        json.object([&] {
          json.key("name").value(k.name);
          json.key("severity").value(severity_word(k.severity));
          json.key("lintkeeper").value(reported_by_lintkeeper(k));
          json.key("audit").value(reported_by_audit(k));
          json.key("audit_only").value(k.programs == Programs::Audit);
          json.key("description").value(k.description);
        });
      }
    });
  });
  return std::string(text.contents());
}

// The answer of the last call, which the page reads before the next.
std::string last_answer;

}  // namespace

}  // namespace lintkeeper

extern "C" {

// Runs lintkeeper with the arguments (args_size bytes, each argument ended by a NUL byte) on
// the crontab text, which is the file the arguments name. Returns {"status":N,"stdout":"...",
// "stderr":"...","report":[PART...],"findings":[FINDING...]}: each PART a line of the report,
// {"text":"...", and where it shows a finding or a line's header "line":N,"severity":"error"|
// "warning", and for a finding "kind":"KIND"}; each FINDING {"line":N,"kind":"KIND",
// "severity":"error"|"warning","text":"..."}, "line" 0 for one about the whole file. Valid until
// the next call.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_check(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = check({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Runs lintkeeper-audit in the same way. Returns {"status":N,"stdout":"...","stderr":"...",
// "findings":[FINDING...]}, every finding of the audit; "stdout" holds only the help or the
// version when the arguments ask for one.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_audit(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = audit({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Returns {"version":"...","exit_statuses":[{"status":N,"meaning":"..."}...],
// "kinds":[{"name","severity","lintkeeper":BOOL,"audit":BOOL,"audit_only":BOOL,
// "description"}...]}.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_about() {
  using namespace lintkeeper;
  last_answer = about();
  return last_answer.c_str();
}

}  // extern "C"
