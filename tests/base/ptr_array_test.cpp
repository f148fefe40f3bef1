// PtrArray: growth steps, zero fill, removal.
#include "base/ptr_array.h"

#include <gtest/gtest.h>

#include <vector>

namespace oxa {
namespace {

TEST(PtrArrayTest, AppendGrowthSequence) {
  PtrArray array;
  std::vector<std::int32_t> capacities;
  for (std::int32_t i = 0; i < 80; ++i) {
    array.Add(static_cast<PtrArray::Slot>(i));
    if (capacities.empty() || capacities.back() != array.GetCapacity()) {
      capacities.push_back(array.GetCapacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{1, 5, 9, 13, 17, 21, 25, 29, 33, 37, 41, 46, 51,
                                                   57, 64, 72, 81}));
  for (std::int32_t i = 0; i < 80; ++i) EXPECT_EQ(array[i], static_cast<PtrArray::Slot>(i));
}

TEST(PtrArrayTest, StepIsCappedAt1024) {
  PtrArray array;
  array.SetSize(9000);
  array.Add(1);
  EXPECT_EQ(array.GetCapacity(), 9000 + 1024);
}

TEST(PtrArrayTest, FixedStep) {
  PtrArray array;
  array.SetSize(1, 100);
  array.Add(7);
  EXPECT_EQ(array.GetCapacity(), 101);
  array.SetSize(500, -1);
  EXPECT_EQ(array.GetCapacity(), 500) << "a size beyond one step is allocated exactly";
}

TEST(PtrArrayTest, SetAtGrowFillsGapWithZero) {
  PtrArray array;
  array.SetAtGrow(5, 42);
  EXPECT_EQ(array.GetCount(), 6);
  for (std::int32_t i = 0; i < 5; ++i) EXPECT_EQ(array[i], 0u);
  EXPECT_EQ(array[5], 42u);
  array.SetSize(3);
  array.SetSize(6);
  EXPECT_EQ(array[4], 0u) << "regrowing within capacity clears the slots again";
}

TEST(PtrArrayTest, RemoveAtShiftsDownAndKeepsStorage) {
  PtrArray array;
  for (PtrArray::Slot v : {10u, 20u, 30u, 40u}) array.Add(v);
  const std::int32_t capacity = array.GetCapacity();
  array.RemoveAt(1, 2);
  ASSERT_EQ(array.GetCount(), 2);
  EXPECT_EQ(array[0], 10u);
  EXPECT_EQ(array[1], 40u);
  array.RemoveAt(array.GetCount() - 1);
  EXPECT_EQ(array.GetCount(), 1);
  EXPECT_EQ(array.GetCapacity(), capacity);
  array.SetSize(0, -1);
  EXPECT_EQ(array.GetCapacity(), 0);
}

static_assert(sizeof(PtrArray::Slot) == sizeof(void*), "a slot holds exactly a pointer");

TEST(PtrArrayTest, SlotsHoldPointers) {
  int target = 0;
  PtrArray array;
  array.Add(reinterpret_cast<PtrArray::Slot>(&target));
  EXPECT_EQ(array.PointerAt<int>(0), &target);
}

}  // namespace
}  // namespace oxa
