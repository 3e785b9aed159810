// A file written whole or not at all: into a temporary file beside it, renamed over it once
// everything is written. A path that names a device or a pipe is written in place.
#pragma once

#include <string>

namespace lintkeeper {

class AtomicFile {
 public:
  // Creates the temporary file, with the mode a new file of the process would get.
  explicit AtomicFile(std::string path);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  // Removes the temporary file unless it was committed.
  ~AtomicFile();

  // The descriptor to write to, or -1 when the temporary file could not be made.
  int fd() const { return fd_; }
  // The errno of the failure to make the temporary file, or 0.
  int error() const { return error_; }
  // Closes the temporary file and renames it to the path. Returns 0, or the errno of what
  // failed (the temporary file is then removed).
  int commit();

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
  int error_ = 0;
  bool committed_ = false;
  bool direct_ = false;
};

}  // namespace lintkeeper
