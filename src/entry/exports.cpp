// The exported functions and the module-wide plug-in instance.
#include "entry/exports.h"

#include <xmlcompiler/com/boundary.h>
#include "entry/module_objects.h"
#include "plugin/compiler_plugin.h"

namespace oxa {

IUnknown* g_pluginInstance = nullptr;

}  // namespace oxa

using namespace oxa;

OXA_EXPORT HResult OXA_CALL OxaCreateInstance(IUnknown** out) {
  RETURN_HR_IF_NULL(kInvalidArg, out);
  if (g_pluginInstance == nullptr) {
    // Creation's reference becomes the library's own.
    RETURN_IF_FAILED(CompilerPlugin::CreateComponent(nullptr, out));
    RETURN_HR_IF_NULL(kFail, *out);
    g_pluginInstance = *out;
  }
  *out = g_pluginInstance;
  g_pluginInstance->AddRef();
  return kOk;
}

OXA_EXPORT HResult OXA_CALL OxaShutdown() {
  RETURN_HR_IF_NULL(kFail, g_pluginInstance);
  IUnknown* instance = g_pluginInstance;
  g_pluginInstance = nullptr;
  instance->Release();
  return kOk;
}

OXA_EXPORT HResult OXA_CALL SetDLLAccessPath(const char* paths) {
  return Guarded([&] { return ModuleAccessPaths().SetDLLAccessPath(paths); });
}
