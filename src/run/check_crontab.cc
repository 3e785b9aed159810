// The check of one crontab file: existence, file name, lines.
#include "run/check_crontab.h"

#include <string>

#include "base/os_error.h"
#include "base/unicode.h"
#include "checks/check_line.h"
#include "cron/crontab_names.h"
#include "grammar/parse_line.h"
#include "grammar/print.h"
#include "run/line_reader.h"

namespace lintkeeper {

namespace {

void print_parsed(const CrontabLine& line, PrintForm form, Output* out) {
  switch (form) {
    case PrintForm::None:
      break;
    case PrintForm::Echo:
      out->write(format_echo(line));
      break;
    case PrintForm::Debug:
      out->write(format_debug(line));
      out->write("\n");
      break;
    case PrintForm::DebugVerbose:
      out->write(format_debug_verbose(line));
      out->write("\n");
      break;
  }
}

void report_utf8_fault(std::uint64_t number, const Utf8Fault& fault, FindingStore& store) {
  if (fault.length == 0) {
    store.add_file_line(MessageKind::INVALID_UTF8, number,
                        "error reading line {}: incomplete utf-8 byte sequence from index {}",
                        number, fault.index);
  } else {
    store.add_file_line(MessageKind::INVALID_UTF8, number,
                        "error reading line {}: invalid utf-8 sequence of {} bytes from index {}",
                        number, fault.length, fault.index);
  }
}

// Reads and checks every line of an open file.
void check_lines(ReadableFile& file, const CrontabReading& reading, FindingStore& store,
                 LineHook* hook) {
  LineReader reader(file);
  std::string_view raw;  // one line, owned by the reader; every view below points into it
  std::uint64_t number = 0;
  LineReader::Status status;
  while ((status = reader.next(raw)) == LineReader::Status::Line) {
    ++number;
    Utf8Fault fault{};
    const bool ascii = reader.line_is_ascii();
    if (!ascii && !validate_utf8(raw, fault)) {
      report_utf8_fault(number, fault, store);
      if (hook != nullptr) hook->line(number, raw, nullptr, store.line());
      continue;
    }
    const std::string_view text = ascii ? trim_ascii(raw) : trim(raw);
    const CrontabLine line = parse_line(text, reading.flavor);
    print_parsed(line, reading.print, reading.printed);
    check_line(line, reading.users, store.line(), reading.percent_newline);
    if (hook != nullptr) hook->line(number, raw, &line, store.line());
    store.finish_line(number, text, std::get_if<LintkeeperCmd>(&line));  // copies what it keeps
    if (raw.back() != '\n' && reading.missing_newline_whole_file) {
      store.add_file_line(MessageKind::MISSING_NEWLINE, number,
                          "Cron will not process this file - missing trailing newline");
    }
  }
  if (status == LineReader::Status::Error) {
    store.add_file(MessageKind::READ_ERROR, "{}", os_error(reader.error()));
  } else if (hook != nullptr) {
    hook->end();
  }
}

}  // namespace

std::optional<FileIdentity> check_crontab(FileSystem& fs, const std::string& path,
                                          const CrontabReading& reading, FindingStore& store,
                                          LineHook* hook, const std::string* target) {
  const std::string& file = target != nullptr ? *target : path;
  FileStatus status;
  if (fs.stat(file, status) != 0) {
    store.add_file(MessageKind::FILE_MISSING, "File \"{}\" does not exist.", lossy_utf8(path));
    return std::nullopt;
  }
  FileIdentity identity = status.identity;
  const std::optional<std::string_view> name = file_name_of(path);
  if (reading.name_rule && name && !lintkeeper_accepts_name(lossy_utf8(*name))) {
    store.add_file(MessageKind::FILE_NAME, CRON_NAME_RULE_TEXT);
  }
  std::unique_ptr<ReadableFile> opened;
  if (const int error = fs.open(file, opened); error != 0) {
    store.add_file(MessageKind::READ_ERROR, "{}", os_error(error));
    return identity;
  }
  identity = opened->identity();
  check_lines(*opened, reading, store, hook);
  return identity;
}

}  // namespace lintkeeper
