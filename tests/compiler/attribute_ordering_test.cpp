// The attribute ordering: names in text order, the last of a repeated name
// kept, and the order of a name sequence remembered for the next element.
#include "compiler/attribute_ordering.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace oxa {
namespace {

TEST(AttributeOrderingTest, OrdersByNameTextKeepingTheLastOfARepeatedName) {
  StringInterner strings;
  const std::uint32_t b = strings.Intern("b", 1), a = strings.Intern("a", 1);
  const std::uint32_t z = strings.Intern("Z", 1), v1 = strings.Intern("1", 1);
  const std::uint32_t v2 = strings.Intern("2", 1), v3 = strings.Intern("3", 1);
  AttributeOrdering ordering;
  using Pairs = AttributeOrdering::Pairs;
  ordering.Add(b, v1), ordering.Add(a, v2), ordering.Add(b, v3), ordering.Add(z, v1);
  EXPECT_EQ(ordering.Order(strings), (Pairs{{z, v1}, {a, v2}, {b, v3}}));

  // The same names again: the remembered order, with this element's values.
  ordering.Clear();
  ordering.Add(b, v2), ordering.Add(a, v3), ordering.Add(b, v1), ordering.Add(z, v2);
  EXPECT_EQ(ordering.Order(strings), (Pairs{{z, v2}, {a, v3}, {b, v1}}));

  // Other names: sorted afresh.
  ordering.Clear();
  ordering.Add(a, v1), ordering.Add(z, v2);
  EXPECT_EQ(ordering.Order(strings), (Pairs{{z, v2}, {a, v1}}));

  // An element without attributes leaves nothing of the one before.
  ordering.Clear();
  EXPECT_TRUE(ordering.Empty());
  EXPECT_TRUE(ordering.Ordered().empty());
}

}  // namespace
}  // namespace oxa
