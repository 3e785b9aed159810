// Buffered output to a file descriptor; write errors are ignored.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace lintkeeper {

// All report text goes through one Output. With a descriptor the buffer is written out
// whenever it grows past a threshold and at flush(); without one (fd < 0) everything stays
// in memory, which is what tests read back with contents().
class Output {
 public:
  explicit Output(int fd = -1) : fd_(fd) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { flush(); }

  void write(std::string_view text) {
    buffer_.append(text.data(), text.data() + text.size());
    maybe_flush();
  }
  template <typename... T>
  void print(fmt::format_string<T...> format, T&&... args) {
    fmt::format_to(fmt::appender(buffer_), format, std::forward<T>(args)...);
    maybe_flush();
  }
  void flush();

  // The text written so far (only meaningful without a descriptor).
  std::string_view contents() const { return {buffer_.data(), buffer_.size()}; }

 private:
  static constexpr std::size_t kFlushAt = 64 * 1024;
  void maybe_flush() {
    if (fd_ >= 0 && buffer_.size() >= kFlushAt) flush();
  }

  int fd_;
  bool failed_ = false;  // after a failed write nothing more is attempted
  fmt::memory_buffer buffer_;
};

}  // namespace lintkeeper
