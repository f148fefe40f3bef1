// The node arena: aligned pieces, reused blocks, large requests, overflow.
#include "compiler/node_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace oxa {
namespace {

TEST(NodeArenaTest, CarvesAlignedDistinctPiecesAndReusesItsBlocks) {
  NodeArena arena;
  std::vector<void*> first;
  for (int i = 0; i < 20000; ++i) first.push_back(arena.Allocate(1 + i % 200));
  const std::set<void*> distinct(first.begin(), first.end());
  EXPECT_EQ(distinct.size(), first.size());
  for (void* p : first) ASSERT_EQ(reinterpret_cast<std::uintptr_t>(p) % NodeArena::kAlignment, 0u);
  const std::size_t capacity = arena.Capacity();
  EXPECT_GT(capacity, std::size_t{64} << 10) << "more than the first block";

  arena.Rewind();
  for (int i = 0; i < 20000; ++i)
    ASSERT_EQ(arena.Allocate(1 + i % 200), first[i]) << "the same pieces, in the same order";
  EXPECT_EQ(arena.Capacity(), capacity) << "no new block";
}

TEST(NodeArenaTest, KeepsItsFirstBlocksAndFreesTheRest) {
  NodeArena arena;
  for (int i = 0; i < 200000; ++i) arena.Allocate(100);  // about 20 MB
  EXPECT_GT(arena.Capacity(), std::size_t{16} << 20);
  arena.Rewind();
  EXPECT_LE(arena.Capacity(), std::size_t{4} << 20);
  EXPECT_GE(arena.Capacity(), std::size_t{2} << 20);
  const std::size_t kept = arena.Capacity();
  for (int i = 0; i < 10000; ++i) arena.Allocate(100);  // about 1 MB: within what was kept
  EXPECT_EQ(arena.Capacity(), kept);
}

TEST(NodeArenaTest, ARequestPastTheNextBlockGetsOneBlockThatHoldsIt) {
  NodeArena arena;
  arena.Allocate(100);
  arena.Allocate(std::size_t{1} << 20);  // past the 128 KiB the next block would have
  EXPECT_LT(arena.Capacity(), (std::size_t{64} << 10) + (std::size_t{1} << 20) + 4096);
}

TEST(NodeArenaTest, LargeRequestsGetBlocksOfTheirOwn) {
  NodeArena arena;
  auto* large = static_cast<char*>(arena.Allocate(std::size_t{8} << 20));
  large[(std::size_t{8} << 20) - 1] = 1;  // all of it is there (ASan checks)
  void* small = arena.Allocate(100);
  EXPECT_NE(small, nullptr);
  arena.Rewind();  // frees the large block
  EXPECT_EQ(arena.Allocate(100), small);
  EXPECT_THROW(arena.AllocateArray(static_cast<std::size_t>(-1) / 2, 4), std::bad_alloc);
  EXPECT_THROW(arena.Allocate(static_cast<std::size_t>(-1) - 8), std::bad_alloc);
}

}  // namespace
}  // namespace oxa
