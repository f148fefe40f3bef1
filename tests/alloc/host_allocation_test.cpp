// The reference host's attribute set under allocation failure: whatever
// fails, a value kept past its call never shows the parser's memory.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>

#include "alloc/failing_allocator.h"
#include "host/host_objects.h"

namespace oxa::host {
namespace {

using oxa::testing::ArmAllocator;
using oxa::testing::DisarmAllocator;

// Whether `b` holds `text` and its zero byte (allocates nothing: it runs armed).
bool Holds(IBuffer* b, const std::string& text) {
  return b->GetSize() == text.size() + 1 &&
         std::memcmp(b->GetBuffer(), text.data(), text.size()) == 0 &&
         b->GetBuffer()[text.size()] == 0;
}

// One element's worth of use: iterate, keep a value past the element, show
// the next element, ask for a copy. Returns false when the set could not be made.
bool UseOnce(const char* const* pairs, const std::string& expected) {
  ComPtr<AttributeSet> set;
  try {
    set = AttributeSet::Create();
  } catch (const std::bad_alloc&) {
    return false;
  }
  set->Show(pairs);
  const char* name = nullptr;
  IBuffer* held = nullptr;
  EXPECT_EQ(set->GetFirstString(&name, &held), kOk) << "the first view exists already";
  held->AddRef();
  set->Clear();  // the held view copies its text, or is left with no bytes
  EXPECT_TRUE(Holds(held, expected) || held->GetSize() == 0) << "its own copy, or nothing";
  EXPECT_NE(reinterpret_cast<const char*>(held->GetBuffer()), pairs[1]);

  set->Show(pairs);
  IBuffer* next = nullptr;
  const HResult shown = set->GetFirstString(&name, &next);
  EXPECT_TRUE(shown == kOk || shown == kOutOfMemory) << shown;
  if (shown == kOk) {
    EXPECT_NE(next, held);
    EXPECT_TRUE(Holds(next, expected));
  }
  ComPtr<IBuffer> copy;
  const HResult copied = set->GetString(pairs[0], copy.Put());
  EXPECT_TRUE(copied == kOk || copied == kOutOfMemory) << copied;
  if (copied == kOk) {
    EXPECT_TRUE(Holds(copy.Get(), expected));
  }
  set->Clear();
  EXPECT_EQ(held->Release(), 0u);
  return true;
}

TEST(HostAllocationFailureTest, KeptAttributeValuesNeverShowLentText) {
  const std::string value = "a value long enough to be worth copying";
  const char* pairs[] = {"key", value.c_str(), nullptr};
  ArmAllocator(0);
  ASSERT_TRUE(UseOnce(pairs, value));
  const std::uint64_t allocations = DisarmAllocator();
  ASSERT_GE(allocations, 4u) << "set, view, kept copy, new view, GetString's buffer";
  for (std::uint64_t k = 1; k <= allocations; ++k) {
    ArmAllocator(k);
    UseOnce(pairs, value);
    DisarmAllocator();
  }
}

}  // namespace
}  // namespace oxa::host
