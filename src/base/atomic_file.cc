// A file written whole or not at all.
#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace lintkeeper {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), temporary_(path_ + ".XXXXXX") {
  // A device or a pipe (/dev/stdout) is written in place: renaming over it would replace it.
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    direct_ = true;
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd_ < 0) error_ = errno;
    return;
  }
  std::vector<char> name(temporary_.begin(), temporary_.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) {
    error_ = errno;
    return;
  }
  temporary_.assign(name.data());
  // mkstemp makes the file 0600: give it the mode open() would.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

AtomicFile::~AtomicFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_ && !direct_ && error_ == 0) ::unlink(temporary_.c_str());
}

int AtomicFile::commit() {
  int failure = ::close(fd_) == 0 ? 0 : errno;
  fd_ = -1;
  if (direct_) return failure;
  if (failure == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) failure = errno;
  if (failure != 0) {
    ::unlink(temporary_.c_str());
    return failure;
  }
  committed_ = true;
  return 0;
}

}  // namespace lintkeeper
