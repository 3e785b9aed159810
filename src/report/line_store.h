// Compact storage of the kept line records: one growing set of chunks, a few bytes of
// header per line, messages stored only for lines that have any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "report/message_kind.h"

namespace lintkeeper {

// One message. The text is owned by whatever holds the message (the Report or its store).
struct LineMessage {
  std::string_view text;
  MessageKind kind;
  std::uint64_t line = 0;  // a message about the file: the line it concerns, or 0

  Severity severity() const { return severity_of(kind); }
};

// The kept result of one valid line.
struct LineRecord {
  std::uint64_t number;
  std::string_view text;                  // the trimmed line text
  std::span<const LineMessage> messages;  // errors first, then warnings
};

class LineStore {
 public:
  void append(std::uint64_t number, std::string_view text, std::span<const LineMessage> messages);
  std::size_t size() const { return count_; }

  // Walks the records in file order. The record's views stay valid while the store lives,
  // except its message list, which is rebuilt by each call to next().
  class Cursor {
   public:
    explicit Cursor(const LineStore& store) : store_(store) {}
    bool next(LineRecord& record);

   private:
    const LineStore& store_;
    std::size_t chunk_ = 0;
    std::size_t offset_ = 0;
    std::uint64_t last_number_ = 0;
    std::vector<LineMessage> messages_;
  };
  Cursor cursor() const { return Cursor(*this); }

 private:
  // A block of memory mapped for records.
  struct Chunk {
    explicit Chunk(std::size_t capacity);
    Chunk(Chunk&& other) noexcept;
    Chunk& operator=(Chunk&&) = delete;
    ~Chunk();

    char* data;
    std::size_t capacity;
    std::size_t used = 0;
  };
  static constexpr std::size_t kFirstChunkSize = 4 << 10;  // then doubling up to the last
  static constexpr std::size_t kLastChunkSize = 4 << 20;
  // Chunks from this size on are mapped with their pages made at once; smaller ones, the
  // first of a file, come from malloc, which is cheaper for the many small files of a host.
  static constexpr std::size_t kMappedChunkSize = 256 << 10;

  char* reserve(std::size_t size);

  std::vector<Chunk> chunks_;
  std::size_t count_ = 0;
  std::uint64_t last_number_ = 0;  // of the last record appended
};

}  // namespace lintkeeper
