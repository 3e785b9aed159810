// FNV-1a, 64 bits: a fast hash of bytes, for fingerprints and for telling that bytes are the
// same as before. Not for anything an attacker chooses to collide.
#pragma once

#include <cstdint>
#include <string_view>

namespace lintkeeper {

inline constexpr std::uint64_t kFnvOffsetBasis = 0xcbf29ce484222325ull;

// The hash of bytes, continued from the hash of the bytes before them.
constexpr std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = kFnvOffsetBasis) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

}  // namespace lintkeeper
