// Buffered writes to a file descriptor, or to memory.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

#include <fmt/format.h>

namespace lintkeeper {

// The buffer is written out whenever it holds flush_at bytes or more, and at flush().
// The first failed write is kept as error() and nothing is written after it: whether that
// matters is the caller's choice (standard output goes on regardless; a report file is
// reported as not written). Without a descriptor (fd < 0) everything stays in memory, which
// is what tests read back with contents().
class Output {
 public:
  static constexpr std::size_t kDefaultFlushAt = 64 * 1024;

  explicit Output(int fd = -1, std::size_t flush_at = kDefaultFlushAt)
      : fd_(fd), flush_at_(flush_at) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output() { flush(); }

  void write(std::string_view text) {
    if (error_ != 0) return;
    buffer_.append(text.data(), text.data() + text.size());
    maybe_flush();
  }
  template <typename... T>
  void print(fmt::format_string<T...> format, T&&... args) {
    if (error_ != 0) return;
    fmt::format_to(fmt::appender(buffer_), format, std::forward<T>(args)...);
    maybe_flush();
  }
  void flush();

  // The errno of the first failed write, or 0.
  int error() const { return error_; }
  // The text written so far (only meaningful without a descriptor).
  std::string_view contents() const { return {buffer_.data(), buffer_.size()}; }

 private:
  void maybe_flush() {
    if (fd_ >= 0 && buffer_.size() >= flush_at_) flush();
  }

  int fd_;
  std::size_t flush_at_;
  int error_ = 0;
  fmt::memory_buffer buffer_;
};

}  // namespace lintkeeper
