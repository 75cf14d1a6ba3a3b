// What the operating system says about memory: the machine's available
// memory and the limits put on this process. Every figure is in bytes;
// kNoLimit where there is nothing to measure or no limit is set.
#pragma once

#include <cstdint>
#include <limits>

namespace hy::sys {

inline constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// Available physical memory plus half of the free swap.
int64_t AvailableMemory();

// The process's address-space limit (RLIMIT_AS) and the address space it
// uses now.
int64_t AddressSpaceLimit();
int64_t AddressSpaceInUse();

// The memory limit of the process's control group (cgroup v2 memory.max or
// v1 memory.limit_in_bytes) and the group's current usage.
struct TCgroupMemory {
  int64_t limit = kNoLimit;
  int64_t usage = 0;
};
TCgroupMemory CgroupMemory();

}  // namespace hy::sys
