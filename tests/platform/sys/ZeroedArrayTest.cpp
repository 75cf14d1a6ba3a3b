// The growable zeroed array: what it holds survives growth, and whatever is
// new reads zero, on the heap and in system mappings alike.
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/sys/ZeroedArray.h"

namespace hy::sys {
namespace {

struct TPair {
  uint32_t A;
  uint32_t B;
};

TEST(ZeroedArrayTest, GrowthKeepsValuesAndNewElementsAreZeroOnHeapAndMappings) {
  TZeroedArray<uint32_t> a;
  EXPECT_TRUE(a.empty());
  a.resize(1000);  // on the heap
  for (size_t i = 0; i < a.size(); ++i) ASSERT_EQ(a[i], 0u) << i;
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<uint32_t>(i * 7 + 1);
  a.resize(600000);  // past a mapping's threshold: moved into one
  ASSERT_GE(a.capacity(), 600000u);
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(a[i], i * 7 + 1) << i;
  for (size_t i = 1000; i < a.size(); ++i) ASSERT_EQ(a[i], 0u) << i;
  a[599999] = 5;
  a.resize(2000000);  // mapping to mapping
  EXPECT_EQ(a[599999], 5u);
  EXPECT_EQ(a[999], 999u * 7 + 1);
  EXPECT_EQ(a[1999999], 0u);
}

TEST(ZeroedArrayTest, WhatAShrinkDropsReadsZeroWhenTheArrayGrowsAgain) {
  TZeroedArray<uint32_t> a;
  a.resize(10);
  for (size_t i = 0; i < 10; ++i) a[i] = 9;
  a.resize(4);
  a.resize(10);
  for (size_t i = 0; i < 4; ++i) EXPECT_EQ(a[i], 9u);
  for (size_t i = 4; i < 10; ++i) EXPECT_EQ(a[i], 0u) << i;
  a.clear();
  EXPECT_TRUE(a.empty());
  EXPECT_EQ(a.capacity(), 0u);
  a.resize(3);
  EXPECT_EQ(a[2], 0u);
}

TEST(ZeroedArrayTest, PushBackGrowsAcrossTheMappingThreshold) {
  TZeroedArray<TPair> a;
  a.reserve(3);
  const uint32_t n = 300000;  // 2.4 MB of pairs
  for (uint32_t i = 0; i < n; ++i) a.push_back({i, ~i});
  ASSERT_EQ(a.size(), n);
  for (uint32_t i = 0; i < n; ++i) {
    ASSERT_EQ(a[i].A, i);
    ASSERT_EQ(a[i].B, ~i);
  }
}

TEST(ZeroedArrayTest, AnImpossibleSizeIsRefusedAsOutOfMemory) {
  TZeroedArray<uint64_t> a;
  a.push_back(1);
  EXPECT_THROW(a.reserve(SIZE_MAX / 4), std::bad_alloc);     // its bytes overflow
  EXPECT_THROW(a.reserve(size_t{1} << 57), std::bad_alloc);  // no system maps 2^60 bytes
  ASSERT_EQ(a.size(), 1u);                                   // left as it was
  EXPECT_EQ(a[0], 1u);
}

}  // namespace
}  // namespace hy::sys
