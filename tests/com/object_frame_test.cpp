// The object frame: ownership, interface lookup, aggregation, creation.
#include "com/object_frame.h"

#include <gtest/gtest.h>

#include <xmlcompiler/com/com_ptr.h>
#include "support/fake_host.h"

namespace oxa {
namespace {

// {0A0B0C0D-0000-0000-0000-000000000001} and ...02: two interfaces of a probe object.
constexpr Guid kIidProbeA = {0x0A0B0C0D, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr Guid kIidProbeB = {0x0A0B0C0D, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
struct IProbeA : IUnknown {
  static constexpr const Guid& kIid = kIidProbeA;
  virtual int OXA_CALL Which() = 0;
};
struct IProbeB : IUnknown {
  static constexpr const Guid& kIid = kIidProbeB;
  virtual int OXA_CALL Other() = 0;
};

int g_alive = 0;
HResult g_finalConstructResult = kOk;
bool g_touchInFinalConstruct = false;

class Probe final : public ObjectWith<IProbeA, IProbeB> {
 public:
  Probe() { ++g_alive; }
  ~Probe() override { --g_alive; }
  HResult InternalQueryInterface(const Guid& iid, void** out) override {
    return QueryFromTable(FrameInterfaces<Probe, IProbeA, IProbeB>, iid, out);
  }
  HResult FinalConstruct() override {
    if (g_touchInFinalConstruct) {  // a reference taken and dropped must not destroy the object
      AddRef();
      Release();
    }
    return g_finalConstructResult;
  }
  int OXA_CALL Which() override { return 1; }
  int OXA_CALL Other() override { return 2; }
};

class ObjectFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_alive = 0;
    g_finalConstructResult = kOk;
    g_touchInFinalConstruct = false;
  }
  void TearDown() override { EXPECT_EQ(g_alive, 0) << "every object destroyed"; }
};

TEST_F(ObjectFrameTest, DirectOwnershipOneReleaseDestroys) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(ObjectFrame::CreateComponent<Probe>(nullptr, &unknown), kOk);
  auto* frame = static_cast<ObjectFrame*>(unknown);
  EXPECT_EQ(frame->RefCountForTesting(), 1);
  EXPECT_EQ(g_alive, 1);
  EXPECT_EQ(unknown->Release(), 0u);
}

TEST_F(ObjectFrameTest, QueryInterfaceFindsTableEntriesAndIdentity) {
  ComPtr<IUnknown> main;
  ASSERT_EQ(ObjectFrame::CreateComponent<Probe>(nullptr, main.Put()), kOk);
  ComPtr<IProbeA> a;
  ComPtr<IProbeB> b;
  ASSERT_EQ(main.QueryTo(a), kOk);
  ASSERT_EQ(a.QueryTo(b), kOk);
  EXPECT_EQ(a->Which(), 1);
  EXPECT_EQ(b->Other(), 2);
  ComPtr<IUnknown> fromB;
  ASSERT_EQ(b.QueryTo(fromB), kOk);
  EXPECT_EQ(fromB.Get(), main.Get()) << "IUnknown from any interface is the main interface";
  EXPECT_EQ(static_cast<ObjectFrame*>(main.Get())->RefCountForTesting(), 4);

  void* out = &main;
  EXPECT_EQ(main->QueryInterface(kIidBuffer, &out), kNoInterface);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(main->QueryInterface(kIidProbeA, nullptr), kNullPointer);
  EXPECT_EQ(static_cast<ObjectFrame*>(main.Get())->RefCountForTesting(), 4);
}

TEST_F(ObjectFrameTest, AggregationForwardsCountsToTheOuterObject) {
  testing::FakeOuter outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(ObjectFrame::CreateComponent<Probe>(&outer, &inner), kOk);
  outer.inner = inner;
  EXPECT_EQ(outer.refCount(), 0) << "the frame holds no reference on its outer object";

  IProbeA* a = nullptr;
  ASSERT_EQ(inner->QueryInterface(kIidProbeA, reinterpret_cast<void**>(&a)), kOk);
  EXPECT_EQ(outer.refCount(), 1) << "the query raised the outer count";
  a->AddRef();
  EXPECT_EQ(outer.refCount(), 2);

  IUnknown* identity = nullptr;
  ASSERT_EQ(a->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&identity)), kOk);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer))
      << "QueryInterface on an interface reaches the outer";
  identity->Release();

  IUnknown* main = nullptr;
  ASSERT_EQ(inner->QueryInterface(kIidUnknown, reinterpret_cast<void**>(&main)), kOk);
  EXPECT_NE(main, inner) << "the inner unknown hands out the owner's main interface";
  EXPECT_EQ(static_cast<ObjectFrame*>(main)->RefCountForTesting(), 0) << "own count stays 0";
  main->Release();
  a->Release();
  a->Release();
  EXPECT_EQ(outer.refCount(), 0);
  EXPECT_EQ(g_alive, 1);
  EXPECT_EQ(inner->Release(), 0u);  // destroys the inner unknown and the object
}

TEST_F(ObjectFrameTest, SecondConnectionIsRefused) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(ObjectFrame::CreateComponent<Probe>(nullptr, &unknown), kOk);
  IUnknown* again = unknown;
  EXPECT_EQ(static_cast<ObjectFrame*>(unknown)->GetInnerUnknown(nullptr, &again), kFail);
  EXPECT_EQ(again, nullptr);
  EXPECT_EQ(static_cast<ObjectFrame*>(unknown)->RefCountForTesting(), 1);
  unknown->Release();
}

TEST_F(ObjectFrameTest, CreationChecksOutAndFinalConstruct) {
  EXPECT_EQ(ObjectFrame::CreateComponent<Probe>(nullptr, nullptr), kNullPointer);
  EXPECT_EQ(g_alive, 0) << "nothing created for a null out";

  g_finalConstructResult = kInvalidArg;
  IUnknown* unknown = reinterpret_cast<IUnknown*>(&g_alive);
  EXPECT_EQ(ObjectFrame::CreateComponent<Probe>(nullptr, &unknown), kInvalidArg);
  EXPECT_EQ(unknown, nullptr);

  g_finalConstructResult = kOk;
  g_touchInFinalConstruct = true;
  Probe* fresh = nullptr;
  ASSERT_EQ(ObjectFrame::CreateObject(&fresh), kOk);
  EXPECT_EQ(fresh->RefCountForTesting(), 0);
  EXPECT_EQ(g_alive, 1) << "the temporary reference kept it alive";
  EXPECT_EQ(fresh->Release(), 0u) << "a release at count 0 destroys a fresh object";
}

}  // namespace
}  // namespace oxa
