// Reads a file one line at a time through an 8192-byte buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "base/file_system.h"

namespace lintkeeper {

class LineReader {
 public:
  enum class Status { Line, End, Error };

  explicit LineReader(ReadableFile& file) : file_(file) {}

  // Sets line to the next line, its line feed included when it has one. The view stays
  // valid until the next call. On Error, error() holds the errno of the failed read (ENOMEM
  // for a line longer than memory holds) and the partial line is dropped.
  Status next(std::string_view& line);
  int error() const { return error_; }
  // Whether the last line handed out is plain ASCII, known without looking at it again
  // (false when that is not known).
  bool line_is_ascii() const { return line_ascii_; }

 private:
  static constexpr std::size_t kSize = 8192;
  static constexpr std::size_t kBlock = 16;
  bool fill();
  void scan();  // fills newlines_ and buffer_ascii_ for the bytes read
  std::size_t find_newline(std::size_t from) const;  // index in the buffer, or end_

  ReadableFile& file_;
  int error_ = 0;
  bool eof_ = false;
  bool buffer_ascii_ = false;
  bool line_ascii_ = false;
  std::size_t begin_ = 0, end_ = 0;
  // A line that does not fit in what is left of the buffer. It grows by realloc, which moves
  // a large block by remapping its pages where a std::string would copy it at each doubling.
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };
  bool append_long(const char* data, std::size_t size);  // false, ENOMEM in error_, if no room
  std::unique_ptr<char, Free> long_line_;
  std::size_t long_size_ = 0, long_capacity_ = 0;
  // Bit i set: buffer_[i] is a line feed. One pass over each buffer read finds them all.
  std::uint64_t newlines_[kSize / 64];
  // Room past the bytes read to scan whole blocks.
  alignas(kBlock) char buffer_[kSize + kBlock];
};

}  // namespace lintkeeper
