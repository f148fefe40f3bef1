// PluginHost: loads deva3201 the way the framework does (dlopen or
// LoadLibraryW, then only its exports and interfaces) and hands out compiler
// sessions.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <xmlcompiler/com/com_ptr.h>
#include <xmlcompiler/com/plugin_interfaces.h>
#include <xmlcompiler/host/host_objects.h>

namespace oxa::host {

struct PluginDescription {
  std::string description;
  std::string copyright;
  std::string packageName;
  std::string namespaceUri;
  std::vector<Guid> componentClassIds;
};

// One finding of a compilation, as the compiler's IXmlCompilerDiagnostics tells it.
struct CompileFinding {
  FindingKind kind;
  std::uint32_t element;  // ordinal of its start event, 0: none
  std::uint32_t related;  // a related element's ordinal, 0: none
  std::string text;
  std::string other;
};

// One compiler object with its own context and class factory. Sessions are
// independent: separate sessions may compile on separate threads.
class CompilerSession {
 public:
  struct Result {
    HResult hr = kOk;
    ComPtr<IBuffer> output;  // the compiled document when hr is 0
    ParseReport parse;       // the parser's failure, if the parse failed, and its text count
    // What the compiler found, in its order (empty from a plug-in without diagnostics).
    std::vector<CompileFinding> findings;
    ComPtr<IBuffer> input;  // the document compiled

    const std::uint8_t* Data() const noexcept { return output ? output->GetBuffer() : nullptr; }
    std::size_t Size() const noexcept { return output ? output->GetSize() : 0; }
  };

  // Compiles the XML document `document` (taken over, not copied).
  Result Compile(std::vector<std::uint8_t> document);
  // Compiles the XML document in `input`.
  Result Compile(IBuffer* input);

 private:
  friend class PluginHost;
  CompilerSession() = default;
  ComPtr<ClassFactory> factory_;
  ComPtr<HostContext> context_;
  ComPtr<IXmlCompiler> compiler_;
  ComPtr<IXmlCompilerDiagnostics> diagnostics_;  // null when the plug-in has none
};

class PluginHost {
 public:
  // Loads the module at `path` and initialises its plug-in; null with a
  // message in `error` when that fails.
  static std::unique_ptr<PluginHost> Load(const std::string& path, std::string* error);
  ~PluginHost();

  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  // What the plug-in says of itself.
  HResult Describe(PluginDescription* out) const;
  // A new compiler, created through the catalogue by its "ComponentCLSID",
  // whose parsers come from `makeParser` (null: expat, without positions,
  // which the compiler ignores).
  HResult CreateSession(std::unique_ptr<CompilerSession>* out,
                        ParserMaker makeParser = nullptr) const;

 private:
  PluginHost() = default;

  void* module_ = nullptr;
  HResult(OXA_CALL* shutdown_)() = nullptr;
  ComPtr<ClassFactory> factory_;
  ComPtr<HostContext> context_;
  ComPtr<IPlugin> plugin_;
  ComPtr<IComponentPlugin> components_;
  ComPtr<IPluginNamespace> namespace_;
};

// Where a host finds the module when it is given none, the first of these
// that exists: the module (deva3201.so, or deva3201.dll on Windows) beside the
// running program (oxa_deploy_plugin puts it there); DIR/../lib/xmlcompiler/
// and the module, DIR being the program's directory; `installed`; on POSIX
// systems, the location this library was configured to install it to. When
// none exists, the first. Paths use the system's separator. On POSIX systems
// `installed` is by default the module of the OxaHost package the caller was
// built against; on Windows, where a program is deployed with its DLLs, no
// path of the building machine is compiled in, and it is null by default.
std::string DefaultPluginPath(const char* argv0,
#ifdef OXA_INSTALLED_PLUGIN
                              const char* installed = OXA_INSTALLED_PLUGIN
#else
                              const char* installed = nullptr
#endif
);

// A short text for a result code ("0x8007000E").
std::string ResultText(HResult hr);

}  // namespace oxa::host
