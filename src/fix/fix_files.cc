// --diff and --fix.
#include "fix/fix_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include <fmt/format.h>

#include "base/hash.h"
#include "base/os_error.h"
#include "base/unicode.h"
#include "fix/apply.h"
#include "formats/findings.h"

namespace lintkeeper {

namespace {

// The parts of a path, "." and empty ones left out and ".." taken back.
std::vector<std::string_view> parts_of(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == ".." && !parts.empty() && parts.back() != "..") {
      parts.pop_back();
    } else {
      parts.push_back(part);
    }
  }
  return parts;
}

std::string joined(std::span<const std::string_view> parts) {
  std::string out;
  for (std::string_view part : parts) {
    if (!out.empty()) out += '/';
    out.append(part);
  }
  return out;
}

// Why a file cannot be fixed, or empty; content is then its bytes, as audited.
std::string check_file(FileSystem& fs, const AuditedFile& file, FileStatus& status,
                       std::string& content) {
  if (const int error = fs.lstat(file.host_path, status); error != 0) return os_error(error);
  if (S_ISLNK(status.mode)) {
    return "it is a symbolic link: fix the file it leads to, named on the command line";
  }
  if (!S_ISREG(status.mode)) return "it is not a regular file";
  if (status.links > 1) {
    return fmt::format("it has {} hard links, which writing it anew would part", status.links);
  }
  if (const int error = read_whole_file(fs, file.host_path, content); error != 0) {
    return os_error(error);
  }
  if (content.size() != file.size || fnv1a(content) != file.hash) {
    return "it changed while it was read";
  }
  return {};
}

}  // namespace

std::string diff_path(std::string_view path, std::string_view working_dir) {
  if (!path.starts_with('/')) return joined(parts_of(path));
  const std::vector<std::string_view> parts = parts_of(path);
  const std::vector<std::string_view> base = parts_of(working_dir);
  if (base.size() < parts.size() && std::equal(base.begin(), base.end(), parts.begin())) {
    return joined(std::span(parts).subspan(base.size()));
  }
  return joined(parts);
}

FixResult fix_files(const Audit& audit, FileSystem& fs, const FixRequest& request) {
  FixResult result;
  for (const AuditedFile& file : audit.files) {
    for_each_finding(file, [&](const ReportedFinding& f) {
      if (f.fix != nullptr && f.fix->edits.empty() && !f.fix->command.empty() &&
          (f.fix->safety == FixSafety::Safe || request.unsafe)) {
        result.commands.push_back(f.fix->command);
      }
    });
    if (file.host_path.empty()) continue;
    const std::vector<Edit> edits = edits_to_make(file, request.unsafe);
    if (edits.empty()) continue;
    const std::string shown = lossy_utf8(file.host_path);
    FileStatus status;
    std::string content;
    std::string why = check_file(fs, file, status, content);
    if (why.empty() && request.write) {
      if (const int error = fs.replace_file(file.host_path, apply_edits(content, edits), status);
          error != 0) {
        why = error == ESTALE ? std::string("it changed while it was read")
                              : fmt::format("can not write it anew beside it: {}", os_error(error));
      }
    }
    if (!why.empty()) {
      result.refusals.push_back(fmt::format("can not fix {}: {}", shown, why));
      continue;
    }
    if (!request.write) {
      result.diff += unified_diff(diff_path(file.host_path, request.working_dir), content, edits);
    }
    ++result.files;
    for_each_finding(file, [&](const ReportedFinding& f) {
      if (f.fix == nullptr || f.fix->edits.empty()) return;
      const bool in = std::any_of(edits.begin(), edits.end(),
                                  [&](const Edit& e) { return e == f.fix->edits.front(); });
      if (in) ++result.findings;
    });
  }
  return result;
}

}  // namespace lintkeeper
