// Buffered output: the write loop.
#include "base/output.h"

#include <unistd.h>

#include <cerrno>

namespace lintkeeper {

void Output::flush() {
  if (fd_ < 0) return;
  const char* data = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0 && error_ == 0) {
    const ssize_t n = ::write(fd_, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = errno;  // a closed pipe or a full disk: nothing more is written
      break;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

}  // namespace lintkeeper
