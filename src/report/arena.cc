// Append-only text store.
#include "report/arena.h"

#include <cstring>

namespace lintkeeper {

std::string_view TextArena::store(std::string_view text) {
  if (text.empty()) return {};
  if (text.size() > left_) {
    if (text.size() > kChunkSize / 4) {
      // Large texts get their own block; the current chunk stays open for small ones.
      blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
      std::memcpy(blocks_.back().get(), text.data(), text.size());
      return {blocks_.back().get(), text.size()};
    }
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkSize));
    next_ = blocks_.back().get();
    left_ = kChunkSize;
  }
  char* at = next_;
  std::memcpy(at, text.data(), text.size());
  next_ += text.size();
  left_ -= text.size();
  return {at, text.size()};
}

}  // namespace lintkeeper
