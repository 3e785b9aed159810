// Reads a file one line at a time through an 8192-byte buffer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lintkeeper {

class LineReader {
 public:
  enum class Status { Line, End, Error };

  explicit LineReader(int fd) : fd_(fd) {}

  // Sets line to the next line, its line feed included when it has one. The view stays
  // valid until the next call. On Error, error() holds the errno of the failed read and
  // the partial line is dropped.
  Status next(std::string_view& line);
  int error() const { return error_; }

 private:
  static constexpr std::size_t kSize = 8192;
  bool fill();

  int fd_;
  int error_ = 0;
  bool eof_ = false;
  std::size_t begin_ = 0, end_ = 0;
  std::string long_line_;  // a line that does not fit in what is left of the buffer
  char buffer_[kSize];
};

}  // namespace lintkeeper
