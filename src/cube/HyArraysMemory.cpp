// The memory budget that growing arrays respect.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <limits>
#include <new>

#include "cube/HyArrays.h"
#include "platform/sys/MemoryStatus.h"

namespace hy {

namespace {

std::atomic<int64_t> testBudget{-1};
std::atomic<int64_t> mappedBytes{0};

// The smallest of the machine's available memory and the room the process's
// own limits leave (address space, control group) on top of what it holds.
int64_t MeasureBudgetNow() {
  const int64_t held = ProcessAllocatedBytes();
  int64_t budget = sys::AvailableMemory();
  const int64_t addressLimit = sys::AddressSpaceLimit();
  if (addressLimit != sys::kNoLimit)
    budget = std::min(budget, held + std::max<int64_t>(addressLimit - sys::AddressSpaceInUse(), 0));
  const sys::TCgroupMemory group = sys::CgroupMemory();
  if (group.limit != sys::kNoLimit)
    budget = std::min(budget, held + std::max<int64_t>(group.limit - group.usage, 0));
  return budget;
}

int64_t MeasuredBudget() {
  static const int64_t budget = MeasureBudgetNow();
  return budget;
}

}  // namespace

int64_t MeasureMemoryBudget() { return MeasureBudgetNow(); }

int64_t ArrayMemoryBudget() {
  const int64_t test = testBudget.load(std::memory_order_relaxed);
  return test >= 0 ? test : MeasuredBudget();
}

int64_t ProcessAllocatedBytes() {
  const int64_t mapped = mappedBytes.load(std::memory_order_relaxed);
#if defined(__GLIBC__)
  const struct mallinfo2 info = mallinfo2();
  return static_cast<int64_t>(info.uordblks + info.hblkhd) + mapped;
#else
  return mapped;
#endif
}

void AddMappedBytes(int64_t delta) { mappedBytes.fetch_add(delta, std::memory_order_relaxed); }

void CheckMemoryBudget(int64_t newBlockBytes) {
  const int64_t budget = ArrayMemoryBudget();
  if (budget == std::numeric_limits<int64_t>::max()) return;
  if (newBlockBytes > budget || ProcessAllocatedBytes() > budget - newBlockBytes)
    throw ELowCapacityError(kLowCapacityMessage);
}

void RethrowAllocationFailure() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    throw ELowCapacityError(kLowCapacityMessage);
  }
}

int64_t SetTestMemoryBudget(int64_t bytes) { return testBudget.exchange(bytes < 0 ? -1 : bytes); }

}  // namespace hy
