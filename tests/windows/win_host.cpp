// The Windows test host: loads deva3201.dll with LoadLibrary, resolves its
// exports by ordinal, checks the version resource, drives the plug-in as the
// framework does and compiles recorded event streams.
//
// usage: win_host DLL OUTDIR EVENTS...   writes OUTDIR/NAME.xmlc for each
// EVENTS file NAME.events; exits 0 when every check and compile succeeded.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/plugin_interfaces.h>
#include <xmlcompiler/deva3201.h>
#include <xmlcompiler/host/event_recording.h>
#include <xmlcompiler/host/host_objects.h>

namespace {

using namespace oxa;

int g_failures = 0;

void Check(bool ok, const std::string& what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what.c_str());
  if (!ok) ++g_failures;
}

std::string VersionString(const std::vector<char>& info, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  const std::string key = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length))
    return "";
  return std::string(value);
}

void CheckVersionResource(const char* path) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &handle);
  std::vector<char> info(size);
  Check(size != 0 && GetFileVersionInfoA(path, 0, size, info.data()), "version resource present");
  if (size == 0) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length);
  constexpr DWORD kMs = OXA_VERSION_MAJOR << 16 | OXA_VERSION_MINOR;
  constexpr DWORD kLs = OXA_VERSION_PATCH << 16 | OXA_DLL_BUILD;
  Check(fixed != nullptr && fixed->dwFileVersionMS == kMs && fixed->dwFileVersionLS == kLs &&
            fixed->dwProductVersionMS == kMs && fixed->dwProductVersionLS == kLs,
        "file and product version " OXA_DLL_VERSION);
  Check(VersionString(info, "InternalName") == "XMLCompiler", "InternalName XMLCompiler");
  Check(VersionString(info, "OriginalFilename") == "xmlcompiler.dll",
        "OriginalFilename xmlcompiler.dll");
  Check(VersionString(info, "FileVersion") == OXA_DLL_VERSION, "FileVersion text " OXA_DLL_VERSION);
}

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: win_host DLL OUTDIR EVENTS...\n");
    return 2;
  }
  const char* dll = argv[1];
  const std::string outDir = argv[2];
  HMODULE module = LoadLibraryA(dll);
  Check(module != nullptr, std::string("LoadLibrary ") + dll);
  if (module == nullptr) return 1;

  // The exports through the C header an MSVC program uses.
  const FARPROC byOrdinal[3] = {GetProcAddress(module, MAKEINTRESOURCEA(1)),
                                GetProcAddress(module, MAKEINTRESOURCEA(2)),
                                GetProcAddress(module, MAKEINTRESOURCEA(3))};
  const char* names[3] = {"OxaCreateInstance", "OxaShutdown", "SetDLLAccessPath"};
  for (int i = 0; i < 3; ++i) {
    Check(byOrdinal[i] != nullptr && byOrdinal[i] == GetProcAddress(module, names[i]),
          std::string("ordinal ") + std::to_string(i + 1) + " is " + names[i]);
  }
  Check(GetProcAddress(module, "OxaCreateInstance@4") == nullptr &&
            GetProcAddress(module, "_OxaCreateInstance@4") == nullptr,
        "no decorated stdcall names exported");
  CheckVersionResource(dll);
  if (g_failures != 0) return 1;
  const auto createInstance =
      reinterpret_cast<OxaCreateInstanceFn>(reinterpret_cast<void*>(byOrdinal[0]));
  const auto shutdown = reinterpret_cast<OxaShutdownFn>(reinterpret_cast<void*>(byOrdinal[1]));
  const auto setPaths = reinterpret_cast<SetDLLAccessPathFn>(reinterpret_cast<void*>(byOrdinal[2]));
  const auto create = [&](oxa::IUnknown** out) {
    return static_cast<HResult>(createInstance(reinterpret_cast<void**>(out)));
  };

  Check(setPaths("DT_Plugins=C:\\oxa\\plugins\0DT_Codecs=C:\\oxa\\codecs\\\0\0") == kOk,
        "SetDLLAccessPath");
  Check(create(nullptr) == kInvalidArg, "OxaCreateInstance(null) is 0x80070057");
  {
    ComPtr<oxa::IUnknown> plugin;
    Check(create(plugin.Put()) == kOk && plugin, "OxaCreateInstance");
    ComPtr<oxa::IUnknown> again;
    create(again.Put());
    Check(again.Get() == plugin.Get(), "the same plug-in object twice");
    ComPtr<IPlugin> init;
    ComPtr<IComponentPlugin> components;
    Check(Succeeded(plugin.QueryTo(init)) && Succeeded(plugin.QueryTo(components)),
          "plug-in interfaces");
    if (!init || !components) return 1;
    std::uint32_t flag = 0, number = 0;
    const char *description = nullptr, *copyright = nullptr, *info = nullptr;
    Check(init->GetPluginInfo(&flag, &description, &copyright, &info, &number) == kOk &&
              std::strcmp(description, "Xml compiler DLL") == 0 && flag == 1 && number == 1,
          "GetPluginInfo");
    Check(std::strcmp(components->GetPackageName(), "xmlcompiler") == 0, "GetPackageName");

    ComPtr<host::ClassFactory> factory = host::ClassFactory::Create(&host::ReplayParser::Make);
    ComPtr<host::HostContext> context = host::HostContext::Create(factory.Get());
    Check(init->InitPlugin(context.Get()) == kOk, "InitPlugin");
    ComPtr<IValues> values;
    Check(components->GetComponentInfoAtIndex(0, values.Put()) == kOk,
          "GetComponentInfoAtIndex(0)");
    ComPtr<IBuffer> classIdBuffer;
    Check(values && values->GetBuffer("ComponentCLSID", classIdBuffer.Put()) == kOk &&
              classIdBuffer->GetSize() == sizeof(Guid),
          "ComponentCLSID");
    if (!classIdBuffer) return 1;
    Guid classId;
    std::memcpy(&classId, classIdBuffer->GetBuffer(), sizeof(classId));
    Check(classId == kClsidXmlCompiler, "the compiler's class id");

    ComPtr<oxa::IUnknown> object;
    Check(components->CreateComponentInstance(classId, object.Put(), nullptr) == kOk,
          "CreateComponentInstance");
    ComPtr<IXmlCompiler> compiler;
    ComPtr<IContextAware> aware;
    Check(Succeeded(object.QueryTo(compiler)) && Succeeded(object.QueryTo(aware)),
          "compiler interfaces");
    if (!compiler || !aware) return 1;
    Check(aware->SetContext(context.Get()) == kOk, "SetContext");

    for (int i = 3; i < argc; ++i) {
      ComPtr<host::HostBuffer> input = host::HostBuffer::Create();
      input->Bytes() = ReadFile(argv[i]);
      ComPtr<IBuffer> output;
      const HResult hr = compiler->Compile(input.Get(), output.Put());
      Check(hr == kOk && output, std::string("compile ") + argv[i]);
      if (!output) continue;
      const std::string target = outDir + "\\" + BaseName(argv[i]) + ".xmlc";
      std::ofstream(target, std::ios::binary)
          .write(reinterpret_cast<const char*>(output->GetBuffer()), output->GetSize());
    }
    Check(factory->RefCount() == 4,
          "host, context, plug-in and compiler each hold the factory once");
  }
  Check(shutdown() == kOk, "OxaShutdown");
  Check(shutdown() == kFail, "second OxaShutdown is 0x80004005");
  FreeLibrary(module);
  std::printf("%d failure(s)\n", g_failures);
  return g_failures == 0 ? 0 : 1;
}
