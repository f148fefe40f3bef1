// Every allocation of an operation fails once, in turn: each run must return
// 0 or 0x8007000E, leave every count balanced (and, in the sanitizer build,
// leak nothing), and the same objects must work correctly afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "compiler/tree_builder.h"
#include "compiler/xml_compiler.h"
#include "failing_allocator.h"
#include "plugin/compiler_plugin.h"
#include "support/compile_events.h"
#include "support/fake_host.h"

namespace oxa {
namespace {

using testing::ArmAllocator;
using testing::DisarmAllocator;

// A parser whose events and attribute sets are built before the armed
// region, so that only the library allocates while it runs.
class ScriptedParser final : public testing::FakeObject<ScriptedParser, IXmlParser> {
 public:
  explicit ScriptedParser(const std::string& markup) {
    for (const auto& e : testing::ParseEvents(markup)) {
      auto& step = steps_.emplace_back();
      step.start = e.start;
      step.name = e.name;
      step.attributes = std::make_unique<testing::FakeValues>();
      for (const auto& [n, v] : e.attributes) step.attributes->AddString(n, v);
    }
  }
  HResult OXA_CALL Prepare(IXmlParserResponse* r, const char*, std::uint32_t) override {
    response_ = r;
    return kOk;
  }
  HResult OXA_CALL Reserved() override { return kFail; }
  HResult OXA_CALL Feed(IBuffer*, std::uint32_t) override {
    for (const auto& s : steps_) {
      if (s.start) {
        response_->StartElement(s.name.c_str(), s.attributes.get(), 0, 0);
      } else {
        response_->EndElement(s.name.c_str(), 0, 0);
      }
    }
    return kOk;
  }

 private:
  struct Step {
    bool start;
    std::string name;
    std::unique_ptr<testing::FakeValues> attributes;
  };
  std::vector<Step> steps_;
  IXmlParserResponse* response_ = nullptr;
};

// A class factory whose objects all exist before the armed region.
class PooledFactory final : public testing::FakeObject<PooledFactory, ICommonClassFactory> {
 public:
  explicit PooledFactory(const std::string& markup) : parser(markup) {
    output.bytes_.reserve(1 << 20);  // Set within capacity allocates nothing
    property.bytes_.reserve(64);
    values.Reserve(8);
  }
  ScriptedParser parser;
  testing::FakeBuffer output;
  testing::FakeValues values;
  testing::FakeBuffer property;

  HResult OXA_CALL CreateInstance(const Guid& classId, IUnknown** out) override {
    if (classId == kClsidXmlParser) {
      parser.AddRef();
      *out = static_cast<IXmlParser*>(&parser);
    } else if (classId == kClsidBuffer) {
      IBuffer* buffer = output.refCount() == 0 ? &output : &property;
      buffer->AddRef();
      *out = buffer;
    } else {
      values.AddRef();
      *out = &values;
    }
    return kOk;
  }
};

// Enough elements that the compiler's node arena needs several blocks.
std::string MidSizeDocument() {
  std::string doc = R"(<skin name="a layout name long enough for the heap">)";
  doc +=
      R"(<layout id="row"><button image="button-normal.png" text="OK"/><label text="a label of some length"/></layout>)";
  for (int i = 0; i < 300; ++i) {
    doc += "<panel id=\"p" + std::to_string(i) + "\" x=\"" + std::to_string(i * 10) + "\">";
    doc += R"(<insertlayout layoutid="row"/><slider value="50"/></panel>)";
  }
  return doc + "</skin>";
}

TEST(AllocationFailureTest, CompileFailsCleanlyAtEveryAllocation) {
  const std::string doc = MidSizeDocument();
  const std::vector<std::uint8_t> expected = testing::CompileMarkup(doc).bytes;
  PooledFactory factory(doc);
  testing::FakeContext context(nullptr);
  ComPtr<IUnknown> object;
  ASSERT_EQ(XmlCompiler::CreateComponent(nullptr, object.Put()), kOk);
  ComPtr<IXmlCompiler> compiler;
  ComPtr<IContextAware> aware;
  ASSERT_EQ(object.QueryTo(compiler), kOk);
  ASSERT_EQ(object.QueryTo(aware), kOk);
  ASSERT_EQ(aware->SetContext(static_cast<ICommonClassFactory*>(&factory)), kOk);
  testing::FakeBuffer input("unused: the scripted parser ignores its input");

  // A fresh compiler object allocates more on its first compile than later.
  ArmAllocator(0);
  IBuffer* out = nullptr;
  ASSERT_EQ(compiler->Compile(&input, &out), kOk);
  const std::uint64_t allocations = DisarmAllocator();
  out->Release();
  ASSERT_GT(allocations, 100u);
  std::printf("a compile makes %llu allocations\n", static_cast<unsigned long long>(allocations));

  int failures = 0;
  for (std::uint64_t k = 1; k <= allocations; ++k) {
    ArmAllocator(k);
    out = nullptr;
    const HResult hr = compiler->Compile(&input, &out);
    DisarmAllocator();
    ASSERT_TRUE(hr == kOk || hr == kOutOfMemory) << "allocation " << k << ": " << hr;
    if (hr == kOk) {
      EXPECT_EQ(factory.output.Bytes(), expected) << "allocation " << k;
      out->Release();
    } else {
      ++failures;
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(factory.parser.refCount(), 0) << "allocation " << k;
    EXPECT_EQ(factory.output.refCount(), 0) << "allocation " << k;
    ASSERT_EQ(compiler->Compile(&input, &out), kOk) << "the compile after failing allocation " << k;
    EXPECT_EQ(factory.output.Bytes(), expected);
    out->Release();
  }
  EXPECT_GT(failures, 0);
  compiler.Reset();
  aware.Reset();
  object.Reset();
  EXPECT_EQ(factory.refCount(), 0);
}

TEST(AllocationFailureTest, PluginCreationAndCatalogue) {
  PooledFactory factory("<r/>");
  testing::FakeContext context(nullptr);
  ArmAllocator(0);
  {
    IUnknown* plugin = nullptr;
    ASSERT_EQ(CompilerPlugin::CreateComponent(nullptr, &plugin), kOk);
    plugin->Release();
  }
  const std::uint64_t allocations = DisarmAllocator();
  ASSERT_GT(allocations, 0u);

  for (std::uint64_t k = 1; k <= allocations + 1; ++k) {
    ArmAllocator(k);
    IUnknown* plugin = nullptr;
    const HResult hr = CompilerPlugin::CreateComponent(nullptr, &plugin);
    DisarmAllocator();
    ASSERT_TRUE(hr == kOk || hr == kOutOfMemory) << k;
    if (Failed(hr)) {
      EXPECT_EQ(plugin, nullptr);
      continue;
    }
    ComPtr<IUnknown> held;
    held.Attach(plugin);
    ComPtr<IPlugin> init;
    ComPtr<IComponentPlugin> components;
    ComPtr<IPluginNamespace> ns;
    ASSERT_EQ(held.QueryTo(init), kOk);
    ASSERT_EQ(held.QueryTo(components), kOk);
    ASSERT_EQ(held.QueryTo(ns), kOk);
    ASSERT_EQ(init->InitPlugin(static_cast<ICommonClassFactory*>(&factory)), kOk);
    for (std::uint64_t j = 1; j <= 4; ++j) {
      factory.values.Clear();
      ArmAllocator(j);
      IValues* values = nullptr;
      const HResult info = components->GetComponentInfoAtIndex(0, &values);
      IUnknown* compiler = nullptr;
      const HResult made =
          components->CreateComponentInstance(kClsidXmlCompiler, &compiler, nullptr);
      IBuffer* buffer = nullptr;
      const HResult named = ns->GetNamespace(&buffer);
      DisarmAllocator();
      EXPECT_TRUE(info == kOk || info == kOutOfMemory);
      EXPECT_TRUE(made == kOk || made == kOutOfMemory);
      EXPECT_TRUE(named == kOk || named == kOutOfMemory);
      if (values != nullptr) values->Release();
      if (compiler != nullptr) compiler->Release();
      if (buffer != nullptr) {
        EXPECT_EQ(
            std::string(reinterpret_cast<const char*>(buffer->GetBuffer()), buffer->GetSize()),
            std::string(CompilerNamespaceUri) + '\0');
        buffer->Release();
      }
      EXPECT_EQ(Failed(made), compiler == nullptr);
      EXPECT_EQ(Failed(named), buffer == nullptr);
      EXPECT_EQ(factory.values.refCount(), 0);
    }
  }
  EXPECT_EQ(factory.refCount(), 0);
}

TEST(AllocationFailureTest, AggregationWithoutMemoryForTheInnerUnknown) {
  testing::FakeOuter outer;
  for (std::uint64_t k = 1; k <= 3; ++k) {
    ArmAllocator(k);
    IUnknown* inner = nullptr;
    const HResult hr = XmlCompiler::CreateComponent(&outer, &inner);
    DisarmAllocator();
    ASSERT_TRUE(hr == kOk || hr == kOutOfMemory) << k;
    EXPECT_EQ(Failed(hr), inner == nullptr);
    if (inner != nullptr) inner->Release();
  }
  EXPECT_EQ(outer.refCount(), 0);
}

}  // namespace
}  // namespace oxa
