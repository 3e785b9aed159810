// The framing of the protocol's messages on a byte stream: a header of "Name: value" lines
// ended by an empty line, whose Content-Length gives the size of the body after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lintkeeper {

// The largest body read: a longer one is skipped without being held.
inline constexpr std::uint64_t kMaxMessageSize = std::uint64_t{64} << 20;

// What the next read found.
struct Incoming {
  enum class Kind : std::uint8_t {
    Message,   // body holds the message
    TooLarge,  // a body of declared bytes, more than kMaxMessageSize, was skipped
    End,       // the stream ended (possibly inside a message)
  };
  Kind kind = Kind::End;
  std::string body;
  std::uint64_t declared = 0;
};

// Reads messages from a file descriptor. A header without a Content-Length that is a
// decimal count of bytes is dropped with its block; the reading goes on at the next
// "Content-Length:" found, even one that follows the end of a body the broken header lost.
class MessageReader {
 public:
  explicit MessageReader(int fd) : fd_(fd) {}
  Incoming next();
  // How many header blocks were dropped so far.
  std::uint64_t dropped() const { return dropped_; }

 private:
  // Fills the buffer when it is used up; false at the end of the stream.
  bool fill();
  // The next line without its "\n" (and "\r"); of a line longer than kMaxHeaderLine only
  // its end is kept. False at the end of the stream.
  bool read_line(std::string& line);
  // Appends the next size bytes to body, or skips them when body is null; false when the
  // stream ends first.
  bool read_body(std::uint64_t size, std::string* body);

  int fd_;
  std::string buffer_;
  std::size_t at_ = 0;
  std::uint64_t dropped_ = 0;
};

// The Content-Length a header line gives: the count of bytes, -1 for a line that is no
// Content-Length header, -2 for one whose value is no count.
std::int64_t content_length_of(std::string_view line);

// The message framed for the stream.
std::string framed(std::string_view body);

}  // namespace lintkeeper
