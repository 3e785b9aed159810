// Reads a file one line at a time through an 8192-byte buffer.
#include "run/line_reader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lintkeeper {

bool LineReader::fill() {
  while (true) {
    const ssize_t n = ::read(fd_, buffer_, kSize);
    if (n < 0) {
      if (errno == EINTR) continue;  // interrupted by a signal: read again
      error_ = errno;
      return false;
    }
    begin_ = 0;
    end_ = static_cast<std::size_t>(n);
    if (n == 0) eof_ = true;
    return n > 0;
  }
}

LineReader::Status LineReader::next(std::string_view& line) {
  // A line wholly inside the buffer is handed out in place; one that crosses a refill is
  // gathered in long_line_.
  long_line_.clear();
  bool gathering = false;
  while (true) {
    if (begin_ == end_) {
      if (eof_) break;
      if (error_ != 0) return Status::Error;
      if (!fill()) {
        if (error_ != 0) return Status::Error;
        break;
      }
    }
    const char* start = buffer_ + begin_;
    const void* nl = std::memchr(start, '\n', end_ - begin_);
    if (nl != nullptr) {
      const std::size_t len = static_cast<std::size_t>(static_cast<const char*>(nl) - start) + 1;
      begin_ += len;
      if (!gathering) {
        line = {start, len};
        return Status::Line;
      }
      long_line_.append(start, len);
      line = long_line_;
      return Status::Line;
    }
    long_line_.append(start, end_ - begin_);
    gathering = true;
    begin_ = end_;
  }
  if (!gathering) return Status::End;
  line = long_line_;
  return Status::Line;
}

}  // namespace lintkeeper
