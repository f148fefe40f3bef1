// The plug-in object and its component catalogue.
#include "plugin/compiler_plugin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "compiler/tree_builder.h"
#include "support/fake_host.h"

namespace oxa {
namespace {

using testing::FakeContext;
using testing::FakeFactory;
using testing::FakeValues;

std::string BufferText(IBuffer* buffer) {
  return std::string(reinterpret_cast<const char*>(buffer->GetBuffer()), buffer->GetSize());
}

// A plug-in over a table of the test's choosing.
class TablePlugin final : public ComponentPluginBase {
 public:
  explicit TablePlugin(const ComponentEntry* table) : ComponentPluginBase(table, "urn:test") {}
  HResult OXA_CALL GetPluginInfo(std::uint32_t*, const char**, const char**, const char**,
                                 std::uint32_t*) override {
    return kOk;
  }
  const char* OXA_CALL GetPackageName() override { return "test"; }
};

int g_createdFirst = 0, g_createdSecond = 0;
HResult OXA_CALL CreateFirst(IUnknown*, IUnknown** out) {
  ++g_createdFirst;
  *out = nullptr;
  return kFail;
}
HResult OXA_CALL CreateSecond(IUnknown*, IUnknown** out) {
  ++g_createdSecond;
  *out = nullptr;
  return kFail;
}

const Guid kOtherId = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
const std::uint32_t kNumber = 7;
const std::uint8_t kBytes[3] = {1, 2, 3};

class CompilerPluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CompilerPlugin::CreateComponent(nullptr, main_.Put()), kOk);
    ASSERT_EQ(main_.QueryTo(plugin_), kOk);
    ASSERT_EQ(main_.QueryTo(components_), kOk);
    ASSERT_EQ(main_.QueryTo(namespace_), kOk);
  }
  void TearDown() override {
    plugin_.Reset();
    components_.Reset();
    namespace_.Reset();
    main_.Reset();
    EXPECT_EQ(factory_.refCount(), 0) << "the plug-in released the factory";
    EXPECT_TRUE(factory_.AllReleased());
  }

  FakeFactory factory_;
  FakeContext context_{&factory_};
  ComPtr<IUnknown> main_;
  ComPtr<IPlugin> plugin_;
  ComPtr<IComponentPlugin> components_;
  ComPtr<IPluginNamespace> namespace_;
};

TEST_F(CompilerPluginTest, DescribesItself) {
  std::uint32_t flag = 0, number = 0;
  const char *description = nullptr, *copyright = nullptr, *info = nullptr;
  ASSERT_EQ(plugin_->GetPluginInfo(&flag, &description, &copyright, &info, &number), kOk);
  EXPECT_EQ(flag, 1u);
  EXPECT_STREQ(description, "Xml compiler DLL");
  EXPECT_STRNE(copyright, "");
  EXPECT_STREQ(info, "");
  EXPECT_EQ(number, 1u);
  EXPECT_STREQ(components_->GetPackageName(), "xmlcompiler");
  EXPECT_EQ(components_->GetNumComponents(), 1u);
}

TEST_F(CompilerPluginTest, MissingEntriesLeaveTheOutPointerUntouched) {
  IValues* const sentinel = reinterpret_cast<IValues*>(&factory_);
  IValues* values = sentinel;
  EXPECT_EQ(components_->GetComponentInfoAtIndex(0, &values), kFail) << "before InitPlugin";
  EXPECT_EQ(values, sentinel);
  ASSERT_EQ(plugin_->InitPlugin(&context_), kOk);
  for (const std::int32_t index : {1, -1, 2147483647, -2147483647 - 1}) {
    values = sentinel;
    EXPECT_EQ(components_->GetComponentInfoAtIndex(index, &values), kFail) << index;
    EXPECT_EQ(values, sentinel) << index;
  }
  EXPECT_TRUE(factory_.valueSets.empty()) << "no property set is made for a missing entry";
}

TEST_F(CompilerPluginTest, ComponentInfoHoldsOnlyTheClassId) {
  IValues* values = nullptr;
  ASSERT_EQ(plugin_->InitPlugin(&context_), kOk);
  EXPECT_EQ(factory_.refCount(), 1);
  ASSERT_EQ(components_->GetComponentInfoAtIndex(0, &values), kOk);
  auto* set = static_cast<FakeValues*>(values);
  ASSERT_EQ(set->Properties().size(), 1u);
  const auto& property = set->Properties()[0];
  EXPECT_EQ(property.name, "ComponentCLSID");
  EXPECT_EQ(property.kind, FakeValues::Kind::Buffer);
  const std::string expected("\xBA\x3C\x22\x15\x2B\xF9\xD3\x4E\xAF\x11\xE7\xAD\x48\xF0\x47\xA9",
                             16);
  EXPECT_EQ(BufferText(property.buffer.Get()), expected);
  EXPECT_EQ(set->refCount(), 1) << "the caller's reference only";
  EXPECT_EQ(factory_.buffers[0]->refCount(), 1) << "the property set's own reference";
  values->Release();

  EXPECT_EQ(components_->GetComponentInfoAtIndex(1, &values), kFail);
  EXPECT_EQ(components_->GetComponentInfoAtIndex(-1, &values), kFail);
  EXPECT_EQ(components_->GetComponentInfoAtIndex(0, nullptr), kNullPointer);
}

TEST_F(CompilerPluginTest, PropertySetFailuresGiveNullOut) {
  ASSERT_EQ(plugin_->InitPlugin(&context_), kOk);
  IValues* values = nullptr;
  factory_.failing = {kClsidValues};
  EXPECT_EQ(components_->GetComponentInfoAtIndex(0, &values), kFail);
  EXPECT_EQ(values, nullptr);
  factory_.failing.clear();
  factory_.mute = {kClsidValues};
  EXPECT_EQ(components_->GetComponentInfoAtIndex(0, &values), kFail);
  EXPECT_EQ(values, nullptr);
  factory_.mute.clear();
  factory_.failing = {kClsidBuffer};
  ASSERT_EQ(components_->GetComponentInfoAtIndex(0, &values), kOk)
      << "a missing buffer drops the property";
  EXPECT_TRUE(static_cast<FakeValues*>(values)->Properties().empty());
  values->Release();
}

TEST_F(CompilerPluginTest, SecondInitPluginReleasesTheFirstFactory) {
  FakeFactory other;
  FakeContext otherContext(&other);
  ASSERT_EQ(plugin_->InitPlugin(&context_), kOk);
  ASSERT_EQ(plugin_->InitPlugin(&otherContext), kOk);
  EXPECT_EQ(factory_.refCount(), 0);
  EXPECT_EQ(other.refCount(), 1);
  FakeContext none(nullptr);
  EXPECT_EQ(plugin_->InitPlugin(&none), kNoInterface);
  EXPECT_EQ(other.refCount(), 0);
}

TEST_F(CompilerPluginTest, CreatesTheCompilerByClassIdBeforeInitPlugin) {
  IUnknown* compiler = nullptr;
  ASSERT_EQ(components_->CreateComponentInstance(kClsidXmlCompiler, &compiler, nullptr), kOk);
  ComPtr<IXmlCompiler> typed;
  ComPtr<IUnknown> held;
  held.Attach(compiler);
  ASSERT_EQ(held.QueryTo(typed), kOk);
  EXPECT_EQ(static_cast<ObjectFrame*>(compiler)->RefCountForTesting(), 2);

  IUnknown* untouched = reinterpret_cast<IUnknown*>(&factory_);
  EXPECT_EQ(components_->CreateComponentInstance(kOtherId, &untouched, nullptr), kFail);
  EXPECT_EQ(untouched, reinterpret_cast<IUnknown*>(&factory_));
  EXPECT_EQ(components_->CreateComponentInstance(kClsidXmlCompiler, nullptr, nullptr),
            kNullPointer);
}

TEST_F(CompilerPluginTest, NamespaceBufferEndsWithZero) {
  IBuffer* buffer = nullptr;
  ASSERT_EQ(namespace_->GetNamespace(&buffer), kOk);
  EXPECT_EQ(buffer->GetSize(), std::strlen(CompilerNamespaceUri) + 1);
  EXPECT_EQ(BufferText(buffer), std::string(CompilerNamespaceUri) + '\0');
  EXPECT_EQ(buffer->Release(), 0u);
  EXPECT_EQ(namespace_->GetNamespace(nullptr), kNullPointer);
}

TEST(ComponentTableTest, EmptyAndNullTablesHaveNoComponents) {
  const ComponentEntry endOnly[] = {{EntryEnd, nullptr, nullptr, 0, nullptr}};
  TablePlugin empty(endOnly);
  EXPECT_EQ(empty.GetNumComponents(), 0u);
  TablePlugin none(nullptr);
  EXPECT_EQ(none.GetNumComponents(), 0u);
}

TEST(ComponentTableTest, DuplicateClassIdsLaterCreatorWins) {
  const ComponentEntry table[] = {{EntryComponent, nullptr, &kOtherId, 0, &CreateFirst},
                                  {EntryComponent, nullptr, &kOtherId, 0, &CreateSecond},
                                  {EntryEnd, nullptr, nullptr, 0, nullptr}};
  TablePlugin plugin(table);
  EXPECT_EQ(plugin.GetNumComponents(), 2u);
  IUnknown* out = nullptr;
  plugin.CreateComponentInstance(kOtherId, &out, nullptr);
  EXPECT_EQ(g_createdFirst, 0);
  EXPECT_EQ(g_createdSecond, 1);
}

TEST(ComponentTableTest, PropertyRecordsBecomeProperties) {
  const ComponentEntry table[] = {{EntryComponent, nullptr, &kOtherId, 0, &CreateFirst},
                                  {EntryUInt32, "Number", &kNumber, 0, nullptr},
                                  {EntryString, "Text", "hello", 0, nullptr},
                                  {EntryBuffer, "Bytes", kBytes, 3, nullptr},
                                  {EntryComponent, nullptr, &kClsidXmlCompiler, 0, &CreateFirst},
                                  {EntryString, "Next", "not mine", 0, nullptr},
                                  {EntryEnd, nullptr, nullptr, 0, nullptr}};
  FakeFactory factory;
  FakeContext context(&factory);
  {
    TablePlugin plugin(table);
    ASSERT_EQ(plugin.InitPlugin(&context), kOk);
    IValues* values = nullptr;
    ASSERT_EQ(plugin.GetComponentInfoAtIndex(0, &values), kOk);
    auto* set = static_cast<FakeValues*>(values);
    ASSERT_EQ(set->Properties().size(), 4u);
    EXPECT_EQ(set->Find("Number")->number, 7u);
    EXPECT_EQ(BufferText(set->Find("Text")->buffer.Get()), std::string("hello\0", 6));
    EXPECT_EQ(set->Find("Text")->kind, FakeValues::Kind::String);
    EXPECT_EQ(BufferText(set->Find("Bytes")->buffer.Get()), "\x01\x02\x03");
    EXPECT_EQ(set->Find("Next"), nullptr);
    values->Release();
  }
  EXPECT_EQ(factory.refCount(), 0);
  EXPECT_TRUE(factory.AllReleased());
}

}  // namespace
}  // namespace oxa
