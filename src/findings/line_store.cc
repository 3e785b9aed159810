// Compact storage of the kept line records.
//
// A record is: varint number step, varint text size, text, varint finding count, then per
// finding a byte for its kind, varint size, text, varint fix (its index plus one, 0 for none).
// The number step is the record's number less the previous record's number, less one (mod
// 2^64): 0, one byte, for consecutive lines.
// A record never spans two chunks.
#include "findings/line_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace lintkeeper {

namespace {

static_assert(KIND_COUNT <= 256, "a record holds a finding's kind in a byte");

char* put_varint(char* p, std::uint64_t v) {
  while (v >= 0x80) {
    *p++ = static_cast<char>((v & 0x7F) | 0x80);
    v >>= 7;
  }
  *p++ = static_cast<char>(v);
  return p;
}

char* put_text(char* p, std::string_view text) {
  p = put_varint(p, text.size());
  if (!text.empty()) std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

const char* get_varint(const char* p, std::uint64_t& v) {
  v = 0;
  int shift = 0;
  while (true) {
    const auto byte = static_cast<unsigned char>(*p++);
    v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return p;
    shift += 7;
  }
}

const char* get_text(const char* p, std::string_view& text) {
  std::uint64_t size = 0;
  p = get_varint(p, size);
  text = {p, static_cast<std::size_t>(size)};
  return p + size;
}

}  // namespace

LineStore::Chunk::Chunk(std::size_t capacity_in) : capacity(capacity_in) {
  if (capacity < kMappedChunkSize) {
    data = static_cast<char*>(std::malloc(capacity));
    if (data == nullptr) throw std::bad_alloc();
    return;
  }
  // Mapped with its pages made at once: cheaper than taking a fault on each page as the
  // records fill it.
  void* p = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  data = static_cast<char*>(p);
}

LineStore::Chunk::Chunk(Chunk&& other) noexcept
    : data(std::exchange(other.data, nullptr)), capacity(other.capacity), used(other.used) {}

LineStore::Chunk::~Chunk() {
  if (data == nullptr) return;
  if (capacity < kMappedChunkSize) {
    std::free(data);
  } else {
    ::munmap(data, capacity);
  }
}

char* LineStore::reserve(std::size_t size) {
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < size) {
    // Small files need little: chunks start small and double up to their full size.
    const std::size_t next = std::min(kFirstChunkSize << chunks_.size(), kLastChunkSize);
    chunks_.emplace_back(size > next ? size : next);
  }
  Chunk& chunk = chunks_.back();
  return chunk.data + chunk.used;
}

void LineStore::append(std::uint64_t number, std::string_view text,
                       std::span<const Finding> findings) {
  // Room for the longest encoding; only what is written is kept.
  constexpr std::size_t kVarint = 10;
  std::size_t room = 3 * kVarint + text.size();
  for (const Finding& m : findings) room += 1 + 2 * kVarint + m.text.size();

  char* const start = reserve(room);
  char* p = put_varint(start, number - last_number_ - 1);
  last_number_ = number;
  p = put_text(p, text);
  p = put_varint(p, findings.size());
  for (const Finding& m : findings) {
    *p++ = static_cast<char>(m.kind);
    p = put_text(p, m.text);
    p = put_varint(p, m.fix == kNoFix ? 0 : std::uint64_t{m.fix} + 1);
  }
  chunks_.back().used += static_cast<std::size_t>(p - start);
  ++count_;
}

bool LineStore::Cursor::next(LineRecord& record) {
  while (chunk_ < store_.chunks_.size() && offset_ >= store_.chunks_[chunk_].used) {
    ++chunk_;
    offset_ = 0;
  }
  if (chunk_ >= store_.chunks_.size()) return false;
  const char* start = store_.chunks_[chunk_].data + offset_;
  std::uint64_t step = 0;
  const char* p = get_varint(start, step);
  record.number = last_number_ = last_number_ + step + 1;
  p = get_text(p, record.text);
  std::uint64_t count = 0;
  p = get_varint(p, count);
  findings_.clear();
  for (std::uint64_t i = 0; i < count; ++i) {
    Finding f{{}, static_cast<MessageKind>(static_cast<unsigned char>(*p++)), record.number};
    p = get_text(p, f.text);
    std::uint64_t fix = 0;
    p = get_varint(p, fix);
    if (fix != 0) f.fix = static_cast<std::uint32_t>(fix - 1);
    findings_.push_back(f);
  }
  record.findings = findings_;
  offset_ += static_cast<std::size_t>(p - start);
  return true;
}

}  // namespace lintkeeper
