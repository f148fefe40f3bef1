// deva3201.so loaded as a host loads it: through dlopen and its three
// exports only, with the host's objects faked and counted.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/plugin_interfaces.h>
#include "support/fake_host.h"

namespace oxa {
namespace {

using CreateInstanceFn = HResult(OXA_CALL*)(IUnknown**);
using ShutdownFn = HResult(OXA_CALL*)();
using SetPathsFn = HResult(OXA_CALL*)(const char*);

class ModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    handle_ = dlopen(OXA_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
    create_ = reinterpret_cast<CreateInstanceFn>(dlsym(handle_, "OxaCreateInstance"));
    shutdown_ = reinterpret_cast<ShutdownFn>(dlsym(handle_, "OxaShutdown"));
    setPaths_ = reinterpret_cast<SetPathsFn>(dlsym(handle_, "SetDLLAccessPath"));
    ASSERT_TRUE(create_ && shutdown_ && setPaths_);
  }
  static void TearDownTestSuite() { dlclose(handle_); }
  void TearDown() override {
    EXPECT_EQ(shutdown_(), kFail) << "each test leaves the plug-in cache empty";
  }

  static inline void* handle_ = nullptr;
  static inline CreateInstanceFn create_ = nullptr;
  static inline ShutdownFn shutdown_ = nullptr;
  static inline SetPathsFn setPaths_ = nullptr;
};

TEST_F(ModuleTest, InternalSymbolsAreNotVisible) {
  EXPECT_EQ(dlsym(handle_, "_ZN3oxa16g_pluginInstanceE"), nullptr);
  EXPECT_EQ(dlsym(handle_, "g_pluginInstance"), nullptr);
}

TEST_F(ModuleTest, OneSharedPluginObject) {
  IUnknown* first = nullptr;
  IUnknown* second = nullptr;
  ASSERT_EQ(create_(&first), kOk);
  ASSERT_EQ(create_(&second), kOk);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first->Release(), 2u) << "the library's reference and the second caller's";
  EXPECT_EQ(second->Release(), 1u) << "the library's reference keeps it alive";
  EXPECT_EQ(shutdown_(), kOk);
}

TEST_F(ModuleTest, ShutdownTwiceAndCreateAfterShutdown) {
  IUnknown* first = nullptr;
  ASSERT_EQ(create_(&first), kOk);
  EXPECT_EQ(shutdown_(), kOk);
  EXPECT_EQ(shutdown_(), kFail);
  EXPECT_EQ(first->Release(), 0u) << "the host's reference was the last";
  IUnknown* fresh = nullptr;
  ASSERT_EQ(create_(&fresh), kOk);
  ComPtr<IComponentPlugin> components;
  ASSERT_EQ(fresh->QueryInterface(kIidComponentPlugin, components.PutVoid()), kOk);
  EXPECT_EQ(components->GetNumComponents(), 1u);
  components.Reset();
  fresh->Release();
  EXPECT_EQ(shutdown_(), kOk);
}

TEST_F(ModuleTest, NullOutBeforeAndAfterCaching) {
  EXPECT_EQ(create_(nullptr), kInvalidArg);
  IUnknown* plugin = nullptr;
  ASSERT_EQ(create_(&plugin), kOk);
  EXPECT_EQ(create_(nullptr), kInvalidArg);
  plugin->Release();
  EXPECT_EQ(shutdown_(), kOk);
}

TEST_F(ModuleTest, AccessPathsAreAccepted) {
  const char list[] = "DT_Plugins=C:\\oxa\0bad\0DT_Codecs=\0";
  EXPECT_EQ(setPaths_(list), kOk);
  EXPECT_EQ(setPaths_(nullptr), kOk);
  EXPECT_EQ(setPaths_(""), kOk);
  // A text too long for the registry is skipped, not a failure.
  std::string withHuge = "A=C:\\a";
  withHuge += '\0';
  withHuge += "B=" + std::string(16777216, 'x');
  withHuge += '\0';
  withHuge += "C=C:\\c";
  withHuge += std::string(2, '\0');
  EXPECT_EQ(setPaths_(withHuge.c_str()), kOk);
}

TEST_F(ModuleTest, HostDrivesTheWholeCompile) {
  testing::FakeFactory factory;
  testing::FakeContext context(&factory);
  ComPtr<IUnknown> plugin;
  ASSERT_EQ(create_(plugin.Put()), kOk);
  ComPtr<IPlugin> init;
  ComPtr<IComponentPlugin> components;
  ASSERT_EQ(plugin.QueryTo(init), kOk);
  ASSERT_EQ(plugin.QueryTo(components), kOk);
  ASSERT_EQ(init->InitPlugin(&context), kOk);

  IValues* info = nullptr;
  ASSERT_EQ(components->GetComponentInfoAtIndex(0, &info), kOk);
  const auto* clsid = static_cast<testing::FakeValues*>(info)->Find("ComponentCLSID");
  ASSERT_NE(clsid, nullptr);
  ASSERT_EQ(clsid->buffer->GetSize(), 16u);
  Guid classId;
  std::memcpy(&classId, clsid->buffer->GetBuffer(), 16);
  info->Release();

  ComPtr<IUnknown> compilerObject;
  ASSERT_EQ(components->CreateComponentInstance(classId, compilerObject.Put(), nullptr), kOk);
  ComPtr<IContextAware> aware;
  ComPtr<IXmlCompiler> compiler;
  ASSERT_EQ(compilerObject.QueryTo(aware), kOk);
  ASSERT_EQ(compilerObject.QueryTo(compiler), kOk);
  ASSERT_EQ(aware->SetContext(&context), kOk);

  testing::FakeBuffer input(R"(<a x="1"><b/></a>)");
  IBuffer* out = nullptr;
  ASSERT_EQ(compiler->Compile(&input, &out), kOk);
  EXPECT_EQ(out->GetSize(), 136u);
  EXPECT_EQ(out->GetBuffer()[4], 128) << "DocumentChunk length";
  out->Release();

  compiler.Reset();
  aware.Reset();
  compilerObject.Reset();
  init.Reset();
  components.Reset();
  plugin.Reset();
  EXPECT_EQ(shutdown_(), kOk);
  EXPECT_EQ(factory.refCount(), 0) << "plug-in and compiler released the factory";
  EXPECT_TRUE(factory.AllReleased());
}

TEST_F(ModuleTest, CompilerCanBeAggregatedThroughTheCatalogue) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(create_(&unknown), kOk);
  ComPtr<IComponentPlugin> components;
  ASSERT_EQ(unknown->QueryInterface(kIidComponentPlugin, components.PutVoid()), kOk);
  unknown->Release();
  testing::FakeOuter outer;
  IUnknown* inner = nullptr;
  ASSERT_EQ(components->CreateComponentInstance(kClsidXmlCompiler, &inner, &outer), kOk);
  outer.inner = inner;
  ComPtr<IXmlCompiler> compiler;
  ASSERT_EQ(inner->QueryInterface(kIidXmlCompiler, compiler.PutVoid()), kOk);
  EXPECT_EQ(outer.refCount(), 1);
  compiler.Reset();
  EXPECT_EQ(inner->Release(), 0u);
  components.Reset();
  EXPECT_EQ(shutdown_(), kOk);
}

}  // namespace
}  // namespace oxa
