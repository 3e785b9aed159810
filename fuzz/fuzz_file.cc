// Fuzz target: the check of a whole crontab file given as bytes.
//
// The first byte chooses the options (user crontab, quiet, a JUnit report, a warning
// limit); the rest is the file. Checks that the exit status is the one the counts give, that
// the text report shows every counted message and a summary that agrees with the counts, and
// that a JUnit report, when asked for, is written whole.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/memory_file_system.h"
#include "base/output.h"
#include "cli/args.h"
#include "cli/check_file.h"
#include "fuzz/fuzz_check.h"

namespace lintkeeper {
namespace {

using fuzz::check;

constexpr std::uint8_t kUser = 1 << 0;
constexpr std::uint8_t kQuiet = 1 << 1;
constexpr std::uint8_t kJunit = 1 << 2;
constexpr std::uint8_t kWarningLimit = 1 << 3;  // with the next bits as the limit

std::string read_file(const std::string& path) {
  std::string text;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  check(f != nullptr, "the JUnit file was not written", path);
  char buffer[8192];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  std::fclose(f);
  return text;
}

const std::string& junit_path() {
  static const std::string path = fmt::format("/tmp/lintkeeper-fuzz-{}.xml", ::getpid());
  return path;
}

// Counts the finding lines of the text report ("e: " and "w: ") and checks the summary.
void check_text_report(std::string_view out, const FindingStore& store, std::uint64_t errors,
                       std::uint64_t warnings) {
  std::uint64_t line_errors = 0, line_warnings = 0;
  std::string_view last;
  for (std::size_t start = 0; start < out.size();) {
    std::size_t end = out.find('\n', start);
    check(end != std::string_view::npos, "the report does not end with a line feed", out);
    last = out.substr(start, end - start);
    if (last.starts_with("e: ")) ++line_errors;
    if (last.starts_with("w: ")) ++line_warnings;
    start = end + 1;
  }
  std::uint64_t file_errors = 0, file_warnings = 0;
  for (const Finding& m : store.file_findings()) {
    (m.severity() == Severity::Error ? file_errors : file_warnings) += 1;
  }
  check(line_errors + file_errors == errors, "errors counted but not shown", out);
  check(line_warnings + file_warnings == warnings, "warnings counted but not shown", out);

  std::string summary;
  if (errors > 0) {
    summary = fmt::format("E: There were {} errors and {} warnings.", errors, warnings);
  } else if (warnings > 0) {
    summary = fmt::format("W: There were {} warnings.", warnings);
  }
  if (summary.empty()) {
    check(line_errors + line_warnings == 0 && !last.starts_with("E: There were") &&
              !last.starts_with("W: There were"),
          "a summary without messages", out);
  } else {
    check(last == summary, "the summary disagrees with the counts", out);
  }
}

// The kept records hold as many findings as the text report shows.
class RecordCheck final : public FindingReader {
 public:
  void file_finding(const Finding& f) override {
    check(f.kind == MessageKind::JUNIT_WRITE || kind_info(f.kind).scope == Scope::File,
          "a file finding of a line kind");
    counts.count(f.severity());
  }
  void line(const LineRecord& record) override {
    check(record.number > previous_, "line records out of order");
    previous_ = record.number;
    bool warning_seen = false;
    for (const Finding& f : record.findings) {
      check(kind_info(f.kind).scope == Scope::Line, "a line finding of a file kind");
      check(f.line == record.number, "a line finding of another line");
      if (f.severity() == Severity::Error) {
        check(!warning_seen, "a line's error comes after its warning");
      } else {
        warning_seen = true;
      }
      counts.count(f.severity());
    }
  }
  Counts counts;

 private:
  std::uint64_t previous_ = 0;
};

void check_records(const FindingStore& store, std::uint64_t errors, std::uint64_t warnings) {
  RecordCheck records;
  store.walk(records);
  check(records.counts.errors == errors && records.counts.warnings == warnings,
        "the records disagree with the counts");
}

void check_run(std::uint8_t flags, std::string_view bytes) {
  MemoryFileSystem fs;
  Args args;
  args.crontab = "crontab";
  fs.add_file(args.crontab, bytes);
  args.check.no_check_passwd = true;
  args.check.user = (flags & kUser) != 0;
  args.quiet = (flags & kQuiet) != 0;
  if (flags & kJunit) args.junit = junit_path();
  if (flags & kWarningLimit) args.check.fail_warnings = flags >> 4;

  Output out;  // in memory
  LintkeeperRun run(args, out, FindingStore::Keep::All);
  const int status = run.run(fs);
  const FindingStore& store = run.findings();

  const std::uint64_t errors = store.counts().errors;
  const std::uint64_t warnings = store.counts().warnings;
  const int expected = errors > 0 ? 2 : warnings > args.check.fail_warnings.value_or(0) ? 1 : 0;
  check(status == 0 || status == 1 || status == 2, "an exit status outside 0 to 2");
  check(status == expected, "the exit status disagrees with the counts",
        fmt::format("status {}, {} errors, {} warnings", status, errors, warnings));

  const std::string_view text = out.contents();
  if (args.quiet) {
    check(text.empty(), "output in quiet mode", text);
  } else {
    const std::string header = fmt::format("Checking correctness of {}\n", args.crontab);
    check(text.starts_with(header), "the report does not start with its header", text);
    check_text_report(text, store, errors, warnings);
  }
  check_records(store, errors, warnings);

  if (args.junit) {
    const std::string xml = read_file(*args.junit);
    ::unlink(args.junit->c_str());
    check(xml.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"),
          "the JUnit file does not start with the XML declaration", xml);
    check(xml.ends_with("</testsuites>\n"), "the JUnit file is cut short", xml);
  }
}

}  // namespace
}  // namespace lintkeeper

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lintkeeper::fuzz::with_option_byte(data, size, lintkeeper::check_run);
}
