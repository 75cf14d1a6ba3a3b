// A growable array whose new elements are zero. Large ones come zeroed from
// the system in huge pages, so a big table that is mostly written once costs
// neither a clearing pass nor a fault per 4 KB page.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "platform/sys/LargeMemory.h"

namespace hy::sys {

template <class T>
class TZeroedArray {
  static_assert(std::is_trivially_copyable_v<T>, "elements are moved as bytes");

public:
  TZeroedArray() = default;
  ~TZeroedArray() { Free(data_, capacity_); }
  TZeroedArray(const TZeroedArray&) = delete;
  TZeroedArray& operator=(const TZeroedArray&) = delete;

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }

  // Room for `n` elements without moving; std::bad_alloc when the system
  // refuses.
  void reserve(size_t n) {
    if (n <= capacity_) return;
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    T* fresh = Allocate(n);
    if (size_) std::memcpy(static_cast<void*>(fresh), data_, size_ * sizeof(T));
    Free(data_, capacity_);
    data_ = fresh;
    capacity_ = n;
  }
  // Elements past the old size read zero.
  void resize(size_t n) {
    if (n > capacity_) reserve(std::max(n, capacity_ + capacity_ / 2));
    // What a shrink drops is cleared, so a later growth finds zeros again.
    if (n < size_) std::memset(static_cast<void*>(data_ + n), 0, (size_ - n) * sizeof(T));
    size_ = n;
  }
  void push_back(const T& value) {
    if (size_ == capacity_) reserve(std::max<size_t>(16, capacity_ * 2));
    data_[size_++] = value;
  }
  // Frees the memory.
  void clear() {
    Free(data_, capacity_);
    data_ = nullptr;
    size_ = capacity_ = 0;
  }

private:
  // Below this many bytes the heap's zeroed blocks serve.
  static constexpr size_t kMapFrom = size_t{1} << 20;

  static T* Allocate(size_t n) {
    const size_t bytes = n * sizeof(T);
    void* p = bytes >= kMapFrom ? static_cast<void*>(MapZeroed(bytes)) : std::calloc(n, sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  static void Free(T* data, size_t n) {
    if (!data) return;
    const size_t bytes = n * sizeof(T);
    if (bytes >= kMapFrom) Unmap(reinterpret_cast<uint8_t*>(data), bytes);
    else std::free(data);
  }

  T* data_ = nullptr;
  size_t size_ = 0, capacity_ = 0;
};

}  // namespace hy::sys
