// The string index log: entries, shared name sequences, copies, renumbering.
#include "compiler/string_index_log.h"

#include <gtest/gtest.h>

#include <vector>

namespace oxa {
namespace {

using Words = std::vector<std::uint32_t>;

TEST(StringIndexLogTest, NodesOfOneKindShareTheirNames) {
  StringIndexLog log;
  ElementNode a, b, c, d, e;
  log.AppendNode(&a, 7, {{1, 10}, {2, 11}});
  log.AppendNode(&b, 7, {{1, 12}, {2, 13}});
  log.AppendNode(&c, 8, {{2, 14}, {1, 15}});  // other order, other shape
  log.AppendNode(&d, 9, {{1, 16}});           // a prefix is a shape of its own
  log.AppendNode(&e, 9, {});
  EXPECT_EQ(log.Shapes(), (Words{2, 1, 2, 2, 2, 1, 1, 1, 0}));
  EXPECT_EQ(log.Entries(), (Words{7, 0, 10, 11, 7, 0, 12, 13, 8, 3, 14, 15, 9, 6, 16, 9, 8}));
  EXPECT_EQ(a.logAt, 0u);
  EXPECT_EQ(b.logAt, 4u);
  EXPECT_EQ(e.logAt, 15u);
  EXPECT_EQ(log.ValueOf(&b, 2), 13u);
  EXPECT_EQ(log.ValueOf(&c, 1), 15u);
  EXPECT_EQ(log.ValueOf(&e, 1), StringIndexLog::kNone);
}

TEST(StringIndexLogTest, ManyShapesStayDistinct) {
  // Enough shapes to grow the table several times; each is found again.
  StringIndexLog log;
  std::vector<ElementNode> nodes(2000);
  for (std::uint32_t i = 0; i < 1000; ++i) {
    log.AppendNode(&nodes[i], 0, {{i, 100 + i}, {i + 1, 200 + i}});
  }
  const std::size_t shapes = log.Shapes().size();
  EXPECT_EQ(shapes, 3u * 1000);
  for (std::uint32_t i = 0; i < 1000; ++i) {
    log.AppendNode(&nodes[1000 + i], 0, {{i, 1}, {i + 1, 2}});
    EXPECT_EQ(log.ValueOf(&nodes[1000 + i], i + 1), 2u);
  }
  EXPECT_EQ(log.Shapes().size(), shapes) << "no shape was added twice";
}

TEST(StringIndexLogTest, CopiesRepeatTheirSourceAndRenumberingMapsEveryIndex) {
  StringIndexLog log;
  ElementNode a, copy, copyOfCopy;
  log.AppendNode(&a, 0, {{1, 2}});
  log.AppendCopy(&copy, &a);
  log.AppendCopy(&copyOfCopy, &copy);
  EXPECT_EQ(log.Entries(), (Words{0, 0, 2, 0, 0, 2, 0, 0, 2}));
  EXPECT_EQ(copyOfCopy.logAt, 6u);
  log.Renumber({30, 31, 32});
  EXPECT_EQ(log.Entries(), (Words{30, 0, 32, 30, 0, 32, 30, 0, 32})) << "shape offsets stay";
  EXPECT_EQ(log.Shapes(), (Words{1, 31}));
  log.Release();
  EXPECT_TRUE(log.Empty());
  EXPECT_TRUE(log.Shapes().empty());
  ElementNode again;
  log.AppendNode(&again, 5, {{6, 7}});
  EXPECT_EQ(log.Entries(), (Words{5, 0, 7})) << "usable after Release";
}

TEST(StringIndexLogTest, CopiesOfALayoutAreReservedAtOnce) {
  // r(l(a, b(c)), d): copying l's children takes the entries of a, b and c.
  StringIndexLog log;
  ElementNode r, l, a, b, c;
  log.AppendNode(&r, 0, {});
  log.AppendNode(&l, 1, {{5, 6}});
  log.AppendNode(&a, 2, {{5, 7}, {8, 9}});
  log.AppendNode(&b, 3, {});
  log.AppendNode(&c, 4, {{5, 10}});
  l.children.Add(reinterpret_cast<PtrArray::Slot>(&a));
  l.children.Add(reinterpret_cast<PtrArray::Slot>(&b));
  b.children.Add(reinterpret_cast<PtrArray::Slot>(&c));
  const std::size_t before = log.Entries().size();
  log.ReserveForCopiesOf(&l);
  EXPECT_GE(log.Entries().capacity(), before + 4 + 2 + 3) << "a, b and c";
  log.ReserveForCopiesOf(&a);  // no children: nothing to do
  ElementNode copies[3];
  const std::uint32_t* data = log.Entries().data();
  log.AppendCopy(&copies[0], &a);
  log.AppendCopy(&copies[1], &b);
  log.AppendCopy(&copies[2], &c);
  EXPECT_EQ(log.Entries().data(), data) << "no reallocation while copying";
}

}  // namespace
}  // namespace oxa
