// The memory budget: the pivot's axis indexes are held to it, the process's
// own limits bound it, and an allocation the system refuses ends in the
// capacity message, never a bare allocation failure.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "cube/CubeTestSupport.h"
#include "platform/sys/MemoryStatus.h"

namespace hy {
namespace {

using test::MemCube;

// Three dimensions of `n` values each, on `n` rows (the diagonal).
void Diagonal(MemCube& cube, int n) {
  cube.Column("A", ftInteger);
  cube.Column("B", ftInteger);
  cube.Column("C", ftInteger);
  for (int i = 0; i < n; ++i) cube.Row({i, i, i});
  cube.Item("A", dimDimension);
  cube.Item("B", dimDimension);
  cube.Item("C", dimDimension);
  cube.Item("A", dimCount);
}

class BudgetScope {
public:
  explicit BudgetScope(int64_t bytes) : previous_(SetTestMemoryBudget(bytes)) {}
  ~BudgetScope() { SetTestMemoryBudget(previous_); }

private:
  int64_t previous_;
};

TEST(MemoryBudget, AxisIndexIsHeldToTheBudgetAndGrowsOnlyAsFarAsItsEntries) {
  MemCube cube;
  Diagonal(cube, 250);
  cube.Open();
  TAxisEntries entries;
  TCoords coords(3, -1);
  // Every combination (no empty suppression): 251^3 entries of three
  // levels, about 95 MB, far beyond a budget of 16 MB more.
  {
    BudgetScope budget(ProcessAllocatedBytes() + 16 * 1024 * 1024);
    cube.Cache().SetSuppressEmpty(false);
    try {
      cube.Cache().BuildAxisIndex({0, 1, 2}, entries, true, coords);
      ADD_FAILURE() << "the axis index was not refused";
    } catch (const ELowCapacityError& e) {
      EXPECT_STREQ(e.what(), kLowCapacityMessage);
    }
    // Suppressing empty rows, the same axis holds only the rows there are.
    cube.Cache().SetSuppressEmpty(true);
    const int32_t n = cube.Cache().BuildAxisIndex({0, 1, 2}, entries, false, coords);
    EXPECT_EQ(n, 250);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].size(), 250u);
    EXPECT_EQ(entries[0][249], 249);
  }
}

TEST(MemoryBudget, AddressSpaceLimitBoundsTheBudget) {
  EXPECT_EXIT(
      {
        const int64_t room = int64_t{512} << 20;
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(sys::AddressSpaceInUse() + room);
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
        if (sys::AddressSpaceLimit() != static_cast<int64_t>(limit.rlim_cur)) std::_Exit(4);
        const int64_t budget = MeasureMemoryBudget();
        std::_Exit(budget <= ProcessAllocatedBytes() + room && budget > 0 ? 0 : 5);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(MemoryBudget, AllocationRefusedBySystemBecomesTheCapacityMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer a refused operator new ends the process instead of "
                  "throwing std::bad_alloc, so there is nothing to turn into a message";
#endif
  // A fresh process: earlier tests' threads leave the allocator holding
  // address space that a forked copy could reuse.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // No budget check stops it first: the allocator itself must fail.
        SetTestMemoryBudget(int64_t{1} << 60);
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max =
            static_cast<rlim_t>(sys::AddressSpaceInUse() + (int64_t{24} << 20));
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
        MemCube cube;
        Diagonal(cube, 250);  // a cell index of 251^3 slots, 63 MB
        const std::string error = cube.OpenError();
        std::fprintf(stderr, "%s\n", error.c_str());
        std::_Exit(error == kLowCapacityMessage && !cube.store.Active() ? 0 : 5);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace hy
