// The memory budget that growing arrays respect.
#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "cube/HyArrays.h"

namespace hy {

namespace {

std::atomic<int64_t> testBudget{-1};
std::atomic<int64_t> mappedBytes{0};

// Available physical memory plus half of the free swap. Without
// /proc/meminfo there is nothing to measure, so nothing is refused.
int64_t MeasureBudget() {
  std::ifstream in("/proc/meminfo");
  if (!in) return std::numeric_limits<int64_t>::max();
  int64_t availableKb = -1, freeKb = -1, swapFreeKb = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key;
    int64_t kb = 0;
    if (!(fields >> key >> kb)) continue;
    if (key == "MemAvailable:")
      availableKb = kb;
    else if (key == "MemFree:")
      freeKb = kb;
    else if (key == "SwapFree:")
      swapFreeKb = kb;
  }
  if (availableKb < 0) availableKb = freeKb;  // kernels before 3.14
  if (availableKb < 0) return std::numeric_limits<int64_t>::max();
  return availableKb * 1024 + swapFreeKb * 1024 / 2;
}

int64_t MeasuredBudget() {
  static const int64_t budget = MeasureBudget();
  return budget;
}

}  // namespace

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

int64_t SetTestMemoryBudget(int64_t bytes) {
  return testBudget.exchange(bytes < 0 ? -1 : bytes);
}

}  // namespace hy
