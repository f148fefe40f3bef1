// ComPtr's reference accounting, member by member, and the interface tables
// that every object answers from: IUnknown first as the object's identity,
// first match wins, refusals leave the count alone.
#include <xmlcompiler/com/com_ptr.h>

#include <gtest/gtest.h>

#include <utility>

#include <xmlcompiler/com/buffer.h>
#include <xmlcompiler/com/host.h>
#include "support/fake_host.h"

namespace oxa {
namespace {

using testing::FakeBuffer;
using testing::FakeParser;

TEST(ComPtrTest, ConstructionCopyAndDestructionCountOneReferenceEach) {
  FakeBuffer buffer;
  {
    ComPtr<IBuffer> a(&buffer);
    EXPECT_EQ(buffer.refCount(), 1);
    ComPtr<IBuffer> b(a);
    EXPECT_EQ(buffer.refCount(), 2);
    ComPtr<IBuffer> c;
    c = b;
    EXPECT_EQ(buffer.refCount(), 3);
    c = c;  // self-assignment changes nothing
    EXPECT_EQ(buffer.refCount(), 3);
  }
  EXPECT_EQ(buffer.refCount(), 0);
  EXPECT_EQ(buffer.addRefs(), 4);
}

TEST(ComPtrTest, MovesHandOverTheReferenceWithoutCounting) {
  FakeBuffer buffer;
  ComPtr<IBuffer> a(&buffer);
  ComPtr<IBuffer> b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), &buffer);
  ComPtr<IBuffer> c;
  c = std::move(b);
  EXPECT_FALSE(b);
  EXPECT_EQ(buffer.refCount(), 1);
  EXPECT_EQ(buffer.addRefs(), 1);
}

TEST(ComPtrTest, AssignmentReleasesTheOldPointerAfterTakingTheNew) {
  FakeBuffer first, second;
  ComPtr<IBuffer> a(&first);
  ComPtr<IBuffer> b(&second);
  a = b;
  EXPECT_EQ(first.refCount(), 0);
  EXPECT_EQ(second.refCount(), 2);
}

TEST(ComPtrTest, AttachDetachAndPutTransferExistingReferences) {
  FakeBuffer buffer;
  buffer.AddRef();  // a reference the caller owns
  ComPtr<IBuffer> held;
  held.Attach(&buffer);
  EXPECT_EQ(buffer.refCount(), 1) << "Attach adds no reference";
  IBuffer* raw = held.Detach();
  EXPECT_EQ(raw, &buffer);
  EXPECT_FALSE(held);
  EXPECT_EQ(buffer.refCount(), 1) << "Detach releases nothing";

  FakeBuffer other;
  ComPtr<IBuffer> slot(&other);
  IBuffer** out = slot.Put();
  EXPECT_EQ(other.refCount(), 0) << "Put releases what was held";
  *out = raw;  // as an out parameter would
  EXPECT_EQ(slot.Get(), &buffer);
  slot.Reset();
  EXPECT_EQ(buffer.refCount(), 0);
  slot.Reset();  // empty: nothing to release
}

TEST(ComPtrTest, QueryToAnswersFromTheTableAndClearsOnRefusal) {
  FakeParser parser;
  ComPtr<IXmlParser> plain(&parser);
  ComPtr<IXmlNamespaceParser> names;
  ASSERT_EQ(plain.QueryTo(names), kOk);
  EXPECT_EQ(names.Get(), static_cast<IXmlNamespaceParser*>(&parser));
  EXPECT_EQ(parser.refCount(), 2);

  parser.offersNamespace = false;
  EXPECT_EQ(plain.QueryTo(names), kNoInterface);
  EXPECT_FALSE(names);
  EXPECT_EQ(parser.refCount(), 1);

  ComPtr<IXmlParser> empty;
  ComPtr<IBuffer> none(nullptr);
  EXPECT_EQ(empty.QueryTo(none), kNullPointer);
}

TEST(InterfaceTableTest, IUnknownIsTheIdentityFromEveryInterface) {
  FakeParser parser;
  void* fromPlain = nullptr;
  void* fromNames = nullptr;
  ASSERT_EQ(static_cast<IXmlParser*>(&parser)->QueryInterface(kIidUnknown, &fromPlain), kOk);
  ASSERT_EQ(static_cast<IXmlNamespaceParser*>(&parser)->QueryInterface(kIidUnknown, &fromNames),
            kOk);
  EXPECT_EQ(fromPlain, fromNames);
  EXPECT_EQ(fromPlain, static_cast<IUnknown*>(static_cast<IXmlParser*>(&parser)))
      << "the first interface listed";
  EXPECT_EQ(parser.refCount(), 2);
}

TEST(InterfaceTableTest, RefusalsClearTheOutPointerAndCountNothing) {
  FakeBuffer buffer;
  void* out = &buffer;
  EXPECT_EQ(buffer.QueryInterface(kIidXmlParser, &out), kNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(buffer.QueryInterface(kIidBuffer, nullptr), kNullPointer);
  EXPECT_EQ(buffer.addRefs(), 0);
}

TEST(InterfaceTableTest, RowsComeFromTheTypesInOrder) {
  using Table = InterfaceTable<FakeParser, FakeParser, IXmlParser, IXmlNamespaceParser>;
  EXPECT_EQ(*Table::kRows[0].iid, kIidUnknown);
  EXPECT_EQ(*Table::kRows[1].iid, kIidXmlParser);
  EXPECT_EQ(*Table::kRows[2].iid, kIidXmlNamespaceParser);
  EXPECT_EQ(Table::kRows[3].iid, nullptr);
  using Alone = InterfaceTable<testing::FakeOuter, testing::FakeOuter, IUnknown>;
  EXPECT_EQ(*Alone::kRows[0].iid, kIidUnknown);
  EXPECT_EQ(Alone::kRows[1].iid, nullptr) << "IUnknown is listed once";
}

}  // namespace
}  // namespace oxa
