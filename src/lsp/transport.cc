// The protocol's framing: header lines, Content-Length, and the body.
#include "lsp/transport.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <limits>

#include <fmt/format.h>

#include "base/chars.h"

namespace lintkeeper {

namespace {

constexpr std::string_view kContentLength = "Content-Length:";
// Header lines are short; a longer line is kept by its end, where a header may follow the
// tail of a lost body.
constexpr std::size_t kMaxHeaderLine = 4096;
constexpr std::size_t kReadSize = 65536;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::int64_t content_length_of(std::string_view line) {
  if (line.size() < kContentLength.size() ||
      !equal_ignoring_case(line.substr(0, kContentLength.size()), kContentLength)) {
    // The tail of a body whose header was lost, then the next message's header.
    const std::size_t inside = line.rfind(kContentLength);
    if (inside == std::string_view::npos || inside == 0) return -1;
    line.remove_prefix(inside);
  }
  std::string_view value = line.substr(kContentLength.size());
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  if (value.empty() || !std::all_of(value.begin(), value.end(), is_ascii_digit)) return -2;
  std::int64_t n = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
  if (error == std::errc::result_out_of_range) return std::numeric_limits<std::int64_t>::max();
  return end == value.data() + value.size() ? n : -2;
}

std::string framed(std::string_view body) {
  return fmt::format("Content-Length: {}\r\n\r\n{}", body.size(), body);
}

bool MessageReader::fill() {
  if (at_ < buffer_.size()) return true;
  buffer_.resize(kReadSize);
  at_ = 0;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
    if (n < 0 && errno == EINTR) continue;
    buffer_.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return n > 0;
  }
}

bool MessageReader::read_line(std::string& line) {
  line.clear();
  while (fill()) {
    const std::size_t feed = buffer_.find('\n', at_);
    const std::size_t end = feed == std::string::npos ? buffer_.size() : feed;
    line.append(buffer_, at_, end - at_);
    if (line.size() > kMaxHeaderLine) line.erase(0, line.size() - kMaxHeaderLine);
    at_ = feed == std::string::npos ? end : feed + 1;
    if (feed == std::string::npos) continue;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }
  return false;
}

bool MessageReader::read_body(std::uint64_t size, std::string* body) {
  while (size > 0) {
    if (!fill()) return false;
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer_.size() - at_));
    if (body != nullptr) body->append(buffer_, at_, take);
    at_ += take;
    size -= take;
  }
  return true;
}

Incoming MessageReader::next() {
  std::string line;
  for (;;) {
    // A header block: its lines up to an empty one. Empty lines before it are skipped.
    std::int64_t length = -1;
    bool broken = false;
    bool started = false;
    while (read_line(line)) {
      if (line.empty()) {
        if (started) break;
        continue;
      }
      started = true;
      const std::int64_t n = content_length_of(line);
      if (n == -2) broken = true;
      if (n >= 0) length = n;
    }
    if (!started) return {};
    if (broken || length < 0) {
      ++dropped_;  // at the end of the stream, the next round finds nothing
      continue;
    }
    const auto size = static_cast<std::uint64_t>(length);
    if (size > kMaxMessageSize) {
      if (!read_body(size, nullptr)) return {};
      return {Incoming::Kind::TooLarge, {}, size};
    }
    Incoming message{Incoming::Kind::Message, {}, size};
    message.body.reserve(static_cast<std::size_t>(size));
    if (!read_body(size, &message.body)) return {};
    return message;
  }
}

}  // namespace lintkeeper
