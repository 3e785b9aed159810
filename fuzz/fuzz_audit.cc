// Fuzz target: lintkeeper-audit's reports of one crontab given as bytes.
//
// The first byte chooses the options (bit 0 `--user`, bit 1 `--fail-warnings 0`, the bits
// above the format); the rest is the crontab, audited as a named file. Checks that the exit
// status is in 0 to 2; that the report is valid UTF-8; that the gcc format has one line and the
// GitHub format one command per finding; that the JSON, SARIF and Code Quality reports are
// JSON texts whose strings hold no raw control character; and that the JUnit report holds no
// character XML forbids and is written whole.
#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "audit/audit.h"
#include "base/output.h"
#include "base/unicode.h"
#include "formats/findings.h"
#include "formats/formats.h"
#include "fuzz/fuzz_check.h"

namespace lintkeeper {
namespace {

using fuzz::check;

constexpr std::uint8_t kUser = 1 << 0;
constexpr std::uint8_t kWarningLimit = 1 << 1;
constexpr int kFormatShift = 2;  // one format a run: SARIF's rules alone are some 30 KB

const std::string& crontab_path() {
  static const std::string path = fmt::format("/tmp/lintkeeper-fuzz-audit-{}", ::getpid());
  return path;
}

void write_file(const std::string& path, std::string_view bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  check(f != nullptr, "the crontab could not be written", path);
  check(std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fclose(f) == 0,
        "the crontab could not be written", path);
}

// A JSON text, read by the grammar of RFC 8259; strings may not hold bytes below 0x20.
class JsonReader {
 public:
  explicit JsonReader(std::string_view text) : text_(text) {}
  bool document() { return value() && (blanks(), at_ == text_.size()); }

 private:
  void blanks() {
    while (at_ < text_.size() && std::string_view(" \t\n\r").find(text_[at_]) != npos) ++at_;
  }
  bool eat(char c) {
    blanks();
    if (at_ >= text_.size() || text_[at_] != c) return false;
    ++at_;
    return true;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool digits() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }
  bool number() {
    eat('-');
    if (!digits()) return false;
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) return false;
    return true;
  }
  bool string() {
    if (!eat('"')) return false;
    while (at_ < text_.size() && text_[at_] != '"') {
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c < 0x20) return false;
      if (c != '\\') continue;
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      if (e == 'u') {
        if (text_.size() - at_ < 4) return false;
        for (int i = 0; i < 4; ++i) {
          if (!std::isxdigit(static_cast<unsigned char>(text_[at_++]))) return false;
        }
      } else if (std::string_view("\"\\/bfnrt").find(e) == npos) {
        return false;
      }
    }
    return eat('"');
  }
  template <typename Member>
  bool sequence(char close, Member member) {
    if (eat(close)) return true;
    do {
      if (!member()) return false;
    } while (eat(','));
    return eat(close);
  }
  bool value() {
    if (++depth_ > 64) return false;
    blanks();
    bool ok = false;
    if (eat('{')) {
      ok = sequence('}', [this] { return string() && eat(':') && value(); });
    } else if (eat('[')) {
      ok = sequence(']', [this] { return value(); });
    } else if (at_ < text_.size() && text_[at_] == '"') {
      ok = string();
    } else {
      ok = word("true") || word("false") || word("null") || number();
    }
    --depth_;
    return ok;
  }

  static constexpr std::size_t npos = std::string_view::npos;
  std::string_view text_;
  std::size_t at_ = 0;
  int depth_ = 0;
};

// The lines of a report, each ended by a line feed.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    check(end != std::string_view::npos, "a report does not end with a line feed", text);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The checks of one format's report of an audit with that many findings.
void check_report(Format format, std::string_view text, std::size_t findings) {
  Utf8Fault fault;
  check(validate_utf8(text, fault), "a report is not UTF-8", text);
  switch (format) {
    case Format::Gcc:
      check(lines_of(text).size() == findings, "gcc: not one line per finding", text);
      break;
    case Format::Github: {
      const std::vector<std::string_view> lines = lines_of(text);
      check(lines.size() == findings, "github: not one command per finding", text);
      for (const std::string_view line : lines) {
        check(line.starts_with("::error file=") || line.starts_with("::warning file="),
              "github: a line is not a workflow command", line);
      }
      break;
    }
    case Format::Json:
    case Format::Sarif:
    case Format::CodeQuality:
      check(JsonReader(text).document(), "a report is not a JSON text", text);
      break;
    case Format::Junit:
      check(text.ends_with("</testsuites>\n"), "the JUnit report is cut short", text);
      for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        check(byte >= 0x20 || c == '\t' || c == '\n' || c == '\r',
              "the JUnit report holds a control character", text);
      }
      break;
    case Format::Text:
      break;
  }
}

void check_run(std::uint8_t flags, std::string_view bytes) {
  write_file(crontab_path(), bytes);
  AuditOptions options;
  options.paths = {crontab_path()};
  options.check.user = (flags & kUser) != 0;
  options.check.no_check_passwd = true;
  const Audit audit = run_audit(options);
  const ReportSettings settings{
      {(flags & kWarningLimit) ? std::optional<std::uint64_t>(0) : std::nullopt},
      "lintkeeper-audit",
      "0"};
  const int status = settings.limit.exit_status(audit.counts());
  check(status >= 0 && status <= 2, "an exit status outside 0 to 2");

  std::size_t findings = 0;
  for (const AuditedFile& file : audit.files) {
    for_each_finding(file, [&](const ReportedFinding&) { ++findings; });
  }
  const Format format = FORMATS[(flags >> kFormatShift) % FORMATS.size()].format;
  Output out;  // in memory
  write_report(format, audit, settings, out);
  check_report(format, out.contents(), findings);
  ::unlink(crontab_path().c_str());
}

}  // namespace
}  // namespace lintkeeper

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return lintkeeper::fuzz::with_option_byte(data, size, lintkeeper::check_run);
}
