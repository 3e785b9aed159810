// Fuzz target: the check of a whole crontab file given as bytes.
//
// The first byte chooses the options (user crontab, quiet, a JUnit report, a warning
// limit); the rest is the file. Checks that the exit status is the one the counts give, that
// the text report shows every counted message and a summary that agrees with the counts, and
// that a JUnit report, when asked for, is written whole.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <fmt/format.h>

#include "base/output.h"
#include "cli/args.h"
#include "fuzz/fuzz_check.h"
#include "report/report.h"
#include "run/check_file.h"

namespace lintkeeper {
namespace {

using fuzz::check;

constexpr std::uint8_t kUser = 1 << 0;
constexpr std::uint8_t kQuiet = 1 << 1;
constexpr std::uint8_t kJunit = 1 << 2;
constexpr std::uint8_t kWarningLimit = 1 << 3;  // with the next bits as the limit

// The file as a descriptor with a path: a memory file named through /proc.
int memory_file(std::string_view bytes) {
  const int fd = ::memfd_create("crontab", MFD_CLOEXEC);
  check(fd >= 0, "memfd_create failed");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    check(n > 0, "writing the memory file failed");
    done += static_cast<std::size_t>(n);
  }
  return fd;
}

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

// Counts the message lines of the text report ("e: " and "w: ") and checks the summary.
void check_text_report(std::string_view out, const Report& report, std::uint64_t errors,
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
  for (const LineMessage& m : report.file_messages()) {
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

// The kept records hold as many messages as the text report shows.
void check_records(const Report& report, std::uint64_t errors, std::uint64_t warnings) {
  std::uint64_t e = 0, w = 0;
  for (const LineMessage& m : report.file_messages()) {
    (m.severity() == Severity::Error ? e : w) += 1;
  }
  LineStore::Cursor cursor = report.lines();
  LineRecord record;
  std::uint64_t previous = 0;
  while (cursor.next(record)) {
    check(record.number > previous, "line records out of order");
    previous = record.number;
    bool warning_seen = false;
    for (const LineMessage& m : record.messages) {
      check(kind_info(m.kind).scope == Scope::Line, "a line message of a file kind");
      if (m.severity() == Severity::Error) {
        check(!warning_seen, "a line's error comes after its warning");
        ++e;
      } else {
        warning_seen = true;
        ++w;
      }
    }
  }
  check(e == errors && w == warnings, "the records disagree with the counts");
}

void check_run(std::uint8_t flags, std::string_view bytes) {
  const int fd = memory_file(bytes);
  Args args;
  args.crontab = fmt::format("/proc/self/fd/{}", fd);
  args.no_check_passwd = true;
  args.user = (flags & kUser) != 0;
  args.quiet = (flags & kQuiet) != 0;
  if (flags & kJunit) args.junit = junit_path();
  if (flags & kWarningLimit) args.fail_warnings = flags >> 4;

  Output out;  // in memory
  Report report(out, args.quiet);
  const int status = check_file(args, report);
  ::close(fd);

  const std::uint64_t errors = report.errors();
  const std::uint64_t warnings = report.warnings();
  const int expected = errors > 0 ? 2 : warnings > args.fail_warnings.value_or(0) ? 1 : 0;
  check(status == 0 || status == 1 || status == 2, "an exit status outside 0 to 2");
  check(status == expected, "the exit status disagrees with the counts",
        fmt::format("status {}, {} errors, {} warnings", status, errors, warnings));

  const std::string_view text = out.contents();
  if (args.quiet) {
    check(text.empty(), "output in quiet mode", text);
  } else {
    const std::string header = fmt::format("Checking correctness of {}\n", args.crontab);
    check(text.starts_with(header), "the report does not start with its header", text);
    check_text_report(text, report, errors, warnings);
  }
  check_records(report, errors, warnings);

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
