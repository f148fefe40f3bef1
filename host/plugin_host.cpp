// PluginHost: module loading, catalogue queries, compile sessions.
#include <xmlcompiler/host/plugin_host.h>

#include <cstdio>
#include <cstring>

#include <xmlcompiler/com/buffer.h>
#include <xmlcompiler/host/expat_parser.h>
#include "host/module.h"

namespace oxa::host {

std::string ResultText(HResult hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(hr));
  return text;
}

// The module's install location, as configured when this library was built
// (POSIX systems only: on Windows no path of the building machine is kept).
#ifndef OXA_CONFIGURED_PLUGIN
#define OXA_CONFIGURED_PLUGIN nullptr
#endif

std::string DefaultPluginPath(const char* argv0, const char* installed) {
  const std::string dir = module::ProgramFolder(argv0);
  const std::string sep = module::kSeparator;
  const std::string beside = dir + sep + module::kFileName;
  if (module::Readable(beside)) return beside;
  const std::string prefix =
      dir + sep + ".." + sep + "lib" + sep + "xmlcompiler" + sep + module::kFileName;
  const char* const configured = OXA_CONFIGURED_PLUGIN;
  for (const char* candidate : {prefix.c_str(), installed, configured}) {
    if (candidate != nullptr && module::Readable(candidate)) return candidate;
  }
  return beside;
}

std::unique_ptr<PluginHost> PluginHost::Load(const std::string& path, std::string* error) {
  std::unique_ptr<PluginHost> host(new PluginHost());
  std::string reason;
  host->module_ = module::Open(path, &reason);
  if (host->module_ == nullptr) {
    *error = "cannot load the plug-in: " + reason;
    return nullptr;
  }
  using CreateFn = HResult(OXA_CALL*)(IUnknown**);
  auto create = reinterpret_cast<CreateFn>(module::Find(host->module_, "OxaCreateInstance"));
  host->shutdown_ =
      reinterpret_cast<HResult(OXA_CALL*)()>(module::Find(host->module_, "OxaShutdown"));
  if (create == nullptr || host->shutdown_ == nullptr) {
    *error = path + " is not a plug-in: OxaCreateInstance or OxaShutdown missing";
    return nullptr;
  }
  ComPtr<IUnknown> plugin;
  HResult hr = create(plugin.Put());
  if (Failed(hr) || !plugin) {
    *error = "OxaCreateInstance failed: " + ResultText(hr);
    return nullptr;
  }
  if (Failed(plugin.QueryTo(host->plugin_)) || Failed(plugin.QueryTo(host->components_)) ||
      Failed(plugin.QueryTo(host->namespace_))) {
    *error = "the plug-in object lacks IPlugin, IComponentPlugin or IPluginNamespace";
    return nullptr;
  }
  host->factory_ = ClassFactory::Create(&ExpatParser::Make);
  host->context_ = HostContext::Create(host->factory_.Get());
  hr = host->plugin_->InitPlugin(host->context_.Get());
  if (Failed(hr)) {
    *error = "InitPlugin failed: " + ResultText(hr);
    return nullptr;
  }
  return host;
}

PluginHost::~PluginHost() {
  plugin_.Reset();
  components_.Reset();
  namespace_.Reset();
  if (shutdown_ != nullptr) shutdown_();
  context_.Reset();
  factory_.Reset();
  if (module_ != nullptr) module::Close(module_);
}

HResult PluginHost::Describe(PluginDescription* out) const {
  std::uint32_t flag = 0, number = 0;
  const char *description = nullptr, *copyright = nullptr, *info = nullptr;
  RETURN_IF_FAILED(plugin_->GetPluginInfo(&flag, &description, &copyright, &info, &number));
  out->description = description;
  out->copyright = copyright;
  out->packageName = components_->GetPackageName();
  const std::uint32_t count = components_->GetNumComponents();
  out->componentClassIds.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    ComPtr<IValues> values;
    RETURN_IF_FAILED(
        components_->GetComponentInfoAtIndex(static_cast<std::int32_t>(i), values.Put()));
    ComPtr<IBuffer> classId;
    RETURN_IF_FAILED(values->GetBuffer(kComponentClassIdProperty, classId.Put()));
    RETURN_HR_IF(kFail, classId->GetSize() != sizeof(Guid));
    Guid id;
    std::memcpy(&id, classId->GetBuffer(), sizeof(id));
    out->componentClassIds.push_back(id);
  }
  ComPtr<IBuffer> ns;
  RETURN_IF_FAILED(namespace_->GetNamespace(ns.Put()));
  out->namespaceUri.assign(reinterpret_cast<const char*>(ns->GetBuffer()),
                           ns->GetSize() == 0 ? 0 : ns->GetSize() - 1);
  return kOk;
}

HResult PluginHost::CreateSession(std::unique_ptr<CompilerSession>* out,
                                  ParserMaker makeParser) const {
  ComPtr<IValues> values;
  RETURN_IF_FAILED(components_->GetComponentInfoAtIndex(0, values.Put()));
  ComPtr<IBuffer> classIdBuffer;
  RETURN_IF_FAILED(values->GetBuffer(kComponentClassIdProperty, classIdBuffer.Put()));
  RETURN_HR_IF(kFail, classIdBuffer->GetSize() != sizeof(Guid));
  Guid classId;
  std::memcpy(&classId, classIdBuffer->GetBuffer(), sizeof(classId));

  std::unique_ptr<CompilerSession> session(new CompilerSession());
  ComPtr<IUnknown> object;
  RETURN_IF_FAILED(components_->CreateComponentInstance(classId, object.Put(), nullptr));
  RETURN_IF_FAILED(object.QueryTo(session->compiler_));
  object.QueryTo(session->diagnostics_);  // optional
  ComPtr<IContextAware> aware;
  RETURN_IF_FAILED(object.QueryTo(aware));
  session->factory_ =
      ClassFactory::Create(makeParser != nullptr ? makeParser : &ExpatParser::MakeWithoutPositions);
  session->context_ = HostContext::Create(session->factory_.Get());
  RETURN_IF_FAILED(aware->SetContext(session->context_.Get()));
  *out = std::move(session);
  return kOk;
}

CompilerSession::Result CompilerSession::Compile(std::vector<std::uint8_t> document) {
  Result result;
  if (document.size() > kMaxSize32) {
    result.hr = kInvalidArg;
    return result;
  }
  ComPtr<HostBuffer> input = HostBuffer::Create();
  input->Bytes().swap(document);
  return Compile(input.Get());
}

CompilerSession::Result CompilerSession::Compile(IBuffer* input) {
  Result result;
  result.input = ComPtr<IBuffer>(input);
  result.hr = compiler_->Compile(input, result.output.Put());
  result.parse = factory_->LastParse();
  std::uint32_t count = 0;
  if (diagnostics_ && Succeeded(diagnostics_->GetFindingCount(&count))) {
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t kind = 0, element = 0, related = 0;
      const char* text = nullptr;
      const char* other = nullptr;
      if (Failed(diagnostics_->GetFinding(i, &kind, &element, &related, &text, &other))) break;
      result.findings.push_back({static_cast<FindingKind>(kind), element, related, text, other});
    }
  }
  return result;
}

}  // namespace oxa::host
