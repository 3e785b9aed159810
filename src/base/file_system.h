// The file system as the programs read it: a small interface, so that tests can give a tree
// held in memory (base/memory_file_system.h) where the programs read the disk.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_identity.h"

namespace lintkeeper {

// What stat tells of a file. mode holds the type bits as st_mode does (S_ISREG works on it).
struct FileStatus {
  mode_t mode = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  nlink_t links = 1;
  off_t size = 0;
  FileIdentity identity{};
};

// A file opened for reading.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Reads up to size bytes into data: the number read, 0 at the end, or -1 with the errno in
  // error. A read interrupted by a signal is taken again.
  virtual long read(char* data, std::size_t size, int& error) = 0;
  // The identity of the file opened, which a path may no longer name.
  virtual FileIdentity identity() const = 0;
};

// Every call returns 0 or the errno of its failure.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The file the path leads to, symbolic links followed.
  virtual int stat(const std::string& path, FileStatus& status) = 0;
  // The entry itself: a symbolic link is not followed.
  virtual int lstat(const std::string& path, FileStatus& status) = 0;
  virtual int read_link(const std::string& path, std::string& target) = 0;
  // The names of the entries of a directory, "." and ".." left out, in no given order.
  virtual int read_dir(const std::string& path, std::vector<std::string>& names) = 0;
  virtual int open(const std::string& path, std::unique_ptr<ReadableFile>& file) = 0;
  // Whether the calling user may execute the file, as access(X_OK) answers: as root any
  // execute bit will do; a file system mounted noexec refuses.
  virtual bool can_execute(const std::string& path) = 0;
  // Puts content in place of the regular file at path, whole or not at all: writes it to a
  // temporary file beside it, which cron passes over (its name starts with "."), gives that
  // the owner, group and mode of expected, and renames it over the file. Fails with ESTALE,
  // writing nothing, when path no longer names the file expected (its identity and size).
  virtual int replace_file(const std::string& path, std::string_view content,
                           const FileStatus& expected) = 0;
};

// The machine's own file system.
FileSystem& disk();

// The whole content of a file, or the errno of the failure.
int read_whole_file(FileSystem& fs, const std::string& path, std::string& content);

}  // namespace lintkeeper
