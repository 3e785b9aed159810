// JUnit XML report, written case by case through one 8192-byte buffer.
#include "junit/junit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "base/escape.h"
#include "base/os_error.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

// The report is written through a buffer of this size.
constexpr std::size_t kBufferSize = 8192;

// Writes the test cases of a suite, as JUnitSuite says.
class CaseWriter {
 public:
  CaseWriter(Output& file, std::string_view path, bool over_limit, KindNames names)
      : file_(file), path_(path), over_limit_(over_limit), names_(names) {}

  bool fails(std::span<const LineMessage> messages) const {
    if (messages.empty()) return false;
    if (over_limit_) return true;
    for (const LineMessage& m : messages) {
      if (m.severity() == Severity::Error) return true;
    }
    return false;
  }

  // name is already escaped; line is 0 for the file case.
  void write(std::string_view name, std::uint64_t line, std::span<const LineMessage> messages) {
    file_.print("    <testcase classname=\"{}\" name=\"{}\" file=\"{}\"", path_, name, path_);
    if (line > 0) file_.print(" line=\"{}\"", line);
    if (messages.empty()) {
      file_.write("/>\n");
      return;
    }
    file_.write(">\n");
    if (fails(messages)) {
      const LineMessage* failing = &messages.front();
      if (!over_limit_) {
        for (const LineMessage& m : messages) {
          if (m.severity() == Severity::Error) {
            failing = &m;
            break;
          }
        }
      }
      file_.print("      <failure type=\"{}\" message=\"{}\">", type_of(*failing),
                  escape_xml(failing->text));
      write_body(messages);
      file_.write("</failure>\n");
    } else {
      file_.write("      <system-out>");
      write_body(messages);
      file_.write("</system-out>\n");
    }
    file_.write("    </testcase>\n");
  }

 private:
  bool named(MessageKind kind) const {
    return names_ == KindNames::Every || named_in_reports(kind);
  }
  std::string_view type_of(const LineMessage& m) const {
    return named(m.kind) ? kind_name(m.kind) : std::string_view("FILE");
  }
  void write_body(std::span<const LineMessage> messages) {
    bool first = true;
    for (const LineMessage& m : messages) {
      if (!first) file_.write("\n");
      first = false;
      file_.write(m.severity() == Severity::Error ? "E: " : "W: ");
      file_.write(escape_xml(named(m.kind) ? fmt::format("{}: {}", kind_name(m.kind), m.text)
                                           : std::string(m.text)));
    }
  }

  Output& file_;
  std::string_view path_;
  bool over_limit_;
  KindNames names_;
};

bool has_case(const LineRecord& line) {
  return !line.messages.empty() || (!line.text.empty() && line.text.front() != '#');
}

}  // namespace

std::string escape_xml(std::string_view text) {
  static constexpr Replacement kEntities[] = {
      {U'\t', "&#9;"}, {U'\n', "&#10;"},  {U'\r', "&#13;"}, {U'"', "&quot;"},
      {U'&', "&amp;"}, {U'\'', "&apos;"}, {U'<', "&lt;"},   {U'>', "&gt;"},
  };
  std::string out;
  out.reserve(text.size());
  // Characters XML cannot hold become U+FFFD.
  append_escaped(out, text, kEntities, [](char32_t c, std::string& escaped) {
    if (c >= 0x20 && (c < 0x7F || c > 0x9F) && c != 0xFFFE && c != 0xFFFF) return false;
    escaped += "\xEF\xBF\xBD";
    return true;
  });
  return out;
}

namespace {

// Opens the report file for writing and empties it, unless it is the crontab itself.
// Returns the descriptor, or the description of why there is none.
int open_report(const std::string& path, std::optional<FileIdentity> crontab, std::string& error) {
  // Opened before it is emptied, so that the test of what it is concerns the file written.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    error = os_error(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    error = os_error(errno);
  } else if (crontab == FileIdentity{st.st_dev, st.st_ino}) {
    error = "it is the crontab being checked";
  } else if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) {
    error = os_error(errno);
  } else {
    return fd;
  }
  ::close(fd);
  return -1;
}

}  // namespace

JunitSuite::JunitSuite(const Report& report, bool over_limit, KindNames names)
    : report_(report), over_limit_(over_limit), names_(names) {
  Output none;
  const CaseWriter cases(none, {}, over_limit_, names_);
  if (cases.fails(report.file_messages())) ++failures_;
  LineRecord line{};
  for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
    if (!has_case(line)) continue;
    ++tests_;
    if (cases.fails(line.messages)) ++failures_;
  }
}

void JunitSuite::write(Output& out, std::string_view path) const {
  const std::string p = escape_xml(lossy_utf8(path));
  out.print("  <testsuite name=\"{}\" tests=\"{}\" failures=\"{}\">\n", p, tests_, failures_);
  CaseWriter cases(out, p, over_limit_, names_);
  cases.write("file", 0, report_.file_messages());
  LineRecord line{};
  std::string name;
  for (LineStore::Cursor lines = report_.lines(); out.error() == 0 && lines.next(line);) {
    if (!has_case(line)) continue;
    name = escape_xml(fmt::format("line {}: {}", line.number, line.text));
    cases.write(name, line.number, line.messages);
  }
  out.write("  </testsuite>\n");
}

std::optional<std::string> write_junit_report(const Args& args, const Report& report,
                                              std::optional<FileIdentity> crontab) {
  std::string error;
  const int fd = open_report(*args.junit, crontab, error);
  if (fd < 0) return error;
  int failure = 0;
  {
    Output file(fd, kBufferSize);
    const JunitSuite suite(report, report.warnings() > args.fail_warnings.value_or(0),
                           KindNames::Lintkeeper);
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    file.print("<testsuites name=\"lintkeeper\" tests=\"{}\" failures=\"{}\">\n", suite.tests(),
               suite.failures());
    suite.write(file, args.crontab);
    file.write("</testsuites>\n");
    file.flush();
    failure = file.error();
  }
  // A write that fails only when the file is closed (a full disk, a quota, NFS) fails the
  // report as well.
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) return os_error(failure);
  return std::nullopt;
}

}  // namespace lintkeeper
