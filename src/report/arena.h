// An append-only store of texts whose views stay valid for the store's life.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace lintkeeper {

// Texts are copied into large chunks that never move, so a view handed out once stays
// valid; a text larger than a chunk gets a block of its own.
class TextArena {
 public:
  std::string_view store(std::string_view text);

 private:
  static constexpr std::size_t kChunkSize = 1 << 20;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  std::size_t left_ = 0;
};

}  // namespace lintkeeper
