// Reads a file one line at a time through an 8192-byte buffer.
#include "run/line_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) && !defined(LINTKEEPER_SCALAR)
#include <emmintrin.h>
#endif

namespace lintkeeper {

bool LineReader::fill() {
  const long n = file_.read(buffer_, kSize, error_);
  if (n < 0) return false;
  begin_ = 0;
  end_ = static_cast<std::size_t>(n);
  if (n == 0) eof_ = true;
  scan();
  return n > 0;
}

void LineReader::scan() {
  // The bytes after those read up to the end of their block are cleared: neither line
  // feeds nor non-ASCII.
  std::memset(buffer_ + end_, 0, kBlock);
  const std::size_t blocks = (end_ + kBlock - 1) / kBlock;
  std::memset(newlines_, 0, (blocks * kBlock + 63) / 64 * sizeof(std::uint64_t));
#if defined(__SSE2__) && !defined(LINTKEEPER_SCALAR)
  __m128i high = _mm_setzero_si128();
  const __m128i line_feed = _mm_set1_epi8('\n');
  for (std::size_t b = 0; b < blocks; ++b) {
    const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(buffer_ + b * kBlock));
    high = _mm_or_si128(high, v);
    const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, line_feed)));
    newlines_[b / 4] |= static_cast<std::uint64_t>(bits) << (16 * (b % 4));
  }
  buffer_ascii_ = _mm_movemask_epi8(high) == 0;
#else
  unsigned char high = 0;
  for (std::size_t i = 0; i < end_; ++i) {
    const auto byte = static_cast<unsigned char>(buffer_[i]);
    high |= byte;
    newlines_[i / 64] |= static_cast<std::uint64_t>(byte == '\n') << (i % 64);
  }
  buffer_ascii_ = high < 0x80;
#endif
}

std::size_t LineReader::find_newline(std::size_t from) const {
  std::size_t word = from / 64;
  std::uint64_t bits = newlines_[word] & (~std::uint64_t{0} << (from % 64));
  const std::size_t words = (end_ + 63) / 64;
  while (bits == 0) {
    if (++word >= words) return end_;
    bits = newlines_[word];
  }
  const std::size_t at = word * 64 + static_cast<std::size_t>(__builtin_ctzll(bits));
  return at < end_ ? at : end_;
}

bool LineReader::append_long(const char* data, std::size_t size) {
  if (size > long_capacity_ - long_size_) {
    const std::size_t capacity = std::max(long_capacity_ * 2, long_size_ + size);
    char* grown = static_cast<char*>(std::realloc(long_line_.get(), capacity));
    if (grown == nullptr) {
      error_ = ENOMEM;
      return false;
    }
    static_cast<void>(long_line_.release());
    long_line_.reset(grown);
    long_capacity_ = capacity;
  }
  std::memcpy(long_line_.get() + long_size_, data, size);
  long_size_ += size;
  return true;
}

LineReader::Status LineReader::next(std::string_view& line) {
  // A line wholly inside the buffer is handed out in place; one that crosses a refill is
  // gathered in long_line_.
  long_size_ = 0;
  bool gathering = false;
  line_ascii_ = true;
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
    line_ascii_ = line_ascii_ && buffer_ascii_;
    const std::size_t nl = find_newline(begin_);
    if (nl < end_) {
      const std::size_t len = nl - begin_ + 1;
      begin_ += len;
      if (!gathering) {
        line = {start, len};
        return Status::Line;
      }
      if (!append_long(start, len)) return Status::Error;
      line = {long_line_.get(), long_size_};
      return Status::Line;
    }
    if (!append_long(start, end_ - begin_)) return Status::Error;
    gathering = true;
    begin_ = end_;
  }
  if (!gathering) return Status::End;
  line = {long_line_.get(), long_size_};
  return Status::Line;
}

}  // namespace lintkeeper
