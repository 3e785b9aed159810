// Compact storage of the kept line records: one growing set of chunks, a few bytes of
// header per line, findings stored only for lines that have any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "findings/finding.h"

namespace lintkeeper {

class LineStore {
 public:
  void append(std::uint64_t number, std::string_view text, std::span<const Finding> findings);
  std::size_t size() const { return count_; }

  // Walks the records in file order. The record's views stay valid while the store lives,
  // except its finding list, which is rebuilt by each call to next().
  class Cursor {
   public:
    explicit Cursor(const LineStore& store) : store_(store) {}
    bool next(LineRecord& record);

   private:
    const LineStore& store_;
    std::size_t chunk_ = 0;
    std::size_t offset_ = 0;
    std::uint64_t last_number_ = 0;
    std::vector<Finding> findings_;
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
