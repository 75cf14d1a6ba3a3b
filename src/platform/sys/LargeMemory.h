// Large zeroed blocks straight from the system, aligned to and advised as
// huge pages where the system offers them: faulting in 4 KB pages one by
// one costs more than filling them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hy::sys {

inline constexpr size_t kHugePageSize = size_t{2} << 20;

// `bytes` (rounded up to whole 4 KB pages) of zeroed memory, or nullptr
// when the system refuses.
uint8_t* MapZeroed(size_t bytes);
// Gives back a block of MapZeroed with the same `bytes`.
void Unmap(uint8_t* block, size_t bytes);
// The size MapZeroed really maps for `bytes`.
size_t MappedSize(size_t bytes);

}  // namespace hy::sys
