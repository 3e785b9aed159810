// The WebAssembly module of the web page: lintkeeper's run, and lintkeeper-audit's, of a
// crontab held in memory, and what the page needs to know of both programs, each answering in
// JSON. The page shows what the answers hold; it reads no report text. As the crontab is typed,
// lintkeeper's report and findings are answered as what changed since the last answer. The
// audit reads its time zone from the zone file the page hands in, as /usr/share/zoneinfo/NAME.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <emscripten/emscripten.h>
#include <fmt/format.h>

#include "audit/audit.h"
#include "base/memory_file_system.h"
#include "base/output.h"
#include "base/time_zone.h"
#include "base/unicode.h"
#include "cli/audit_options.h"
#include "cli/check_file.h"
#include "cli/options.h"
#include "fix/apply.h"
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

// {"status":N,"stderr":"...", then the members that more writes}.
template <typename More>
std::string answer(int status, std::string_view err, More&& more) {
  Output text;
  JsonWriter json(text, JsonWriter::Layout::Compact);
  json.object([&] {
    json.key("status").value(static_cast<std::uint64_t>(status));
    json.key("stderr").value(err);
    more(json);
  });
  return std::string(text.contents());
}

// A line of lintkeeper's text report, and what it shows.
struct Part {
  enum class Shows : std::uint8_t { Text, Header, Finding };
  std::string_view text;  // with its line feed
  Shows shows = Shows::Text;
  std::uint64_t line = 0;  // of a header or a finding; 0 for a finding about the file
  Severity severity{};     // of a finding; of a header, of its line's first finding
  MessageKind kind{};      // of a finding
  bool operator==(const Part&) const = default;
};

// {"text": ..., and for a finding or a line's header "line", "severity" and, for a finding,
// "kind"}.
void write_part(JsonWriter& json, const Part& part) {
  json.object([&] {
    json.key("text").value(part.text);
    if (part.shows == Part::Shows::Text) return;
    json.key("line").value(part.line);
    json.key("severity").value(severity_word(part.severity));
    if (part.shows == Part::Shows::Finding) json.key("kind").value(kind_name(part.kind));
  });
}

bool same_finding(const Finding& a, const Finding& b) {
  return a.line == b.line && a.kind == b.kind && a.text == b.text;
}

// Where each part of lintkeeper's text report starts, and what it is about: noted just before
// the report prints a finding about the file or a line with its findings.
class ReportParts final : public FindingReader {
 public:
  explicit ReportParts(const Output& out) : out_(out) {}
  void file_finding(const Finding& finding) override {
    marks_.push_back({out_.contents().size(), finding.line, finding.kind, true, 0, 0});
  }
  void line(const LineRecord& line) override {
    if (line.findings.empty()) return;
    marks_.push_back({out_.contents().size(), line.number, line.findings.front().kind, false,
                      kinds_.size(), line.findings.size()});
    for (const Finding& f : line.findings) kinds_.push_back(f.kind);
  }

  // The report, all the text the run printed, as its lines.
  std::vector<Part> parts(std::string_view text) const {
    std::vector<Part> parts;
    std::size_t at = 0, next_mark = 0;
    // The lines of the current mark: the header first, then a finding's each.
    std::size_t part = 0;
    const Mark* mark = nullptr;
    while (at < text.size()) {
      if (next_mark < marks_.size() && marks_[next_mark].offset <= at) {
        mark = &marks_[next_mark++];
        part = 0;
      }
      const std::size_t end = text.find('\n', at);
      const std::size_t stop = end == std::string_view::npos ? text.size() : end + 1;
      Part piece{text.substr(at, stop - at)};
      if (mark != nullptr) {
        piece.line = mark->line;
        if (mark->file) {
          piece.shows = Part::Shows::Finding;
          piece.kind = mark->kind;
        } else if (part == 0) {
          piece.shows = Part::Shows::Header;
        } else {
          piece.shows = Part::Shows::Finding;
          piece.kind = kinds_[mark->first_kind + part - 1];
        }
        piece.severity = severity_of(piece.shows == Part::Shows::Header ? mark->kind : piece.kind);
        // A mark covers its own lines only: what follows is the run's own text.
        if (++part > (mark->file ? 0 : mark->count)) mark = nullptr;
      }
      parts.push_back(piece);
      at = stop;
    }
    return parts;
  }

 private:
  struct Mark {
    std::size_t offset;
    std::uint64_t line;
    MessageKind kind;  // of a finding about the file, or of a line's first finding
    bool file;
    std::size_t first_kind;  // in kinds_, of a line's findings
    std::size_t count;       // of a line's findings
  };
  const Output& out_;
  std::vector<Mark> marks_;
  std::vector<MessageKind> kinds_;  // of every line's findings, one line after the other
};

// Every finding kept by a store, in the order of the report.
class FindingList final : public FindingReader {
 public:
  explicit FindingList(std::vector<Finding>& findings) : findings_(findings) {}
  void file_finding(const Finding& f) override { findings_.push_back(f); }
  void line(const LineRecord& line) override {
    findings_.insert(findings_.end(), line.findings.begin(), line.findings.end());
  }

 private:
  std::vector<Finding>& findings_;
};

// lintkeeper's run as src/cli/main.cc makes it, with its output held in memory, or the answer
// of a command line that asks for no run. It is kept whole, with the command line it ran: its
// report's lines are views of its output and its findings of its store.
struct Checked {
  explicit Checked(CommandLine<Args> line) : command_line(std::move(line)) {}

  CommandLine<Args> command_line;
  std::optional<Answer> other;
  Output out;
  ReportParts marks{out};
  std::optional<LintkeeperRun> run;
  int status = 0;
  std::vector<Part> report;
  std::vector<Finding> findings;
};

std::unique_ptr<Checked> run_check(std::string_view text,
                                   const std::vector<std::string_view>& arguments) {
  auto checked = std::make_unique<Checked>(parse_lintkeeper_command_line(arguments));
  checked->other =
      answer_without_run(checked->command_line, LINTKEEPER_COMMAND, version_text(PROGRAM_NAME));
  if (checked->other) {
    checked->status = checked->other->status;
    return checked;
  }
  const Args& args = checked->command_line.args;
  MemoryFileSystem fs;
  add_crontab(fs, args.crontab, text);
  checked->run.emplace(args, checked->out, FindingStore::Keep::WithFindings, &checked->marks);
  checked->status = checked->run->run(fs);
  checked->report = checked->marks.parts(checked->out.contents());
  FindingList list(checked->findings);
  checked->run->findings().walk(list);
  return checked;
}

// {"status":N,"stderr":"...", and "stdout":"..." for the help or the version, then the members
// that more writes}.
template <typename More>
std::string check_answer(const Checked& checked, More&& more) {
  const Answer* other = checked.other ? &*checked.other : nullptr;
  return answer(checked.status, other && other->is_error ? other->text : "", [&](JsonWriter& json) {
    if (other && !other->is_error) json.key("stdout").value(other->text);
    more(json);
  });
}

// The report as its lines and every finding with its line.
std::string check(std::string_view text, const std::vector<std::string_view>& arguments) {
  const std::unique_ptr<Checked> checked = run_check(text, arguments);
  return check_answer(*checked, [&](JsonWriter& json) {
    json.key("report").array([&] {
      for (const Part& part : checked->report) write_part(json, part);
    });
    json.key("findings").array([&] {
      for (const Finding& f : checked->findings) write_finding(json, f);
    });
  });
}

// The changes that make the list before into the list now, each {"at":I,"removed":N,
// "added":[...]}: N elements from index I taken out and those added put in their place, the
// index that of the list as the changes before left it. What is alike at the start is kept;
// the rest is aligned on the end, where elements were added or taken out, and of the elements
// after that compared one for one, each run that differs is replaced.
template <typename T, typename Same, typename Write>
void write_changes(JsonWriter& json, const std::vector<T>& before, const std::vector<T>& now,
                   Same same, Write write) {
  const std::size_t was = before.size(), is = now.size();
  std::size_t start = 0;
  while (start < was && start < is && same(before[start], now[start])) ++start;
  const std::size_t aligned = std::min(was, is) - start;
  const auto change = [&](std::size_t at, std::size_t removed, std::size_t added) {
    json.object([&] {
      json.key("at").value(static_cast<std::uint64_t>(at));
      json.key("removed").value(static_cast<std::uint64_t>(removed));
      json.key("added").array([&] {
        for (std::size_t i = at; i < at + added; ++i) write(json, now[i]);
      });
    });
  };
  json.array([&] {
    if (was - aligned > start || is - aligned > start) {
      change(start, was - aligned - start, is - aligned - start);
    }
    for (std::size_t i = 0; i < aligned;) {
      std::size_t j = i;
      while (j < aligned && !same(before[was - aligned + j], now[is - aligned + j])) ++j;
      if (j > i) change(is - aligned + i, j - i, j - i);
      i = j + 1;
    }
  });
}

// The last run that lintkeeper_check_changes answered, which its next answer changes.
std::unique_ptr<Checked> last_checked;

// The report and the findings as the changes from those of the last such call.
std::string check_changes(std::string_view text, const std::vector<std::string_view>& arguments) {
  std::unique_ptr<Checked> checked = run_check(text, arguments);
  static const std::vector<Part> no_parts;
  static const std::vector<Finding> no_findings;
  const std::vector<Part>& report_before = last_checked ? last_checked->report : no_parts;
  const std::vector<Finding>& findings_before = last_checked ? last_checked->findings : no_findings;
  std::string result = check_answer(*checked, [&](JsonWriter& json) {
    json.key("report_changes");
    write_changes(json, report_before, checked->report, std::equal_to<Part>(), write_part);
    json.key("findings_changes");
    write_changes(json, findings_before, checked->findings, same_finding, write_finding);
  });
  last_checked = std::move(checked);
  return result;
}

// The zone file the page handed in last, which every audit finds in its zone data.
struct HeldZone {
  std::string name;  // as "Europe/Berlin"
  std::string bytes;
};
std::optional<HeldZone> held_zone;

constexpr std::string_view kZoneData = "/usr/share/zoneinfo/";

// Holds the zone file for the audits: {"zone":"NAME"}, or {"error":"..."} when it is no zone
// file or the name no zone's, and then none is held.
std::string set_zone(std::string_view name, std::string_view bytes) {
  held_zone.reset();
  ZoneResult parsed = parse_tzif(bytes, std::string(name));
  // Refused as find_zone refuses them, and the names that are no file's path.
  if (name.empty() || name.starts_with('/') || name.ends_with('/') ||
      name.find("..") != std::string_view::npos || name.find("//") != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    parsed = {std::nullopt, fmt::format("\"{}\" is not the name of a zone", lossy_utf8(name))};
  }
  Output text;
  JsonWriter json(text, JsonWriter::Layout::Compact);
  json.object([&] {
    if (parsed.zone) {
      held_zone = HeldZone{std::string(name), std::string(bytes)};
      json.key("zone").value(held_zone->name);
    } else {
      json.key("error").value(lossy_utf8(parsed.error));
    }
  });
  return std::string(text.contents());
}

// An audit's finding: a FINDING as lintkeeper_check's, with "fix" as lintkeeper-audit's JSON
// report has it.
void write_audit_finding(JsonWriter& json, const ReportedFinding& f) {
  json.object([&] {
    json.key("line").value(f.line());
    json.key("kind").value(kind_name(f.kind()));
    json.key("severity").value(f.severity());
    json.key("text").value(f.text());
    json.key("fix");
    write_fix(json, f.fix);
  });
}

// lintkeeper-audit's run of the crontabs named, as src/cli/audit_main.cc makes it, with the
// zone held in its zone data; or the answer of a command line that asks for no run, or of
// one refused.
struct Audited {
  std::optional<Answer> other;
  std::optional<Audit> audit;
  int status = 0;
};

Audited run_audit_of(std::string_view text, const std::vector<std::string_view>& arguments) {
  CommandLine<AuditArgs> command_line = parse_audit_command_line(arguments);
  Audited audited;
  audited.other = answer_without_run(command_line, AUDIT_COMMAND, version_text(AUDIT_PROGRAM_NAME));
  if (audited.other) {
    audited.status = audited.other->status;
    return audited;
  }
  AuditArgs& args = command_line.args;
  MemoryFileSystem fs;
  for (const std::string& path : args.audit.paths) add_crontab(fs, path, text);
  if (held_zone) fs.add_file(std::string(kZoneData) + held_zone->name, held_zone->bytes);
  if (const std::optional<std::string> error =
          prepare_audit(args, fs, static_cast<std::int64_t>(std::time(nullptr)), nullptr)) {
    audited.other = Answer{2, *error, true};
    audited.status = 2;
    return audited;
  }
  audited.audit.emplace(run_audit(args.audit, fs));
  audited.status =
      WarningLimit{args.audit.check.fail_warnings}.exit_status(audited.audit->counts());
  return audited;
}

// {"status":N,"stderr":"...", "stdout":"..." for the help or the version, then the members
// that more writes, given the audit when it ran}.
template <typename More>
std::string audit_answer(const Audited& audited, More&& more) {
  const Answer* other = audited.other ? &*audited.other : nullptr;
  return answer(audited.status, other && other->is_error ? other->text : "", [&](JsonWriter& json) {
    if (other && !other->is_error) json.key("stdout").value(other->text);
    more(json, audited.audit ? &*audited.audit : nullptr);
  });
}

// The audit's findings, each with its fix, and, with --next, its jobs, without its report
// text.
std::string audit(std::string_view text, const std::vector<std::string_view>& arguments) {
  const Audited audited = run_audit_of(text, arguments);
  return audit_answer(audited, [](JsonWriter& json, const Audit* result) {
    json.key("findings").array([&] {
      if (result == nullptr) return;
      for (const AuditedFile& file : result->files) {
        for_each_finding(file, [&](const ReportedFinding& f) { write_audit_finding(json, f); });
      }
    });
    if (result != nullptr && result->next > 0) write_jobs(json, *result);
  });
}

// The crontab's entry of the audit: its one file, not the entry of the whole run.
const AuditedFile* crontab_file(const Audit& audit) {
  for (const AuditedFile& file : audit.files) {
    if (!file.whole && file.findings) return &file;
  }
  return nullptr;
}

// The crontab's text with the edits of the audit's safe fixes made, as --fix makes them.
std::string fixed(std::string_view text, const std::vector<std::string_view>& arguments) {
  const Audited audited = run_audit_of(text, arguments);
  return audit_answer(audited, [text](JsonWriter& json, const Audit* result) {
    const AuditedFile* file = result != nullptr ? crontab_file(*result) : nullptr;
    const std::vector<Edit> edits =
        file != nullptr ? edits_to_make(*file, false) : std::vector<Edit>{};
    const std::string after = apply_edits(text, edits);
    Utf8Fault fault{};
    const bool utf8 = validate_utf8(after, fault);
    json.key("edits").value(static_cast<std::uint64_t>(edits.size()));
    json.key("text");
    if (utf8) {
      json.value(after);
    } else {
      json.null();
    }
    // Bytes that are not UTF-8 are kept as they are, each a number.
    json.key("bytes").array([&] {
      if (utf8) return;
      for (const char c : after) json.value(std::uint64_t{static_cast<unsigned char>(c)});
    });
  });
}

// What the page shows of the programs: their version, what each exit status means, and the
// kinds with the programs that report them.
std::string about() {
  Output text;
  JsonWriter json(text, JsonWriter::Layout::Compact);
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
// the crontab text, which is the file the arguments name. Returns {"status":N,"stderr":"...",
// "report":[PART...],"findings":[FINDING...]}: each PART a line of the report, all of the text
// the run prints, {"text":"...", and where it shows a finding or a line's header "line":N,
// "severity":"error"|"warning", and for a finding "kind":"KIND"}; each FINDING {"line":N,
// "kind":"KIND","severity":"error"|"warning","text":"..."}, "line" 0 for one about the whole
// file. When the arguments ask for the help or the version, "stdout":"..." holds it, and the
// report and the findings are empty; when they are refused, "stderr" says why.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_check(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = check({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Runs lintkeeper as lintkeeper_check does, and answers its report and findings as the changes
// from those of the last call of lintkeeper_check_changes (none before the first):
// {"status":N,"stderr":"...","report_changes":[CHANGE...],"findings_changes":[CHANGE...]},
// with "stdout" as lintkeeper_check's. Each CHANGE {"at":I,"removed":N,"added":[...]} takes N
// lines or findings out of the list from index I and puts those added in their place, PARTs or
// FINDINGs as above; the changes come in order, each at the index of the list as the changes
// before it left it. So the page, typed into, is given the lines that changed.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_check_changes(const char* text, std::size_t text_size,
                                                          const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = check_changes({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Runs lintkeeper-audit in the same way, with the zone lintkeeper_set_zone holds in its zone
// data. Returns {"status":N,"stderr":"...","findings":[FINDING...]}, every finding of the
// audit, each with "fix": null or {"safety":"safe"|"unsafe","description":"...",
// "edits":[{"line":N,"start":B,"end":B,"text":"..."}...],"command":null|"..."} as
// lintkeeper-audit's JSON report has it (start and end in bytes from the file's start), and with
// --next N (N above 0) "time_zone":{"name":"...","why":"..."}, the zone the jobs run in and why,
// and "jobs":[JOB...] as lintkeeper-audit's JSON report has them: each
// {"path","line","user" (null in a user crontab),"command","schedule","description",
// "time_zone","next":["2026-03-29T03:00:00+02:00"...]}, its next N runs in RFC 3339 with their
// offsets (none for @reboot). When the arguments ask for the help or the version,
// "stdout":"..." holds it and there are no findings; when they are refused (as a --time-zone
// that names no zone held), "stderr" says why.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_audit(const char* text, std::size_t text_size,
                                                  const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = audit({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Runs lintkeeper-audit as lintkeeper_audit does, and returns the crontab with the edits of
// its safe fixes made, as lintkeeper-audit --fix makes them: {"status":N,"stderr":"...",
// "edits":N,"text":"...","bytes":[]}, the number of edits made and the text after them; when
// that text is not UTF-8, "text" is null and "bytes" holds each of its bytes, as a number.
// With no safe fix, or when the audit does not run, the text is the crontab as given.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_fix(const char* text, std::size_t text_size,
                                                const char* args, std::size_t args_size) {
  using namespace lintkeeper;
  last_answer = fixed({text, text_size}, unpack_arguments({args, args_size}));
  return last_answer.c_str();
}

// Holds the zone file of the IANA name (name_size bytes, as "Europe/Berlin") with its bytes
// (a TZif file, as /usr/share/zoneinfo has them) for every later lintkeeper_audit, which finds
// it at /usr/share/zoneinfo/NAME, so that --time-zone NAME reads it: in place of the one held
// before. Returns {"zone":"NAME"}, or {"error":"..."} when the bytes are no zone file or the
// name no zone's, and then no zone is held.
EMSCRIPTEN_KEEPALIVE const char* lintkeeper_set_zone(const char* name, std::size_t name_size,
                                                     const char* bytes, std::size_t bytes_size) {
  using namespace lintkeeper;
  last_answer = set_zone({name, name_size}, {bytes, bytes_size});
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

// The size in bytes of the last answer, without its ending NUL: the page decodes it from the
// module's memory without looking for the end.
EMSCRIPTEN_KEEPALIVE std::size_t lintkeeper_answer_size() { return lintkeeper::last_answer.size(); }

}  // extern "C"
