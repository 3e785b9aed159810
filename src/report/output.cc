// Buffered output: the write loop.
#include "report/output.h"

#include <unistd.h>

#include <cerrno>

namespace lintkeeper {

void Output::flush() {
  if (fd_ < 0) return;
  const char* data = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0 && !failed_) {
    const ssize_t n = ::write(fd_, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      failed_ = true;  // a closed pipe or a full disk: the report is lost, the run goes on
      break;
    }
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

}  // namespace lintkeeper
