#include "platform/sys/LargeMemory.h"

#include <sys/mman.h>

namespace hy::sys {

namespace {
constexpr size_t kPageSize = 4096;
}

size_t MappedSize(size_t bytes) { return (bytes + kPageSize - 1) / kPageSize * kPageSize; }

uint8_t* MapZeroed(size_t bytes) {
  bytes = MappedSize(bytes);
  // Over-allocated by one huge page, so that an aligned start fits; fresh
  // mappings are zero, so nothing is cleared twice.
  const size_t span = bytes + kHugePageSize;
  void* p = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  auto* base = static_cast<uint8_t*>(p);
  const uintptr_t address = reinterpret_cast<uintptr_t>(base);
  auto* aligned = reinterpret_cast<uint8_t*>((address + kHugePageSize - 1) & ~(kHugePageSize - 1));
  const size_t head = static_cast<size_t>(aligned - base);
  if (head) munmap(base, head);
  const size_t tail = span - head - bytes;
  if (tail) munmap(aligned + bytes, tail);
#ifdef MADV_HUGEPAGE
  madvise(aligned, bytes, MADV_HUGEPAGE);
#endif
  return aligned;
}

void Unmap(uint8_t* block, size_t bytes) {
  if (block) munmap(block, MappedSize(bytes));
}

}  // namespace hy::sys
