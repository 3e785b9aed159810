// JUnit XML report, written case by case through one 8192-byte buffer.
#include "junit/junit.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "base/os_error.h"
#include "base/unicode.h"

namespace lintkeeper {

namespace {

// A file written through a fixed buffer; the first failure is kept and ends all writing.
class BufferedFile {
 public:
  explicit BufferedFile(int fd) : fd_(fd) {}
  ~BufferedFile() {
    flush_ignoring_errors();
    ::close(fd_);
  }

  void write(std::string_view text) {
    if (error_) return;
    if (text.size() > kSize - used_) {
      flush();
      if (error_) return;
      if (text.size() >= kSize) {  // too large to buffer: straight to the file
        write_all(text.data(), text.size());
        return;
      }
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
  }
  template <typename... T>
  void print(fmt::format_string<T...> format, T&&... args) {
    scratch_.clear();
    fmt::format_to(std::back_inserter(scratch_), format, std::forward<T>(args)...);
    write(scratch_);
  }
  void flush() {
    if (error_ || used_ == 0) return;
    write_all(buffer_, used_);
    used_ = 0;
  }
  const std::optional<int>& error() const { return error_; }

 private:
  static constexpr std::size_t kSize = 8192;

  void write_all(const char* data, std::size_t size) {
    while (size > 0) {
      const ssize_t n = ::write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return;
      }
      data += n;
      size -= static_cast<std::size_t>(n);
    }
  }
  void flush_ignoring_errors() {
    if (used_ == 0) return;
    std::optional<int> kept = error_;
    error_.reset();
    write_all(buffer_, used_);
    used_ = 0;
    error_ = kept;
  }

  int fd_;
  std::size_t used_ = 0;
  std::optional<int> error_;
  char buffer_[kSize];
  std::string scratch_;
};

std::string_view type_of(const LineMessage& m) {
  return m.kind ? kind_name(*m.kind) : std::string_view("FILE");
}

class CaseWriter {
 public:
  CaseWriter(BufferedFile& file, std::string_view path, std::uint64_t warnings, std::uint64_t limit)
      : file_(file), path_(path), over_limit_(warnings > limit) {}

  bool fails(std::span<const LineMessage> messages) const {
    if (messages.empty()) return false;
    if (over_limit_) return true;
    for (const LineMessage& m : messages) {
      if (m.severity == Severity::Error) return true;
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
          if (m.severity == Severity::Error) {
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
  void write_body(std::span<const LineMessage> messages) {
    bool first = true;
    for (const LineMessage& m : messages) {
      if (!first) file_.write("\n");
      first = false;
      file_.write(m.severity == Severity::Error ? "E: " : "W: ");
      file_.write(escape_xml(message_text(m)));
    }
  }

  BufferedFile& file_;
  std::string_view path_;
  bool over_limit_;
};

bool has_case(const LineRecord& line) {
  return !line.messages.empty() || (!line.text.empty() && line.text.front() != '#');
}

}  // namespace

std::string escape_xml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    char32_t c = 0;
    const std::size_t n = decode_utf8(text, pos, c);
    switch (c) {
      case U'\t':
        out += "&#9;";
        break;
      case U'\n':
        out += "&#10;";
        break;
      case U'\r':
        out += "&#13;";
        break;
      case U'"':
        out += "&quot;";
        break;
      case U'&':
        out += "&amp;";
        break;
      case U'\'':
        out += "&apos;";
        break;
      case U'<':
        out += "&lt;";
        break;
      case U'>':
        out += "&gt;";
        break;
      default:
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0xFFFE || c == 0xFFFF) {
          out += "\xEF\xBF\xBD";
        } else {
          out.append(text.substr(pos, n));
        }
    }
    pos += n;
  }
  return out;
}

std::optional<std::string> write_junit_report(const Args& args, const Report& report,
                                              std::optional<FileIdentity> crontab) {
  const std::string& path = *args.junit;
  if (crontab) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_dev == crontab->device &&
        st.st_ino == crontab->inode) {
      return std::string("it is the crontab being checked");
    }
  }
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return os_error(errno);

  BufferedFile file(fd);
  const std::string p = escape_xml(lossy_utf8(args.crontab));
  const std::uint64_t limit = args.fail_warnings.value_or(0);
  CaseWriter cases(file, p, report.warnings(), limit);

  std::uint64_t tests = 1;
  std::uint64_t failures = cases.fails(report.file_messages()) ? 1 : 0;
  LineRecord line{};
  for (LineStore::Cursor lines = report.lines(); lines.next(line);) {
    if (!has_case(line)) continue;
    ++tests;
    if (cases.fails(line.messages)) ++failures;
  }

  file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  file.print("<testsuites name=\"lintkeeper\" tests=\"{}\" failures=\"{}\">\n", tests, failures);
  file.print("  <testsuite name=\"{}\" tests=\"{}\" failures=\"{}\">\n", p, tests, failures);
  cases.write("file", 0, report.file_messages());
  std::string name;
  for (LineStore::Cursor lines = report.lines(); !file.error() && lines.next(line);) {
    if (!has_case(line)) continue;
    name = escape_xml(fmt::format("line {}: {}", line.number, line.text));
    cases.write(name, line.number, line.messages);
  }
  file.write("  </testsuite>\n");
  file.write("</testsuites>\n");
  file.flush();
  if (file.error()) return os_error(*file.error());
  return std::nullopt;
}

}  // namespace lintkeeper
