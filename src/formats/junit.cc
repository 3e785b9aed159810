// JUnit XML report, written case by case through one 8192-byte buffer.
#include "formats/junit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <span>
#include <vector>

#include <fmt/format.h>

#include "base/escape.h"
#include "base/os_error.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

// The report is written through a buffer of this size.
constexpr std::size_t kBufferSize = 8192;

bool has_case(const LineRecord& line) {
  return !line.findings.empty() || (!line.text.empty() && line.text.front() != '#');
}

// Walks a suite's cases: the file's first, then a line's for each line worth showing. Without
// an output it only counts them.
class Cases final : public FindingReader {
 public:
  Cases(Output* out, std::string_view path, bool warnings_fail, KindNames names)
      : out_(out), path_(path), warnings_fail_(warnings_fail), names_(names) {}

  void file_finding(const Finding& finding) override { file_.push_back(finding); }
  void line(const LineRecord& line) override {
    write_file_case();
    if (!has_case(line) || (out_ != nullptr && out_->error() != 0)) return;
    if (out_ != nullptr) name_ = escape_xml(fmt::format("line {}: {}", line.number, line.text));
    write_case(name_, line.number, line.findings);
  }
  // The file's case, when no line came after its findings.
  void finish() { write_file_case(); }

  std::uint64_t tests = 0, failures = 0;

 private:
  void write_file_case() {
    if (file_written_) return;
    file_written_ = true;
    write_case("file", 0, file_);
  }

  // The failing finding of a case, or null when the case passes: the first when the
  // warnings fail it, else its first error.
  const Finding* failing(std::span<const Finding> findings) const {
    if (findings.empty()) return nullptr;
    if (warnings_fail_) return &findings.front();
    const auto error = std::find_if(findings.begin(), findings.end(), [](const Finding& f) {
      return f.severity() == Severity::Error;
    });
    return error == findings.end() ? nullptr : &*error;
  }

  // name is already escaped; line is 0 for the file case.
  void write_case(std::string_view name, std::uint64_t line, std::span<const Finding> findings) {
    ++tests;
    const Finding* fails = failing(findings);
    if (fails != nullptr) ++failures;
    if (out_ == nullptr) return;
    Output& out = *out_;
    out.print("    <testcase classname=\"{}\" name=\"{}\" file=\"{}\"", path_, name, path_);
    if (line > 0) out.print(" line=\"{}\"", line);
    if (findings.empty()) {
      out.write("/>\n");
      return;
    }
    out.write(">\n");
    if (fails != nullptr) {
      out.print("      <failure type=\"{}\" message=\"{}\">", type_of(*fails),
                escape_xml(fails->text));
      write_body(findings);
      out.write("</failure>\n");
    } else {
      out.write("      <system-out>");
      write_body(findings);
      out.write("</system-out>\n");
    }
    out.write("    </testcase>\n");
  }

  bool named(MessageKind kind) const {
    return names_ == KindNames::Every || named_in_reports(kind);
  }
  std::string_view type_of(const Finding& f) const {
    return named(f.kind) ? kind_name(f.kind) : std::string_view("FILE");
  }
  void write_body(std::span<const Finding> findings) {
    bool first = true;
    for (const Finding& f : findings) {
      if (!first) out_->write("\n");
      first = false;
      const char prefix[] = {severity_letter(f.severity()), ':', ' '};
      out_->write({prefix, sizeof prefix});
      out_->write(escape_xml(named(f.kind) ? fmt::format("{}: {}", kind_name(f.kind), f.text)
                                           : std::string(f.text)));
    }
  }

  Output* out_;
  std::string_view path_;
  bool warnings_fail_;
  KindNames names_;
  std::vector<Finding> file_;
  bool file_written_ = false;
  std::string name_;
};

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

JunitSuite::JunitSuite(const FindingStore& store, bool warnings_fail, KindNames names)
    : store_(store), warnings_fail_(warnings_fail), names_(names) {
  Cases cases(nullptr, {}, warnings_fail_, names_);
  store.walk(cases);
  cases.finish();
  tests_ = cases.tests;
  failures_ = cases.failures;
}

void JunitSuite::write(Output& out, std::string_view path) const {
  const std::string p = escape_xml(lossy_utf8(path));
  out.print("  <testsuite name=\"{}\" tests=\"{}\" failures=\"{}\">\n", p, tests_, failures_);
  Cases cases(&out, p, warnings_fail_, names_);
  store_.walk(cases);
  cases.finish();
  out.write("  </testsuite>\n");
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

std::optional<std::string> write_junit_report(const std::string& path,
                                              std::string_view crontab_path,
                                              const FindingStore& store, const WarningLimit& limit,
                                              std::optional<FileIdentity> crontab) {
  std::string error;
  const int fd = open_report(path, crontab, error);
  if (fd < 0) return error;
  int failure = 0;
  {
    Output file(fd, kBufferSize);
    const JunitSuite suite(store, limit.exceeded(store.counts()), KindNames::Lintkeeper);
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    file.print("<testsuites name=\"lintkeeper\" tests=\"{}\" failures=\"{}\">\n", suite.tests(),
               suite.failures());
    suite.write(file, crontab_path);
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
