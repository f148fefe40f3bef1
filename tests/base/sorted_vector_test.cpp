// SortedVector: order, stamps, Positions, growth, copies.
#include "base/sorted_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <xmlcompiler/com/guid.h>
#include "base/byte_string.h"

namespace oxa {
namespace {

using TextMap = SortedVector<ByteString, std::uint32_t, TextLess>;
using TextPairs = SortedVector<ByteString, ByteString, TextLess>;

std::vector<std::string> Keys(const TextMap& map) {
  std::vector<std::string> keys;
  for (const auto& e : map) keys.emplace_back(e.key.Chars());
  return keys;
}

TEST(SortedVectorTest, SetAtSortsRaisesStampOnlyForNewKeys) {
  TextMap map;
  const std::uint8_t start = map.GetStamp();
  map.SetAt("b", 1);
  map.SetAt("a", 2);
  map.SetAt("c", 3);
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(map.GetStamp(), static_cast<std::uint8_t>(start + 3));
  map.SetAt("a", 9);
  EXPECT_EQ(map.GetCount(), 3u);
  EXPECT_EQ(map.Find("a")->value, 9u);
  EXPECT_EQ(map.GetStamp(), static_cast<std::uint8_t>(start + 3));
}

TEST(SortedVectorTest, SetAtOfATemporaryMovesTheKeyIn) {
  TextMap map;
  const std::uint8_t start = map.GetStamp();
  ByteString key("a key long enough for a block of its own");
  const char* block = key.Chars();
  map.SetAt(std::move(key), 1);
  EXPECT_EQ(map.begin()->key.Chars(), block) << "moved, not copied";
  EXPECT_TRUE(key.IsEmpty());
  ByteString again("a key long enough for a block of its own");
  map.SetAt(std::move(again), 2);
  EXPECT_EQ(map.GetCount(), 1u);
  EXPECT_EQ(map.begin()->value, 2u);
  EXPECT_EQ(map.GetStamp(), static_cast<std::uint8_t>(start + 1));
  EXPECT_STREQ(again.Chars(), "a key long enough for a block of its own") << "kept when present";
}

TEST(SortedVectorTest, TextOrderIsUnsignedBytesPrefixFirst) {
  TextMap map;
  for (const char* k : {"ab", "a", "Z", "\xE9", "B", "z"}) map.SetAt(k, 1);
  EXPECT_EQ(Keys(map), (std::vector<std::string>{"B", "Z", "a", "ab", "z", "\xE9"}));
}

TEST(SortedVectorTest, ClassIdOrderComparesStoredBytes) {
  SortedVector<Guid, int, GuidLess> ids;
  const Guid hundred = {0x00000100, 0, 0, {}};
  const Guid one = {0x00000001, 0, 0, {}};
  ids.SetAt(one, 1);
  ids.SetAt(hundred, 100);
  EXPECT_EQ(ids.begin()->value, 100) << "first stored byte 0x00 sorts before 0x01";
}

TEST(SortedVectorTest, OrdinalOrderIsSigned) {
  SortedVector<std::int32_t, int, std::less<std::int32_t>> ordinals;
  ordinals.SetAt(0, 0);
  ordinals.SetAt(-1, 1);
  EXPECT_EQ(ordinals.begin()->key, -1);
}

TEST(SortedVectorTest, EmptyContainer) {
  TextMap map;
  EXPECT_EQ(map.GetStartPosition(), 0u);
  EXPECT_EQ(map.Find("x"), map.end());
  EXPECT_EQ(map.LowerBound("x"), map.end());
  EXPECT_EQ(map.GetCount(), 0u);
  EXPECT_EQ(map.GetCapacity(), 0u);
}

TEST(SortedVectorTest, LowerBoundAndFind) {
  TextMap map;
  for (const char* k : {"b", "d", "f"}) map.SetAt(k, 0);
  EXPECT_STREQ(map.LowerBound("c")->key.Chars(), "d");
  EXPECT_STREQ(map.LowerBound("d")->key.Chars(), "d");
  EXPECT_EQ(map.LowerBound("g"), map.end());
  EXPECT_EQ(map.Find("c"), map.end());
  EXPECT_STREQ(map.Find("f")->key.Chars(), "f");
}

TEST(SortedVectorTest, PositionsCarryStampAndPlace) {
  TextPairs list;
  list.ValueAt("x") = "3";
  list.ValueAt("y") = "2";
  list.ValueAt("w") = "1";
  // Force a known stamp through copy-assignment from a container with that stamp.
  TextPairs stamped;
  while (stamped.GetStamp() != 0x5A) stamped.RemoveAll();
  TextPairs copy;
  copy = stamped;
  for (const auto& e : list) copy.ValueAt(e.key) = e.value;
  ASSERT_EQ(copy.GetStamp(), 0x5A);
  Position pos = copy.GetStartPosition();
  EXPECT_EQ(pos, 0x5A000001u);
  std::string walked;
  std::vector<Position> seen;
  while (pos != 0) {
    seen.push_back(pos);
    const auto& e = copy.GetNext(pos);
    walked += e.key.Chars();
    walked += e.value.Chars();
  }
  EXPECT_EQ(walked, "w1x3y2");
  EXPECT_EQ(seen, (std::vector<Position>{0x5A000001u, 0x5A000002u, 0x5A000003u}));
}

TEST(SortedVectorTest, RemoveAllRaisesStampKeepsStorageAndWraps) {
  TextMap map;
  map.SetAt("a", 1);
  map.SetAt("b", 1);
  const std::uint32_t capacity = map.GetCapacity();
  const std::uint8_t stamp = map.GetStamp();
  map.RemoveAll();
  EXPECT_EQ(map.GetCount(), 0u);
  EXPECT_EQ(map.GetCapacity(), capacity);
  EXPECT_EQ(map.GetStamp(), static_cast<std::uint8_t>(stamp + 1));
  map.RemoveAll();
  EXPECT_EQ(map.GetStamp(), static_cast<std::uint8_t>(stamp + 2)) << "also when already empty";
  while (map.GetStamp() != 255) map.RemoveAll();
  map.RemoveAll();
  EXPECT_EQ(map.GetStamp(), 0);
}

TEST(SortedVectorTest, ValueAtInsertsDefaultWithoutStamp) {
  TextPairs list;
  const std::uint8_t stamp = list.GetStamp();
  ByteString& v = list.ValueAt("id");
  EXPECT_TRUE(v.IsEmpty());
  v = "L";
  list.ValueAt("id") = "M";
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_STREQ(list.Find("id")->value.Chars(), "M");
  EXPECT_EQ(list.GetStamp(), stamp);
  const auto r = list.Insert("id", "other");
  EXPECT_FALSE(r.inserted);
  EXPECT_STREQ(r.entry->value.Chars(), "M") << "Insert leaves an existing value alone";
}

TEST(SortedVectorTest, StorageDoubles) {
  SortedVector<std::int32_t, int, std::less<std::int32_t>> map;
  std::vector<std::uint32_t> capacities;
  for (int i = 0; i < 17; ++i) {
    map.SetAt(16 - i, i);  // always at the front: every element shifts
    if (capacities.empty() || capacities.back() != map.GetCapacity()) {
      capacities.push_back(map.GetCapacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<std::uint32_t>{1, 2, 4, 8, 16, 32}));
  int expected = 0;
  for (const auto& e : map) EXPECT_EQ(e.key, expected++);
}

TEST(SortedVectorTest, BorrowedStorageIsFilledAndNeverFreed) {
  // Storage from elsewhere (an arena's): appends and copies stay in it, the
  // container never frees it (ASan would see a free of this stack array),
  // and growing past it moves the elements to storage of the container's own.
  alignas(TextPairs::Entry) unsigned char storage[3 * sizeof(TextPairs::Entry)];
  TextPairs source;
  source.SetAt("a", "1");
  source.SetAt("b", "2");
  {
    TextPairs list;
    list.UseStorage(storage, 3);
    list = source;
    EXPECT_EQ(static_cast<void*>(list.begin()), static_cast<void*>(storage));
    EXPECT_EQ(list.GetStamp(), source.GetStamp());
    list.AppendOrdered("c", "3");
    EXPECT_EQ(static_cast<void*>(list.begin()), static_cast<void*>(storage)) << "within capacity";
    list.AppendOrdered("d", "4");
    EXPECT_NE(static_cast<void*>(list.begin()), static_cast<void*>(storage)) << "grown past it";
    ASSERT_EQ(list.GetCount(), 4u);
    EXPECT_STREQ(list.begin()[3].value.Chars(), "4");
  }
  TextPairs small;
  small.UseStorage(storage, 1);
  small = source;  // does not fit: new storage of its own
  EXPECT_NE(static_cast<void*>(small.begin()), static_cast<void*>(storage));
  EXPECT_EQ(small.GetCount(), 2u);
}

TEST(SortedVectorTest, CopyHasSameEntriesOrderAndStamp) {
  TextPairs source;
  source.ValueAt("z") = "0123456789abcdef-long-value";
  source.ValueAt("a") = "1";
  TextPairs copy;
  copy.ValueAt("old") = "gone";
  copy = source;
  ASSERT_EQ(copy.GetCount(), 2u);
  EXPECT_EQ(copy.GetStamp(), source.GetStamp());
  EXPECT_STREQ(copy.begin()->key.Chars(), "a");
  EXPECT_EQ(copy.Find("old"), copy.end());
  EXPECT_EQ(copy.Find("z")->value.Chars(), source.Find("z")->value.Chars()) << "shared block";
  source.RemoveAll();
  EXPECT_STREQ(copy.Find("z")->value.Chars(), "0123456789abcdef-long-value");
  const TextPairs constructed(copy);
  EXPECT_EQ(constructed.GetCount(), 2u);
  EXPECT_EQ(constructed.GetStamp(), copy.GetStamp());
}

}  // namespace
}  // namespace oxa
