// An open document audited as the file it will be saved as.
#include "lsp/check_document.h"

#include <cstdlib>
#include <ctime>
#include <memory>
#include <utility>

#include <fmt/format.h>

#include "base/memory_file_system.h"
#include "cli/audit_options.h"

namespace lintkeeper {

namespace {

// base, with the document at path in place of what is saved there.
class DocumentFileSystem final : public FileSystem {
 public:
  DocumentFileSystem(FileSystem& base, const std::string& path, std::string_view text)
      : base_(base), path_(path) {
    held_.add_file(path, text);
  }

  int stat(const std::string& path, FileStatus& status) override {
    return of(path).stat(path, status);
  }
  int lstat(const std::string& path, FileStatus& status) override {
    return of(path).lstat(path, status);
  }
  int read_link(const std::string& path, std::string& target) override {
    return of(path).read_link(path, target);
  }
  int read_dir(const std::string& path, std::vector<std::string>& names) override {
    return of(path).read_dir(path, names);
  }
  int open(const std::string& path, std::unique_ptr<ReadableFile>& file) override {
    return of(path).open(path, file);
  }
  bool can_execute(const std::string& path) override { return of(path).can_execute(path); }
  int replace_file(const std::string& path, std::string_view content,
                   const FileStatus& expected) override {
    return of(path).replace_file(path, content, expected);
  }

 private:
  FileSystem& of(const std::string& path) { return path == path_ ? held_ : base_; }

  FileSystem& base_;
  const std::string& path_;
  MemoryFileSystem held_;
};

}  // namespace

std::vector<std::string> audit_arguments(const std::string& path, const DocumentReading& reading) {
  std::vector<std::string> args;
  if (reading.cron) args.insert(args.end(), {"--cron", std::string(cron_info(*reading.cron).name)});
  if (reading.user) args.emplace_back("--user");
  if (reading.edit_copy) args.insert(args.end(), {"--disable", "FILE_NAME"});
  args.insert(args.end(), {"--next", fmt::format("{}", kNextRuns), "--", path});
  return args;
}

CheckedDocument check_document(const std::string& path, std::string text,
                               const DocumentReading& reading, FileSystem& base) {
  DocumentFileSystem fs(base, path, text);
  const std::vector<std::string> args = audit_arguments(path, reading);
  CommandLine<AuditArgs> line =
      parse_audit_command_line(std::vector<std::string_view>(args.begin(), args.end()));
  // The arguments are made above and always parse; the zone is the machine's, as for
  // lintkeeper-audit run here.
  prepare_audit(line.args, fs, static_cast<std::int64_t>(std::time(nullptr)), std::getenv("TZ"));
  Audit audit = run_audit(line.args.audit, fs);
  return {DocumentText(std::move(text)), std::move(audit)};
}

}  // namespace lintkeeper
