// A vector of trivially copyable values that keeps its first few elements inline, so that
// the common short lists (one or two items of a time field) need no allocation.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>
#include <type_traits>

namespace lintkeeper {

template <typename T, std::size_t N>
class SmallVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  using value_type = T;
  using iterator = T*;
  using const_iterator = const T*;

  // User-provided, so that value-initialisation leaves the inline storage alone.
  SmallVector() noexcept {}
  SmallVector(std::initializer_list<T> values) { append(values.begin(), values.size()); }
  SmallVector(const SmallVector& other) { append(other.data(), other.size_); }
  SmallVector(SmallVector&& other) noexcept { take(other); }
  SmallVector& operator=(const SmallVector& other) {
    if (this != &other) {
      size_ = 0;
      append(other.data(), other.size_);
    }
    return *this;
  }
  SmallVector& operator=(SmallVector&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~SmallVector() {
    if (heap_) std::free(heap_);
  }

  // Room for one more element, to be built in place and then kept with commit_back(); the
  // element is not counted until then.
  void* prepare_back() {
    if (size_ == capacity_) grow(capacity_ * 2);
    return static_cast<void*>(data() + size_);
  }
  void commit_back() { ++size_; }

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return heap_ ? heap_ : inline_data(); }
  const T* data() const { return heap_ ? heap_ : inline_data(); }
  T& operator[](std::size_t i) { return data()[i]; }
  const T& operator[](std::size_t i) const { return data()[i]; }
  T& front() { return data()[0]; }
  const T& front() const { return data()[0]; }
  T& back() { return data()[size_ - 1]; }
  const T& back() const { return data()[size_ - 1]; }
  T* begin() { return data(); }
  T* end() { return data() + size_; }
  const T* begin() const { return data(); }
  const T* end() const { return data() + size_; }

 private:
  T* inline_data() { return std::launder(reinterpret_cast<T*>(inline_)); }
  const T* inline_data() const { return std::launder(reinterpret_cast<const T*>(inline_)); }

  void append(const T* values, std::size_t count) {
    if (size_ + count > capacity_) grow(size_ + count);
    if (count > 0) std::memcpy(static_cast<void*>(data() + size_), values, count * sizeof(T));
    size_ += count;
  }
  void grow(std::size_t capacity) {
    T* fresh = static_cast<T*>(std::malloc(capacity * sizeof(T)));
    if (fresh == nullptr) throw std::bad_alloc();
    if (size_ > 0) std::memcpy(static_cast<void*>(fresh), data(), size_ * sizeof(T));
    std::free(heap_);
    heap_ = fresh;
    capacity_ = capacity;
  }
  void take(SmallVector& other) {
    if (other.heap_) {
      heap_ = other.heap_;
      capacity_ = other.capacity_;
    } else {
      heap_ = nullptr;
      capacity_ = N;
      std::memcpy(static_cast<void*>(inline_), other.inline_, other.size_ * sizeof(T));
    }
    size_ = other.size_;
    other.heap_ = nullptr;
    other.size_ = 0;
    other.capacity_ = N;
  }
  void release() {
    std::free(heap_);
    heap_ = nullptr;
    size_ = 0;
    capacity_ = N;
  }

  T* heap_ = nullptr;  // null while the elements fit inline
  std::size_t size_ = 0;
  std::size_t capacity_ = N;
  alignas(T) unsigned char inline_[N * sizeof(T)];
};

}  // namespace lintkeeper
