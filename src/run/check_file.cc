// The check of one crontab file: header, existence, file name, lines, summary, JUnit.
#include "run/check_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <fmt/format.h>

#include "base/chars.h"
#include "base/os_error.h"
#include "base/unicode.h"
#include "checks/check_line.h"
#include "grammar/parse_line.h"
#include "grammar/print.h"
#include "junit/junit.h"
#include "run/line_reader.h"

namespace lintkeeper {

namespace {

bool has_white_space(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    pos += decode_utf8(text, pos, c);
    if (is_white_space(c)) return true;
  }
  return false;
}

void print_parsed(const CrontabLine& line, PrintForm form, Output& out) {
  switch (form) {
    case PrintForm::None:
      break;
    case PrintForm::Echo:
      out.write(format_echo(line));
      break;
    case PrintForm::Debug:
      out.write(format_debug(line));
      out.write("\n");
      break;
    case PrintForm::DebugVerbose:
      out.write(format_debug_verbose(line));
      out.write("\n");
      break;
  }
}

void report_utf8_fault(std::uint64_t number, const Utf8Fault& fault, Report& report) {
  if (fault.length == 0) {
    report.add_file_line(MessageKind::INVALID_UTF8, number,
                         "error reading line {}: incomplete utf-8 byte sequence from index {}",
                         number, fault.index);
  } else {
    report.add_file_line(MessageKind::INVALID_UTF8, number,
                         "error reading line {}: invalid utf-8 sequence of {} bytes from index {}",
                         number, fault.length, fault.index);
  }
}

// Reads and checks every line of an open file.
void check_lines(int fd, const CrontabReading& reading, Report& report, LineHook* hook) {
  LineReader reader(fd);
  std::string_view raw;  // one line, owned by the reader; every view below points into it
  std::uint64_t number = 0;
  LineReader::Status status;
  while ((status = reader.next(raw)) == LineReader::Status::Line) {
    ++number;
    Utf8Fault fault{};
    const bool ascii = reader.line_is_ascii();
    if (!ascii && !validate_utf8(raw, fault)) {
      report_utf8_fault(number, fault, report);
      if (hook != nullptr) hook->line(number, raw, nullptr, report);
      continue;
    }
    const std::string_view text = ascii ? trim_ascii(raw) : trim(raw);
    const CrontabLine line = parse_line(text, reading.flavor);
    print_parsed(line, reading.print, report.out());
    check_line(line, reading.users, report);
    if (hook != nullptr) hook->line(number, raw, &line, report);
    report.finish_line(number, text);  // copies the text it keeps
    if (raw.back() != '\n') {
      report.add_file_line(MessageKind::MISSING_NEWLINE, number,
                           "Cron will not process this file - missing trailing newline");
    }
  }
  if (status == LineReader::Status::Error) {
    report.add_file(MessageKind::READ_ERROR, "{}", os_error(reader.error()));
  }
}

}  // namespace

std::optional<std::string_view> file_name_of(std::string_view path) {
  // Trailing slashes and "." components do not name anything.
  std::size_t end = path.size();
  while (true) {
    while (end > 0 && path[end - 1] == '/') --end;
    if (end == 0) return std::nullopt;
    const std::size_t slash = path.rfind('/', end - 1);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view last = path.substr(start, end - start);
    if (last == ".") {
      if (start == 0) return std::nullopt;  // "." alone, or "./"
      end = start;
      continue;
    }
    if (last == "..") return std::nullopt;
    return last;
  }
}

bool file_name_is_accepted(std::string_view name) {
  if (name.empty() || is_portable_name(name)) return true;
  if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos) {
    const std::string_view ext = name.substr(dot + 1);
    if (ext == "disabled" || ext == "cron" || ext == "in") return true;
  }
  if (name == "cron.d") return true;
  constexpr std::string_view kCronD = ".cron.d";
  if (name.size() > kCronD.size() && name.ends_with(kCronD) &&
      !has_white_space(name.substr(0, name.size() - kCronD.size()))) {
    return true;
  }
  return false;
}

std::optional<FileIdentity> check_crontab(const std::string& path, const CrontabReading& reading,
                                          Report& report, LineHook* hook,
                                          const std::string* target) {
  const std::string& file = target != nullptr ? *target : path;
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    report.add_file(MessageKind::FILE_MISSING, "File \"{}\" does not exist.", lossy_utf8(path));
    return std::nullopt;
  }
  FileIdentity identity{st.st_dev, st.st_ino};
  const std::optional<std::string_view> name = file_name_of(path);
  if (name && !file_name_is_accepted(lossy_utf8(*name))) {
    report.add_file(MessageKind::FILE_NAME,
                    "Cron will not process this file - its name must match [A-Za-z0-9_-]+ .");
  }
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    report.add_file(MessageKind::READ_ERROR, "{}", os_error(errno));
    return identity;
  }
  // The file read is the one the report must not overwrite, whatever the path names now.
  if (::fstat(fd, &st) == 0) identity = FileIdentity{st.st_dev, st.st_ino};
  check_lines(fd, reading, report, hook);
  ::close(fd);
  return identity;
}

int check_file(const Args& args, Report& report) {
  if (!report.quiet()) report.out().print("Checking correctness of {}\n", lossy_utf8(args.crontab));
  SystemUsers users;
  CrontabReading reading;
  reading.flavor = args.user ? CrontabFlavor::UserCrontab : CrontabFlavor::SystemCrontab;
  reading.print = args.debug_verbose ? PrintForm::DebugVerbose
                  : args.debug       ? PrintForm::Debug
                  : args.echo        ? PrintForm::Echo
                                     : PrintForm::None;
  reading.users = {args.whitelist, args.no_check_passwd, &users};
  const std::optional<FileIdentity> identity = check_crontab(args.crontab, reading, report);

  report.print_summary();
  int status = report.exit_status(args.fail_warnings);
  if (args.junit) {
    if (const auto error = write_junit_report(args, report, identity)) {
      report.add_file(MessageKind::JUNIT_WRITE, "Can not write junit file \"{}\": {}",
                      lossy_utf8(*args.junit), *error);
      status = 2;
    }
  }
  return status;
}

}  // namespace lintkeeper
