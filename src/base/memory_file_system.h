// A file system held in memory: files, directories, symbolic links and FIFOs with their owners,
// modes and hard links, and paths that fail with a given error. Tests build host trees in
// it; the web page's module reads the crontab typed into the page from it.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"

namespace lintkeeper {

class MemoryFileSystem final : public FileSystem {
 public:
  // Each adds an entry, and the directories above it that are missing (mode 0755, root's).
  // Paths are taken as written, so "a/b" and "/a/b" are two different files; a trailing
  // slash is not allowed.
  void add_file(const std::string& path, std::string_view content, mode_t mode = 0644,
                uid_t uid = 0);
  void add_dir(const std::string& path, mode_t mode = 0755, uid_t uid = 0);
  void add_link(const std::string& path, std::string_view target, uid_t uid = 0);
  void add_fifo(const std::string& path, mode_t mode = 0644, uid_t uid = 0);
  // Another name for an existing file: both count one more hard link.
  void add_hard_link(const std::string& existing, const std::string& path);
  // Reading the path, its entries or its content, fails with the error, as for a folder or
  // file that may not be read: stat still answers. A path not there yet is a file.
  void fail(const std::string& path, int error);
  // Whether can_execute says yes for the path; by default, when any execute bit is set.
  void set_executable(const std::string& path, bool executable);

  int stat(const std::string& path, FileStatus& status) override;
  int lstat(const std::string& path, FileStatus& status) override;
  int read_link(const std::string& path, std::string& target) override;
  int read_dir(const std::string& path, std::vector<std::string>& names) override;
  int open(const std::string& path, std::unique_ptr<ReadableFile>& file) override;
  bool can_execute(const std::string& path) override;
  int replace_file(const std::string& path, std::string_view content,
                   const FileStatus& expected) override;
  // Whether nothing may be written in the directory, as on a file system mounted read-only.
  void set_read_only(const std::string& dir);

 private:
  struct Node {
    FileStatus status;
    std::string content;  // a file's bytes, or a link's target
    int error = 0;        // reading it fails with it
    int executable = -1;  // -1: by the mode bits
  };
  Node& add(const std::string& path, mode_t mode, uid_t uid);
  // The node the path leads to, links followed (or not); null with error set. With read, a
  // node that may not be read fails too.
  std::shared_ptr<Node> find(const std::string& path, bool follow, int& error,
                             bool read = false) const;

  std::map<std::string, std::shared_ptr<Node>> nodes_;
  std::vector<std::string> read_only_;
  ino_t next_inode_ = 1;
};

}  // namespace lintkeeper
