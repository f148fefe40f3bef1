// The reference host's attribute set under allocation failure: whatever
// fails, a value kept past its call never shows the parser's memory.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <utility>

#include <xmlcompiler/host/expat_parser.h>
#include <xmlcompiler/host/host_objects.h>
#include "alloc/failing_allocator.h"

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

// Reads every attribute of every element, keeping each value past its call
// (so the set must copy it and make a new view) and asking for one by name.
class Greedy final : public ParserResponseDefaults {
 public:
  HResult OXA_CALL QueryInterface(const Guid&, void** out) override {
    *out = nullptr;
    return kNoInterface;
  }
  std::uint32_t OXA_CALL AddRef() override { return 2; }
  std::uint32_t OXA_CALL Release() override { return 1; }
  HResult OXA_CALL StartElement(const char*, IValues* attributes, std::uint32_t,
                                std::uint32_t) override {
    const char* name = nullptr;
    IBuffer* value = nullptr;
    for (HResult hr = attributes->GetFirstString(&name, &value); Succeeded(hr);
         hr = attributes->GetNextString(&name, &value)) {
      value->AddRef();
      if (kept < kMaxKept) keptValues[kept++] = value;
    }
    IBuffer* byName = nullptr;
    if (Succeeded(attributes->GetString("a", &byName))) {
      ++found;
      byName->Release();
    }
    return kOk;
  }
  HResult OXA_CALL EndElement(const char*, std::uint32_t, std::uint32_t) override { return kOk; }
  void ReleaseKept() {
    for (int i = 0; i < kept; ++i) keptValues[i]->Release();
    kept = 0;
  }

  static constexpr int kMaxKept = 16;
  IBuffer* keptValues[kMaxKept] = {};
  int kept = 0;
  int found = 0;
};

TEST(HostAllocationFailureTest, ParserFailsRatherThanLoseAttributes) {
  const std::string doc = R"(<r a="1" b="2"><e a="3" b="4"/><e a="5" b="6"/></r>)";
  ComPtr<HostBuffer> input = HostBuffer::Create();
  input->Bytes().assign(doc.begin(), doc.end());
  ParseReport report;
  // The parser object is made unarmed; its preparation and the parse are armed.
  const auto parse = [&](Greedy& greedy, std::uint64_t failAt) {
    ComPtr<ExpatParser> parser = ExpatParser::Create(&report);
    ArmAllocator(failAt);
    HResult hr = parser->Prepare(&greedy, &greedy, "UTF-8", ':');
    if (Succeeded(hr)) hr = parser->Feed(input.Get(), 1);
    const std::uint64_t made = DisarmAllocator();
    return std::make_pair(hr, made);
  };
  Greedy all;
  const auto [first, allocations] = parse(all, 0);
  ASSERT_EQ(first, kOk);
  ASSERT_EQ(all.kept, 6);
  ASSERT_EQ(all.found, 3);
  all.ReleaseKept();
  for (std::uint64_t k = 1; k <= allocations; ++k) {
    Greedy greedy;
    const HResult hr = parse(greedy, k).first;
    ASSERT_TRUE(hr == kOk || hr == kOutOfMemory) << "allocation " << k << ": " << hr;
    if (hr == kOk) {
      EXPECT_EQ(greedy.kept, 6) << "allocation " << k << ": an attribute was lost";
      EXPECT_EQ(greedy.found, 3) << "allocation " << k << ": a lookup by name was lost";
    }
    greedy.ReleaseKept();
  }
}

}  // namespace
}  // namespace oxa::host
